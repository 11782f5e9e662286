#include "imaging/wmf/WmfDib.h"

#include <bit>
#include <cstdint>

namespace imaging::wmf {
namespace {

constexpr qint64 kMaxPixels = 32LL * 1024 * 1024;
enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3 };

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 1;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        shift = std::countr_zero(m);
        const int bits = qMin(std::popcount(m >> shift), 31);
        max = (1u << bits) - 1;
    }
    int operator()(uint32_t px) const {
        return mask ? int(((px & mask) >> shift) * 255u / max) : 0;
    }
};

uint32_t LittleEndian(const uchar* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Run-length bits expand into an index per pixel; 0xFFFF marks pixels the stream never wrote.
void ExpandRle(const uchar* src, qsizetype size, bool four, int width, int height,
               std::vector<uint16_t>& out) {
    out.assign(size_t(width) * size_t(height), 0xFFFF);
    int x = 0, y = 0;
    auto put = [&](int index) {
        if (x < width && y < height) out[size_t(y) * size_t(width) + size_t(x)] = uint16_t(index);
        ++x;
    };
    for (qsizetype i = 0; i + 1 < size && y < height;) {
        const int count = src[i], value = src[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k)
                put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            break;
        } else if (value == 2) {
            if (i + 1 >= size) break;
            x += src[i], y += src[i + 1];
            i += 2;
        } else {  // literal run, padded to a word
            const qsizetype bytes = four ? (value + 1) / 2 : value;
            if (i + bytes > size) break;
            for (int k = 0; k < value; ++k)
                put(four ? ((k & 1) ? src[i + k / 2] & 0x0F : src[i + k / 2] >> 4) : src[i + k]);
            i += (bytes + 1) & ~qsizetype(1);
        }
    }
}

}  // namespace

QImage DecodeDib(const Params& dib, bool paletteIndices, const QList<QRgb>& palette) {
    const uint32_t headerSize = dib.u32(0);
    const bool core = headerSize == 12;
    if (!core && (headerSize < 40 || headerSize > uint32_t(dib.bytes()))) return {};
    if (!dib.has(core ? 6 : 20)) return {};
    const int width = core ? dib.u16(2) : int(dib.u32(2));
    const int rawHeight = core ? int(dib.u16(3)) : int(dib.u32(4));
    const int bpp = dib.u16(core ? 5 : 7);
    const uint32_t compression = core ? kRgb : dib.u32(8);
    const uint32_t used = core ? 0 : dib.u32(16);
    const bool bottomUp = rawHeight > 0;
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return {};
    const int height = bottomUp ? rawHeight : -rawHeight;
    if (qint64(width) * height > kMaxPixels) return {};
    const bool rle = compression == kRle8 || compression == kRle4;
    if (!(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32)) return {};
    if ((compression == kRle8 && bpp != 8) || (compression == kRle4 && bpp != 4) ||
        (compression == kBitfields && bpp != 16 && bpp != 32) || compression > kBitfields)
        return {};

    qsizetype offset = headerSize;
    QList<QRgb> table;
    if (bpp <= 8) {
        const qsizetype count = used ? qMin<uint32_t>(used, 1u << bpp) : (1 << bpp);
        const int entry = paletteIndices ? 2 : core ? 3 : 4;
        for (qsizetype i = 0; i < count; ++i, offset += entry) {
            const uchar* e = dib.raw(0, offset + entry) ? dib.raw(0, 0) + offset : nullptr;
            if (!e) return {};
            if (paletteIndices) {
                const int idx = e[0] | (e[1] << 8);
                table.append(idx < palette.size() ? palette[idx] : qRgb(0, 0, 0));
            } else {
                table.append(qRgb(e[2], e[1], e[0]));
            }
        }
        if (used > (1u << bpp)) offset += qsizetype(used - (1u << bpp)) * entry;
    } else if (!core) {
        offset += qsizetype(qMin<uint32_t>(used, 1u << 16)) * 4;  // an optional table we don't need
    }
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (bpp == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    if (compression == kBitfields) {
        const qsizetype at = headerSize >= 52 ? 40 : headerSize;
        if (!dib.raw(0, at + 12)) return {};
        for (int i = 0; i < 3; ++i) masks[i] = LittleEndian(dib.raw(0, 0) + at + i * 4, 4);
        if (headerSize < 52) offset += 12;
    }
    if (offset > dib.bytes()) return {};
    const uchar* bits = dib.raw(0, 0) + offset;
    const qsizetype available = dib.bytes() - offset;

    QImage img(width, height, QImage::Format_ARGB32);
    if (img.isNull()) return {};
    img.fill(Qt::transparent);
    auto rowOf = [&](int y) {
        return reinterpret_cast<QRgb*>(img.scanLine(bottomUp ? height - 1 - y : y));
    };
    auto lookup = [&](int index) { return index < table.size() ? table[index] : qRgb(0, 0, 0); };

    if (rle) {
        std::vector<uint16_t> indices;
        ExpandRle(bits, available, compression == kRle4, width, height, indices);
        for (int y = 0; y < height; ++y) {
            QRgb* row = rowOf(y);
            for (int x = 0; x < width; ++x) {
                const uint16_t i = indices[size_t(y) * size_t(width) + size_t(x)];
                if (i != 0xFFFF) row[x] = lookup(i);
            }
        }
        return img;
    }
    const qsizetype stride = ((qint64(width) * bpp + 31) / 32) * 4;
    const int rows = int(qMin<qint64>(height, available / stride));
    const Channel r(masks[0]), g(masks[1]), b(masks[2]);
    for (int y = 0; y < rows; ++y) {
        const uchar* src = bits + y * stride;
        QRgb* row = rowOf(y);
        for (int x = 0; x < width; ++x) {
            switch (bpp) {
                case 1: row[x] = lookup((src[x >> 3] >> (7 - (x & 7))) & 1); break;
                case 4: row[x] = lookup((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4); break;
                case 8: row[x] = lookup(src[x]); break;
                case 24: row[x] = qRgb(src[x * 3 + 2], src[x * 3 + 1], src[x * 3]); break;
                default: {
                    const uint32_t px = LittleEndian(src + x * (bpp / 8), bpp / 8);
                    row[x] = qRgb(r(px), g(px), b(px));
                }
            }
        }
    }
    return img;
}

}  // namespace imaging::wmf
