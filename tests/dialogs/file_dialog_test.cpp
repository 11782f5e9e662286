// cFileDialog with a scripted user, then with Qt's real dialogs driven as a user would.
#include "common/mCommon.h"
#include "dialogs/cFileDialog.h"
#include "platform/CommonDialogs.h"
#include "platform/ProcessInfo.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using dialogs::cFileDialog;
using platform::FileDialogKind;

const QString kNul(QChar(0));

struct OwnerWindow : platform::Form {
    explicit OwnerWindow(const QString& name) : Form(name) {}
};

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

int ErrorNumber(const std::function<void()>& call) try {
    return call(), 0;
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

    QTemporaryDir tmp_;
    OwnerWindow owner_{QStringLiteral("frmOwner")};
    platform::ScriptedCommonDialogs user_;  // an empty queue cancels
    platform::CommonDialogsOverride override_{user_};
    cFileDialog dlg_;
};

TEST_F(FileDialogTest, EachCallHandsTheDialogItsRecord) {
    EXPECT_FALSE(dlg_.OpenFile());
    dlg_.DefaultFileName = QString(250, 'a');  // the longest accepted
    EXPECT_FALSE(dlg_.SaveFile());
    ASSERT_EQ(user_.fileRequests.size(), 2u);
    const platform::OpenFileNameRecord& open = user_.fileRequests[0].record;
    EXPECT_EQ(user_.fileRequests[0].kind, FileDialogKind::Open);
    ASSERT_NE(owner_.hWnd(), 0u);
    EXPECT_EQ(std::tuple(open.hwndOwner, open.Flags, open.lStructSize, open.nFilterIndex,
                         open.nMaxFile, open.nMaxFileTitle, open.hInstance, open.lpfnHook),
              std::tuple(owner_.hWnd(), 6148u, 76u, 1u, 255u, 255u, 0u, nullptr));
    const QString buffer(255, kNul[0]);  // as long as the capacity handed over
    EXPECT_EQ((QStringList{open.lpstrFile, open.lpstrFileTitle, open.lpstrFilter, open.lpstrDefExt,
                           open.lpstrInitialDir, open.lpstrTitle, open.lpstrCustomFilter}),
              (QStringList{buffer, buffer, "All Files (*.*)" + kNul + "*.*" + kNul + kNul, "dat",
                           "", "", ""}));
    const platform::OpenFileNameRecord& save = user_.fileRequests[1].record;
    EXPECT_EQ(std::tuple(user_.fileRequests[1].kind, save.Flags, save.lpstrFile),
              std::tuple(FileDialogKind::Save, 2054u, QString(250, 'a') + buffer.left(5)));
}

TEST_F(FileDialogTest, OnlyAConfirmedPathThatFitsTheBufferChangesTheOutputs) {
    dlg_.FilePath = "path", dlg_.FileName = "name";
    dlg_.FileTitle = "title", dlg_.Extension = "ext";
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
    // Any script comes back exactly; a shorter name leaves no trace of the longer one.
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
    QStringList folders;
    for (const auto& request : user_.fileRequests) folders << request.record.lpstrInitialDir;
    EXPECT_EQ(folders,
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
    user_.Answer(root), user_.Answer(folder);
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
    const QStringList rest{"All (*.*) (*)", "Any (*)"};
    EXPECT_EQ(QtNameFilters(list, false), QStringList{"Pictures (*.jpg *.GIF)"} + rest);
    EXPECT_EQ(QtNameFilters(list, true),
              QStringList{"Pictures (*.[jJ][pP][gG] *.[gG][iI][fF])"} + rest);
}

TEST(ExecutableName, EndingDroppedOnlyWhereExecutablesHaveOne) {
    EXPECT_EQ(platform::detail::ExecutableNameOf("C:/Tools/duvix.v2.exe", true), "duvix.v2");
    EXPECT_EQ(platform::detail::ExecutableNameOf("/opt/duvix.v2", false), "duvix.v2");
}

// Acts on the running file dialog, then types a name and presses Return, or with none, cancels.
void WhenDialogShows(std::function<void(QFileDialog*)> act, const QString& typed = {},
                     int triesLeft = 500) {
    QTimer::singleShot(triesLeft == 500 ? 0 : 20, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr && triesLeft > 0) return WhenDialogShows(act, typed, triesLeft - 1);
        if (dialog == nullptr) return ADD_FAILURE() << "no file dialog";
        act(dialog);
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (typed.isEmpty() || edit == nullptr) return dialog->reject();
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
    });
}

TEST_F(FileDialogTest, QtDialogsShowTheRecordAndReturnTheTypedName) {
    platform::QtCommonDialogs qt(false);
    platform::CommonDialogsOverride real(qt);
    ASSERT_TRUE(QFile(Pic("pick.dat")).open(QIODevice::WriteOnly));
    dlg_.FilePath = Native(tmp_.path());
    dlg_.DialogTitle = "Choose a picture";
    dlg_.Filter = "Pictures (*.jpg)|*.jpg|All Files (*.*)|*.*|";
    QStringList shown;
    WhenDialogShows(
        [&](QFileDialog* dialog) {
            EXPECT_EQ(dialog->parentWidget(), &owner_);
            EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
            shown << dialog->windowTitle() << Native(dialog->directory().absolutePath());
            auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; combo != nullptr && i < combo->count(); ++i)
                shown << combo->itemText(i);
        },
        "pick.dat");
    ASSERT_TRUE(dlg_.OpenFile());
    EXPECT_EQ(Outputs(), (QStringList{Native(tmp_.path()), Pic("pick.dat"), "pick.dat", ""}));
    EXPECT_EQ(shown, (QStringList{"Choose a picture", Native(tmp_.path()), "Pictures (*.jpg)",
                                  "All Files (*.*)"}));
    WhenDialogShows([](QFileDialog*) {});  // nothing typed: cancelled
    EXPECT_FALSE(dlg_.OpenFile());
    // A new name, given the default extension.
    WhenDialogShows(
        [](QFileDialog* d) { EXPECT_FALSE(d->testOption(QFileDialog::DontConfirmOverwrite)); },
        "newname");
    ASSERT_TRUE(dlg_.SaveFile());
    EXPECT_EQ(Outputs(), (QStringList{Native(tmp_.path()), Pic("newname.dat"), "newname.dat", ""}));
    ASSERT_TRUE(QDir(tmp_.path()).mkdir("inner"));
    WhenDialogShows(
        [&](QFileDialog* dialog) {
            EXPECT_EQ(std::tuple(dialog->fileMode(), dialog->windowTitle()),
                      std::tuple(QFileDialog::Directory, QString("Folder")));
            dialog->setDirectory(tmp_.path());  // the user walks to the parent folder
        },
        "inner");
    ASSERT_TRUE(dlg_.BrowseFolder(owner_.hWnd(), "Folder"));
    EXPECT_EQ(dlg_.FilePath, Pic("inner") + QDir::separator());
}

}  // namespace
