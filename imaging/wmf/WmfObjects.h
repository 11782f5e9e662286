#pragma once
// GDI objects a metafile creates, and the table they live in.
#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "imaging/wmf/WmfReader.h"

namespace imaging::wmf {

enum PenKind { kPsSolid = 0, kPsDash, kPsDot, kPsDashDot, kPsDashDotDot, kPsNull, kPsInsideFrame };
enum BrushKind {
    kBsSolid = 0,
    kBsNull = 1,
    kBsHatched = 2,
    kBsPattern = 3,
    kBsDibPattern = 5,
    kBsDibPatternPt = 6
};

struct Pen {
    uint16_t style = kPsSolid;  // kind in the low nibble, end cap and join above
    int width = 0;              // logical units; 0 means one device pixel
    uint32_t color = 0;         // COLORREF, resolved when drawing
};

struct Brush {
    uint16_t style = kBsSolid;
    uint32_t color = 0xFFFFFF;  // COLORREF, resolved when drawing
    uint16_t hatch = 0;
    QImage pattern;  // pattern brushes only
};

struct Font {
    int height = 0;  // negative: character height; positive: cell height
    int width = 0;
    int escapement = 0;  // tenths of a degree, counter-clockwise
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    uint8_t charset = 0, pitchAndFamily = 0;
    QString face;
};

struct Palette {
    QList<QRgb> colors;
    QList<uint8_t> flags;  // PC_RESERVED marks the entries AnimatePalette may change
};

struct Region {
    QList<QRect> rects;  // logical units, right/bottom exclusive
};

// A palette is shared: the device context refers to it, and later palette records change it.
using Object = std::variant<Pen, Brush, Font, std::shared_ptr<Palette>, Region>;

// Handles are slot numbers: a new object takes the lowest free slot, as GDI does when playing.
class ObjectTable {
public:
    explicit ObjectTable(int capacity) : slots_(size_t(capacity)) {}
    void add(Object object);
    const Object* get(int index) const;
    void remove(int index);

private:
    std::vector<std::optional<Object>> slots_;
    size_t firstFree_ = 0;  // no free slot below it: a full table costs no search per record
};

// The RGB of a COLORREF; palette indices are resolved by the player.
QColor ColorRef(uint32_t colorRef);
Pen ParsePen(const Params& p);
Brush ParseBrush(const Params& p);
Font ParseFont(const Params& p);
Palette ParsePalette(const Params& p);
// Writes the entries of a palette record (first index, count, entries) into `palette`;
// onlyReserved keeps the entries not marked PC_RESERVED, as AnimatePalette does.
void SetPaletteEntries(Palette& palette, const Params& p, bool onlyReserved);
const QList<QRgb>& DefaultPalette();
Region ParseRegion(const Params& p);

}  // namespace imaging::wmf
