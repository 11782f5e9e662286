// Pictures found again while their file is unchanged, read again as soon as it is not.
#include "imaging/PicturePreparer.h"
#include "imaging/RecentPictures.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <vector>

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

// Preparations run on the worker; what the asking thread keeps is what it asked for last, and
// only while the file is the one that was read.
TEST_F(RecentPictures, PreparedPicturesAreKeptOnlyWhileStillWanted) {
    const QString other = testfiles::WriteSolidPicture(dir.path(), "q.jpg", 640, 480);
    struct Case {
        const char* what;
        std::function<void(imaging::PicturePreparer&)> ask;
        std::vector<QString> kept;
    };
    const std::vector<Case> cases{
        {"one per pane",
         [&](auto& p) { p.Prepare(1, path, kScreen), p.Prepare(2, other, kScreen); },
         {path, other}},
        {"a newer load of the pane wins",
         [&](auto& p) { p.Prepare(1, path, kScreen), p.Prepare(1, other, kScreen); },
         {other}},
        {"stopped",
         [&](auto& p) { p.Prepare(1, path, kScreen), p.Prepare(2, other, kScreen), p.Stop(path); },
         {other}},
    };
    for (const Case& c : cases) {
        imaging::ForgetRecentPictures();
        imaging::PicturePreparer preparer;
        c.ask(preparer);  // the answers come in queued calls, after this
        ASSERT_TRUE(QTest::qWaitFor([&] { return preparer.Pending() == 0; }, 10000)) << c.what;
        EXPECT_EQ(imaging::RecentPictureCount(), static_cast<int>(c.kept.size())) << c.what;
    }
}

// Loads, changed files and double-clicks racing the worker (run under ThreadSanitizer too).
TEST_F(RecentPictures, PreparationsRaceTheWindowsOwnLoads) {
    std::vector<QString> files{path, testfiles::WriteSolidPicture(dir.path(), "r.jpg", 2400, 1600)};
    for (const testfiles::CorpusRow& row : testfiles::CorpusRows("wmf")) {
        if (row.note.startsWith("valid") && row.note.contains("text:")) files.push_back(row.path);
        if (files.size() == 4) break;
    }
    ASSERT_EQ(files.size(), 4u);
    imaging::PicturePreparer preparer;
    for (int i = 0; i < 24; ++i) {
        const QString& file = files[i % files.size()];
        preparer.Prepare(1 + i % 2, file, kScreen);
        if (i % 5 == 4) Touch(i);
        if (i % 3 == 2) {
            preparer.Stop(file);
            EXPECT_TRUE(LoadRecentPictureFile(file, kScreen).picture) << file.toStdString();
        }
        QTest::qWait(i % 4 == 0 ? 1 : 0);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return preparer.Pending() == 0; }, 30000));
    const imaging::LoadResult last = LoadRecentPictureFile(path, kScreen);
    ASSERT_TRUE(last.picture);
    EXPECT_EQ(last.picture->naturalPixels, QSize(300, 200));
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
    EXPECT_EQ(exact.picture->decodedPixels, QSize(1000, 500));
    EXPECT_EQ(exact.picture->image.pixel(400, 200), dct.picture->image.pixel(500, 250));

    imaging::StopFlag stop{true};
    const imaging::LoadResult stopped = imaging::LoadPictureFile(big, t, &stop);
    EXPECT_FALSE(stopped.picture);
    EXPECT_EQ(stopped.error, "stopped");
}

}  // namespace
