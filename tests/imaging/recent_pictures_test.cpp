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

using namespace imaging;

namespace {

const DisplayTarget kScreen{QSize(800, 600), 1.0};

qint64 Key(const LoadResult& r) { return r.picture ? r.picture->image.cacheKey() : 0; }

class RecentPictures : public ::testing::Test {
protected:
    void SetUp() override { ForgetRecentPictures(); }
    void Touch(int seconds) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite) &&
                    f.setFileTime(QDateTime::currentDateTime().addSecs(seconds),
                                  QFileDevice::FileModificationTime));
    }
    QTemporaryDir dir;
    QString path = testfiles::WriteSolidPicture(dir.path(), "p.bmp", 300, 200);
};

TEST_F(RecentPictures, AnUnchangedFileIsNotReadAgainForTheSameTarget) {
    const qint64 first = Key(LoadRecentPictureFile(path, kScreen));
    ASSERT_NE(first, 0);
    EXPECT_EQ(Key(LoadRecentPictureFile(path, kScreen)), first);
    const DisplayTarget others[] = {
        {QSize(100, 100), 1.0}, {QSize(800, 600), 2.0}, {QSize(800, 600), 1.0, true}};
    for (const DisplayTarget& t : others) EXPECT_NE(Key(LoadRecentPictureFile(path, t)), first);
    EXPECT_EQ(LoadRecentPictureFile(path, others[0]).picture->image.size(), QSize(100, 67));
    EXPECT_EQ(RecentPictureCount(), 4);
    // Only the last few are kept.
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
        LoadRecentPictureFile(testfiles::WriteSolidPicture(dir.path(), name, 20, 20), kScreen);
    EXPECT_EQ(RecentPictureCount(), 4);
    EXPECT_NE(Key(LoadRecentPictureFile(path, kScreen)), first);
}

TEST_F(RecentPictures, ChangedOrVanishedFilesAreReadAgain) {
    const qint64 first = Key(LoadRecentPictureFile(path, kScreen));
    Touch(10);  // same bytes, new time
    EXPECT_NE(Key(LoadRecentPictureFile(path, kScreen)), first);
    testfiles::WriteSolidPicture(dir.path(), "p.bmp", 200, 300);  // as many bytes
    Touch(20);
    EXPECT_EQ(LoadRecentPictureFile(path, kScreen).picture.value().naturalPixels, QSize(200, 300));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(LoadRecentPictureFile(path, kScreen).picture);
}

// What the asking thread keeps is what it asked for last, and only while the file is unchanged.
TEST_F(RecentPictures, PreparedPicturesAreKeptOnlyWhileStillWanted) {
    const QString other = testfiles::WriteSolidPicture(dir.path(), "q.jpg", 640, 480);
    // A newer load of the pane wins; a stopped one goes.
    const std::pair<std::function<void(PicturePreparer&)>, int> cases[] = {
        {[&](auto& p) { p.Prepare(1, path, kScreen), p.Prepare(1, other, kScreen); }, 1},
        {[&](auto& p) { p.Prepare(1, path, kScreen), p.Prepare(2, other, kScreen), p.Stop(path); },
         1}};
    for (const auto& [ask, kept] : cases) {
        ForgetRecentPictures();
        PicturePreparer preparer;
        ask(preparer);  // the answers come in queued calls, after this
        ASSERT_TRUE(QTest::qWaitFor([&] { return preparer.Pending() == 0; }, 10000)) << kept;
        EXPECT_EQ(RecentPictureCount(), kept);
    }
}

// Loads, changed files and double-clicks racing the worker (run under ThreadSanitizer too).
TEST_F(RecentPictures, PreparationsRaceTheWindowsOwnLoads) {
    std::vector<QString> files{path, testfiles::WriteSolidPicture(dir.path(), "r.jpg", 2400, 1600)};
    for (const testfiles::CorpusRow& row : testfiles::CorpusRows("wmf"))
        if (files.size() < 4 && row.note.startsWith("valid") && row.note.contains("text:"))
            files.push_back(row.path);
    ASSERT_EQ(files.size(), 4u);
    PicturePreparer preparer;
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
    EXPECT_EQ(LoadRecentPictureFile(path, kScreen).picture.value().naturalPixels, QSize(300, 200));
}

}  // namespace
