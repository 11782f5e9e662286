// cFileDialog with a scripted user: the record each dialog is shown, what a confirmed or
// cancelled dialog leaves in the properties, the settings memory and the folder browser.
#include "common/mCommon.h"
#include "dialogs/cFileDialog.h"
#include "platform/CommonDialogs.h"
#include "platform/Form.h"
#include "platform/ProcessInfo.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

namespace {

using dialogs::cFileDialog;
using platform::FileDialogKind;

const QChar kNul(0);

class OwnerWindow : public platform::Form {
public:
    explicit OwnerWindow(const QString& name = QStringLiteral("frmOwner")) : Form(name) {}
};

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

int ErrorNumber(const std::function<void()>& call) {
    try {
        call();
    } catch (const platform::RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        mCommon::detail::ResetRememberedPaths();
        dlg_.OwnerForm = &owner_;
    }
    void TearDown() override { mCommon::detail::ResetRememberedPaths(); }

    QString Pic(const QString& name) const { return Native(QDir(tmp_.path()).filePath(name)); }

    QTemporaryDir tmp_;
    OwnerWindow owner_;
    platform::ScriptedCommonDialogs user_;
    platform::CommonDialogsOverride override_{user_};
    cFileDialog dlg_;
};

TEST(FileDialogCreation, PropertiesAndRecordStartWithTheirCreationValues) {
    const cFileDialog dlg;
    EXPECT_TRUE(dlg.OwnerForm.isNull());
    EXPECT_EQ(dlg.Filter, "All Files (*.*)|*.*|");
    EXPECT_EQ(dlg.DefaultExt, "dat");
    EXPECT_FALSE(dlg.INISave);
    for (const QString* s : {&dlg.FilePath, &dlg.FileName, &dlg.FileTitle, &dlg.Extension,
                             &dlg.DefaultFileName, &dlg.DialogTitle}) {
        EXPECT_TRUE(s->isEmpty());
    }
    const platform::OpenFileNameRecord& r = dlg.Record();
    EXPECT_EQ(r.lStructSize, 76u);
    EXPECT_EQ(r.nMaxFile, 255u);
    EXPECT_EQ(r.lpstrFileTitle, QString(255, kNul));
    EXPECT_EQ(r.nMaxFileTitle, 255u);
    EXPECT_EQ(r.hwndOwner, 0u);
    EXPECT_EQ(r.Flags, 0u);
    EXPECT_TRUE(r.lpstrFile.isEmpty());
    EXPECT_TRUE(r.lpstrFilter.isEmpty());
}

TEST_F(FileDialogTest, EachCallHandsTheDialogItsRecord) {
    dlg_.FilePath = Native(tmp_.path());
    dlg_.DefaultFileName = "start.jpg";
    dlg_.DefaultExt = "jpg";
    dlg_.DialogTitle = QString::fromUtf8("Bild wählen");
    user_.Cancel();
    user_.Cancel();
    EXPECT_FALSE(dlg_.OpenFile());
    EXPECT_FALSE(dlg_.SaveFile());
    ASSERT_EQ(user_.fileRequests.size(), 2u);

    const auto& open = user_.fileRequests[0];
    EXPECT_EQ(open.kind, FileDialogKind::Open);
    EXPECT_EQ(open.record.Flags, 6148u);
    EXPECT_EQ(open.record.hwndOwner, owner_.hWnd());
    EXPECT_NE(open.record.hwndOwner, 0u);
    EXPECT_EQ(open.record.nFilterIndex, 1u);
    EXPECT_EQ(open.record.lpstrInitialDir, Native(tmp_.path()));
    EXPECT_EQ(open.record.lpstrDefExt, "jpg");
    EXPECT_EQ(open.record.lpstrTitle, QString::fromUtf8("Bild wählen"));
    EXPECT_EQ(open.record.lpstrFile, "start.jpg" + QString(255 - 9, kNul));
    // The capacity handed over never exceeds the buffer handed over with it.
    EXPECT_LE(open.record.nMaxFile, static_cast<std::uint32_t>(open.record.lpstrFile.size()));
    EXPECT_EQ(open.record.lStructSize, 76u);
    EXPECT_EQ(open.record.hInstance, 0u);
    EXPECT_TRUE(open.record.lpstrCustomFilter.isEmpty());
    EXPECT_EQ(open.record.lpfnHook, nullptr);

    const auto& save = user_.fileRequests[1];
    EXPECT_EQ(save.kind, FileDialogKind::Save);
    EXPECT_EQ(save.record.Flags, 2054u);
}

TEST_F(FileDialogTest, CancelLeavesEveryOutputAsItWas) {
    dlg_.FilePath = "keep-path";
    dlg_.FileName = "keep-name";
    dlg_.FileTitle = "keep-title";
    dlg_.Extension = "keep-ext";
    user_.Cancel();
    EXPECT_FALSE(dlg_.OpenFile());
    user_.Cancel();
    EXPECT_FALSE(dlg_.SaveFile());
    EXPECT_EQ(dlg_.FilePath, "keep-path");
    EXPECT_EQ(dlg_.FileName, "keep-name");
    EXPECT_EQ(dlg_.FileTitle, "keep-title");
    EXPECT_EQ(dlg_.Extension, "keep-ext");
}

TEST_F(FileDialogTest, ConfirmedDialogsFillNameAndTitle) {
    dlg_.FilePath = "initial";
    dlg_.Extension = "was set";
    user_.Answer(Pic("a.jpg"));
    EXPECT_TRUE(dlg_.OpenFile());
    EXPECT_EQ(dlg_.FileName, Pic("a.jpg"));
    EXPECT_EQ(dlg_.FileTitle, "a.jpg");
    EXPECT_EQ(dlg_.Extension, "");
    EXPECT_EQ(dlg_.FilePath, "initial");

    // Names in any script come back exactly; a shorter name leaves no trace of the longer one.
    const QString unicode = Pic(QString::fromUtf8("写真 Été.jpg"));
    dlg_.Extension = "again";
    user_.Answer(unicode);
    EXPECT_TRUE(dlg_.SaveFile());
    EXPECT_EQ(dlg_.FileName, unicode);
    EXPECT_EQ(dlg_.FileTitle, QString::fromUtf8("写真 Été.jpg"));
    EXPECT_EQ(dlg_.Extension, "");
    user_.Answer(Native("/b"));
    EXPECT_TRUE(dlg_.OpenFile());
    EXPECT_EQ(dlg_.FileName, Native("/b"));
    EXPECT_EQ(dlg_.FileTitle, "b");
}

TEST_F(FileDialogTest, PathsLongerThanTheBufferFailLikeACancel) {
    const QString folder = Native("/" + QString(200, 'f') + "/");
    const QString fits = folder + QString(254 - folder.size(), 'n');
    const QString tooLong = fits + "x";
    dlg_.FileName = "before";
    user_.Answer(tooLong);
    EXPECT_FALSE(dlg_.OpenFile());
    EXPECT_EQ(dlg_.FileName, "before");
    user_.Answer(fits);
    EXPECT_TRUE(dlg_.OpenFile());
    EXPECT_EQ(dlg_.FileName, fits);
    EXPECT_EQ(dlg_.FileTitle, QString(254 - folder.size(), 'n'));
}

TEST_F(FileDialogTest, FilterIsConvertedInPlaceAndShowsTheSameListEveryTime) {
    user_.Cancel();
    user_.Cancel();
    dlg_.OpenFile();
    EXPECT_EQ(dlg_.Filter, QString("All Files (*.*)") + kNul + "*.*" + kNul);
    dlg_.OpenFile();
    EXPECT_EQ(dlg_.Filter, QString("All Files (*.*)") + kNul + "*.*" + kNul);
    ASSERT_EQ(user_.fileRequests.size(), 2u);
    const QString expected = QString("All Files (*.*)") + kNul + "*.*" + kNul + kNul;
    EXPECT_EQ(user_.fileRequests[0].record.lpstrFilter, expected);
    EXPECT_EQ(user_.fileRequests[1].record.lpstrFilter, expected);

    // Without a closing separator the list still ends in two NULs.
    dlg_.Filter = "JPEG (*.jpg)|*.jpg";
    user_.Cancel();
    dlg_.OpenFile();
    EXPECT_EQ(dlg_.Filter, QString("JPEG (*.jpg)") + kNul + "*.jpg");
    EXPECT_EQ(user_.fileRequests[2].record.lpstrFilter,
              QString("JPEG (*.jpg)") + kNul + "*.jpg" + kNul + kNul);
}

TEST(QtNameFilters, PairsBecomeFiltersThatMatchLikeTheDesktops) {
    const QChar n(0);
    const QStringList filters = platform::detail::QtNameFilters(
        QString("Pictures") + n + "*.jpg;*.GIF" + n + "All Files (*.*)" + n + "*.*" + n + n);
    ASSERT_EQ(filters.size(), 2);
    EXPECT_EQ(filters[0], platform::detail::kCaseSensitiveNames
                              ? "Pictures (*.[jJ][pP][gG] *.[gG][iI][fF])"
                              : "Pictures (*.jpg *.GIF)");
    EXPECT_EQ(filters[1], "All Files (*.*) (*)");
    EXPECT_TRUE(platform::detail::QtNameFilters(QString(2, n)).isEmpty());
    // Both rules, whatever this machine is.
    const QString list = QString("JPEG") + n + "*.jpg" + n + n;
    EXPECT_EQ(platform::detail::QtNameFilters(list, false), QStringList{"JPEG (*.jpg)"});
    EXPECT_EQ(platform::detail::QtNameFilters(list, true), QStringList{"JPEG (*.[jJ][pP][gG])"});
}

TEST(ExecutableName, EndingDroppedOnlyWhereExecutablesHaveOne) {
    EXPECT_EQ(platform::detail::ExecutableNameOf("C:/Tools/Duvix.exe", true), "Duvix");
    EXPECT_EQ(platform::detail::ExecutableNameOf("C:/Tools/duvix.v2.exe", true), "duvix.v2");
    EXPECT_EQ(platform::detail::ExecutableNameOf("/usr/bin/duvix", false), "duvix");
    EXPECT_EQ(platform::detail::ExecutableNameOf("/opt/duvix.v2", false), "duvix.v2");
}

TEST_F(FileDialogTest, DefaultFileNameOf250IsTheLongestAccepted) {
    dlg_.DefaultFileName = QString(250, 'a');
    user_.Cancel();
    EXPECT_FALSE(dlg_.OpenFile());
    ASSERT_EQ(user_.fileRequests.size(), 1u);
    EXPECT_EQ(user_.fileRequests[0].record.lpstrFile.left(250), QString(250, 'a'));

    dlg_.DefaultFileName = QString(251, 'a');
    dlg_.Filter = "A|*.a|";
    EXPECT_EQ(ErrorNumber([&] { dlg_.OpenFile(); }), platform::kErrInvalidArgument);
    EXPECT_EQ(ErrorNumber([&] { dlg_.SaveFile(); }), platform::kErrInvalidArgument);
    EXPECT_EQ(user_.fileRequests.size(), 1u) << "no dialog after the error";
    EXPECT_EQ(dlg_.Filter, QString("A") + kNul + "*.a" + kNul) << "converted before the error";
}

TEST_F(FileDialogTest, WithoutAnOwnerNothingIsShown) {
    cFileDialog lonely;
    EXPECT_EQ(ErrorNumber([&] { lonely.OpenFile(); }), 91);
    lonely.INISave = true;
    EXPECT_EQ(ErrorNumber([&] { lonely.SaveFile(); }), 91);

    auto gone = std::make_unique<OwnerWindow>();
    lonely.OwnerForm = gone.get();
    gone.reset();
    EXPECT_EQ(ErrorNumber([&] { lonely.OpenFile(); }), 91);
    EXPECT_TRUE(user_.fileRequests.empty());
}

// Files in the executable's folder other than other test programs' own settings files.
QStringList ExecutableFolderListing() {
    const QDir dir(QCoreApplication::applicationDirPath());
    QStringList names;
    for (const QString& name :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString program = name.endsWith(".ini") ? name.chopped(4) : QString();
        if (!program.isEmpty() && program != platform::ExecutableName() && dir.exists(program)) {
            continue;  // another test program running beside this one
        }
        names << name;
    }
    return names;
}

// The one case here that touches the settings file beside the executable.
TEST_F(FileDialogTest, SettingsMemoryKeepsTheFolderPerOwnerWindowWhenOn) {
    const QString ini = mCommon::DefaultIniPath();
    QFile::remove(ini);

    // Off: the settings file is neither read nor written.
    const QStringList before = ExecutableFolderListing();
    user_.Answer(Pic("one.jpg"));
    user_.Answer(Pic("two.jpg"));
    EXPECT_TRUE(dlg_.OpenFile());
    EXPECT_TRUE(dlg_.SaveFile());
    EXPECT_TRUE(dlg_.FilePath.isEmpty());
    EXPECT_EQ(ExecutableFolderListing(), before);

    // On, empty FilePath, nothing stored: the executable's folder, loaded before the dialog.
    dlg_.INISave = true;
    const QString pictures = Native(QDir(tmp_.path()).filePath(QString::fromUtf8("Bilder ü")));
    user_.Answer(pictures + QDir::separator() + "pic.jpg");
    EXPECT_TRUE(dlg_.OpenFile());
    ASSERT_EQ(user_.fileRequests.size(), 3u);
    EXPECT_EQ(user_.fileRequests[2].record.lpstrInitialDir, platform::ExecutableFolder());
    EXPECT_EQ(dlg_.FilePath, platform::ExecutableFolder());
    ASSERT_TRUE(QFileInfo::exists(ini));
    QString file;
    EXPECT_EQ(mCommon::ReadIni("frmOwner", "Path", "none", file), pictures)
        << "the folder of the chosen file is stored";

    // A new object of the same owner kind opens where the last one left.
    cFileDialog next;
    next.OwnerForm = &owner_;
    next.INISave = true;
    user_.Cancel();
    EXPECT_FALSE(next.SaveFile());
    EXPECT_EQ(next.FilePath, pictures);
    EXPECT_EQ(user_.fileRequests[3].record.lpstrInitialDir, pictures);

    // Another owner kind keeps its own entry; a set FilePath is not replaced from the file.
    OwnerWindow other(QStringLiteral("frmOther"));
    cFileDialog third;
    third.OwnerForm = &other;
    third.INISave = true;
    third.FilePath = "chosen-by-caller";
    user_.Answer(Pic("x.png"));
    EXPECT_TRUE(third.OpenFile());
    EXPECT_EQ(user_.fileRequests[4].record.lpstrInitialDir, "chosen-by-caller");
    EXPECT_EQ(third.FilePath, "chosen-by-caller");
    EXPECT_EQ(mCommon::ReadIni("frmOther", "Path", "none", file), Native(tmp_.path()));
    EXPECT_EQ(mCommon::ReadIni("frmOwner", "Path", "none", file), pictures);

    QFile::remove(ini);
}

TEST_F(FileDialogTest, BrowseFolderEndsThePathInOneSeparator) {
    const QString sep = QDir::separator();
    const QString root = Native(QDir::rootPath());
    user_.Answer(root);
    EXPECT_TRUE(dlg_.BrowseFolder(owner_.hWnd(), "Pick"));
    EXPECT_EQ(dlg_.FilePath, root);
    EXPECT_FALSE(dlg_.FilePath.endsWith(sep + sep));

    const QString folder = Native(QDir(tmp_.path()).filePath(QString::fromUtf8("Ordner ä")));
    user_.Answer(folder);
    EXPECT_TRUE(dlg_.BrowseFolder(owner_.hWnd(), "Pick"));
    EXPECT_EQ(dlg_.FilePath, folder + sep);

    user_.Cancel();
    EXPECT_FALSE(dlg_.BrowseFolder(owner_.hWnd(), "Pick"));
    EXPECT_EQ(dlg_.FilePath, folder + sep);

    // Longer than the browser's 512-character buffer: a failure, not a cut path.
    user_.Answer(Native("/" + QString(600, 'l')));
    EXPECT_FALSE(dlg_.BrowseFolder(owner_.hWnd(), "Pick"));
    EXPECT_EQ(dlg_.FilePath, folder + sep);

    ASSERT_EQ(user_.folderRequests.size(), 4u);
    const platform::BrowseInfoRecord& info = user_.folderRequests[0];
    EXPECT_EQ(info.hwndOwner, owner_.hWnd());
    EXPECT_EQ(info.lpszTitle, "Pick");
    EXPECT_EQ(info.ulFlags, 1u);
    EXPECT_EQ(info.pidlRoot, nullptr);
    EXPECT_EQ(info.pszDisplayName, nullptr);
    EXPECT_TRUE(user_.fileRequests.empty());
}

TEST_F(FileDialogTest, BrowseFolderNeedsNoOwnerObject) {
    cFileDialog lonely;
    user_.Answer(Native(tmp_.path()));
    EXPECT_TRUE(lonely.BrowseFolder(0, QString()));
    EXPECT_EQ(lonely.FilePath, Native(tmp_.path()) + QDir::separator());
}

}  // namespace
