#pragma once
// Little-endian byte writers and a metafile written record by record, for tests that build
// their pictures from bytes.
#include <QByteArray>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testwmf {

inline void Put16(QByteArray& b, int v) { b += char(v & 0xFF), b += char((v >> 8) & 0xFF); }
inline void Put32(QByteArray& b, uint32_t v) { Put16(b, int(v & 0xFFFF)), Put16(b, int(v >> 16)); }

// Writes records; finish with placeable() or plain().
class Wmf {
public:
    Wmf& rec(uint16_t fn, std::initializer_list<int> words) {
        QByteArray params;
        for (int w : words) put16(params, uint16_t(w));
        return raw(fn, params);
    }
    Wmf& rec(uint16_t fn, const std::vector<int>& words) {
        QByteArray params;
        for (int w : words) put16(params, uint16_t(w));
        return raw(fn, params);
    }
    Wmf& raw(uint16_t fn, const QByteArray& params) {
        put32(body_, uint32_t(3 + params.size() / 2));
        put16(body_, fn);
        body_ += params;
        return *this;
    }
    // Convenience records (rectangles are written bottom, right, top, left as the format wants).
    Wmf& pen(int style, int width, uint32_t color) {
        return rec(0x02FA, {style, width, 0, lo(color), hi(color)});
    }
    Wmf& brush(int style, uint32_t color, int hatch = 0) {
        return rec(0x02FC, {style, lo(color), hi(color), hatch});
    }
    Wmf& nullBrush() { return brush(1, 0); }
    Wmf& select(int index) { return rec(0x012D, {index}); }
    Wmf& remove(int index) { return rec(0x01F0, {index}); }
    Wmf& rectangle(int l, int t, int r, int b) { return rec(0x041B, {b, r, t, l}); }
    Wmf& ellipse(int l, int t, int r, int b) { return rec(0x0418, {b, r, t, l}); }
    Wmf& windowOrg(int x, int y) { return rec(0x020B, {y, x}); }
    Wmf& windowExt(int x, int y) { return rec(0x020C, {y, x}); }
    Wmf& moveTo(int x, int y) { return rec(0x0214, {y, x}); }
    Wmf& lineTo(int x, int y) { return rec(0x0213, {y, x}); }
    Wmf& font(int height, const char* face = "Arial") {
        QByteArray p;
        for (int w : {height, 0, 0, 0, 400}) put16(p, uint16_t(w));
        p += QByteArray(8, '\0');
        p += QByteArray(face).leftJustified(32, '\0', true);
        return raw(0x02FB, p);
    }
    Wmf& textOut(int x, int y, const QByteArray& text) {
        QByteArray p;
        put16(p, uint16_t(text.size()));
        p += text;
        if (text.size() % 2) p += '\0';
        put16(p, uint16_t(y));
        put16(p, uint16_t(x));
        return raw(0x0521, p);
    }

    // CreatePalette, SetPaletteEntries, AnimatePalette: first index, then red, green, blue, flags.
    Wmf& palette(uint16_t fn, int first, std::initializer_list<std::array<uint8_t, 4>> entries) {
        QByteArray p;
        put16(p, uint16_t(first));
        put16(p, uint16_t(entries.size()));
        for (const auto& e : entries) p += QByteArray(reinterpret_cast<const char*>(e.data()), 4);
        return raw(fn, p);
    }
    Wmf& extTextOut(int x, int y, int options, const QByteArray& text,
                    std::initializer_list<int> dx) {
        QByteArray p;
        for (int v : {y, x, int(text.size()), options}) put16(p, uint16_t(v));
        p += text;
        if (text.size() % 2) p += '\0';
        for (int d : dx) put16(p, uint16_t(d));
        return raw(0x0A32, p);
    }

    QByteArray placeable(int l, int t, int r, int b, int unitsPerInch, int objects = 16) const {
        QByteArray out;
        put32(out, 0x9AC6CDD7);
        put16(out, 0);
        for (int v : {l, t, r, b, unitsPerInch}) put16(out, uint16_t(v));
        put32(out, 0);
        put16(out, 0);
        return out + plain(objects);
    }
    QByteArray plain(int objects = 16) const {
        QByteArray out;
        for (int v : {1, 9, 0x0300}) put16(out, uint16_t(v));
        put32(out, uint32_t(9 + body_.size() / 2 + 3));
        put16(out, uint16_t(objects));
        put32(out, 0);
        put16(out, 0);
        out += body_;
        put32(out, 3);
        put16(out, 0);
        return out;
    }

    static int lo(uint32_t v) { return int(v & 0xFFFF); }
    static int hi(uint32_t v) { return int(v >> 16); }
    static void put16(QByteArray& b, uint16_t v) { Put16(b, v); }
    static void put32(QByteArray& b, uint32_t v) { Put32(b, v); }

private:
    QByteArray body_;
};

}  // namespace testwmf
