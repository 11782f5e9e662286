#include "common/mCommon.h"
#include "platform/PrivateProfile.h"
#include "platform/RuntimeError.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>

namespace {
using testfiles::ReadBytes;
using testfiles::WriteBytes;

class SettingsTest : public ::testing::Test {
protected:
    QString Read(const QString& section, const QString& key, const QVariant& def = "d") {
        return mCommon::ReadIni(section, key, def, file_ = ini_);
    }
    void Write(const QString& section, const QString& key, const QVariant& value) {
        mCommon::WriteIni(section, key, value, file_ = ini_);
        EXPECT_EQ(file_, ini_) << "a given settings file is used as passed";
    }
    QTemporaryDir tmp_;
    const QString ini_ = QDir(tmp_.path()).filePath("s.ini");
    QString file_;
};

TEST(DefaultIniPath, JoinsFolderAndNameAndCollapsesDoubledSeparators) {
    using mCommon::detail::JoinIniPath;
    EXPECT_EQ(JoinIniPath("C:\\", "DuViX", '\\', true), "c:\\duvix.ini");
    EXPECT_EQ(JoinIniPath("\\\\Srv\\Share\\", "Duvix", '\\', true), "\\\\srv\\share\\duvix.ini");
    EXPECT_EQ(JoinIniPath("/", "Duvix", '/', false), "/Duvix.ini");
}

TEST_F(SettingsTest, DefaultPathKeepsTheCaseOfFolderAndProgramWhereNamesAreCaseSensitive) {
    const QString folder = QDir(tmp_.path()).filePath(QString::fromUtf8("Mixed Case Ü"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString probe = folder + "/" + QFileInfo(DUVIX_SETTINGS_WRITER).fileName();
    ASSERT_TRUE(QFile::copy(DUVIX_SETTINGS_WRITER, probe)) << DUVIX_SETTINGS_WRITER;
    QProcess run;
    run.start(probe, {});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QFileInfo exe(QFileInfo(probe).canonicalFilePath());
#if defined(Q_OS_WIN)
    const QString expected =
        QDir::toNativeSeparators(exe.absolutePath() + "/" + exe.completeBaseName() + ".ini")
            .toLower();
#else
    const QString expected = exe.absolutePath() + "/Duvix-IniProbe.ini";
#endif
    EXPECT_EQ(QString::fromUtf8(run.readAllStandardOutput()), expected);
}

// Only this case touches the file beside the executable, so parallel cases cannot meet there.
TEST(RememberedPaths, EmptyFileArgumentsUseAndReportTheDefaultFile) {
    mCommon::detail::ResetRememberedPaths();
    const QString expected = mCommon::DefaultIniPath();
    QFile::remove(expected);
    QString read, written, again;
    EXPECT_EQ(mCommon::ReadIni("frmTest", "Path", "fallback", read), "fallback");
    EXPECT_FALSE(QFileInfo::exists(expected)) << "a read creates nothing";
    mCommon::WriteIni("frmTest", "Path", "/pictures/holiday", written);
    EXPECT_EQ(mCommon::ReadIni("FRMTEST", "path", "fallback", again), "/pictures/holiday");
    EXPECT_EQ(QStringList({read, written, again}), QStringList(3, expected));
    QFile::remove(expected);
    mCommon::detail::ResetRememberedPaths();
}

TEST_F(SettingsTest, ValuesComeBackThroughA255CharacterBufferOrAsTheDefault) {
    EXPECT_EQ(Read("S", "k", "no file"), "no file");
    for (const auto& [key, value] :
         std::vector<std::pair<QString, QVariant>>{{"k254", QString(254, 'w')},
                                                   {"k255", QString(255, 'x')},
                                                   {"empty", ""},
                                                   {"n", 42},
                                                   {"b", true}})
        Write("S", key, value);
    EXPECT_NE(ReadBytes(ini_).indexOf(QByteArray(255, 'x')), -1) << "the file keeps it whole";
    EXPECT_EQ(QStringList({Read("S", "k254"), Read("S", "k255"), Read("S", "n"), Read("S", "b")}),
              QStringList({QString(254, 'w'), QString(254, 'x'), "42", "True"}));
    // Defaults stand in for missing or empty values and pass through the same buffer.
    EXPECT_EQ(QStringList({Read("S", "empty", "dflt"), Read("Other", "n", "dflt"),
                           Read("S", "no", QString(300, 'd')), Read("S", "no", 2.5),
                           Read("S", "no", QVariant())}),
              QStringList({"dflt", "dflt", QString(254, 'd'), "2.5", ""}));
    EXPECT_THROW(Write("S", "r", QRect(1, 2, 3, 4)), platform::RuntimeError);
    try {
        Read("S", "no", QRect(1, 2, 3, 4));
        ADD_FAILURE() << "a default without a text form must raise";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.Number(), 13);
    }
}

TEST_F(SettingsTest, NamesMatchWithoutRegardToCaseInAnyScript) {
    WriteBytes(ini_, "[Section]\nKey=value\n");
    EXPECT_EQ(Read("SECTION", "key"), "value");
    Write("sEcTiOn", "kEy", "changed");
    EXPECT_EQ(ReadBytes(ini_).replace("\r", ""), "[Section]\nKey=changed\n");
    const QString section = QString::fromUtf8("設定 Été"),
                  value = QString::fromUtf8("/home/ユーザー/Bilder/Ärger ñ 写真");
    Write(section, QString::fromUtf8("パス"), value);
    EXPECT_EQ(Read(QString::fromUtf8("設定 ÉTÉ"), QString::fromUtf8("パス")), value);
    EXPECT_NE(ReadBytes(ini_).indexOf(value.toUtf8()), -1) << "stored as UTF-8";
    Write(section, "emoji", QString(253, 'a') + QString::fromUtf8("😀"));
    EXPECT_EQ(Read(section, "emoji"), QString(253, 'a'));
}

TEST_F(SettingsTest, FirstWriteCreatesTheFileAndLaterOnesReplaceItWithNothingLeftBeside) {
    Write("frmDuvix", "Path", "/pictures");
#ifdef _WIN32
    const QByteArray nl = "\r\n";
#else
    const QByteArray nl = "\n";
#endif
    EXPECT_EQ(ReadBytes(ini_), "[frmDuvix]" + nl + "Path=/pictures" + nl);
    Write("frmDuvix", "Path", "/other");
    EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"s.ini"});
}

TEST_F(SettingsTest, WriteKeepsOtherSectionsKeysAndComments) {
    WriteBytes(ini_,
               "; settings of the picture tools\n\n[frmDuvix]\n; the last folder\nPath=/old\n"
               "Text=<<<END\n"  // a value, not the start of lines that run to an END
               "Zoom=3\n\n; about the viewer\n[frmViewer]\nQuoted=\"  spaced  \"\n"
               "Dup=first\nDup=second\n; trailing remark\n; second trailing remark\n");
    Write("frmDuvix", "Path", "/new");
    Write("frmDuvix", "Added", "a");
    Write("frmAbout", "Path", "/about");
    const QByteArray after = ReadBytes(ini_);
    for (const char* line : {"; settings of the picture tools", "; the last folder",
                             "; about the viewer", "; trailing remark", "Zoom=3"})
        EXPECT_NE(after.indexOf(line), -1) << line << "\n" << after.toStdString();
    EXPECT_EQ(after.indexOf("/old"), -1);
    EXPECT_LT(after.indexOf("; second trailing remark"), after.indexOf("[frmAbout]"))
        << "a new section goes after everything that was there";
    EXPECT_EQ(QStringList({Read("frmDuvix", "Path"), Read("frmDuvix", "Text"),
                           Read("frmDuvix", "Added"), Read("frmViewer", "Quoted"),
                           Read("frmViewer", "Dup"), Read("frmAbout", "Path")}),
              QStringList({"/new", "<<<END", "a", "  spaced  ", "first", "/about"}));
}

TEST_F(SettingsTest, WritesIntoOddFilesKeepWhatTheyCanAndReadBack) {
    // A file without entries is kept whole, and a signature stays.
    const QByteArray kept[] = {"; only a comment\n\n; and another\n", "\xEF\xBB\xBF[A]"};
    int i = 0;
    for (const QByteArray& odd :
         {kept[0], kept[1] + "\r\nkey=old\r\n", QByteArray("["), QByteArray("[\n\n"),
          QByteArray("[A]\nk=v\n[\n"), QByteArray("x=1\n[\n  \n; c\n"), QByteArray("[A\n]\nk=v\n"),
          QByteArray("\r\xEF\xBB\xBF\xEF\xBB\xBF[a]=1\n"),
          QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[a]\nkey=old\n")}) {
        WriteBytes(ini_, odd);
        Write("A", "key", "written");
        EXPECT_EQ(Read("A", "key"), "written") << odd.toStdString();
        EXPECT_TRUE(ReadBytes(ini_).startsWith(i < 2 ? kept[i] : QByteArray())) << i;
        ++i;
    }
    Write("A", "nbsp", QString::fromUtf8("value\u00a0"));
    EXPECT_EQ(Read("A", "nbsp"), QString::fromUtf8("value\u00a0"));
}

TEST_F(SettingsTest, WritesThatWouldNotReadBackAreRefused) {
    Write("S", "k", "kept");
    const QByteArray before = ReadBytes(ini_);
    const QString refused[][3] = {{"S", "k", "a\nb"}, {"S", "b=k", "v"}, {"S", "", "v"},
                                  {"B]S", "k", "v"},  {"", "k", "v"},    {"S", ";k", "v"}};
    for (const auto& w : refused) Write(w[0], w[1], w[2]);
    EXPECT_EQ(ReadBytes(ini_), before);
}

TEST_F(SettingsTest, AFolderWhereTheFileShouldBeIsNeitherReadNorReplaced) {
    ASSERT_TRUE(QDir(tmp_.path()).mkdir("s.ini"));
    EXPECT_NO_THROW(Write("S", "k", "v"));
    EXPECT_EQ(Read("S", "k"), "d");
    EXPECT_TRUE(QFileInfo(ini_).isDir());
}

TEST_F(SettingsTest, GarbageFilesReadAsDefaults) {
    WriteBytes(ini_, QByteArray("\x00\xff\xfe[[[===\n]\n=\n[S\nk=v\n", 22));
    EXPECT_EQ(Read("S", "k"), "d");
    WriteBytes(ini_, "[S]\nk=\xff\xfe latin\n");
    EXPECT_FALSE(Read("S", "k").isEmpty());
    EXPECT_EQ(platform::GetPrivateProfileText("S", "k", "dd", 1, ini_), "");
    EXPECT_EQ(platform::GetPrivateProfileText("S", "missing", "dd  ", 255, ini_), "dd");
}

}  // namespace
