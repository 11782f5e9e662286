// FileExists: files of every kind are files; folders, missing and malformed paths are not.
#include "common/RegularFile.h"
#include "common/mCommon.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QString MakeFile(const QDir& dir, const QString& name, const QByteArray& bytes = "x") {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
    return QDir::toNativeSeparators(path);
}

class FileExistsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }
    QDir Dir() const { return QDir(tmp_.path()); }
    QTemporaryDir tmp_;
};

TEST_F(FileExistsTest, FilesOfEveryKindCount) {
    EXPECT_TRUE(mCommon::FileExists(MakeFile(Dir(), "plain.jpg")));
    EXPECT_TRUE(mCommon::FileExists(MakeFile(Dir(), "empty.bmp", QByteArray())));
    EXPECT_TRUE(mCommon::FileExists(MakeFile(Dir(), ".hidden.gif")));

    const QString readOnly = MakeFile(Dir(), "readonly.wmf");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    EXPECT_TRUE(mCommon::FileExists(readOnly));

    // Names in any script are kept exactly on their way to the file system.
    const QString unicode = MakeFile(Dir(), QString::fromUtf8("写真 Été ñ Ω.jpg"));
    EXPECT_TRUE(mCommon::FileExists(unicode));
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath(QString::fromUtf8("写真 Ete ñ Ω.jpg"))));
}

TEST_F(FileExistsTest, FoldersAndMissingPathsAreNotFiles) {
    ASSERT_TRUE(Dir().mkdir("sub"));
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath("sub")));
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath("sub") + QDir::separator()));
    EXPECT_FALSE(mCommon::FileExists(tmp_.path()));
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath("missing.jpg")));
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath("no-such-folder/a.jpg")));
    EXPECT_FALSE(mCommon::FileExists(QString()));
    EXPECT_FALSE(mCommon::FileExists(QStringLiteral("")));
}

TEST_F(FileExistsTest, MalformedAndWildcardPathsAreNotFiles) {
    const QString file = MakeFile(Dir(), "a.jpg");
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath("*.jpg")));
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath("?.jpg")));
    EXPECT_FALSE(mCommon::FileExists(file + QChar(0) + "tail"));
    // A file cannot be a folder on the way to something else.
    EXPECT_FALSE(mCommon::FileExists(file + "/"));
    EXPECT_FALSE(mCommon::FileExists(file + "/inner.jpg"));
#if !defined(Q_OS_WIN)
    // Even where "*" is a legal character, a wildcard path never names one file.
    const QString starred = MakeFile(Dir(), "star*.jpg");
    EXPECT_FALSE(mCommon::FileExists(starred));
#endif
}

#if !defined(Q_OS_WIN)
TEST_F(FileExistsTest, LinksAreJudgedByTheirTarget) {
    const QString file = MakeFile(Dir(), "target.jpg");
    ASSERT_TRUE(Dir().mkdir("folder"));
    ASSERT_TRUE(QFile::link(file, Dir().filePath("to-file.jpg")));
    ASSERT_TRUE(QFile::link(Dir().filePath("folder"), Dir().filePath("to-folder")));
    ASSERT_TRUE(QFile::link(Dir().filePath("gone.jpg"), Dir().filePath("dangling.jpg")));
    EXPECT_TRUE(mCommon::FileExists(Dir().filePath("to-file.jpg")));
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath("to-folder")));
    EXPECT_FALSE(mCommon::FileExists(Dir().filePath("dangling.jpg")));
}
#endif

// On Windows these names open a device in any folder; the rule itself is the same everywhere.
TEST(DeviceNames, StemBeforeTheFirstDotDecidesInAnyCase) {
    const std::pair<const char*, bool> cases[] = {
        {"con.jpg", true},
        {"C:\\pics\\CON", true},
        {"d:/x/Nul.ini", true},
        {"aux.tar.gz", true},
        {"prn .bmp", true},
        {"C:com1.gif", true},
        {"lpt9", true},
        {"conout$.txt", true},
        {"\\\\.\\pipe\\x", true},
        {"con:stream", true},
        {"x\\com\u00b9.jpg", true},
        {"com0.jpg", false},
        {"com10.jpg", false},
        {"lpt.jpg", false},
        {"console.jpg", false},
        {"icon.jpg", false},
        {"con\\photo.jpg", false},
        {"a.con", false},
        {"", false},
        {"C:\\pics\\com1x.jpg", false},
    };
    for (const auto& [path, device] : cases) {
        EXPECT_EQ(regularfile::NamesDevice(QString::fromUtf8(path)), device) << path;
    }
}

}  // namespace
