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

// A 4 x 2 RLE8 bitmap, palette blue (0) and red (1). Bottom row: two red, then a delta jumps
// to x 3 of the top row, which gets one red pixel; everything else is skipped.
QByteArray SkippingRle8() {
    const QByteArray runs("\x02\x01\x00\x02\x01\x01\x01\x01\x00\x01", 10);
    QByteArray info;
    Put32(info, 40);
    Put32(info, 4);
    Put32(info, 2);
    Put16(info, 1);
    Put16(info, 8);
    Put32(info, 1);  // RLE8
    Put32(info, runs.size());
    Put32(info, 2835);
    Put32(info, 2835);
    Put32(info, 2);
    Put32(info, 0);
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
    const imaging::LoadResult r = imaging::LoadPictureData(SkippingRle8(), kLarge);
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    const QImage img = r.picture->image.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(img.size(), QSize(4, 2));
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255);
    const QRgb want[2][4] = {{blue, blue, blue, red}, {red, red, blue, blue}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(img.pixel(x, y), want[y][x]) << x << "," << y;
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
