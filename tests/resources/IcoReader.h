#pragma once
// An independent reader for .ico files and their bitmaps, so that the tests do not trust the
// generator's own writer. Every read is bounds-checked: a damaged file gives an error text.
#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>
#include <vector>

namespace icoreader {

inline bool Has(const QByteArray& b, qsizetype pos, qsizetype n) {
    return pos >= 0 && n >= 0 && pos + n <= b.size();
}
inline quint32 U8(const QByteArray& b, qsizetype p) { return static_cast<quint8>(b[p]); }
inline quint32 U16(const QByteArray& b, qsizetype p) { return U8(b, p) | (U8(b, p + 1) << 8); }
inline quint32 U32(const QByteArray& b, qsizetype p) { return U16(b, p) | (U16(b, p + 2) << 16); }

struct Entry {
    int width = 0;  // 0 in the file means 256
    int height = 0;
    int colorCount = 0;
    int planes = 0;
    int bits = 0;
    QByteArray data;  // the image as stored
};

// The directory and each image's bytes; nullopt with *error set when the file is malformed.
inline std::optional<std::vector<Entry>> ParseIco(const QByteArray& f, QString* error) {
    if (!Has(f, 0, 6) || U16(f, 0) != 0 || U16(f, 2) != 1) {
        *error = QStringLiteral("no icon directory");
        return std::nullopt;
    }
    const quint32 n = U16(f, 4);
    if (!Has(f, 6, 16 * qsizetype(n))) {
        *error = QStringLiteral("directory runs past the end");
        return std::nullopt;
    }
    std::vector<Entry> out;
    for (quint32 i = 0; i < n; ++i) {
        const qsizetype e = 6 + 16 * qsizetype(i);
        Entry entry;
        entry.width = U8(f, e) == 0 ? 256 : int(U8(f, e));
        entry.height = U8(f, e + 1) == 0 ? 256 : int(U8(f, e + 1));
        entry.colorCount = int(U8(f, e + 2));
        entry.planes = int(U16(f, e + 4));
        entry.bits = int(U16(f, e + 6));
        const quint32 size = U32(f, e + 8);
        const quint32 offset = U32(f, e + 12);
        if (!Has(f, offset, size) || offset < 6 + 16 * n) {
            *error = QStringLiteral("image %1 lies outside the file").arg(i);
            return std::nullopt;
        }
        entry.data = f.mid(offset, size);
        out.push_back(entry);
    }
    return out;
}

struct Dib {
    quint32 headerSize = 0, compression = 0, colorsUsed = 0;
    int width = 0, height = 0, planes = 0, bits = 0;
    qsizetype expectedBytes = 0;  // header + palette + colour rows + mask rows
    QImage image;                 // ARGB32, transparency from the mask (8 bpp) or alpha (32 bpp)
    QImage mask;                  // Format_Mono-like: qGray 0 = opaque, 255 = transparent
};

inline bool IsPng(const QByteArray& data) { return data.startsWith("\x89PNG\r\n\x1a\n"); }

// Decodes an uncompressed 8- or 32-bit icon bitmap.
inline std::optional<Dib> DecodeDib(const QByteArray& d, QString* error) {
    if (!Has(d, 0, 40)) {
        *error = QStringLiteral("short bitmap header");
        return std::nullopt;
    }
    Dib dib;
    dib.headerSize = U32(d, 0);
    dib.width = int(qint32(U32(d, 4)));
    dib.height = int(qint32(U32(d, 8)));
    dib.planes = int(U16(d, 12));
    dib.bits = int(U16(d, 14));
    dib.compression = U32(d, 16);
    dib.colorsUsed = U32(d, 32);
    if (dib.headerSize != 40 || dib.compression != 0 || (dib.bits != 8 && dib.bits != 32) ||
        dib.width <= 0 || dib.width > 256 || dib.height != 2 * dib.width) {
        *error = QStringLiteral("unexpected bitmap header");
        return std::nullopt;
    }
    const int s = dib.width;
    const qsizetype paletteCount = dib.bits == 8 ? (dib.colorsUsed ? dib.colorsUsed : 256) : 0;
    const qsizetype xorStride = ((qsizetype(s) * dib.bits + 31) / 32) * 4;
    const qsizetype andStride = ((s + 31) / 32) * 4;
    const qsizetype palettePos = 40;
    const qsizetype xorPos = palettePos + 4 * paletteCount;
    const qsizetype andPos = xorPos + xorStride * s;
    dib.expectedBytes = andPos + andStride * s;
    if (paletteCount > 256 || d.size() < dib.expectedBytes) {
        *error = QStringLiteral("bitmap shorter than its header says");
        return std::nullopt;
    }
    dib.image = QImage(s, s, QImage::Format_ARGB32);
    dib.mask = QImage(s, s, QImage::Format_Grayscale8);
    for (int y = 0; y < s; ++y) {
        const qsizetype row = s - 1 - y;  // bottom-up
        for (int x = 0; x < s; ++x) {
            const bool transparent = (U8(d, andPos + row * andStride + x / 8) >> (7 - x % 8)) & 1;
            dib.mask.setPixel(x, y, transparent ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
            QRgb c;
            if (dib.bits == 8) {
                const quint32 index = U8(d, xorPos + row * xorStride + x);
                if (index >= paletteCount) {
                    *error = QStringLiteral("pixel index beyond the palette");
                    return std::nullopt;
                }
                const qsizetype p = palettePos + 4 * qsizetype(index);
                c = qRgba(int(U8(d, p + 2)), int(U8(d, p + 1)), int(U8(d, p)),
                          transparent ? 0 : 255);
                if (transparent && (U8(d, p) | U8(d, p + 1) | U8(d, p + 2)) != 0) {
                    *error = QStringLiteral("transparent pixel does not point at black");
                    return std::nullopt;
                }
            } else {
                const qsizetype p = xorPos + row * xorStride + 4 * x;
                c = qRgba(int(U8(d, p + 2)), int(U8(d, p + 1)), int(U8(d, p)), int(U8(d, p + 3)));
            }
            dib.image.setPixel(x, y, c);
        }
    }
    return dib;
}

}  // namespace icoreader
