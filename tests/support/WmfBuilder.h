#pragma once
// A metafile written record by record, for tests that build their pictures from bytes.
#include <QByteArray>

#include <array>
#include <vector>

namespace testwmf {

inline void Put16(QByteArray& b, int v) { b += char(v & 0xFF), b += char((v >> 8) & 0xFF); }
inline void Put32(QByteArray& b, uint32_t v) { Put16(b, int(v & 0xFFFF)), Put16(b, int(v >> 16)); }

// Finish with placeable() or plain(). Rectangles are given left, top, right, bottom.
class Wmf {
public:
    Wmf& rec(uint16_t fn, const std::vector<int>& words) { return raw(fn, Words(words)); }
    Wmf& raw(uint16_t fn, const QByteArray& params) {
        const auto n = uint32_t(3 + params.size() / 2);
        body_ += Words({lo(n), hi(n), fn}) + params;
        return *this;
    }
    Wmf& pen(int style, int width, uint32_t color) {
        return rec(0x02FA, {style, width, 0, lo(color), hi(color)});
    }
    Wmf& brush(int style, uint32_t color, int hatch = 0) {
        return rec(0x02FC, {style, lo(color), hi(color), hatch});
    }
    Wmf& select(int index) { return rec(0x012D, {index}); }
    Wmf& remove(int index) { return rec(0x01F0, {index}); }
    Wmf& rectangle(int l, int t, int r, int b) { return rec(0x041B, {b, r, t, l}); }
    Wmf& windowExt(int x, int y) { return rec(0x020C, {y, x}); }
    Wmf& moveTo(int x, int y) { return rec(0x0214, {y, x}); }
    Wmf& lineTo(int x, int y) { return rec(0x0213, {y, x}); }
    Wmf& font(int height, const char* face = "Arial") {
        QByteArray p = Words({height, 0, 0, 0, 400}) + QByteArray(8, '\0');
        return raw(0x02FB, p + QByteArray(face).leftJustified(32, '\0', true));
    }
    // First index, then red, green, blue, flags.
    Wmf& palette(uint16_t fn, int first, std::initializer_list<std::array<uint8_t, 4>> entries) {
        QByteArray p = Words({first, int(entries.size())});
        for (const auto& e : entries) p += QByteArray(reinterpret_cast<const char*>(e.data()), 4);
        return raw(fn, p);
    }

    QByteArray placeable(int l, int t, int r, int b, int unitsPerInch, int objects = 16) const {
        return Words({0xCDD7, 0x9AC6, 0, l, t, r, b, unitsPerInch, 0, 0, 0}) + plain(objects);
    }
    QByteArray plain(int objects = 16) const {
        const auto words = uint32_t(12 + body_.size() / 2);
        return Words({1, 9, 0x0300, lo(words), hi(words), objects, 0, 0, 0}) + body_ +
               Words({3, 0, 0});
    }

    static QByteArray Words(const std::vector<int>& words) {
        QByteArray b;
        for (int w : words) Put16(b, w);
        return b;
    }
    static QByteArray Padded(QByteArray text) { return text.size() % 2 ? text + '\0' : text; }
    static int lo(uint32_t v) { return int(v & 0xFFFF); }
    static int hi(uint32_t v) { return int(v >> 16); }

private:
    QByteArray body_;
};

}  // namespace testwmf
