#include "common/RegularFile.h"
#include "common/mCommon.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class FileExistsTest : public ::testing::Test {
protected:
    QString Make(const QString& name, const QByteArray& bytes = "x") {
        testfiles::WriteBytes(dir_.filePath(name), bytes);
        return QDir::toNativeSeparators(dir_.filePath(name));
    }
    QTemporaryDir tmp_;
    const QDir dir_{tmp_.path()};
};

TEST_F(FileExistsTest, FilesOfEveryKindCountAndNothingElseDoes) {
    const QString file = Make("a.jpg"), readOnly = Make("readonly.wmf");
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    ASSERT_TRUE(dir_.mkdir("sub"));
    for (const QString& path : {file, readOnly, Make("empty.bmp", {}), Make(".hidden.gif"),
                                Make(QString::fromUtf8("写真 Été ñ Ω.jpg"))}) {
        EXPECT_TRUE(mCommon::FileExists(path)) << path.toStdString();
    }
    // Names in any script are kept exactly; a file is no folder on the way to another.
    for (const QString& path :
         {dir_.filePath(QString::fromUtf8("写真 Ete ñ Ω.jpg")), dir_.filePath("sub"),
          dir_.filePath("sub") + QDir::separator(), dir_.filePath("missing.jpg"), QString(),
          dir_.filePath("?.jpg"), file + QChar(0) + "tail", file + "/", file + "/inner.jpg"}) {
        EXPECT_FALSE(mCommon::FileExists(path)) << path.toStdString();
    }
}

#if !defined(Q_OS_WIN)
TEST_F(FileExistsTest, LinksAreJudgedByTheirTargetAndWildcardNamesNeverCount) {
    ASSERT_TRUE(dir_.mkdir("folder"));
    ASSERT_TRUE(QFile::link(Make("target.jpg"), dir_.filePath("to-file.jpg")));
    ASSERT_TRUE(QFile::link(dir_.filePath("folder"), dir_.filePath("to-folder")));
    ASSERT_TRUE(QFile::link(dir_.filePath("gone.jpg"), dir_.filePath("dangling.jpg")));
    EXPECT_TRUE(mCommon::FileExists(dir_.filePath("to-file.jpg")));
    EXPECT_FALSE(mCommon::FileExists(dir_.filePath("to-folder")));
    EXPECT_FALSE(mCommon::FileExists(dir_.filePath("dangling.jpg")));
    EXPECT_FALSE(mCommon::FileExists(Make("star*.jpg")));
}
#endif

// On Windows these names open a device in any folder; the rule itself is the same everywhere.
TEST(DeviceNames, StemBeforeTheFirstDotDecidesInAnyCase) {
    for (const char* device : {"con.jpg", "C:\\pics\\CON", "d:/x/Nul.ini", "aux.tar.gz", "prn .bmp",
                               "C:com1.gif", "lpt9", "conout$.txt", "CONIN$", "\\\\.\\pipe\\x",
                               "//./x", "con:stream", "x\\com\u00b9.jpg", "lpt\u00b3"}) {
        EXPECT_TRUE(regularfile::NamesDevice(QString::fromUtf8(device))) << device;
    }
    for (const char* file : {"com0.jpg", "com10.jpg", "lpt.jpg", "console.jpg", "icon.jpg",
                             "con\\photo.jpg", "a.con", "", "C:\\pics\\com1x.jpg"}) {
        EXPECT_FALSE(regularfile::NamesDevice(QString::fromUtf8(file))) << file;
    }
}

}  // namespace
