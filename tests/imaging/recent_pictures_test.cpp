// Pictures found again while their file is unchanged, read again as soon as it is not.
#include "imaging/RecentPictures.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

using imaging::DisplayTarget;
using imaging::LoadRecentPictureFile;

namespace {

const DisplayTarget kScreen{QSize(800, 600), 1.0};

qint64 Key(const imaging::LoadResult& r) { return r.picture ? r.picture->image.cacheKey() : 0; }

class RecentPictures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        imaging::ForgetRecentPictures();
        path = testfiles::WriteSolidPicture(dir.path(), "p.bmp", 300, 200, 0xff0000);
    }
    void Touch(int seconds) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(seconds),
                                  QFileDevice::FileModificationTime));
    }
    QTemporaryDir dir;
    QString path;
};

TEST_F(RecentPictures, AnUnchangedFileIsNotReadAgain) {
    const qint64 first = Key(LoadRecentPictureFile(path, kScreen));
    ASSERT_NE(first, 0);
    EXPECT_EQ(Key(LoadRecentPictureFile(path, kScreen)), first);
    // Another target is another picture.
    const DisplayTarget small{QSize(100, 100), 1.0};
    const imaging::LoadResult other = LoadRecentPictureFile(path, small);
    EXPECT_NE(Key(other), first);
    EXPECT_EQ(other.picture->image.size(), QSize(100, 67));
    EXPECT_EQ(imaging::RecentPictureCount(), 2);
}

TEST_F(RecentPictures, ChangedOrVanishedFilesAreReadAgain) {
    const qint64 first = Key(LoadRecentPictureFile(path, kScreen));
    Touch(10);  // same bytes, new time
    const qint64 second = Key(LoadRecentPictureFile(path, kScreen));
    EXPECT_NE(second, first);

    testfiles::WriteSolidPicture(dir.path(), "p.bmp", 200, 300, 0x0000ff);  // same size in bytes
    Touch(20);
    const imaging::LoadResult blue = LoadRecentPictureFile(path, kScreen);
    ASSERT_TRUE(blue.picture);
    EXPECT_EQ(blue.picture->naturalPixels, QSize(200, 300));
    EXPECT_EQ(qBlue(blue.picture->image.pixel(10, 10)), 255);

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(LoadRecentPictureFile(path, kScreen).picture);
}

TEST_F(RecentPictures, OnlyAFewPicturesAreKept) {
    for (int i = 0; i < 8; ++i) {
        const QString p =
            testfiles::WriteSolidPicture(dir.path(), QString("n%1.bmp").arg(i), 20, 20);
        ASSERT_TRUE(LoadRecentPictureFile(p, kScreen).picture);
    }
    EXPECT_LE(imaging::RecentPictureCount(), 4);
}

TEST(ReduceToFit, AJpegForAnExactSizeIsReducedBeyondItsDctScale) {
    QTemporaryDir dir;
    const QString big = testfiles::WriteSolidPicture(dir.path(), "big.jpg", 4000, 2000);
    DisplayTarget t{QSize(800, 600), 1.0};
    const imaging::LoadResult dct = imaging::LoadPictureFile(big, t);
    ASSERT_TRUE(dct.picture);
    EXPECT_EQ(dct.picture->image.size(), QSize(1000, 500));
    t.reduceToFit = true;
    const imaging::LoadResult exact = imaging::LoadPictureFile(big, t);
    ASSERT_TRUE(exact.picture);
    EXPECT_EQ(exact.picture->image.size(), QSize(800, 400));
    EXPECT_EQ(exact.picture->naturalPixels, QSize(4000, 2000));
}

}  // namespace
