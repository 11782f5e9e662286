#include "imaging/wmf/WmfObjects.h"

#include <algorithm>

namespace imaging::wmf {

void ObjectTable::add(Object object) {
    for (; firstFree_ < slots_.size(); ++firstFree_) {
        if (!slots_[firstFree_]) {
            slots_[firstFree_++] = std::move(object);
            return;
        }
    }
    // Table full: the object is lost, as it would be in GDI.
}

const Object* ObjectTable::get(int index) const {
    if (index < 0 || size_t(index) >= slots_.size() || !slots_[size_t(index)]) return nullptr;
    return &*slots_[size_t(index)];
}

void ObjectTable::remove(int index) {
    if (index >= 0 && size_t(index) < slots_.size()) {
        slots_[size_t(index)].reset();
        firstFree_ = std::min(firstFree_, size_t(index));
    }
}

QColor ColorRef(uint32_t c) {
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

Pen ParsePen(const Params& p) {
    Pen pen;
    pen.style = p.u16(0);
    pen.width = p.i16(1) < 0 ? 0 : p.i16(1);
    pen.color = p.u32(3);
    return pen;
}

Brush ParseBrush(const Params& p) {
    Brush brush;
    brush.style = p.u16(0);
    brush.color = p.u32(1);
    brush.hatch = p.u16(3);
    if (brush.style != kBsSolid && brush.style != kBsNull && brush.style != kBsHatched)
        brush.style = kBsSolid;  // a pattern without bits: the colour is the best guess
    return brush;
}

Font ParseFont(const Params& p) {
    Font f;
    f.height = p.i16(0);
    f.width = p.i16(1);
    f.escapement = p.i16(2);
    f.weight = p.i16(4);
    const uchar* b = p.raw(5, 8);
    if (b) {
        f.italic = b[0] != 0;
        f.underline = b[1] != 0;
        f.strikeOut = b[2] != 0;
        f.charset = b[3];
        f.pitchAndFamily = b[7];
    }
    const qsizetype faceBytes = qMin<qsizetype>(32, p.bytesFrom(9));
    if (const uchar* face = p.raw(9, faceBytes)) {
        qsizetype n = 0;
        while (n < faceBytes && face[n]) ++n;
        f.face = QString::fromLatin1(reinterpret_cast<const char*>(face), n);
    }
    return f;
}

Palette ParsePalette(const Params& p) {
    Palette pal;
    const qsizetype count = qMin<qsizetype>(p.u16(1), (p.words() - 2) / 2);
    for (qsizetype i = 0; i < count; ++i) {
        const uchar* e = p.raw(2 + i * 2, 4);
        pal.colors.append(qRgb(e[0], e[1], e[2]));
        pal.flags.append(e[3]);
    }
    return pal;
}

void SetPaletteEntries(Palette& palette, const Params& p, bool onlyReserved) {
    constexpr uint8_t kPcReserved = 0x01;
    const qsizetype start = p.u16(0);
    const qsizetype count = qMin<qsizetype>(p.u16(1), (p.words() - 2) / 2);
    for (qsizetype i = 0; i < count && start + i < palette.colors.size(); ++i) {
        const qsizetype at = start + i;
        if (onlyReserved && !(palette.flags[at] & kPcReserved)) continue;
        const uchar* e = p.raw(2 + i * 2, 4);
        palette.colors[at] = qRgb(e[0], e[1], e[2]);
        if (!onlyReserved) palette.flags[at] = e[3];
    }
}

// The twenty colours a device context holds before a palette is selected.
const QList<QRgb>& DefaultPalette() {
    static const QList<QRgb> kColors{
        qRgb(0, 0, 0),       qRgb(128, 0, 0),     qRgb(0, 128, 0),     qRgb(128, 128, 0),
        qRgb(0, 0, 128),     qRgb(128, 0, 128),   qRgb(0, 128, 128),   qRgb(192, 192, 192),
        qRgb(192, 220, 192), qRgb(166, 202, 240), qRgb(255, 251, 240), qRgb(160, 160, 164),
        qRgb(128, 128, 128), qRgb(255, 0, 0),     qRgb(0, 255, 0),     qRgb(255, 255, 0),
        qRgb(0, 0, 255),     qRgb(255, 0, 255),   qRgb(0, 255, 255),   qRgb(255, 255, 255)};
    return kColors;
}

Region ParseRegion(const Params& p) {
    constexpr int kMaxRects = 1000;  // overlapping rectangles make region unions quadratic
    Region r;
    const int scans = p.i16(5);
    qsizetype w = 11;
    for (int s = 0; s < scans && p.has(w + 3) && r.rects.size() < kMaxRects; ++s) {
        const int xCount = p.u16(w);
        const int top = p.i16(w + 1), bottom = p.i16(w + 2);
        w += 3;
        for (int i = 0; i + 1 < xCount && p.has(w + 2); i += 2, w += 2) {
            const int left = p.i16(w), right = p.i16(w + 1);
            if (right > left && bottom > top)
                r.rects.append(QRect(left, top, right - left, bottom - top));
        }
        w += 1;  // trailing copy of the count
    }
    if (r.rects.isEmpty() && p.has(11)) {  // no scans: the bounding box is the region
        const QRect box(QPoint(p.i16(7), p.i16(8)), QPoint(p.i16(9) - 1, p.i16(10) - 1));
        if (box.isValid()) r.rects.append(box);
    }
    return r;
}

}  // namespace imaging::wmf
