// Run-length BMPs: runs may skip pixels, and a skipped pixel must show colour 0, never
// whatever memory held before.
#include "imaging/Picture.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDataStream>
#include <QIODevice>

namespace {

const imaging::DisplayTarget kLarge{QSize(4000, 4000), 1.0};

// A 4-pixel-wide RLE8 bitmap of the given runs, palette blue (0) and red (1).
QByteArray Rle8(int height, const QByteArray& runs) {
    QByteArray file;
    QDataStream s(&file, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    const quint32 offset = 14 + 40 + 8, size = quint32(runs.size());
    s << quint16(0x4D42) << offset + size << quint32(0) << offset;  // "BM"
    s << quint32(40) << qint32(4) << qint32(height) << quint16(1) << quint16(8);
    s << quint32(1) << size << quint32(2835) << quint32(2835) << quint32(2) << quint32(0);
    s << quint32(0x0000FF) << quint32(0xFF0000);  // blue, red
    return file + runs;
}

QImage Rgb(const imaging::LoadResult& r) {
    EXPECT_TRUE(r.picture) << r.error.toStdString();
    return r.picture ? r.picture->image.convertToFormat(QImage::Format_RGB32) : QImage();
}
QImage Load(const QString& path) { return Rgb(imaging::LoadPictureFile(path, kLarge)); }

TEST(BmpRunLength, SkippedPixelsAreColourZero) {
    const struct {
        int height;
        QByteArray runs;
        const char* rows;
    } cases[] = {
        // top row first
        // Two red; a delta to x 3 of the top row, one red there; the rest skipped.
        {2, QByteArray("\x02\x01\x00\x02\x01\x01\x01\x01\x00\x01", 10), "bbbrrrbb"},
        {1, QByteArray("\x01\x01\x00\x01", 4), "rbbb"},  // one row, ended early
    };
    for (const auto& c : cases) {
        const QImage img = Rgb(imaging::LoadPictureData(Rle8(c.height, c.runs), kLarge));
        ASSERT_EQ(img.size(), QSize(4, c.height));
        for (int i = 0; i < 4 * c.height; ++i)
            EXPECT_EQ(img.pixel(i % 4, i / 4), c.rows[i] == 'r' ? qRgb(255, 0, 0) : qRgb(0, 0, 255))
                << i;
    }
}

TEST(BmpRunLength, CompressedFilesShowWhatTheirUncompressedTwinsShow) {
    const QString dir = testfiles::CorpusDir() + "/bmp/bmpsuite/g/";
    EXPECT_EQ(Load(dir + "pal8rle.bmp"), Load(dir + "pal8.bmp"));
    EXPECT_EQ(Load(dir + "pal4rle.bmp"), Load(dir + "pal4.bmp"));
}

}  // namespace
