#pragma once
// Writes .ico files whose images are all device-independent bitmaps (header, colour bits and
// AND mask), never PNG, so that every Windows version and resource compiler accepts them.
#include <QByteArray>
#include <QImage>

#include <vector>

namespace icongen {

struct IconImage {
    QImage image;   // ARGB32, square, at most 255 pixels
    int bits = 32;  // 8 (palette of 256 colours, transparency in the mask) or 32 (with alpha)
};

// Pixels with alpha below this are transparent in the AND mask.
inline constexpr int kMaskThreshold = 128;

// A palette of at most 256 entries for an image's opaque pixels; entry 0 is black and serves
// the transparent ones, as the mask needs.
std::vector<QRgb> MakePalette(const QImage& image);

QByteArray EncodeIco(const std::vector<IconImage>& images);

}  // namespace icongen
