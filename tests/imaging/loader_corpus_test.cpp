// Every third-party test picture: valid ones load at their declared size, invalid ones fail
// cleanly or decode leniently into a whole picture, expected-output PNGs are refused.
#include "imaging/Picture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QRegularExpression>

namespace {

#ifndef __has_feature  // GCC
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr qint64 kHangMs = 10000;  // instrumented builds run several times slower
#else
constexpr qint64 kHangMs = 2000;
#endif

// "baseline 3comp 1200x1800, EXIF orientation=6" -> upright 1800x1200.
QSize DeclaredUprightSize(const QString& note) {
    const auto m = QRegularExpression(R"(comp (\d+)x(\d+)(.*orientation=[5-8])?)").match(note);
    const QSize s(m.captured(1).toInt(), m.captured(2).toInt());
    return m.hasCaptured(3) ? s.transposed() : s;
}

void RunCorpus(const QString& format, int minimumRows) {
    const std::vector<testfiles::CorpusRow> rows = testfiles::CorpusRows(format);
    ASSERT_GE(int(rows.size()), minimumRows) << "corpus rows for " << format.toStdString();
    for (const testfiles::CorpusRow& row : rows) {
        SCOPED_TRACE(row.path.toStdString());
        QElapsedTimer timer;
        timer.start();
        const imaging::LoadResult r = imaging::LoadPictureFile(row.path, {QSize(1920, 1080), 1.0});
        EXPECT_LT(timer.elapsed(), kHangMs) << "took too long";
        EXPECT_EQ(r.error.isEmpty(), r.picture.has_value()) << r.error.toStdString();
        const imaging::Picture* p = r.picture ? &*r.picture : nullptr;
        // Under 2x the screen fit per side: a JPEG stays at its DCT reduction.
        EXPECT_TRUE(!p || (p->Width > 0 && p->Height > 0 && !p->image.isNull() &&
                           p->image.width() < 2 * 1920 && p->image.height() < 2 * 1080 &&
                           (p->image.format() == QImage::Format_RGB32 ||
                            p->image.format() == QImage::Format_ARGB32_Premultiplied)));
        const bool valid = row.note.startsWith("valid");
        EXPECT_TRUE(valid ? p != nullptr
                          : !p || !row.note.startsWith("reference"))  // PNG: not ours
            << r.error.toStdString();
        const QSize declared = valid ? DeclaredUprightSize(row.note) : QSize();
        EXPECT_EQ(p && !declared.isEmpty() ? p->naturalPixels : declared, declared);
    }
}

}  // namespace

TEST(LoaderCorpus, Bmp) { RunCorpus("bmp", 100); }
TEST(LoaderCorpus, Gif) { RunCorpus("gif", 100); }
TEST(LoaderCorpus, Jpeg) { RunCorpus("jpeg", 200); }
TEST(LoaderCorpus, Wmf) { RunCorpus("wmf", 90); }
