// cFileDialog with a scripted user, then with Qt's real dialogs driven as a user would: a name
// typed into the file name box, Return pressed.
#include "common/mCommon.h"
#include "dialogs/cFileDialog.h"
#include "platform/CommonDialogs.h"
#include "platform/ProcessInfo.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <tuple>

namespace {

using dialogs::cFileDialog;
using platform::FileDialogKind;

const QString kNul(QChar(0));

class OwnerWindow : public platform::Form {
public:
    explicit OwnerWindow(const QString& name = QStringLiteral("frmOwner")) : Form(name) {}
};

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

int ErrorNumber(const std::function<void()>& call) try {
    call();
    return 0;
} catch (const platform::RuntimeError& e) {
    return e.Number();
}

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        mCommon::detail::ResetRememberedPaths();
        dlg_.OwnerForm = &owner_;
    }

    QString Pic(const QString& name) const { return Native(QDir(tmp_.path()).filePath(name)); }
    QStringList Outputs() const {
        return {dlg_.FilePath, dlg_.FileName, dlg_.FileTitle, dlg_.Extension};
    }
    QStringList InitialFolders() const {
        QStringList folders;
        for (const auto& request : user_.fileRequests) folders << request.record.lpstrInitialDir;
        return folders;
    }

    QTemporaryDir tmp_;
    OwnerWindow owner_;
    platform::ScriptedCommonDialogs user_;  // an empty queue cancels
    platform::CommonDialogsOverride override_{user_};
    cFileDialog dlg_;
};

// The first call shows the creation values.
TEST_F(FileDialogTest, EachCallHandsTheDialogItsRecord) {
    EXPECT_FALSE(dlg_.OpenFile());
    dlg_.DefaultFileName = QString(250, 'a');  // the longest accepted
    EXPECT_FALSE(dlg_.SaveFile());
    ASSERT_EQ(user_.fileRequests.size(), 2u);

    const platform::OpenFileNameRecord& open = user_.fileRequests[0].record;
    EXPECT_EQ(user_.fileRequests[0].kind, FileDialogKind::Open);
    EXPECT_NE(open.hwndOwner, 0u);
    EXPECT_EQ(open.hwndOwner, owner_.hWnd());
    // Flags, record size, filter index, and buffers as long as the capacities handed over.
    EXPECT_EQ(std::tuple(open.Flags, open.lStructSize, open.nFilterIndex, open.nMaxFile,
                         open.nMaxFileTitle, open.hInstance, open.lpfnHook),
              std::tuple(6148u, 76u, 1u, 255u, 255u, 0u, nullptr));
    EXPECT_EQ((QStringList{open.lpstrFile, open.lpstrFileTitle}),
              QStringList(2, QString(255, kNul[0])));
    EXPECT_EQ(open.lpstrFilter, "All Files (*.*)" + kNul + "*.*" + kNul + kNul);
    EXPECT_EQ((QStringList{open.lpstrDefExt, open.lpstrInitialDir, open.lpstrTitle,
                           open.lpstrCustomFilter}),
              (QStringList{"dat", "", "", ""}));

    const platform::OpenFileNameRecord& save = user_.fileRequests[1].record;
    EXPECT_EQ(user_.fileRequests[1].kind, FileDialogKind::Save);
    EXPECT_EQ(save.Flags, 2054u);
    EXPECT_EQ(save.lpstrFile, QString(250, 'a') + QString(5, kNul[0]));
}

TEST_F(FileDialogTest, OnlyAConfirmedPathThatFitsTheBufferChangesTheOutputs) {
    EXPECT_EQ(Outputs(), QStringList(4, ""));
    dlg_.FilePath = "path";
    dlg_.FileName = "name";
    dlg_.FileTitle = "title";
    dlg_.Extension = "ext";
    const QString folder = Native("/" + QString(200, 'f') + "/");
    const QString fits(254 - folder.size(), 'n');  // with its NUL, 255 characters
    user_.Cancel();
    user_.Answer(folder + fits + "x");
    EXPECT_FALSE(dlg_.OpenFile());
    EXPECT_FALSE(dlg_.SaveFile());
    EXPECT_EQ(Outputs(), (QStringList{"path", "name", "title", "ext"}));

    user_.Answer(folder + fits);
    EXPECT_TRUE(dlg_.OpenFile());
    EXPECT_EQ(Outputs(), (QStringList{"path", folder + fits, fits, ""}));
    // Names in any script come back exactly; a shorter name leaves no trace of the longer one.
    const QString title = QString::fromUtf8("写真 Été.jpg");
    user_.Answer(Pic(title));
    EXPECT_TRUE(dlg_.SaveFile());
    EXPECT_EQ(Outputs(), (QStringList{"path", Pic(title), title, ""}));
}

TEST_F(FileDialogTest, NoOwnerOrALongerDefaultNameIsAnErrorBeforeAnyDialog) {
    cFileDialog lonely;
    EXPECT_EQ(ErrorNumber([&] { lonely.OpenFile(); }), 91);
    lonely.INISave = true;
    EXPECT_EQ(ErrorNumber([&] { lonely.SaveFile(); }), 91);

    dlg_.DefaultFileName = QString(251, 'a');
    dlg_.Filter = "A|*.a|";
    EXPECT_EQ(ErrorNumber([&] { dlg_.OpenFile(); }), platform::kErrInvalidArgument);
    EXPECT_EQ(ErrorNumber([&] { dlg_.SaveFile(); }), platform::kErrInvalidArgument);
    EXPECT_TRUE(user_.fileRequests.empty());
    EXPECT_EQ(dlg_.Filter, "A" + kNul + "*.a" + kNul) << "converted before the error";
}

// The one case here that touches the settings file beside the executable.
TEST_F(FileDialogTest, SettingsMemoryKeepsTheFolderPerOwnerWindowWhenOn) {
    const QString ini = mCommon::DefaultIniPath();
    QFile::remove(ini);
    user_.Answer(Pic("one.jpg"));
    EXPECT_TRUE(dlg_.OpenFile());
    EXPECT_FALSE(QFile::exists(ini)) << "off: the settings file is neither read nor written";

    // On: the executable's folder while nothing is stored, then where the owner's last one left.
    dlg_.INISave = true;
    const QString pictures = Pic(QString::fromUtf8("Bilder ü"));
    user_.Answer(pictures + QDir::separator() + "pic.jpg");
    EXPECT_TRUE(dlg_.SaveFile());
    EXPECT_EQ(dlg_.FilePath, platform::ExecutableFolder());
    dlg_.FilePath.clear();
    EXPECT_FALSE(dlg_.OpenFile());

    // Another owner keeps its own entry; a FilePath the caller set is not replaced from the file.
    OwnerWindow other(QStringLiteral("frmOther"));
    dlg_.OwnerForm = &other;
    dlg_.FilePath = "chosen-by-caller";
    user_.Answer(Pic("x.png"));
    EXPECT_TRUE(dlg_.OpenFile());
    EXPECT_EQ(dlg_.FilePath, "chosen-by-caller");
    EXPECT_EQ(InitialFolders(),
              (QStringList{"", platform::ExecutableFolder(), pictures, "chosen-by-caller"}));
    QString file;
    EXPECT_EQ(mCommon::ReadIni("frmOther", "Path", "none", file), Native(tmp_.path()));
    EXPECT_EQ(mCommon::ReadIni("frmOwner", "Path", "none", file), pictures);
    QFile::remove(ini);
}

TEST_F(FileDialogTest, BrowseFolderEndsThePathInOneSeparatorAndNeedsNoOwnerObject) {
    cFileDialog browser;
    const QString root = Native(QDir::rootPath());
    const QString folder = Native("/" + QString(510, 'l'));  // with its NUL, 512 characters
    user_.Answer(root);
    user_.Answer(folder);
    EXPECT_TRUE(browser.BrowseFolder(owner_.hWnd(), "Pick"));
    EXPECT_EQ(browser.FilePath, root);
    EXPECT_TRUE(browser.BrowseFolder(0, QString()));
    EXPECT_EQ(browser.FilePath, folder + QDir::separator());
    user_.Cancel();
    user_.Answer(folder + "l");
    EXPECT_FALSE(browser.BrowseFolder(0, QString()));
    EXPECT_FALSE(browser.BrowseFolder(0, QString())) << "a longer path fails, not cut";
    EXPECT_EQ(browser.FilePath, folder + QDir::separator());

    const platform::BrowseInfoRecord& info = user_.folderRequests.at(0);
    EXPECT_EQ(std::tuple(info.hwndOwner, info.lpszTitle, info.ulFlags),
              std::tuple(owner_.hWnd(), QString("Pick"), 1u));
}

// "*.*" is every name; where names are case-sensitive, letters match either case.
TEST(QtNameFilters, PairsBecomeFiltersThatMatchLikeTheDesktops) {
    using platform::detail::QtNameFilters;
    const QString list = "Pictures" + kNul + "*.jpg;; *.GIF" + kNul + "All (*.*)" + kNul + "*.*" +
                         kNul + "Any" + kNul + kNul + kNul + "after the end" + kNul + "*.x";
    EXPECT_EQ(QtNameFilters(list, false),
              (QStringList{"Pictures (*.jpg *.GIF)", "All (*.*) (*)", "Any (*)"}));
    EXPECT_EQ(QtNameFilters(list, true), (QStringList{"Pictures (*.[jJ][pP][gG] *.[gG][iI][fF])",
                                                      "All (*.*) (*)", "Any (*)"}));
}

TEST(ExecutableName, EndingDroppedOnlyWhereExecutablesHaveOne) {
    EXPECT_EQ(platform::detail::ExecutableNameOf("C:/Tools/duvix.v2.exe", true), "duvix.v2");
    EXPECT_EQ(platform::detail::ExecutableNameOf("/opt/duvix.v2", false), "duvix.v2");
}

// Runs act on the file dialog once it is the active modal window; after 10 s closes whatever
// modal window is open, so the test fails instead of hanging.
void WhenDialogShows(std::function<void(QFileDialog*)> act, int triesLeft = 500) {
    QTimer::singleShot(20, [act, triesLeft] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            act(dialog);
        } else if (triesLeft > 0) {
            WhenDialogShows(act, triesLeft - 1);
        } else if (modal != nullptr) {
            modal->close();
        }
    });
}

void TypeNameAndConfirm(QFileDialog* dialog, const QString& name) {
    auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->clear();
    QTest::keyClicks(edit, name);
    QTest::keyClick(edit, Qt::Key_Return);
}

class QtFileDialogTest : public FileDialogTest {
protected:
    void SetUp() override {
        FileDialogTest::SetUp();
        QFile f(Pic("pick.dat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        dlg_.FilePath = Native(tmp_.path());
    }
    platform::QtCommonDialogs qt_{false};
    platform::CommonDialogsOverride qtOverride_{qt_};
};

TEST_F(QtFileDialogTest, OpenAndSaveShowTheRecordAndReturnTheTypedFile) {
    dlg_.DialogTitle = "Choose a picture";
    dlg_.Filter = "Pictures (*.jpg)|*.jpg|All Files (*.*)|*.*|";
    QStringList shown;
    WhenDialogShows([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->parentWidget(), &owner_);
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        shown << dialog->windowTitle() << Native(dialog->directory().absolutePath());
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; combo != nullptr && i < combo->count(); ++i) shown << combo->itemText(i);
        TypeNameAndConfirm(dialog, "pick.dat");
    });
    ASSERT_TRUE(dlg_.OpenFile());
    EXPECT_EQ(Outputs(), (QStringList{Native(tmp_.path()), Pic("pick.dat"), "pick.dat", ""}));
    EXPECT_EQ(shown, (QStringList{"Choose a picture", Native(tmp_.path()), "Pictures (*.jpg)",
                                  "All Files (*.*)"}));
    WhenDialogShows([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_FALSE(dlg_.OpenFile());

    // A new name, given the default extension.
    WhenDialogShows([](QFileDialog* dialog) {
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        TypeNameAndConfirm(dialog, "newname");
    });
    ASSERT_TRUE(dlg_.SaveFile());
    EXPECT_EQ(Outputs(), (QStringList{Native(tmp_.path()), Pic("newname.dat"), "newname.dat", ""}));
}

TEST_F(QtFileDialogTest, FolderBrowserReturnsTheFolderWithASeparator) {
    ASSERT_TRUE(QDir(tmp_.path()).mkdir("inner"));
    WhenDialogShows([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
        EXPECT_EQ(dialog->windowTitle(), "Folder");
        dialog->setDirectory(tmp_.path());  // the user walks to the parent folder
        TypeNameAndConfirm(dialog, "inner");
    });
    ASSERT_TRUE(dlg_.BrowseFolder(owner_.hWnd(), "Folder"));
    EXPECT_EQ(dlg_.FilePath, Pic("inner") + QDir::separator());
}

}  // namespace
