// Run-length BMPs: runs may skip pixels, and a skipped pixel must show colour 0, never
// whatever memory held before.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QImage>

#include "imaging/Picture.h"
#include "tests/support/TestFiles.h"

namespace {

const imaging::DisplayTarget kLarge{QSize(4000, 4000), 1.0};

void Put16(QByteArray& b, int v) {
    b.append(static_cast<char>(v & 0xff));
    b.append(static_cast<char>((v >> 8) & 0xff));
}
void Put32(QByteArray& b, int64_t v) {
    Put16(b, static_cast<int>(v & 0xffff));
    Put16(b, static_cast<int>((v >> 16) & 0xffff));
}

// A 4-pixel-wide RLE8 bitmap of the given runs, palette blue (0) and red (1).
QByteArray Rle8(int height, const QByteArray& runs) {
    QByteArray info;
    for (int64_t v : {40, 4}) Put32(info, v);
    Put32(info, height);
    Put16(info, 1);
    Put16(info, 8);
    for (int64_t v :
         {int64_t(1), int64_t(runs.size()), int64_t(2835), int64_t(2835), int64_t(2), int64_t(0)})
        Put32(info, v);  // RLE8, its size, 72 dpi, two colours
    const QByteArray palette("\xff\x00\x00\x00\x00\x00\xff\x00", 8);  // B G R 0
    QByteArray file("BM");
    Put32(file, 14 + info.size() + palette.size() + runs.size());
    Put32(file, 0);
    Put32(file, 14 + info.size() + palette.size());
    return file + info + palette + runs;
}

QImage Load(const QString& path) {
    const imaging::LoadResult r = imaging::LoadPictureFile(path, kLarge);
    EXPECT_TRUE(r.picture) << path.toStdString() << ": " << r.error.toStdString();
    return r.picture ? r.picture->image.convertToFormat(QImage::Format_RGB32) : QImage();
}

}  // namespace

TEST(BmpRunLength, SkippedPixelsAreColourZero) {
    const struct {
        int height;
        QByteArray runs;
        const char* rows;  // top row first: b blue, r red
    } cases[] = {
        // Two red; a delta to x 3 of the top row, one red there; the rest skipped.
        {2, QByteArray("\x02\x01\x00\x02\x01\x01\x01\x01\x00\x01", 10),
         "bbbr"
         "rrbb"},
        {1, QByteArray("\x01\x01\x00\x01", 4), "rbbb"},  // one row, ended early
    };
    for (const auto& c : cases) {
        const imaging::LoadResult r = imaging::LoadPictureData(Rle8(c.height, c.runs), kLarge);
        ASSERT_TRUE(r.picture) << r.error.toStdString();
        const QImage img = r.picture->image.convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(img.size(), QSize(4, c.height));
        for (int i = 0; i < 4 * c.height; ++i) {
            const QRgb want = c.rows[i] == 'r' ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
            EXPECT_EQ(img.pixel(i % 4, i / 4), want) << i % 4 << "," << i / 4;
        }
    }
}

TEST(BmpRunLength, CompressedFilesShowWhatTheirUncompressedTwinsShow) {
    const QString dir = testfiles::CorpusDir() + "/bmp/bmpsuite/g/";
    EXPECT_EQ(Load(dir + "pal8rle.bmp"), Load(dir + "pal8.bmp"));
    EXPECT_EQ(Load(dir + "pal4rle.bmp"), Load(dir + "pal4.bmp"));
}

// Broken and cut-off streams skip many pixels; two loads must agree to the pixel.
TEST(BmpRunLength, EveryLoadOfAPartialStreamIsTheSame) {
    const QString root = testfiles::CorpusDir() + "/bmp/bmpsuite/";
    int checked = 0;
    for (const char* name :
         {"b/badrle.bmp", "b/badrleter.bmp", "b/badrle4ter.bmp", "b/badrle4.bmp",
          "q/pal8rlecut.bmp", "q/pal4rlecut.bmp", "q/pal8rletrns.bmp", "q/pal4rletrns.bmp"}) {
        const QString path = root + name;
        const QImage first = Load(path);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(Load(path), first) << name;
        ++checked;
    }
    EXPECT_EQ(checked, 8);
}
