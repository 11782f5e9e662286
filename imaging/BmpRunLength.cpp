// Run-length BMPs (RLE8, RLE4) decoded onto a zeroed canvas. Runs may skip pixels; Qt's reader
// leaves those as whatever memory held, which shows stale memory on screen. Here they are
// colour 0, as on a freshly made bitmap.
#include <QIODevice>

#include <algorithm>
#include <cstdlib>

#include "imaging/PictureLoaderDetail.h"

namespace imaging::detail {
namespace {

class Runs {
public:
    explicit Runs(QIODevice* device) : d_(device) {}
    bool next(uint8_t& b) {
        char c;
        if (!d_->getChar(&c)) return false;
        b = static_cast<uint8_t>(c);
        return true;
    }

private:
    QIODevice* d_;
};

}  // namespace

std::optional<QImage> ReadBmpRunLength(QIODevice* device) {
    const qint64 start = device->pos();
    const QByteArray head = device->peek(14 + 40);
    if (head.size() < 14 + 40) return std::nullopt;
    const uint32_t headerSize = Le32(head, 14);
    const uint32_t compression = Le32(head, 30);
    const uint32_t bpp = Le16(head, 28);
    if (headerSize < 40 || headerSize > 1024 || Le16(head, 26) != 1) return std::nullopt;
    if (!((compression == 1 && bpp == 8) || (compression == 2 && bpp == 4))) return std::nullopt;
    const int64_t width = static_cast<int32_t>(Le32(head, 18));
    const int64_t signedHeight = static_cast<int32_t>(Le32(head, 22));
    const int64_t height = std::abs(signedHeight);
    const uint32_t used = Le32(head, 46);
    const uint32_t colours = used ? used : 1u << bpp;
    if (width <= 0 || height <= 0 || width * height > kMaxWholeDecodePixels || colours > 256) {
        return std::nullopt;
    }

    const QByteArray table = device->peek(14 + headerSize + 4 * colours);
    if (table.size() < static_cast<qsizetype>(14 + headerSize + 4 * colours)) return std::nullopt;
    QImage canvas(static_cast<int>(width), static_cast<int>(height), QImage::Format_Indexed8);
    if (canvas.isNull()) return std::nullopt;
    canvas.setColorCount(static_cast<int>(colours));
    for (uint32_t i = 0; i < colours; ++i) {
        const qsizetype at = 14 + headerSize + 4 * i;
        canvas.setColor(static_cast<int>(i),
                        qRgb(static_cast<uint8_t>(table[at + 2]),
                             static_cast<uint8_t>(table[at + 1]), static_cast<uint8_t>(table[at])));
    }
    canvas.fill(0);
    if (!device->seek(start + Le32(head, 10))) {
        device->seek(start);
        return std::nullopt;
    }

    // Rows are stored bottom-up: row y of the stream is image row height - 1 - y.
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    int x = 0, y = 0;
    uint8_t* row = canvas.scanLine(h - 1);
    const auto put = [&](uint8_t index) {
        if (x < w) row[x] = index;
        ++x;
    };
    Runs in(device);
    uint8_t count = 0, value = 0;
    while (y < h && in.next(count)) {
        if (count > 0) {  // a run of one index (RLE8) or two alternating nibbles (RLE4)
            if (!in.next(value)) break;
            for (int i = 0; i < count && x < w; ++i) {
                put(bpp == 8 ? value : (i % 2 == 0 ? value >> 4 : value & 0x0f));
            }
            continue;
        }
        uint8_t escape = 0;
        if (!in.next(escape) || escape == 1) break;  // end of bitmap
        if (escape == 0) {                           // end of line
            x = 0;
            if (++y < h) row = canvas.scanLine(h - 1 - y);
        } else if (escape == 2) {  // delta: skip right and up
            uint8_t dx = 0, dy = 0;
            if (!in.next(dx) || !in.next(dy)) break;
            x = std::min(x + dx, w);
            y += dy;
            if (y < h) row = canvas.scanLine(h - 1 - y);
        } else {  // absolute: `escape` literal indices, padded to a 16-bit boundary
            const int bytes = bpp == 8 ? escape : (escape + 1) / 2;
            const QByteArray literal = device->read(bytes + (bytes & 1));
            if (literal.size() < bytes && bpp == 8) {
                device->seek(start);
                return std::nullopt;  // refused as Qt refuses it
            }
            const int have = bpp == 8
                                 ? static_cast<int>(literal.size())
                                 : static_cast<int>(std::min<qsizetype>(literal.size(), bytes) * 2);
            for (int i = 0; i < escape && i < have && x < w; ++i) {
                const auto byte = static_cast<uint8_t>(literal[bpp == 8 ? i : i / 2]);
                put(bpp == 8 ? byte : (i % 2 == 0 ? byte >> 4 : byte & 0x0f));
            }
            if (literal.size() < bytes) break;
        }
    }
    if (signedHeight < 0) canvas = canvas.mirrored(false, true);
    return canvas;
}

}  // namespace imaging::detail
