// The picture loader on pictures made here: sizes, orientation, colour, reduction, refusals.
#include "imaging/Picture.h"
#include "imaging/PictureLoaderDetail.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <jpeglib.h>
#include <cstdio>

using imaging::DisplayTarget;
using imaging::LoadPictureData;
using imaging::LoadPictureFile;
using imaging::LoadResult;

namespace {

const DisplayTarget kScreen{QSize(1920, 1080), 1.0};

QByteArray Encode(const QImage& image, const char* format, int quality = 95) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, quality));
    return bytes;
}

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    testfiles::WriteBytes(dir.filePath(name), bytes);
    return dir.filePath(name);
}

// Left half red, right half blue: enough to tell every rotation and mirror apart.
QImage TwoColour(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QPainter(&img).fillRect(0, 0, w / 2, h, Qt::red);
    return img;
}

// Puts an EXIF block with only an orientation tag right after the start marker.
QByteArray WithOrientation(QByteArray jpeg, int orientation) {
    const char exif[] = {'\xFF', '\xE1', 0,  34, 'E', 'x', 'i', 'f', 0,
                         0,                                         // APP1, length 34
                         'I',    'I',    42, 0,  8,   0,   0,   0,  // little-endian TIFF
                         1,      0,                                 // one entry
                         0x12,   0x01,   3,  0,  1,   0,   0,   0,   static_cast<char>(orientation),
                         0,      0,      0,  // 0x0112 SHORT
                         0,      0,      0,  0};
    jpeg.insert(2, QByteArray(exif, sizeof exif));
    return jpeg;
}

bool IsRed(QRgb c) { return qRed(c) > 200 && qBlue(c) < 60; }
bool IsBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60; }

// A 16x16 four-channel JPEG of one ink mix; Adobe files store ink inverted.
QByteArray CmykJpeg(uint8_t c, uint8_t m, uint8_t y, uint8_t k, bool adobe) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_CMYK);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const uint8_t px[4] = {c, m, y, k};
    unsigned char row[16 * 4];
    for (int i = 0; i < 16; ++i) {
        for (int j = 0; j < 4; ++j) row[i * 4 + j] = adobe ? 255 - px[j] : px[j];
    }
    while (cinfo.next_scanline < 16) {
        JSAMPROW r = row;
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

// Overwrites the frame header's height and width (first SOF0 marker).
QByteArray WithFrameSize(QByteArray jpeg, int w, int h) {
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    EXPECT_GT(sof, 0);
    jpeg[sof + 5] = static_cast<char>(h >> 8);
    jpeg[sof + 6] = static_cast<char>(h);
    jpeg[sof + 7] = static_cast<char>(w >> 8);
    jpeg[sof + 8] = static_cast<char>(w);
    return jpeg;
}

}  // namespace

TEST(LoaderSize, BitmapNaturalSizeIsOnePicturePixelPerDevicePixel) {
    const QByteArray bmp = Encode(TwoColour(100, 50), "BMP");
    LoadResult r = LoadPictureData(bmp, kScreen);
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    EXPECT_EQ(r.picture->Width, 2646);
    EXPECT_EQ(r.picture->Height, 1323);
    EXPECT_EQ(r.picture->format, "bmp");
    EXPECT_EQ(r.picture->image.size(), QSize(100, 50));
    EXPECT_EQ(r.picture->image.format(), QImage::Format_RGB32);
    EXPECT_EQ(r.picture->image.devicePixelRatio(), 1.0);

    r = LoadPictureData(bmp, DisplayTarget{QSize(3840, 2160), 2.0});
    ASSERT_TRUE(r.picture);
    EXPECT_EQ(r.picture->Width, 1323);
    EXPECT_EQ(r.picture->Height, 661);  // 50 px at ratio 2: 661.46
    EXPECT_EQ(r.picture->image.devicePixelRatio(), 1.0);
}

TEST(LoaderSize, GifAndJpegUseTheSameRule) {
    LoadResult gif = LoadPictureFile(
        testfiles::CorpusDir() + "/gif/libgd/gif-conformance/valid/static_4x4_red.gif", kScreen);
    ASSERT_TRUE(gif.picture) << gif.error.toStdString();
    EXPECT_EQ(gif.picture->Width, 106);
    EXPECT_EQ(gif.picture->format, "gif");
    LoadResult jpeg = LoadPictureData(Encode(TwoColour(100, 40), "JPG"), kScreen);
    ASSERT_TRUE(jpeg.picture) << jpeg.error.toStdString();
    EXPECT_EQ(jpeg.picture->Width, 2646);
    EXPECT_EQ(jpeg.picture->Height, 1058);
}

TEST(LoaderSize, FileAndBytesGiveTheSamePicture) {
    QTemporaryDir dir;
    const QByteArray jpeg = Encode(TwoColour(64, 32), "JPG");
    const QString path = Write(dir, "a.jpg", jpeg);
    const LoadResult a = LoadPictureFile(path, kScreen);
    const LoadResult b = LoadPictureData(jpeg, kScreen);
    ASSERT_TRUE(a.picture && b.picture);
    EXPECT_EQ(a.picture->image, b.picture->image);
    EXPECT_EQ(a.picture->Width, b.picture->Width);
}

TEST(LoaderOrientation, Orientation6StandsUpright) {
    const QByteArray jpeg = WithOrientation(Encode(TwoColour(40, 20), "JPG"), 6);
    const LoadResult r = LoadPictureData(jpeg, kScreen);
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    EXPECT_EQ(r.picture->naturalPixels, QSize(20, 40));
    EXPECT_EQ(r.picture->Width, 529);
    EXPECT_EQ(r.picture->Height, 1058);
    const QImage& img = r.picture->image;
    ASSERT_EQ(img.size(), QSize(20, 40));
    // A quarter turn clockwise puts the stored left (red) half on top.
    EXPECT_TRUE(IsRed(img.pixel(10, 5)));
    EXPECT_TRUE(IsBlue(img.pixel(10, 35)));
}

TEST(LoaderOrientation, EveryOrientationOfTheCorpusSetMatchesTheUprightOne) {
    // Also reduced to an exact fit while the rows come, before they are turned upright.
    const DisplayTarget fit{QSize(300, 300), 1.0, true};
    for (const DisplayTarget& target : {kScreen, fit})
        for (const char* kind : {"Landscape", "Portrait"}) {
            const QString base =
                testfiles::CorpusDir() + "/jpeg/exif-orientation-examples/" + kind + "_";
            const LoadResult upright = LoadPictureFile(base + "1.jpg", target);
            ASSERT_TRUE(upright.picture) << upright.error.toStdString();
            const QImage ref = upright.picture->image.scaled(60, 60);
            for (int o = 2; o <= 8; ++o) {
                const LoadResult r = LoadPictureFile(base + QString::number(o) + ".jpg", target);
                ASSERT_TRUE(r.picture) << kind << o;
                EXPECT_EQ(r.picture->naturalPixels, upright.picture->naturalPixels) << kind << o;
                if (target.reduceToFit) {
                    EXPECT_EQ(
                        r.picture->image.size(),
                        imaging::detail::FitWithin(r.picture->naturalPixels, fit.maxDevicePixels))
                        << kind << o;
                }
                const QImage got = r.picture->image.scaled(60, 60);
                double diff = 0;
                for (int y = 0; y < 60; ++y)
                    for (int x = 0; x < 60; ++x)
                        diff += std::abs(qGray(got.pixel(x, y)) - qGray(ref.pixel(x, y)));
                EXPECT_LT(diff / 3600, 12) << kind << " orientation " << o;
            }
        }
}

TEST(LoaderOrientation, ParserToleratesDamage) {
    using imaging::detail::ExifOrientation;
    const QByteArray good = WithOrientation(QByteArray("\xFF\xD8", 2), 8).mid(6);
    EXPECT_EQ(ExifOrientation(good), 8);
    EXPECT_EQ(ExifOrientation(good.left(20)), 1);                          // entry cut off
    EXPECT_EQ(ExifOrientation(WithOrientation("\xFF\xD8", 9).mid(6)), 1);  // out of range
    QByteArray loop = good;
    loop[10] = '\xFF';  // IFD offset far past the end
    EXPECT_EQ(ExifOrientation(loop), 1);
    EXPECT_EQ(ExifOrientation(QByteArray()), 1);
}

TEST(LoaderColour, EmbeddedProfileIsConvertedToSrgb) {
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(QColor(40, 200, 60));
    const LoadResult plain = LoadPictureData(Encode(img, "JPG", 100), kScreen);
    img.setColorSpace(QColorSpace(QColorSpace::ProPhotoRgb));
    const LoadResult tagged = LoadPictureData(Encode(img, "JPG", 100), kScreen);
    ASSERT_TRUE(plain.picture && tagged.picture);
    const QRgb p = plain.picture->image.pixel(8, 8);
    const QRgb t = tagged.picture->image.pixel(8, 8);
    EXPECT_NEAR(qGreen(p), 200, 4);
    // The same numbers in ProPhoto are a far more saturated green than in sRGB.
    EXPECT_GT(qGreen(t), qGreen(p) + 20);
    EXPECT_LT(qRed(t), qRed(p));
}

TEST(LoaderColour, CmykInksBecomeTheirRgbColours) {
    for (bool adobe : {true, false}) {
        const LoadResult cyan = LoadPictureData(CmykJpeg(255, 0, 0, 0, adobe), kScreen);
        ASSERT_TRUE(cyan.picture) << cyan.error.toStdString();
        for (const QPoint at : {QPoint(0, 0), QPoint(8, 8), QPoint(15, 15)}) {  // every column
            const QRgb c = cyan.picture->image.pixel(at);
            EXPECT_LT(qRed(c), 10) << adobe << " " << at.x();
            EXPECT_GT(qGreen(c), 245) << adobe << " " << at.x();
            EXPECT_GT(qBlue(c), 245) << adobe << " " << at.x();
        }
        const LoadResult grey = LoadPictureData(CmykJpeg(0, 0, 0, 128, adobe), kScreen);
        ASSERT_TRUE(grey.picture);
        EXPECT_NEAR(qGreen(grey.picture->image.pixel(8, 8)), 127, 3) << adobe;
    }
}

TEST(LoaderColour, CmykSampleLooksLikeItsRgbTwin) {
    const QString dir = testfiles::CorpusDir() + "/jpeg/pillow/";
    const LoadResult cmyk = LoadPictureFile(dir + "pil_sample_cmyk.jpg", kScreen);
    const LoadResult rgb = LoadPictureFile(dir + "pil_sample_rgb.jpg", kScreen);
    ASSERT_TRUE(cmyk.picture && rgb.picture);
    const QRgb a = cmyk.picture->image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .pixel(0, 0);
    const QRgb b = rgb.picture->image.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .pixel(0, 0);
    EXPECT_NEAR(qRed(a), qRed(b), 20);
    EXPECT_NEAR(qGreen(a), qGreen(b), 20);
    EXPECT_NEAR(qBlue(a), qBlue(b), 20);
}

TEST(LoaderReduction, PicksTheSmallestDctSizeThatCoversTheFit) {
    using imaging::detail::JpegScaleDenominator;
    const QSize screen(1920, 1080);
    EXPECT_EQ(JpegScaleDenominator({12000, 8000}, false, screen),
              4);  // fit 1620x1080; 1/8 is 1500x1000
    EXPECT_EQ(JpegScaleDenominator({8000, 12000}, true, screen),
              4);  // same picture, stored on its side
    EXPECT_EQ(JpegScaleDenominator({6000, 4000}, false, screen), 2);   // 1/4 is 1500x1000
    EXPECT_EQ(JpegScaleDenominator({15360, 8640}, false, screen), 8);  // exactly 8 screens
    EXPECT_EQ(JpegScaleDenominator({15361, 8641}, false, screen), 8);  // rounded up, still covers
    EXPECT_EQ(JpegScaleDenominator({3838, 2158}, false, screen), 1);   // 1/2 falls a pixel short
    EXPECT_EQ(JpegScaleDenominator({1920, 1080}, false, screen), 1);
    EXPECT_EQ(JpegScaleDenominator({800, 600}, false, screen), 1);
    EXPECT_EQ(JpegScaleDenominator({40000, 100}, false, screen), 8);  // fit 1920x5
}

TEST(LoaderReduction, LargeJpegDecodesReducedButKeepsItsNaturalSize) {
    QImage img(2400, 1600, QImage::Format_RGB32);
    img.fill(Qt::darkGreen);
    const QByteArray jpeg = Encode(img, "JPG", 80);
    // Fit into 500x300 is 450x300; 1/8 (300x200) falls short, 1/4 (600x400) covers it.
    const LoadResult r = LoadPictureData(jpeg, DisplayTarget{QSize(500, 300), 1.0});
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    EXPECT_EQ(r.picture->decodedPixels, QSize(600, 400));
    EXPECT_EQ(r.picture->image.size(), QSize(600, 400));
    EXPECT_EQ(r.picture->naturalPixels, QSize(2400, 1600));
    EXPECT_EQ(r.picture->Width, 63500);
}

TEST(LoaderReduction, LargeBitmapIsScaledToItsScreenFit) {
    const LoadResult r = LoadPictureData(Encode(TwoColour(4000, 100), "BMP"), kScreen);
    ASSERT_TRUE(r.picture) << r.error.toStdString();
    EXPECT_EQ(r.picture->image.size(), QSize(1920, 48));
    EXPECT_EQ(r.picture->decodedPixels, QSize(4000, 100));
    EXPECT_EQ(r.picture->naturalPixels, QSize(4000, 100));
    EXPECT_TRUE(IsRed(r.picture->image.pixel(100, 24)));
    EXPECT_TRUE(IsBlue(r.picture->image.pixel(1800, 24)));
}

TEST(LoaderRefusal, HugeHeadersAreRefusedBeforeDecoding) {
    const QByteArray jpeg = WithFrameSize(Encode(TwoColour(16, 16), "JPG"), 60000, 60000);
    LoadResult r = LoadPictureData(jpeg, kScreen);
    ASSERT_FALSE(r.picture);
    EXPECT_TRUE(r.error.contains("refused")) << r.error.toStdString();

    // 65535 x 65535 canvas in a few dozen bytes.
    QByteArray gif("GIF89a\xFF\xFF\xFF\xFF\x80\x00\x00", 13);
    gif += QByteArray(6, '\0');
    gif += QByteArray("\x2C\0\0\0\0\xFF\xFF\xFF\xFF\0\x08\x02\x4C\x01\0\x3B", 16);
    r = LoadPictureData(gif, kScreen);
    ASSERT_FALSE(r.picture);
    EXPECT_TRUE(r.error.contains("refused")) << r.error.toStdString();

    // 143 MP is under the cap, but no LZW stream of 35 bytes can fill it.
    gif.replace(6, 4, "\x7E\x2C\x3B\x31");
    r = LoadPictureData(gif, kScreen);
    ASSERT_FALSE(r.picture);
    EXPECT_TRUE(r.error.contains("refused")) << r.error.toStdString();

    // Found by the fuzzer: screen height 0, so Qt sizes the canvas from a 9984x4096 frame at
    // x=256 and the screen width 63233.
    const QByteArray zeroScreen = QByteArray::fromHex(
        "474946383961"
        "01f70000000001"
        "21f904010a000100"
        "2c000100000027001026"
        "0000"
        "000100b805");
    r = LoadPictureData(zeroScreen, kScreen);
    ASSERT_FALSE(r.picture);
    EXPECT_TRUE(r.error.contains("refused")) << r.error.toStdString();

    QByteArray bmp = Encode(TwoColour(8, 8), "BMP");
    for (int at : {18, 22}) bmp.replace(at, 4, QByteArray("\x30\x75\0\0", 4));  // 30000 x 30000
    r = LoadPictureData(bmp, kScreen);
    ASSERT_FALSE(r.picture);
    EXPECT_TRUE(r.error.contains("refused")) << r.error.toStdString();
}

TEST(LoaderRefusal, TruncatedFilesFailInsteadOfShowingHalfAPicture) {
    QImage noisy(200, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            noisy.setPixel(x, y, qRgb((x * 7 + y * 13) % 256, (x * y) % 256, (x ^ y) % 256));
    for (const char* fmt : {"JPG", "BMP"}) {
        const QByteArray whole = Encode(noisy, fmt);
        ASSERT_TRUE(LoadPictureData(whole, kScreen).picture) << fmt;
        const LoadResult r = LoadPictureData(whole.left(whole.size() / 2), kScreen);
        EXPECT_FALSE(r.picture) << fmt;
        EXPECT_TRUE(r.error.contains("truncated")) << fmt << ": " << r.error.toStdString();
    }
    const QByteArray gif = testfiles::ReadBytes(
        testfiles::CorpusDir() + "/gif/libgd/gif-conformance/valid/static_256colors.gif");
    ASSERT_FALSE(gif.isEmpty());
    ASSERT_TRUE(LoadPictureData(gif, kScreen).picture);
    EXPECT_FALSE(LoadPictureData(gif.left(gif.size() - 20), kScreen).picture);
}

TEST(LoaderRefusal, EmptyMissingFolderAndUnknownFiles) {
    QTemporaryDir dir;
    LoadResult r = LoadPictureFile(Write(dir, "empty.jpg", {}), kScreen);
    EXPECT_FALSE(r.picture);
    EXPECT_EQ(r.error, "empty file");
    r = LoadPictureFile(dir.filePath("missing.bmp"), kScreen);
    EXPECT_FALSE(r.picture);
    EXPECT_EQ(r.error, "file not found");
    QDir(dir.path()).mkdir("folder.gif");
    r = LoadPictureFile(dir.filePath("folder.gif"), kScreen);
    EXPECT_FALSE(r.picture);
    EXPECT_EQ(r.error, "is a folder");
    r = LoadPictureFile(QString(), kScreen);
    EXPECT_FALSE(r.picture);
    r = LoadPictureFile(Write(dir, "text.jpg", "just some words, not a picture"), kScreen);
    EXPECT_FALSE(r.picture);
    EXPECT_FALSE(r.error.isEmpty());
    EXPECT_FALSE(LoadPictureData(QByteArray(), kScreen).picture);
}

TEST(LoaderRefusal, ContentDecidesNotTheName) {
    QTemporaryDir dir;
    const LoadResult png =
        LoadPictureFile(Write(dir, "photo.jpg", Encode(TwoColour(8, 8), "PNG")), kScreen);
    EXPECT_FALSE(png.picture);
    EXPECT_TRUE(png.error.contains("PNG")) << png.error.toStdString();
    const LoadResult jpeg =
        LoadPictureFile(Write(dir, "photo.bmp", Encode(TwoColour(8, 8), "JPG")), kScreen);
    ASSERT_TRUE(jpeg.picture) << jpeg.error.toStdString();
    EXPECT_EQ(jpeg.picture->format, "jpeg");
}
