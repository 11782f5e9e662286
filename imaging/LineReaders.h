#pragma once
// Readers that decode a picture row by row and shrink it to its screen fit as the rows come,
// for the common BMP and GIF variants. They decline (nullopt, device back where it was) what
// they do not handle, and the caller then takes the general path.
#include <QImage>
#include <QSize>

#include <optional>

class QIODevice;

namespace imaging::detail {

struct LineImage {
    QImage image;  // at the fit of natural into the box: RGB32 or ARGB32_Premultiplied
    QSize natural;
};

// Uncompressed 1, 4, 8, 24 and 32 bit BMP with a Windows header (40, 108 or 124 bytes).
// Expects the checks of the general path (size caps, truncation) to have passed.
std::optional<LineImage> ReadBmpRows(QIODevice* device, QSize box);

// The first frame of a GIF when it covers the whole canvas, interlaced or not.
std::optional<LineImage> ReadGifLines(QIODevice* device, QSize box);

}  // namespace imaging::detail
