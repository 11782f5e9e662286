// Uncompressed BMP read in bands of rows straight from the file into the reducer.
#include "imaging/AreaReducer.h"
#include "imaging/LineReaders.h"
#include "imaging/PictureLoaderDetail.h"

#include <QIODevice>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace imaging::detail {

namespace {

uint32_t U16(const QByteArray& b, qsizetype at) {
    return static_cast<uint8_t>(b[at]) | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1]))
                                             << 8;
}
uint32_t U32(const QByteArray& b, qsizetype at) { return U16(b, at) | U16(b, at + 2) << 16; }

constexpr int64_t kBandBytes = 1 << 20;

}  // namespace

std::optional<LineImage> ReadBmpRows(QIODevice* device, QSize box) {
    const qint64 start = device->pos();
    const QByteArray head = device->peek(14 + 124 + 256 * 4);
    if (head.size() < 14 + 40) return std::nullopt;
    const uint32_t offBits = U32(head, 10);
    const uint32_t headerSize = U32(head, 14);
    if (headerSize != 40 && headerSize != 108 && headerSize != 124) return std::nullopt;
    const auto width = static_cast<int32_t>(U32(head, 18));
    const auto rawHeight = static_cast<int32_t>(U32(head, 22));
    const uint32_t bpp = U16(head, 28);
    const uint32_t compression = U32(head, 30);
    const uint32_t colorsUsed = U32(head, 46);
    const uint32_t planes = U16(head, 26);
    if (planes != 1 || compression != 0 || width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) {
        return std::nullopt;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return std::nullopt;
    // A V4/V5 header's alpha mask makes Qt's reader take the fourth byte as alpha.
    if (bpp == 32 && headerSize >= 108 && U32(head, 14 + 52) != 0) return std::nullopt;
    const int height = std::abs(rawHeight);
    const QSize natural(width, height);
    if (static_cast<int64_t>(width) * height > kMaxPicturePixels || width > (1 << 20) ||
        height > (1 << 20)) {
        return std::nullopt;
    }

    // Palette entries beyond the table show black, as they do through QImage.
    uint32_t palette[256];
    std::fill(std::begin(palette), std::end(palette), 0xFF000000u);
    qsizetype pixelsAt = 14 + headerSize;
    if (bpp <= 8) {
        const uint32_t maxColors = 1u << bpp;
        const uint32_t count = colorsUsed == 0 ? maxColors : colorsUsed;
        if (count > maxColors) return std::nullopt;
        const qsizetype table = 14 + headerSize;
        if (head.size() < table + 4 * static_cast<qsizetype>(count)) return std::nullopt;
        for (uint32_t i = 0; i < count; ++i) {
            palette[i] = 0xFF000000u | (U32(head, table + 4 * i) & 0xFFFFFFu);
        }
        pixelsAt = table + 4 * count;
    }
    // Pixels that start inside the headers or the palette are for the general path to judge.
    if (offBits < pixelsAt) return std::nullopt;

    const int64_t stride = (static_cast<int64_t>(width) * bpp + 31) / 32 * 4;
    const int64_t lastRow = (static_cast<int64_t>(width) * bpp + 7) / 8;
    if (!device->seek(start + offBits)) return std::nullopt;

    AreaReducer reducer(natural, FitWithin(natural, box), false, rawHeight > 0);
    const int64_t bandRows = std::max<int64_t>(1, kBandBytes / stride);
    std::vector<uint8_t> band(static_cast<size_t>(std::min<int64_t>(bandRows, height) * stride));
    std::vector<uint32_t> pixels(bpp > 8 ? 0 : static_cast<size_t>(width));
    int row = 0;
    while (row < height) {
        const int rows = static_cast<int>(std::min<int64_t>(bandRows, height - row));
        // The last row of the file may lack its padding.
        const int64_t want = (rows - 1) * stride + (row + rows == height ? lastRow : stride);
        if (device->read(reinterpret_cast<char*>(band.data()), want) != want) {
            device->seek(start);
            return std::nullopt;
        }
        for (int r = 0; r < rows; ++r) {
            const uint8_t* src = band.data() + r * stride;
            switch (bpp) {
                case 24: reducer.AddRow24(src); continue;
                case 32:  // the fourth byte is not alpha in a plain 32-bit BMP
                    reducer.AddRow32(reinterpret_cast<const uint32_t*>(src));
                    continue;
                case 8:
                    for (int x = 0; x < width; ++x) pixels[x] = palette[src[x]];
                    break;
                case 4:
                    for (int x = 0; x < width; ++x) {
                        pixels[x] = palette[(x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4];
                    }
                    break;
                default:
                    for (int x = 0; x < width; ++x) {
                        pixels[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
                    }
            }
            reducer.AddRow32(pixels.data());
        }
        row += rows;
    }
    QImage image = reducer.Take();
    if (image.isNull()) {
        device->seek(start);
        return std::nullopt;
    }
    return LineImage{std::move(image), natural};
}

}  // namespace imaging::detail
