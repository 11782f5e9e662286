// Every third-party test picture through the loader.
// valid: loads with its declared size. invalid: fails cleanly, or is decoded leniently into a
// whole picture (Qt's BMP and GIF readers accept several "bad" suite files). edge: either.
// Expected-output PNGs are inputs too: PNG is not ours, so they must be refused.
#include "imaging/Picture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QRegularExpression>

#include <map>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 kHangMs = 10000;  // instrumented builds run several times slower
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr qint64 kHangMs = 10000;
#else
constexpr qint64 kHangMs = 2000;
#endif
#else
constexpr qint64 kHangMs = 2000;
#endif

// "baseline 3comp 1200x1800, EXIF orientation=6" -> upright 1800x1200.
QSize DeclaredUprightSize(const QString& note) {
    const auto m = QRegularExpression(R"(comp (\d+)x(\d+))").match(note);
    if (!m.hasMatch()) return {};
    QSize s(m.captured(1).toInt(), m.captured(2).toInt());
    const auto o = QRegularExpression(R"(orientation=(\d))").match(note);
    if (o.hasMatch() && o.captured(1).toInt() >= 5) s.transpose();
    return s;
}

void RunCorpus(const QString& format, int minimumRows) {
    const std::vector<testfiles::CorpusRow> rows = testfiles::CorpusRows(format);
    ASSERT_GE(static_cast<int>(rows.size()), minimumRows)
        << "corpus rows for " << format.toStdString();
    const imaging::DisplayTarget target{QSize(1920, 1080), 1.0};
    std::map<QString, std::pair<int, int>> tally;  // expectation -> (loaded, failed)
    for (const testfiles::CorpusRow& row : rows) {
        SCOPED_TRACE(row.path.toStdString());
        QElapsedTimer timer;
        timer.start();
        const imaging::LoadResult r = imaging::LoadPictureFile(row.path, target);
        EXPECT_LT(timer.elapsed(), kHangMs) << "took too long";
        // valid, edge, invalid, invalid/edge or reference
        const QString expectation = row.note.section(' ', 0, 0);
        auto& [loaded, failed] = tally[expectation];
        if (r.picture) {
            ++loaded;
            const imaging::Picture& p = *r.picture;
            EXPECT_TRUE(r.error.isEmpty());
            EXPECT_FALSE(p.image.isNull());
            EXPECT_GT(p.Width, 0);
            EXPECT_GT(p.Height, 0);
            // Under 2x the screen fit per side: a JPEG stays at its DCT reduction.
            EXPECT_LT(p.image.width(), 2 * 1920);
            EXPECT_LT(p.image.height(), 2 * 1080);
            EXPECT_TRUE(p.image.format() == QImage::Format_RGB32 ||
                        p.image.format() == QImage::Format_ARGB32_Premultiplied);
        } else {
            ++failed;
            EXPECT_FALSE(r.error.isEmpty());
        }
        if (expectation == "valid") {
            EXPECT_TRUE(r.picture) << "valid picture refused: " << r.error.toStdString();
            const QSize declared = DeclaredUprightSize(row.note);
            if (r.picture && declared.isValid()) {
                EXPECT_EQ(r.picture->naturalPixels, declared);
            }
        } else if (expectation == "reference") {
            EXPECT_FALSE(r.picture) << "expected-output PNG accepted";
        }
    }
    for (const auto& [expectation, counts] : tally) {
        std::printf("%s %s: %d loaded, %d failed\n", format.toStdString().c_str(),
                    expectation.toStdString().c_str(), counts.first, counts.second);
    }
}

}  // namespace

TEST(LoaderCorpus, Bmp) { RunCorpus("bmp", 100); }
TEST(LoaderCorpus, Gif) { RunCorpus("gif", 100); }
TEST(LoaderCorpus, Jpeg) { RunCorpus("jpeg", 200); }
TEST(LoaderCorpus, Wmf) { RunCorpus("wmf", 90); }
