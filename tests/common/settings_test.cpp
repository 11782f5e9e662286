// The settings file: where it lies, how values are read back (255-character buffer,
// defaults), and what a write keeps and refuses.
#include "common/mCommon.h"
#include "platform/PrivateProfile.h"
#include "platform/RuntimeError.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include "tests/support/TestFiles.h"

namespace {

using mCommon::ReadIni;
using mCommon::WriteIni;

using testfiles::ReadBytes;
using testfiles::WriteBytes;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        mCommon::detail::ResetRememberedPaths();
        ini_ = QDir(tmp_.path()).filePath("s.ini");
    }
    void TearDown() override { mCommon::detail::ResetRememberedPaths(); }

    QString Read(const QString& section, const QString& key, const QVariant& def) {
        QString file = ini_;
        return ReadIni(section, key, def, file);
    }
    void Write(const QString& section, const QString& key, const QVariant& value) {
        QString file = ini_;
        WriteIni(section, key, value, file);
        EXPECT_EQ(file, ini_) << "a given settings file is used as passed";
    }

    QTemporaryDir tmp_;
    QString ini_;
};

// --- where the file lies ---------------------------------------------------------------

TEST(DefaultIniPath, JoinsFolderAndNameAndCollapsesDoubledSeparators) {
    using mCommon::detail::JoinIniPath;
    const QChar bs('\\');
    EXPECT_EQ(JoinIniPath("C:\\Tools", "Duvix", bs, true), "c:\\tools\\duvix.ini");
    EXPECT_EQ(JoinIniPath("C:\\", "Duvix", bs, true), "c:\\duvix.ini");
    EXPECT_EQ(JoinIniPath("C:\\Mixed Case\\Sub", "DuViX", bs, true),
              "c:\\mixed case\\sub\\duvix.ini");
    // A network folder keeps its leading pair; the rest still collapses.
    EXPECT_EQ(JoinIniPath("\\\\Server\\Share", "Duvix", bs, true), "\\\\server\\share\\duvix.ini");
    EXPECT_EQ(JoinIniPath("\\\\Server\\Share\\", "Duvix", bs, true),
              "\\\\server\\share\\duvix.ini");
    // Case-sensitive file systems keep the case, or the file would not be the one beside us.
    EXPECT_EQ(JoinIniPath("/", "duvix", '/', false), "/duvix.ini");
    EXPECT_EQ(JoinIniPath("/opt/My Tools", "Duvix", '/', false), "/opt/My Tools/Duvix.ini");
    EXPECT_EQ(JoinIniPath(QString::fromUtf8("/home/ユーザー/Été"), "Duvix", '/', false),
              QString::fromUtf8("/home/ユーザー/Été/Duvix.ini"));
}

TEST(DefaultIniPath, KeepsTheCaseOfFolderAndProgramWhereNamesAreCaseSensitive) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QString folder = QDir(tmp.path()).filePath(QString::fromUtf8("Mixed Case Ü"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString probe = QDir(folder).filePath(QFileInfo(DUVIX_INI_PATH_PROBE).fileName());
    ASSERT_TRUE(QFile::copy(DUVIX_INI_PATH_PROBE, probe)) << DUVIX_INI_PATH_PROBE;
    QProcess run;
    run.start(probe, {});
    ASSERT_TRUE(run.waitForFinished(30000));
    const QString printed = QString::fromUtf8(run.readAllStandardOutput());
    const QFileInfo exe(QFileInfo(probe).canonicalFilePath());
#if defined(Q_OS_WIN)
    const QString expected =
        QDir::toNativeSeparators(exe.absolutePath() + "/" + exe.completeBaseName() + ".ini")
            .toLower();
#else
    const QString expected = exe.absolutePath() + "/Duvix-IniProbe.ini";
#endif
    EXPECT_EQ(printed, expected);
}

// Only this case touches the file beside the executable, so parallel cases cannot meet there.
TEST(RememberedPaths, EmptyFileArgumentsUseAndReportTheDefaultFile) {
    mCommon::detail::ResetRememberedPaths();
    const QString expected = mCommon::DefaultIniPath();
    QFile::remove(expected);

    QString readFile;
    EXPECT_EQ(ReadIni("frmTest", "Path", "fallback", readFile), "fallback");
    EXPECT_EQ(readFile, expected);
    EXPECT_FALSE(QFileInfo::exists(expected)) << "a read creates nothing";

    QString writeFile;
    WriteIni("frmTest", "Path", "/pictures/holiday", writeFile);
    EXPECT_EQ(writeFile, expected);
    ASSERT_TRUE(QFileInfo::exists(expected));

    QString again;
    EXPECT_EQ(ReadIni("FRMTEST", "path", "fallback", again), "/pictures/holiday");
    EXPECT_EQ(again, expected);

    // A named file is used as it is and leaves the remembered ones alone.
    QTemporaryDir tmp;
    QString other = QDir(tmp.path()).filePath("Other.INI");
    WriteIni("frmTest", "Path", "elsewhere", other);
    EXPECT_EQ(other, QDir(tmp.path()).filePath("Other.INI"));
    QString third;
    EXPECT_EQ(ReadIni("frmTest", "Path", "", third), "/pictures/holiday");

    QFile::remove(expected);
    mCommon::detail::ResetRememberedPaths();
}

// --- reading back ----------------------------------------------------------------------

TEST_F(SettingsTest, ValuesComeBackThroughA255CharacterBuffer) {
    const QString v300(300, 'v');
    const QString v254(254, 'w');
    const QString v255(255, 'x');
    Write("S", "k300", v300);
    Write("S", "k254", v254);
    Write("S", "k255", v255);
    EXPECT_EQ(Read("S", "k300", "d"), v300.left(254));
    EXPECT_EQ(Read("S", "k254", "d"), v254);
    EXPECT_EQ(Read("S", "k255", "d"), v255.left(254));
    EXPECT_NE(ReadBytes(ini_).indexOf(v300.toUtf8()), -1) << "the file keeps the whole value";

    // A default that stands in for a missing value passes through the same buffer.
    const QString d300(300, 'd');
    EXPECT_EQ(Read("S", "missing", d300), d300.left(254));
    EXPECT_EQ(Read("S", "missing", "short"), "short");
}

TEST_F(SettingsTest, MissingOrEmptyValuesGiveTheDefault) {
    EXPECT_EQ(Read("S", "k", "no file"), "no file");
    EXPECT_FALSE(QFileInfo::exists(ini_));
    Write("S", "present", "yes");
    Write("S", "empty", "");
    EXPECT_EQ(Read("S", "empty", "dflt"), "dflt");
    EXPECT_EQ(Read("S", "absent", "dflt"), "dflt");
    EXPECT_EQ(Read("Other", "present", "dflt"), "dflt");
    EXPECT_EQ(Read("S", "absent", ""), "");
    EXPECT_EQ(Read("S", "present", "dflt"), "yes");
}

TEST_F(SettingsTest, DefaultsAndValuesAreConvertedToText) {
    Write("S", "n", 42);
    Write("S", "b", true);
    EXPECT_EQ(Read("S", "n", "d"), "42");
    EXPECT_EQ(Read("S", "b", "d"), "True");
    EXPECT_EQ(Read("S", "missing", 2.5), "2.5");
    EXPECT_EQ(Read("S", "missing", QVariant()), "");
    try {
        Read("S", "missing", QRect(1, 2, 3, 4));
        ADD_FAILURE() << "a default without a text form must raise";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.Number(), 13);
    }
    EXPECT_THROW(Write("S", "r", QRect(1, 2, 3, 4)), platform::RuntimeError);
}

TEST_F(SettingsTest, NamesMatchWithoutRegardToCase) {
    WriteBytes(ini_, "[Section]\nKey=value\n");
    EXPECT_EQ(Read("SECTION", "key", "d"), "value");
    EXPECT_EQ(Read("section", "KEY", "d"), "value");
    Write("sEcTiOn", "kEy", "changed");
    EXPECT_EQ(Read("Section", "Key", "d"), "changed");
    const QByteArray bytes = ReadBytes(ini_);
    EXPECT_EQ(bytes.count("Key="), 1) << bytes.toStdString();
    EXPECT_EQ(bytes.count("[Section]"), 1) << bytes.toStdString();
}

TEST_F(SettingsTest, TextInAnyScriptRoundTrips) {
    const QString section = QString::fromUtf8("設定 Été");
    const QString key = QString::fromUtf8("パス");
    const QString value = QString::fromUtf8("/home/ユーザー/Bilder/Ärger ñ 写真");
    Write(section, key, value);
    EXPECT_EQ(Read(section, key, "d"), value);
    EXPECT_EQ(Read(QString::fromUtf8("設定 ÉTÉ"), key, "d"), value) << "case folding beyond ASCII";
    EXPECT_NE(ReadBytes(ini_).indexOf(value.toUtf8()), -1) << "stored as UTF-8";
    // Four-byte characters are not cut in half by the buffer.
    const QString emoji = QString(253, 'a') + QString::fromUtf8("😀");
    Write(section, "emoji", emoji);
    EXPECT_EQ(Read(section, "emoji", "d"), QString(253, 'a'));
}

// --- what a write keeps ----------------------------------------------------------------

TEST_F(SettingsTest, FirstWriteCreatesFileSectionAndKey) {
    Write("frmDuvix", "Path", "/pictures");
    ASSERT_TRUE(QFileInfo::exists(ini_));
#ifdef _WIN32
    const QByteArray nl = "\r\n";  // lines end as the system's own text files do
#else
    const QByteArray nl = "\n";
#endif
    EXPECT_EQ(ReadBytes(ini_), "[frmDuvix]" + nl + "Path=/pictures" + nl);
    Write("frmDuvix", "Other", "2");
    Write("frmViewer", "Path", "/b");
    EXPECT_EQ(Read("frmDuvix", "Path", "d"), "/pictures");
    EXPECT_EQ(Read("frmDuvix", "Other", "d"), "2");
    EXPECT_EQ(Read("frmViewer", "Path", "d"), "/b");
}

TEST_F(SettingsTest, WriteKeepsOtherSectionsKeysAndComments) {
    const QByteArray original =
        "; settings of the picture tools\n"
        "; keep this header\n"
        "\n"
        "[frmDuvix]\n"
        "; the last folder\n"
        "Path=/old\n"
        "Text=<<<END\n"  // a value, not the start of lines that run to an END
        "Zoom=3\n"
        "\n"
        "; about the viewer\n"
        "[frmViewer]\n"
        "Path=/viewer\n"
        "Quoted=\"  spaced  \"\n"
        "Dup=first\n"
        "Dup=second\n"
        "; trailing remark\n"
        "; second trailing remark\n";
    WriteBytes(ini_, original);
    EXPECT_EQ(Read("frmViewer", "Quoted", "d"), "  spaced  ");
    EXPECT_EQ(Read("frmViewer", "Dup", "d"), "first");

    Write("frmDuvix", "Path", "/new");
    Write("frmDuvix", "Added", "a");
    Write("frmAbout", "Path", "/about");
    const QByteArray after = ReadBytes(ini_);
    for (const char* line : {"; settings of the picture tools", "; keep this header",
                             "; the last folder", "; about the viewer", "; trailing remark",
                             "; second trailing remark", "Zoom=3", "Path=/viewer"}) {
        EXPECT_NE(after.indexOf(line), -1) << line << "\n" << after.toStdString();
    }
    EXPECT_EQ(after.indexOf("/old"), -1);
    EXPECT_LT(after.indexOf("; trailing remark"), after.indexOf("[frmAbout]"))
        << "a new section goes after everything that was there";
    EXPECT_EQ(Read("frmDuvix", "Path", "d"), "/new");
    EXPECT_EQ(Read("frmDuvix", "Zoom", "d"), "3");
    EXPECT_EQ(Read("frmDuvix", "Text", "d"), "<<<END");
    EXPECT_EQ(Read("frmDuvix", "Added", "d"), "a");
    EXPECT_EQ(Read("frmViewer", "Path", "d"), "/viewer");
    EXPECT_EQ(Read("frmViewer", "Quoted", "d"), "  spaced  ");
    EXPECT_EQ(Read("frmAbout", "Path", "d"), "/about");
}

TEST_F(SettingsTest, FilesWithoutEntriesOrWithForeignLineEndingsAreKept) {
    WriteBytes(ini_, "; only a comment\n\n; and another\n");
    Write("S", "k", "v");
    QByteArray after = ReadBytes(ini_);
    EXPECT_TRUE(after.startsWith("; only a comment\n\n; and another\n")) << after.toStdString();
    EXPECT_EQ(Read("S", "k", "d"), "v");

    WriteBytes(ini_, "\xEF\xBB\xBF[S]\r\nk=old\r\nother=1\r\n");
    EXPECT_EQ(Read("S", "k", "d"), "old");
    Write("S", "k", "new");
    after = ReadBytes(ini_);
    EXPECT_TRUE(after.startsWith("\xEF\xBB\xBF")) << "the signature stays";
    EXPECT_EQ(Read("S", "k", "d"), "new");
    EXPECT_EQ(Read("S", "other", "d"), "1");
}

TEST_F(SettingsTest, WritesThatWouldNotReadBackAreRefused) {
    Write("S", "k", "kept");
    const QByteArray before = ReadBytes(ini_);
    Write("S", "k", "two\nlines");
    Write("S", "bad=key", "v");
    Write("Bad]Section", "k", "v");
    Write("", "k", "v");
    Write("S", "", "v");
    EXPECT_EQ(ReadBytes(ini_), before);
    EXPECT_EQ(Read("S", "k", "d"), "kept");
}

TEST_F(SettingsTest, FileIsReplacedWholeWithNothingLeftBeside) {
    for (int i = 0; i < 5; ++i) {
        Write("S", QString("k%1").arg(i), QString(100, QChar('a' + i)));
    }
    EXPECT_EQ(QDir(tmp_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"s.ini"});
    EXPECT_EQ(Read("S", "k4", "d"), QString(100, 'e'));
}

TEST_F(SettingsTest, WriteThatTheFileSystemRefusesIsIgnored) {
    // A folder the process cannot create files in. Permissions do not stop the super-user,
    // so then a folder that refuses everyone stands in.
    QDir ro(QDir(tmp_.path()).filePath("ro"));
    ASSERT_TRUE(QDir(tmp_.path()).mkdir("ro"));
    ASSERT_TRUE(QFile::setPermissions(ro.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    {
        QFile probe(ro.filePath("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.close();
            probe.remove();
            ro = QDir(QStringLiteral("/proc"));
        }
    }
    QString file = ro.filePath("s.ini");
    EXPECT_NO_THROW(WriteIni("S", "k", "v", file));
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(ReadIni("S", "k", "d", file), "d");
    QFile::setPermissions(QDir(tmp_.path()).filePath("ro"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // A folder where the file should be is neither read nor replaced.
    ASSERT_TRUE(QDir(tmp_.path()).mkdir("folder.ini"));
    QString folder = QDir(tmp_.path()).filePath("folder.ini");
    EXPECT_NO_THROW(WriteIni("S", "k", "v", folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(ReadIni("S", "k", "d", folder), "d");
}

TEST_F(SettingsTest, WritesIntoOddFilesStillReadBack) {
    // An unclosed "[" swallows the lines after it as the parser reads the file.
    for (const QByteArray& odd : {QByteArray("["), QByteArray("[\n\n"), QByteArray("[A]\nk=v\n[\n"),
                                  QByteArray("x=1\n[\n  \n; c\n"), QByteArray("[A\n]\nk=v\n"),
                                  QByteArray("\r\xEF\xBB\xBF\xEF\xBB\xBF[a]=1\n"),
                                  QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF[a]\nkey=old\n")}) {
        WriteBytes(ini_, odd);
        Write("A", "key", "written");
        EXPECT_EQ(Read("A", "key", "d"), "written") << odd.toStdString();
    }
    const QString nbsp = QString::fromUtf8("value\u00a0");
    Write("A", "nbsp", nbsp);
    EXPECT_EQ(Read("A", "nbsp", "d"), nbsp);
}

TEST_F(SettingsTest, GarbageFilesReadAsDefaults) {
    WriteBytes(ini_, QByteArray("\x00\xff\xfe[[[===\n]\n=\n[S\nk=v\n", 22));
    EXPECT_EQ(Read("S", "k", "d"), "d");
    WriteBytes(ini_, "[S]\nk=\xff\xfe latin\n");
    EXPECT_FALSE(Read("S", "k", "d").isEmpty());
    EXPECT_EQ(platform::GetPrivateProfileText("S", "k", "dd", 1, ini_), "");
    EXPECT_EQ(platform::GetPrivateProfileText("S", "missing", "dd  ", 255, ini_), "dd");
}

}  // namespace
