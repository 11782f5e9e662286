#include "IcoFile.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>

namespace icongen {
namespace {

void PutU8(QByteArray& out, int v) { out.append(static_cast<char>(v & 0xff)); }
void PutU16(QByteArray& out, quint32 v) {
    PutU8(out, static_cast<int>(v));
    PutU8(out, static_cast<int>(v >> 8));
}
void PutU32(QByteArray& out, quint32 v) {
    PutU16(out, v & 0xffff);
    PutU16(out, v >> 16);
}

struct Entry {
    QRgb rgb;
    qint64 count;
};

int Channel(QRgb c, int ch) { return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c); }

// Median cut: split the box with the widest channel range at its weighted median until the
// palette is full. Ties are broken by colour value so that the result never depends on the
// standard library's sort.
std::vector<QRgb> MedianCut(std::vector<Entry> entries, size_t count) {
    struct Box {
        size_t begin, end;
    };
    std::vector<Box> boxes{{0, entries.size()}};
    auto range = [&](const Box& b, int ch) {
        int lo = 255, hi = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            lo = std::min(lo, Channel(entries[i].rgb, ch));
            hi = std::max(hi, Channel(entries[i].rgb, ch));
        }
        return hi - lo;
    };
    while (boxes.size() < count) {
        int bestRange = 0, bestCh = 0;
        size_t best = boxes.size();
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2) continue;
            for (int ch = 0; ch < 3; ++ch) {
                const int r = range(boxes[i], ch);
                if (r > bestRange) {
                    bestRange = r;
                    bestCh = ch;
                    best = i;
                }
            }
        }
        if (best == boxes.size()) break;
        Box& box = boxes[best];
        std::sort(entries.begin() + static_cast<std::ptrdiff_t>(box.begin),
                  entries.begin() + static_cast<std::ptrdiff_t>(box.end),
                  [bestCh](const Entry& a, const Entry& b) {
                      const int ca = Channel(a.rgb, bestCh), cb = Channel(b.rgb, bestCh);
                      return ca != cb ? ca < cb : a.rgb < b.rgb;
                  });
        qint64 total = 0;
        for (size_t i = box.begin; i < box.end; ++i) total += entries[i].count;
        size_t split = box.begin + 1;
        qint64 acc = entries[box.begin].count;
        while (split < box.end - 1 && 2 * acc < total) acc += entries[split++].count;
        const Box upper{split, box.end};
        box.end = split;
        boxes.push_back(upper);
    }
    std::vector<QRgb> palette;
    for (const Box& b : boxes) {
        std::array<qint64, 3> sum{};
        qint64 n = 0;
        for (size_t i = b.begin; i < b.end; ++i) {
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] += Channel(entries[i].rgb, ch) * entries[i].count;
            n += entries[i].count;
        }
        palette.push_back(qRgb(static_cast<int>((sum[0] + n / 2) / n),
                               static_cast<int>((sum[1] + n / 2) / n),
                               static_cast<int>((sum[2] + n / 2) / n)));
    }
    return palette;
}

int Nearest(const std::vector<QRgb>& palette, QRgb c) {
    int best = 0;
    int bestDist = std::numeric_limits<int>::max();
    for (size_t i = 0; i < palette.size(); ++i) {
        const int dr = qRed(palette[i]) - qRed(c);
        const int dg = qGreen(palette[i]) - qGreen(c);
        const int db = qBlue(palette[i]) - qBlue(c);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

bool Transparent(QRgb c) { return qAlpha(c) < kMaskThreshold; }

QByteArray EncodeDib(const IconImage& icon) {
    const QImage& img = icon.image;
    const int s = img.width();
    const int xorStride = ((s * icon.bits + 31) / 32) * 4;
    const int andStride = ((s + 31) / 32) * 4;
    std::vector<QRgb> palette;
    if (icon.bits == 8) {
        palette = MakePalette(img);
        palette.resize(256, qRgb(0, 0, 0));
    }
    QByteArray out;
    PutU32(out, 40);
    PutU32(out, static_cast<quint32>(s));
    PutU32(out, static_cast<quint32>(2 * s));  // colour rows and mask rows
    PutU16(out, 1);
    PutU16(out, static_cast<quint32>(icon.bits));
    PutU32(out, 0);  // BI_RGB
    PutU32(out, static_cast<quint32>((xorStride + andStride) * s));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, static_cast<quint32>(palette.size()));
    PutU32(out, 0);
    for (QRgb c : palette) {
        PutU8(out, qBlue(c));
        PutU8(out, qGreen(c));
        PutU8(out, qRed(c));
        PutU8(out, 0);
    }
    for (int y = s - 1; y >= 0; --y) {  // bottom-up
        const qsizetype rowStart = out.size();
        for (int x = 0; x < s; ++x) {
            const QRgb c = img.pixel(x, y);
            if (icon.bits == 8) {
                PutU8(out, Transparent(c) ? 0 : Nearest(palette, c));
            } else {
                PutU8(out, qBlue(c));
                PutU8(out, qGreen(c));
                PutU8(out, qRed(c));
                PutU8(out, qAlpha(c));
            }
        }
        while (out.size() - rowStart < xorStride) PutU8(out, 0);
    }
    for (int y = s - 1; y >= 0; --y) {
        QByteArray row(andStride, '\0');
        for (int x = 0; x < s; ++x) {
            if (Transparent(img.pixel(x, y)))
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }
    return out;
}

}  // namespace

std::vector<QRgb> MakePalette(const QImage& image) {
    std::map<QRgb, qint64> counts;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (!Transparent(c)) ++counts[qRgb(qRed(c), qGreen(c), qBlue(c))];
        }
    }
    std::vector<Entry> entries;
    for (const auto& [rgb, n] : counts) entries.push_back({rgb, n});
    std::vector<QRgb> palette{qRgb(0, 0, 0)};
    if (entries.size() <= 255) {
        for (const Entry& e : entries) palette.push_back(e.rgb);
    } else {
        const std::vector<QRgb> cut = MedianCut(std::move(entries), 255);
        palette.insert(palette.end(), cut.begin(), cut.end());
    }
    return palette;
}

QByteArray EncodeIco(const std::vector<IconImage>& images) {
    QByteArray header;
    PutU16(header, 0);
    PutU16(header, 1);  // icon
    PutU16(header, static_cast<quint32>(images.size()));
    QByteArray data;
    const quint32 base = static_cast<quint32>(6 + 16 * images.size());
    for (const IconImage& icon : images) {
        const QByteArray dib = EncodeDib(icon);
        const int s = icon.image.width();
        PutU8(header, s >= 256 ? 0 : s);
        PutU8(header, s >= 256 ? 0 : s);
        PutU8(header, 0);  // colour count: 0 means 256 or more
        PutU8(header, 0);
        PutU16(header, 1);
        PutU16(header, static_cast<quint32>(icon.bits));
        PutU32(header, static_cast<quint32>(dib.size()));
        PutU32(header, base + static_cast<quint32>(data.size()));
        data.append(dib);
    }
    return header + data;
}

}  // namespace icongen
