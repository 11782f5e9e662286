#pragma once
// Inner workings of the picture loader, shared by its sources and its tests.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

class QIODevice;

namespace imaging::detail {

// Pictures above this many pixels are refused from their header, before any pixel buffer
// exists: 300 MP covers every camera and panorama stitch we expect, while a 65535 x 65535
// header (4.3 GP, 17 GB as RGB32) is a decompression bomb.
inline constexpr int64_t kMaxPicturePixels = 300'000'000;

// GIF and run-length BMP are decoded whole, at four bytes a pixel and more, from data that
// may be a thousandth of that: above this they would take over a gigabyte for a few KB.
inline constexpr int64_t kMaxWholeDecodePixels = 64'000'000;

// Metafiles and other whole-file reads stop here; a real metafile is a few MB at most.
inline constexpr int64_t kMaxWholeFileBytes = 256LL * 1024 * 1024;

// Progressive JPEG keeps all coefficients; above this libjpeg gives up instead of swapping.
inline constexpr long kMaxJpegWorkBytes = 1024L * 1024 * 1024;

// A progressive JPEG may legally hold any number of scans; thousands are only seen in attacks.
inline constexpr int kMaxJpegScans = 1000;

// Each scan walks every coefficient block of its components, however little data it holds: an
// almost empty scan over a large picture costs milliseconds and a few bytes. Real files carry
// well under a hundred block visits per byte; past a fixed allowance (about half a second)
// the visits are bounded by the file's size.
inline constexpr int64_t kJpegFreeBlockVisits = 64'000'000;
inline constexpr int64_t kJpegBlockVisitsPerByte = 400;

// libjpeg skips any bytes while it looks for the next marker, and a file may hold nothing else.
// No legitimate stretch without decoding progress (one row of blocks, or the markers before
// the first scan) comes near this.
inline constexpr int64_t kMaxJpegBytesWithoutProgress = 16LL * 1024 * 1024;

// Little-endian fields of a header; the caller checks the length.
inline uint16_t Le16(const QByteArray& b, qsizetype at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1])
                                                                   << 8);
}
inline uint32_t Le32(const QByteArray& b, qsizetype at) {
    return static_cast<uint32_t>(Le16(b, at)) | static_cast<uint32_t>(Le16(b, at + 2)) << 16;
}

enum class Format { Unknown, Bmp, Gif, Jpeg, Wmf, Png };

// Decides from the first bytes only; never from the name.
Format SniffFormat(const QByteArray& head);
const char* FormatName(Format f);

// The largest size with the picture's proportions that fits the box without enlarging.
QSize FitWithin(QSize picture, QSize box);

// Largest DCT denominator (1, 2, 4 or 8) whose output still covers the fit of the upright
// picture into the box. size is as stored in the file (before orientation).
int JpegScaleDenominator(QSize stored, bool swapsAxes, QSize box);

// EXIF orientation (1..8) from an APP1 payload starting with "Exif\0\0"; 1 when absent or broken.
int ExifOrientation(const QByteArray& app1);
// Applies an EXIF orientation so the picture stands upright.
QImage ApplyOrientation(const QImage& image, int orientation);
inline bool OrientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

struct JpegResult {
    QImage image;       // RGB32, upright, at the chosen DCT reduction or at its fit into the box
    QSize storedSize;   // from the frame header, before orientation
    QSize decodedSize;  // at the DCT reduction, upright
    int orientation = 1;
    int denominator = 1;
    QByteArray iccProfile;
    bool cmyk = false;
    QString error;  // set when image is null
};

// RLE8 and RLE4 BMPs at full size (Indexed8), skipped pixels in colour 0; nullopt (device
// back where it was) for other BMPs and for what Qt's reader would refuse as well.
std::optional<QImage> ReadBmpRunLength(QIODevice* device);

// Decodes straight with libjpeg-turbo, reduced for the box; reduceToFit takes the rows on down
// to the fit into the box as they come. Never throws.
JpegResult DecodeJpeg(QIODevice* device, QSize box, bool reduceToFit = false);

}  // namespace imaging::detail
