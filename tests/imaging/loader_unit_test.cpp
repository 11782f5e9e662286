// The picture loader on pictures made here: sizes, orientation, colour, reduction, refusals.
#include "imaging/Picture.h"
#include "imaging/PictureLoaderDetail.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QPainter>
#include <QTemporaryDir>

using namespace imaging;

namespace {

const DisplayTarget kScreen{QSize(1920, 1080), 1.0};

QByteArray Encode(const QImage& image, const char* format, int quality = 95) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    EXPECT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format, quality));
    return bytes;
}

// Left half red, right half blue.
QImage TwoColour(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QPainter(&img).fillRect(0, 0, w / 2, h, Qt::red);
    return img;
}

// A 16x16 JPEG of one ink mix: plain CMYK, or YCCK from an Adobe writer, which stores ink inverted.
QByteArray CmykJpeg(std::array<uint8_t, 4> ink, bool adobe) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, adobe ? JCS_YCCK : JCS_CMYK);
    cinfo.write_Adobe_marker = adobe;
    jpeg_start_compress(&cinfo, TRUE);
    unsigned char row[16 * 4];
    for (int i = 0; i < 16 * 4; ++i) row[i] = adobe ? 255 - ink[i % 4] : ink[i % 4];
    for (JSAMPROW r = row; cinfo.next_scanline < 16;) jpeg_write_scanlines(&cinfo, &r, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    return std::free(out), bytes;
}

// An EXIF payload whose only entry is the orientation.
QByteArray Exif(int orientation) {
    QByteArray e =
        QByteArray::fromHex("457869660000 49492a0008000000 0100 120103000100000000000000 00000000");
    e[24] = char(orientation);
    return e;
}

}  // namespace

TEST(LoaderSize, NaturalSizeIsOnePicturePixelPerDevicePixelInHimetric) {
    const QByteArray gif = testfiles::ReadBytes(
        testfiles::CorpusDir() + "/gif/libgd/gif-conformance/valid/static_4x4_red.gif");
    const QByteArray bmp = Encode(TwoColour(100, 50), "BMP");
    // No end marker, and junk instead.
    const QByteArray junk = Encode(TwoColour(64, 48), "JPG").chopped(2) + QByteArray(40 << 20, 0);
    const std::tuple<QByteArray, double, const char*, QSize, QSize, QSize> cases[] = {
        {bmp, 1.0, "bmp", {2646, 1323}, {100, 50}, {100, 50}},
        {bmp, 2.0, "bmp", {1323, 661}, {100, 50}, {100, 50}},  // 661.46
        {gif, 1.0, "gif", {106, 106}, {4, 4}, {4, 4}},
        {Encode(TwoColour(100, 40), "JPG"), 1.0, "jpeg", {2646, 1058}, {100, 40}, {100, 40}},
        {junk, 1.0, "jpeg", {1693, 1270}, {64, 48}, {64, 48}},
        // Kept no larger than its fit into the screen.
        {Encode(TwoColour(4000, 100), "BMP"), 1.0, "bmp", {105833, 2646}, {4000, 100}, {1920, 48}},
    };
    for (const auto& [bytes, ratio, format, himetric, natural, image] : cases) {
        const LoadResult r = LoadPictureData(bytes, {QSize(1920, 1080), ratio});
        ASSERT_TRUE(r.picture) << format << ": " << r.error.toStdString();
        const Picture& p = *r.picture;
        EXPECT_EQ(std::tuple(p.format, QSize(p.Width, p.Height), p.naturalPixels, p.decodedPixels,
                             p.image.size()),
                  std::tuple(QString(format), himetric, natural, natural, image));
        const QRgb left = p.image.pixel(image.width() / 8, image.height() / 2);  // red
        EXPECT_TRUE(qRed(left) > 200 && qBlue(left) < 60) << format;
    }
}

TEST(LoaderOrientation, EveryOrientationOfTheCorpusSetMatchesTheUprightOne) {
    const QString dir = testfiles::CorpusDir() + "/jpeg/exif-orientation-examples/";
    // Also reduced to an exact fit while the rows come, before they are turned upright.
    for (const DisplayTarget& target : {kScreen, DisplayTarget{QSize(300, 300), 1.0, true}})
        for (const QString name : {"Landscape_%1.jpg", "Portrait_%1.jpg"}) {
            const LoadResult upright = LoadPictureFile(dir + name.arg(1), target);
            ASSERT_TRUE(upright.picture) << upright.error.toStdString();
            const QImage ref = upright.picture->image.scaled(60, 60);
            for (int o = 2; o <= 8; ++o) {
                const LoadResult r = LoadPictureFile(dir + name.arg(o), target);
                ASSERT_TRUE(r.picture) << name.arg(o).toStdString();
                EXPECT_EQ(r.picture->naturalPixels, upright.picture->naturalPixels) << o;
                EXPECT_EQ(r.picture->image.size(), upright.picture->image.size()) << o;
                const QImage got = r.picture->image.scaled(60, 60);
                double diff = 0;
                for (int i = 0; i < 3600; ++i)
                    diff += std::abs(qGray(got.pixel(i % 60, i / 60)) -
                                     qGray(ref.pixel(i % 60, i / 60)));
                EXPECT_LT(diff / 3600, 12) << name.arg(o).toStdString();
            }
        }
}

TEST(LoaderOrientation, ParserToleratesDamage) {
    QByteArray far = Exif(8);
    far[10] = '\xFF';  // IFD offset past the end
    // Cut off, out of range, far, empty.
    for (const QByteArray& bad : {Exif(8).left(20), Exif(9), far, QByteArray()})
        EXPECT_EQ(detail::ExifOrientation(bad), 1);
    EXPECT_EQ(detail::ExifOrientation(Exif(8)), 8);
}

TEST(LoaderColour, EmbeddedProfileIsConvertedToSrgb) {
    QImage img(16, 16, QImage::Format_RGB32);
    img.fill(QColor(40, 200, 60));
    const auto centre = [&] {
        return LoadPictureData(Encode(img, "JPG", 100), kScreen).picture.value().image.pixel(8, 8);
    };
    const QRgb p = centre();
    img.setColorSpace(QColorSpace(QColorSpace::ProPhotoRgb));
    const QRgb t = centre();
    EXPECT_NEAR(qGreen(p), 200, 4);
    // The same numbers in ProPhoto are a far more saturated green than in sRGB.
    EXPECT_GT(qGreen(t), qGreen(p) + 20);
}

TEST(LoaderColour, CmykInksBecomeTheirRgbColours) {
    for (bool adobe : {true, false}) {
        const LoadResult cyan = LoadPictureData(CmykJpeg({255, 0, 0, 0}, adobe), kScreen);
        ASSERT_TRUE(cyan.picture) << cyan.error.toStdString();
        for (const int x : {0, 8, 15}) {  // first and last columns too
            const QRgb c = cyan.picture->image.pixel(x, x);
            EXPECT_TRUE(qRed(c) < 10 && qGreen(c) > 245 && qBlue(c) > 245) << adobe << " " << x;
        }
        const LoadResult grey = LoadPictureData(CmykJpeg({0, 0, 0, 128}, adobe), kScreen);
        ASSERT_TRUE(grey.picture);
        EXPECT_NEAR(qGreen(grey.picture->image.pixel(8, 8)), 127, 3) << adobe;
    }
}

TEST(LoaderReduction, PicksTheSmallestDctSizeThatCoversTheFit) {
    // Fit 1620x1080, whose 1/8 is 1500x1000, also on its side; 1/4 is 1500x1000; rounded up, 1/8
    // still covers; 1/2 falls a pixel short; fit 1920x5.
    const std::tuple<QSize, bool, int> cases[] = {
        {{12000, 8000}, false, 4}, {{8000, 12000}, true, 4}, {{6000, 4000}, false, 2},
        {{15361, 8641}, false, 8}, {{3838, 2158}, false, 1}, {{40000, 100}, false, 8}};
    for (const auto& [stored, swaps, want] : cases)
        EXPECT_EQ(detail::JpegScaleDenominator(stored, swaps, {1920, 1080}), want)
            << stored.width();
}

TEST(LoaderReduction, AJpegKeepsItsDctScaleUnlessReducedToAnExactFit) {
    QTemporaryDir dir;
    const QString big = testfiles::WriteSolidPicture(dir.path(), "big.jpg", 4000, 2000);
    DisplayTarget t{QSize(800, 600), 1.0};
    // 1/4 covers the fit 800x400.
    EXPECT_EQ(LoadPictureFile(big, t).picture.value().image.size(), QSize(1000, 500));
    t.reduceToFit = true;
    const Picture exact = LoadPictureFile(big, t).picture.value();
    EXPECT_EQ(std::tuple(exact.image.size(), exact.naturalPixels, exact.decodedPixels),
              std::tuple(QSize(800, 400), QSize(4000, 2000), QSize(1000, 500)));
    StopFlag stop{true};
    EXPECT_EQ(LoadPictureFile(big, t, &stop).error, "stopped");
}

TEST(LoaderRefusal, BombsCutOffFilesAndWhatIsNoPictureSayWhy) {
    QByteArray jpeg = Encode(TwoColour(16, 16), "JPG");
    jpeg.replace(jpeg.indexOf("\xFF\xC0") + 5, 4, "\xEA\x60\xEA\x60");  // 60000 x 60000
    QByteArray bmp = Encode(TwoColour(8, 8), "BMP");
    for (int at : {18, 22}) bmp.replace(at, 4, QByteArray("\x30\x75\0\0", 4));  // 30000 x 30000
    const QByteArray gif = QByteArray::fromHex(  // 65535 x 65535 from 35 bytes
        "474946383961 ffffffff 800000 000000000000 2c00000000ffffffff00 08 024c0100 3b");
    QByteArray underTheCap = gif;
    underTheCap.replace(6, 4, "\x7E\x2C\x3B\x31");  // 143 MP, which no 35 bytes of LZW fill
    // Found by the fuzzer: screen height 0, so Qt sizes the canvas from a 9984x4096 frame at
    // x=256 and the screen width 63233.
    const QByteArray zeroScreen = QByteArray::fromHex(
        "474946383961 01f70000000001 21f904010a000100 2c000100000027001026 0000 000100b805");
    // GIF and run-length BMP that honestly declare 16000 x 16000, in 64 KB.
    const QByteArray gif16000 =
        QByteArray::fromHex("474946383961 803e803e 800000 000000ffffff 2c00000000803e803e00 02") +
        ("\xFF" + QByteArray(255, '\x55')).repeated(252) + QByteArray("\0\x3B", 2);
    const QByteArray rle16000 =
        QByteArray::fromHex(
            "424d40fa0000000000003e00000028000000803e0000803e0000010008000100000002fa0000130b0000"
            "130b0000020000000000000000000000ffffff00") +
        QByteArray("\xFF\x01\0\0", 4).repeated(16000) + QByteArray("\0\x01", 2);
    const QByteArray wholeJpeg = Encode(TwoColour(200, 200), "JPG"),
                     wholeBmp = Encode(TwoColour(200, 200), "BMP");
    const QByteArray gif256 = testfiles::ReadBytes(
        testfiles::CorpusDir() + "/gif/libgd/gif-conformance/valid/static_256colors.gif");
    const std::pair<std::vector<QByteArray>, const char*> groups[] = {
        {{jpeg, bmp, gif, underTheCap, zeroScreen, gif16000, rle16000}, "refused"},
        {{wholeJpeg.left(wholeJpeg.size() / 2), wholeBmp.left(wholeBmp.size() / 2),
          gif256.chopped(20)},
         "truncated"},
        {{QByteArray(), "just some words", Encode(TwoColour(8, 8), "PNG")}, ""}};
    for (const auto& [files, error] : groups)
        for (const QByteArray& bytes : files) {
            const LoadResult r = LoadPictureData(bytes, kScreen);
            EXPECT_TRUE(!r.picture && r.error.contains(error))
                << error << ": " << r.error.toStdString();
        }
}

TEST(LoaderRefusal, ACommentLongerThanTheCheckersBufferIsNoDamage) {
    const QByteArray gif = testfiles::ReadBytes(
        testfiles::CorpusDir() + "/gif/libgd/gif-conformance/valid/static_256colors.gif");
    ASSERT_TRUE(static_cast<uint8_t>(gif[10]) & 0x80);
    const int tableEnd = 13 + 3 * (2 << (gif[10] & 7));
    // Blocks straddle every 64 KB boundary the check reads through.
    QByteArray commented = gif;
    commented.insert(tableEnd,
                     QByteArray("\x21\xFE") + ("\xFF" + QByteArray(255, 'x')).repeated(600) + '\0');
    const LoadResult plain = LoadPictureData(gif, kScreen),
                     withComment = LoadPictureData(commented, kScreen);
    ASSERT_TRUE(plain.picture);
    ASSERT_TRUE(withComment.picture) << withComment.error.toStdString();
    EXPECT_EQ(withComment.picture->image, plain.picture->image);
}

TEST(LoaderRefusal, TheFileDecidesNotItsName) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder.gif");
    const std::pair<QString, const char*> cases[] = {
        {dir.filePath("missing.bmp"), "file not found"},
        {dir.filePath("folder.gif"), "is a folder"},
        {QString(), "no file name"}};
    for (const auto& [path, error] : cases) EXPECT_EQ(LoadPictureFile(path, kScreen).error, error);
    testfiles::WriteBytes(dir.filePath("photo.bmp"), Encode(TwoColour(8, 8), "JPG"));
    EXPECT_EQ(LoadPictureFile(dir.filePath("photo.bmp"), kScreen).picture.value().format, "jpeg");
}
