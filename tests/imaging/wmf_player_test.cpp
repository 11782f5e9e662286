// Metafile player: small metafiles built from record bytes, checked pixel by pixel.
#include <gtest/gtest.h>
#include <QFontInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QRawFont>

#include <algorithm>
#include <utility>

#include "imaging/wmf/WmfPlayer.h"
#include "imaging/wmf/WmfSymbolFonts.h"
#include "tests/support/WmfBuilder.h"

using imaging::wmf::LooksLikeWmf;
using imaging::wmf::Rendered;
using imaging::wmf::RenderWmf;
using testwmf::Wmf;

namespace {

constexpr uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kBlack = 0;

// A 100 x 100 unit picture at 96 units per inch: one unit is one pixel at ratio 1.
QByteArray Square100(const Wmf& w) { return w.placeable(0, 0, 100, 100, 96); }

Rendered Render(const QByteArray& bytes, double ratio = 1, QSize max = QSize(4000, 4000)) {
    QString error;
    std::optional<Rendered> r = RenderWmf(bytes, max, ratio, &error);
    EXPECT_TRUE(r.has_value()) << error.toStdString();
    return r ? *r : Rendered{};
}

QRgb At(const Rendered& r, int x, int y) { return r.image.pixel(x, y); }
bool Transparent(const Rendered& r, int x, int y) { return qAlpha(At(r, x, y)) == 0; }
bool Is(const Rendered& r, int x, int y, uint32_t colorRef) {
    const QRgb p = At(r, x, y);
    return qAlpha(p) == 255 && qRed(p) == int(colorRef & 0xFF) &&
           qGreen(p) == int((colorRef >> 8) & 0xFF) && qBlue(p) == int((colorRef >> 16) & 0xFF);
}

// Each probe is a colour, or kClear for a transparent pixel.
constexpr int64_t kClear = -1;
struct Probe {
    int x, y;
    int64_t colour;
};
void ExpectPixels(const Rendered& r, std::initializer_list<Probe> probes) {
    for (const Probe& p : probes) {
        EXPECT_TRUE(p.colour == kClear ? Transparent(r, p.x, p.y)
                                       : Is(r, p.x, p.y, uint32_t(p.colour)))
            << "pixel " << p.x << ", " << p.y;
    }
}

// Rows and columns holding any opaque-ish pixel.
QRect InkBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 128) box |= QRect(x, y, 1, 1);
    return box;
}

QRect InkBoxIn(const QImage& img, const QRect& area) {
    return InkBox(img.copy(area)).translated(area.topLeft());
}

// Share of the box's pixels that are inked.
double Coverage(const QImage& img, const QRect& box) {
    int inked = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) inked += qAlpha(img.pixel(x, y)) > 128;
    return box.isEmpty() ? 0 : double(inked) / (box.width() * box.height());
}

// ---- header, natural size, refusal ----

TEST(WmfHeader, NaturalSizeAndImageSizeFromFrameWindowOrMappingMode) {
    Wmf lometric;  // MM_LOMETRIC: one inch square, y up
    lometric.rec(0x0103, {2}).pen(5, 0, 0).select(0).brush(0, kBlue).select(1);
    lometric.rectangle(0, 0, 254, -254);
    const struct {
        const char* name;
        QByteArray bytes;
        double ratio;
        QSize max, image;
        int widthHimetric, heightHimetric;
    } cases[] = {
        {"placeable frame",
         Wmf().placeable(0, 0, 1000, 500, 1000),
         1,
         {4000, 4000},
         {96, 48},
         2540,
         1270},
        {"at ratio 2",
         Wmf().placeable(0, 0, 1000, 500, 1000),
         2,
         {4000, 4000},
         {192, 96},
         2540,
         1270},
        {"shrunk into the box, natural size kept",
         Wmf().placeable(0, 0, 2000, 1000, 96),
         1,
         {500, 500},
         {500, 250},
         52917,
         26458},
        {"plain: window extent as pixels",
         Wmf().rec(0x0103, {8}).windowOrg(0, 0).windowExt(200, 100).plain(),
         1,
         {4000, 4000},
         {200, 100},
         5292,
         2646},
        {"plain: physical mapping mode", lometric.plain(), 1, {4000, 4000}, {96, 96}, 2540, 2540},
        {"a sliver shrunk below a pixel keeps one row",
         Wmf().placeable(0, 0, 8000, 1, 96),
         1,
         {2000, 2000},
         {2000, 1},
         211667,
         26},
    };
    for (const auto& c : cases) {
        const Rendered r = Render(c.bytes, c.ratio, c.max);
        EXPECT_EQ(r.image.size(), c.image) << c.name;
        EXPECT_EQ(r.image.format(), QImage::Format_ARGB32_Premultiplied) << c.name;
        EXPECT_EQ(r.widthHimetric, c.widthHimetric) << c.name;
        EXPECT_EQ(r.heightHimetric, c.heightHimetric) << c.name;
    }
}

TEST(WmfHeader, PlainFileWithoutWindowIsSizedByWhatItDraws) {
    Wmf w;
    w.pen(5, 0, 0).select(0).brush(0, kRed).select(1).rectangle(10, 20, 110, 70);
    const Rendered r = Render(w.plain());
    EXPECT_EQ(r.image.size(), QSize(100, 50));
    ExpectPixels(r, {{1, 1, kRed}, {98, 48, kRed}});
}

TEST(WmfHeader, EmptyPictureIsTransparentAtNaturalSize) {
    const Rendered r = Render(Square100(Wmf()));
    ASSERT_EQ(r.image.size(), QSize(100, 100));
    EXPECT_TRUE(InkBox(r.image).isEmpty());
}

TEST(WmfHeader, RefusesWhatIsNotAMetafile) {
    QString error;
    EXPECT_FALSE(RenderWmf("GIF89a\x01\x00\x01\x00", QSize(100, 100), 1, &error));
    EXPECT_FALSE(error.isEmpty());
    QByteArray badVersion = Wmf().plain();
    badVersion[4] = 0x02;
    EXPECT_FALSE(RenderWmf(badVersion, QSize(100, 100), 1, nullptr));
    EXPECT_FALSE(RenderWmf(Square100(Wmf()).left(30), QSize(100, 100), 1, nullptr));  // header cut
    // no size anywhere: nothing drawn and no window
    EXPECT_FALSE(RenderWmf(Wmf().plain(), QSize(100, 100), 1, &error));
}

TEST(WmfHeader, RefusesRecordsCutBeforeAnythingIsDrawn) {
    Wmf w;
    w.brush(0, kRed).select(0).rectangle(0, 0, 50, 50);
    const QByteArray whole = Square100(w);
    EXPECT_FALSE(RenderWmf(whole.left(whole.size() - 12), QSize(100, 100), 1, nullptr));
    // once something is drawn, a later cut keeps what came before
    Wmf more;
    more.brush(0, kRed).select(0).rectangle(0, 0, 50, 50).rectangle(50, 50, 100, 100);
    const QByteArray full = Square100(more);
    const std::optional<Rendered> r =
        RenderWmf(full.left(full.size() - 12), QSize(100, 100), 1, nullptr);
    ASSERT_TRUE(r);
    ExpectPixels(*r, {{25, 25, kRed}, {75, 75, kClear}});
}

TEST(WmfHeader, RecognisesBothHeaderKinds) {
    EXPECT_TRUE(LooksLikeWmf(Square100(Wmf()).left(24)));
    EXPECT_TRUE(LooksLikeWmf(Wmf().plain().left(18)));
    EXPECT_FALSE(LooksLikeWmf(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    EXPECT_FALSE(LooksLikeWmf(QByteArray()));
}

// ---- shapes and mapping ----

TEST(WmfShapes, FilledEllipseIsFilled) {
    Wmf w;
    w.pen(5, 0, 0).select(0).brush(0, kRed).select(1).ellipse(0, 0, 100, 100);
    const Rendered r = Render(Square100(w));
    ExpectPixels(r, {{50, 50, kRed}, {20, 50, kRed}, {3, 3, kClear}, {96, 96, kClear}});
}

TEST(WmfShapes, OnePixelPenOutlinesTheRectangleInside) {
    Wmf w;
    w.pen(0, 1, kBlack).select(0).nullBrush().select(1).rectangle(10, 10, 50, 50);
    const Rendered r = Render(Square100(w));
    ExpectPixels(r, {{10, 30, kBlack},
                     {49, 30, kBlack},
                     {30, 10, kBlack},
                     {30, 49, kBlack},
                     {9, 30, kClear},
                     {50, 30, kClear},
                     {30, 30, kClear}});
}

TEST(WmfShapes, WindowRecordsMapOntoTheFrame) {
    // Logical 0..1000 with y up, shown in a 100 x 100 frame: a square at the logical bottom-left.
    Wmf w;
    w.windowOrg(0, 1000).windowExt(1000, -1000).pen(5, 0, 0).select(0).brush(0, kGreen).select(1);
    w.rectangle(0, 0, 500, 500);
    const Rendered r = Render(w.placeable(0, 0, 1000, 1000, 960));
    ASSERT_EQ(r.image.size(), QSize(100, 100));
    ExpectPixels(r, {{25, 75, kGreen}, {25, 25, kClear}, {75, 75, kClear}});
}

TEST(WmfShapes, PolygonFillModeDecidesOverlaps) {
    // Two overlapping squares in one PolyPolygon, same direction: a hole with ALTERNATE only.
    auto build = [](int mode) {
        Wmf w;
        w.rec(0x0106, {mode}).pen(5, 0, 0).select(0).brush(0, kRed).select(1);
        w.rec(0x0538, {2, 4, 4, 0, 0, 60, 0, 60, 60, 0, 60, 40, 40, 100, 40, 100, 100, 40, 100});
        return Render(Square100(w));
    };
    const Rendered alternate = build(1), winding = build(2);
    ExpectPixels(alternate, {{20, 20, kRed}, {50, 50, kClear}});
    EXPECT_TRUE(Is(winding, 50, 50, kRed));
}

TEST(WmfShapes, PieFillsItsQuarter) {
    // From the ray towards the right (3 o'clock) counter-clockwise to the top (12 o'clock).
    Wmf w;
    w.pen(5, 0, 0).select(0).brush(0, kBlue).select(1).rec(0x081A,
                                                           {0, 50, 50, 100, 100, 100, 0, 0});
    const Rendered r = Render(Square100(w));
    ExpectPixels(r, {{70, 30, kBlue}, {30, 30, kClear}, {70, 70, kClear}});
}

TEST(WmfShapes, SetPixelAndPolyPolygonPutPointsWhereTheRecordSays) {
    Wmf w;
    w.pen(5, 0, 0).select(0).brush(0, kBlue).select(1);
    w.rec(0x041F, {Wmf::lo(kRed), 0, 70, 20});  // SetPixel: colour, y, x
    // One square, then words past its points that a reader must not take for another polygon.
    w.rec(0x0538, {1, 4, 10, 10, 40, 10, 40, 40, 10, 40, 60, 60, 90, 60, 90, 90});
    ExpectPixels(Render(Square100(w)),
                 {{20, 70, kRed}, {70, 20, kClear}, {25, 25, kBlue}, {80, 70, kClear}});
}

TEST(WmfShapes, RegionsFillAndFrameTheirScansOnly) {
    // One scan, rows 10-89, covering x 10-29 and 70-89: the gap between is not in the region.
    const std::initializer_list<int> region{0,  6, 0,  0,  0,  1,  0,  10, 10, 90,
                                            90, 4, 10, 90, 10, 30, 70, 90, 4};
    Wmf fill;
    fill.brush(0, kRed).rec(0x06FF, region).rec(0x0228, {1, 0});  // FillRegion(region, brush)
    ExpectPixels(
        Render(Square100(fill)),
        {{10, 10, kRed}, {29, 89, kRed}, {50, 50, kClear}, {80, 50, kRed}, {90, 50, kClear}});
    Wmf frame;  // FrameRegion: 3 wide, 2 high inside each part's edge
    frame.brush(0, kRed).rec(0x06FF, region).rec(0x0429, {1, 0, 2, 3});
    ExpectPixels(Render(Square100(frame)), {{12, 50, kRed},
                                            {13, 50, kClear},
                                            {27, 50, kRed},
                                            {26, 50, kClear},
                                            {20, 11, kRed},
                                            {20, 12, kClear},
                                            {20, 88, kRed},
                                            {20, 87, kClear},
                                            {50, 50, kClear}});
    // A step: rows 10-49 from x 30, rows 50-89 from x 10. Just inside the inner corner nothing
    // is edge, 3 px wide and 1 px high.
    Wmf step;
    step.brush(0, kRed)
        .rec(0x06FF,
             {0, 6, 0, 0, 0, 2, 0, 10, 10, 90, 90, 2, 10, 50, 30, 90, 2, 2, 50, 90, 10, 90, 2})
        .rec(0x0429, {1, 0, 1, 3});
    ExpectPixels(Render(Square100(step)), {{32, 50, kClear}, {31, 20, kRed}, {12, 60, kRed}});
}

TEST(WmfShapes, HatchedAndPatternBrushesFillWithTheirPattern) {
    // HS_CROSS in red on the opaque white background; then an 8 x 8 one-bit checkerboard.
    Wmf w;
    w.pen(5, 0, 0).select(0).brush(2, kRed, 4).select(1).rectangle(0, 0, 50, 100);
    w.rec(0x01F9, {0, 8, 8, 2, 0x0101, 0,    0,    0,    0,    0,    0,    0,
                   0, 0, 0, 0, 0xAA,   0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55});
    w.select(2).rectangle(50, 0, 100, 100);
    const Rendered r = Render(Square100(w));
    int red = 0, white = 0, black = 0, light = 0;
    for (int y = 10; y < 90; ++y) {
        for (int x = 5; x < 45; ++x) red += Is(r, x, y, kRed), white += Is(r, x, y, 0xFFFFFF);
        for (int x = 55; x < 95; ++x) black += Is(r, x, y, kBlack), light += Is(r, x, y, 0xFFFFFF);
    }
    EXPECT_GT(red, 200);
    EXPECT_GT(white, 1000);
    EXPECT_NEAR(black, 1600, 100);
    EXPECT_NEAR(light, 1600, 100);
}

TEST(WmfShapes, ZeroWidthPenIsOneCrispDevicePixel) {
    // 30 units over 100 px: y = 10 lands a third of the way into pixel row 33.
    Wmf w;
    w.windowExt(30, 30).pen(0, 0, kBlack).select(0).moveTo(0, 10).lineTo(30, 10);
    for (double ratio : {1.0, 2.0}) {
        const Rendered r = Render(Square100(w), ratio);
        std::vector<int> rows;
        for (int y = 0; y < r.image.height(); ++y)
            if (qAlpha(At(r, r.image.width() / 2, y)) > 0) rows.push_back(y);
        ASSERT_EQ(rows.size(), 1u) << ratio;
        EXPECT_TRUE(Is(r, r.image.width() / 2, rows[0], kBlack)) << ratio;
        EXPECT_NEAR(rows[0], 33 * ratio, ratio);
    }
    // A one-unit pen where a unit is a third of a pixel: one pixel, on the pixel GDI rounds to.
    Wmf thin;
    thin.windowExt(300, 300).pen(0, 1, kBlack).select(0).moveTo(0, 100).lineTo(300, 100);
    const Rendered r = Render(Square100(thin));
    ExpectPixels(r, {{50, 33, kBlack}, {50, 32, kClear}, {50, 34, kClear}});
}

TEST(WmfShapes, OnlyOnePixelPensAreStyled) {
    Wmf w;
    w.pen(1, 3, kBlack).select(0).moveTo(0, 30).lineTo(100, 30);  // dashed, 3 px: drawn solid
    w.pen(2, 0, kBlack).select(1).moveTo(0, 70).lineTo(100, 70);  // dotted, 1 px: dots
    const Rendered r = Render(Square100(w));
    int solidGaps = 0, dots = 0, dotGaps = 0;
    for (int x = 5; x < 95; ++x) {
        solidGaps += !Is(r, x, 30, kBlack);
        (Is(r, x, 70, kBlack) ? dots : dotGaps) += 1;
    }
    EXPECT_EQ(solidGaps, 0);
    EXPECT_GT(dots, 20);
    EXPECT_GT(dotGaps, 20);
}

// ---- device context state and objects ----

TEST(WmfState, RestoreDcBringsBackThePenByRelativeOrAbsoluteLevel) {
    // Red saved at level 1, blue at level 2, green current: -1 goes back to blue, 1 to red.
    for (auto [level, colour] : {std::pair{-1, kBlue}, {1, kRed}}) {
        Wmf w;
        w.pen(0, 3, kRed).pen(0, 3, kBlue).pen(0, 3, kGreen);
        w.select(0).rec(0x001E, {}).select(1).rec(0x001E, {}).select(2).rec(0x0127, {level});
        w.moveTo(0, 50).lineTo(100, 50);
        EXPECT_TRUE(Is(Render(Square100(w)), 50, 50, colour)) << level;
    }
}

TEST(WmfState, ClipRectanglesClip) {
    Wmf w;
    w.pen(5, 0, 0).select(0).brush(0, kRed).select(1);
    w.rec(0x0416, {100, 50, 0, 0});   // IntersectClipRect: keep the left half
    w.rec(0x0415, {60, 40, 40, 10});  // ExcludeClipRect: punch a hole
    Wmf moved = w;
    w.rectangle(0, 0, 100, 100);
    ExpectPixels(Render(Square100(w)),
                 {{5, 50, kRed}, {75, 50, kClear}, {25, 50, kClear}, {25, 80, kRed}});
    moved.rec(0x0220, {10, 50}).rectangle(0, 0, 100, 100);  // OffsetClipRgn: 50 right, 10 down
    ExpectPixels(
        Render(Square100(moved)),
        {{55, 50, kRed}, {5, 50, kClear}, {75, 60, kClear}, {75, 5, kClear}, {75, 80, kRed}});
}

TEST(WmfState, NewObjectsTakeTheLowestFreeSlot) {
    Wmf w;
    w.brush(0, kRed).brush(0, kGreen).remove(0).brush(0, kBlue);  // blue lands in slot 0
    w.pen(5, 0, 0).select(2).select(0).rectangle(0, 0, 100, 100);
    EXPECT_TRUE(Is(Render(Square100(w)), 50, 50, kBlue));
}

TEST(WmfState, ObjectTableIsBoundedByTheHeader) {
    Wmf w;
    w.brush(0, kRed).brush(0, kGreen).select(1).pen(5, 0, 0).select(2).rectangle(0, 0, 100, 100);
    // Two slots: the green brush is slot 1, the pen has no room and the default pen remains.
    const Rendered r = Render(w.placeable(0, 0, 100, 100, 96, 2));
    ExpectPixels(r, {{50, 50, kGreen}, {0, 50, kBlack}});
}

TEST(WmfState, NopRasterOperationDrawsNothing) {
    Wmf w;
    w.brush(0, kRed).select(0).rec(0x0104, {11}).rectangle(0, 0, 100, 100);
    EXPECT_TRUE(InkBox(Render(Square100(w)).image).isEmpty());
}

// ---- palettes ----

constexpr uint32_t PaletteIndex(int i) { return 0x01000000u | uint32_t(i); }

TEST(WmfPalette, WithoutAPaletteIndicesTakeTheDefaultOne) {
    Wmf w;
    w.pen(5, 0, 0).select(0);
    w.brush(0, PaletteIndex(0)).select(1).rectangle(0, 0, 25, 50);
    w.brush(0, PaletteIndex(13)).select(2).rectangle(25, 0, 50, 50);
    w.brush(0, PaletteIndex(9)).select(3).rectangle(50, 0, 75, 50);
    w.brush(0, PaletteIndex(500)).select(4).rectangle(75, 0, 100, 50);  // beyond: the first
    w.brush(0, 0x0200FF00).select(5).rectangle(0, 50, 100, 100);        // palette-relative RGB
    const Rendered r = Render(Square100(w));
    // 9 is the default palette's sky blue.
    ExpectPixels(r, {{12, 25, kBlack}, {37, 25, kRed}, {62, 25, 0xF0CAA6}, {87, 25, kBlack}});
    ExpectPixels(r, {{50, 75, kGreen}});
}

TEST(WmfPalette, IndicesFollowTheSelectedPaletteAsTheFileChangesIt) {
    constexpr uint32_t kMagenta = 0xFF00FF;
    Wmf w;
    w.pen(5, 0, 0).select(0);
    w.palette(0x00F7, 0x300, {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 1}});  // 2 is reserved
    w.rec(0x0234, {1}).rec(0x0035, {});  // SelectPalette, RealizePalette
    w.brush(0, PaletteIndex(1)).select(2).rectangle(0, 0, 25, 100);
    w.palette(0x0037, 1, {{0, 0, 255, 0}}).rectangle(25, 0, 50, 100);  // the same brush turns blue
    // AnimatePalette changes only the entries created reserved.
    w.palette(0x0436, 0, {{255, 255, 0, 0}, {255, 255, 0, 0}, {255, 0, 255, 0}});
    w.brush(0, PaletteIndex(2)).select(3).rectangle(50, 0, 75, 50);
    w.brush(0, PaletteIndex(0)).select(4).rectangle(50, 50, 75, 100);
    w.pen(0, 10, PaletteIndex(1)).select(5).moveTo(75, 75).lineTo(100, 75);  // pens too
    w.select(0).rec(0x0139, {1}).select(3).rectangle(75, 0, 100, 50);  // ResizePalette: 2 is gone
    const Rendered r = Render(Square100(w));
    ExpectPixels(r, {{12, 50, kGreen},
                     {37, 50, kBlue},
                     {62, 25, kMagenta},
                     {62, 75, kRed},
                     {87, 25, kRed},
                     {87, 75, kBlue}});
}

// ---- text ----

Wmf TextPicture(int height, int align, int bkMode = 1, const char* face = "Arial",
                const QByteArray& text = "HHHH") {
    Wmf w;
    w.font(height, face)
        .select(0)
        .rec(0x012E, {align})
        .rec(0x0102, {bkMode})
        .rec(0x0201, {Wmf::lo(kGreen), 0});
    w.textOut(100, 50, text);
    return w;
}

TEST(WmfText, AlignmentPlacesTheTextAroundThePoint) {
    // Top left: hanging below and right of (100, 50).
    QRect ink = InkBox(Render(TextPicture(-40, 0).placeable(0, 0, 400, 200, 96)).image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GE(ink.left(), 100);
    EXPECT_GE(ink.top(), 50);
    EXPECT_LE(ink.bottom(), 92);
    EXPECT_NEAR(ink.height(), 29, 4);  // a capital is about 0.72 em
    // TA_BASELINE | TA_CENTER: capitals sit on y = 50 and straddle x = 100.
    ink = InkBox(Render(TextPicture(-40, 24 | 6).placeable(0, 0, 400, 200, 96)).image);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_NEAR(ink.bottom(), 49, 1);
    EXPECT_NEAR(ink.center().x(), 100, 3);
    // TA_RIGHT ends the text at the point; the advances are the font's, unkerned as on the
    // platform that wrote the file, or kerned pairs would stop short of it.
    ink = InkBox(
        Render(TextPicture(-40, 2, 1, "Arial", "AVAVAVAVAV").placeable(0, 0, 400, 200, 96)).image);
    EXPECT_NEAR(ink.right(), 100, 2);
}

TEST(WmfText, PositiveHeightIsTheCellOfTheNamedFont) {
    // The cell of the font the author had, whatever stands in for it here: Arial's is 2288/2048
    // em (Helvetica is Arial on the platform that writes these files), Tahoma's 2472/2048 em.
    for (auto [name, cell] : {std::pair{"Arial", 2288}, {"Helvetica", 2288}, {"Tahoma", 2472}}) {
        const char* face = name;  // clang 14 lambdas cannot capture a structured binding
        auto capitals = [face](int height) {
            Wmf w;
            w.font(height, face).select(0).rec(0x012E, {24}).rec(0x0102, {1});
            return InkBox(Render(w.textOut(20, 150, "HH").placeable(0, 0, 400, 200, 96)).image)
                .height();
        };
        EXPECT_NEAR(double(capitals(100)) / capitals(-100), 2048.0 / cell, 0.02) << face;
    }
}

TEST(WmfText, SymbolFontLettersArePictographs) {
    auto draw = [](const char* face, const QByteArray& text) {
        Wmf w;
        w.font(-80, face).select(0).rec(0x0102, {1}).textOut(20, 20, text);
        return Render(w.placeable(0, 0, 200, 150, 96)).image;
    };
    // Wingdings 'n' is a black square and 'l' a black circle, Wingdings 2 0xA2 a black square,
    // Wingdings 3 'p' a black triangle pointing up; in Arial they are thin letters.
    const QImage square = draw("Wingdings", "n"), circle = draw("WINGDINGS", "l"),
                 square2 = draw("Wingdings 2", "\xA2"), triangle = draw("Wingdings 3", "p");
    for (const QImage& img : {square, circle, square2, triangle}) {
        const QRect box = InkBox(img);
        ASSERT_FALSE(box.isEmpty());
        EXPECT_NEAR(double(box.width()) / box.height(), 1.0, 0.3);  // Symbola's triangle is wide
    }
    EXPECT_GT(Coverage(square, InkBox(square)), 0.9);
    EXPECT_GT(Coverage(square2, InkBox(square2)), 0.9);
    EXPECT_NEAR(Coverage(circle, InkBox(circle)), 0.785, 0.07);
    const QRect t = InkBox(triangle);
    EXPECT_NEAR(Coverage(triangle, t), 0.5, 0.08);
    EXPECT_LT(InkBoxIn(triangle, QRect(0, t.top(), 200, 3)).width(),
              InkBoxIn(triangle, QRect(0, t.bottom() - 2, 200, 3)).width() / 3);
    const QImage letter = draw("Arial", "n");
    EXPECT_LT(Coverage(letter, InkBox(letter)), 0.7);
}

// Where the named symbol font is missing (on Linux, as a rule), every letter it has a picture
// for is drawn from an installed stand-in, never as the empty box of a missing glyph.
TEST(WmfText, EverySymbolLetterHasAGlyphWhereTheFontIsMissing) {
    using imaging::wmf::SymbolFont;
    std::vector<QRawFont> standIns;
    for (const QString& family : imaging::wmf::SymbolStandIns()) {
        QFont font(family);
        font.setPixelSize(20);
        if (QFontInfo(font).family().compare(family, Qt::CaseInsensitive) == 0)
            standIns.push_back(QRawFont::fromFont(font));
    }
    ASSERT_FALSE(standIns.empty()) << "no stand-in symbol font installed";
    for (auto [font, face] : {std::pair{SymbolFont::Wingdings, "Wingdings"},
                              {SymbolFont::Wingdings2, "Wingdings 2"},
                              {SymbolFont::Wingdings3, "Wingdings 3"},
                              {SymbolFont::Webdings, "Webdings"}}) {
        const std::bitset<256> own = imaging::wmf::OwnSymbolGlyphs(face);
        QStringList missing;
        for (int byte = 0x21; byte < 0x100; ++byte) {
            const char32_t u = imaging::wmf::SymbolFontChar(font, uint8_t(byte));
            const bool drawn =
                own[size_t(byte)] || u == 0 ||
                std::any_of(standIns.begin(), standIns.end(),
                            [u](const QRawFont& r) { return r.supportsCharacter(uint(u)); });
            if (!drawn) missing << QString::number(byte, 16);
        }
        EXPECT_TRUE(missing.isEmpty()) << face << ": " << missing.join(' ').toStdString();
    }
}

TEST(WmfText, OpaqueBackgroundFillsTheCell) {
    const Rendered opaque = Render(TextPicture(-40, 0, 2).placeable(0, 0, 400, 200, 96));
    const Rendered clear = Render(TextPicture(-40, 0, 1).placeable(0, 0, 400, 200, 96));
    EXPECT_TRUE(Is(opaque, 101, 51, kGreen));
    EXPECT_TRUE(Transparent(clear, 101, 51));
}

TEST(WmfText, FollowsTheMapping) {
    // Twice the logical units per pixel: text half as tall.
    const int full =
        InkBox(Render(TextPicture(-40, 0).placeable(0, 0, 400, 200, 96)).image).height();
    const int half =
        InkBox(Render(TextPicture(-40, 0).placeable(0, 0, 400, 200, 192)).image).height();
    EXPECT_NEAR(half * 2, full, 3);
    // The font's own advances, never rounded to whole pixels letter by letter: a line of text
    // twice the size is twice as long.
    const auto length = [](int height) {
        const QByteArray line(60, 'l');
        return InkBox(Render(TextPicture(height, 0, 1, "Arial", line).placeable(0, 0, 800, 200, 96))
                          .image)
            .width();
    };
    EXPECT_NEAR(length(-22), 2 * length(-11), 4);
}

TEST(WmfText, ExtTextOutBoxIsFilledAndClips) {
    // ETO_OPAQUE | ETO_CLIPPED with a box that cuts the line of text after about two letters.
    Wmf w;
    w.font(-40).select(0).rec(0x0201, {Wmf::lo(kGreen), 0}).rec(0x0102, {1});
    QByteArray p;
    for (int v : {50, 100, 4, 6, 100, 50, 150, 100}) Wmf::put16(p, uint16_t(v));
    p += "HHHH";
    for (int i = 0; i < 4; ++i) Wmf::put16(p, 30);  // advances: the text runs to x = 220
    const Rendered r = Render(w.raw(0x0A32, p).placeable(0, 0, 400, 200, 96));
    ExpectPixels(r, {{149, 51, kGreen}, {151, 51, kClear}});
    const QRect ink = InkBox(r.image);
    EXPECT_EQ(ink.left(), 100);
    EXPECT_EQ(ink.right(), 149);  // nothing of the last letters beyond the box
}

TEST(WmfText, ExtTextOutReadsABoxOnlyForOpaqueOrClipped) {
    const auto draw = [](int options) {
        Wmf w;
        w.font(-40).select(0).rec(0x0102, {1}).extTextOut(20, 20, options, "HHHH", {30, 30});
        return Render(w.placeable(0, 0, 250, 100, 96)).image;
    };
    const QImage plain = draw(0);
    ASSERT_FALSE(InkBox(plain).isEmpty());
    EXPECT_EQ(draw(1), plain);  // ETO_GRAYED: no box follows
}

TEST(WmfText, TextOutCutBeforeItsPointDrawsNothing) {
    Wmf w;
    QByteArray p;
    Wmf::put16(p, 4);
    w.font(-40).select(0).rec(0x0102, {1}).raw(0x0521, p + "HHHH");
    EXPECT_TRUE(InkBox(Render(w.placeable(0, 0, 200, 100, 96)).image).isEmpty());
}

TEST(WmfText, ExtTextOutVerticalOffsetsRaiseTheNextCharacter) {
    // ETO_PDY: (dx, dy) pairs; a positive dy moves the next character up.
    Wmf w;
    w.font(-40)
        .select(0)
        .rec(0x0102, {1})
        .extTextOut(20, 60, 0x2000, "HHH", {40, 20, 40, 20, 40, 0});
    const QImage img = Render(w.placeable(0, 0, 250, 170, 96)).image;
    const QRect first = InkBoxIn(img, QRect(15, 0, 40, 170)),
                second = InkBoxIn(img, QRect(55, 0, 40, 170)),
                third = InkBoxIn(img, QRect(95, 0, 40, 170));
    ASSERT_FALSE(first.isEmpty() || second.isEmpty() || third.isEmpty());
    EXPECT_NEAR(first.top() - second.top(), 20, 1);
    EXPECT_NEAR(second.top() - third.top(), 20, 1);
    EXPECT_NEAR(second.left() - first.left(), 40, 1);
}

TEST(WmfText, ShortAdvanceArrayPlacesTheFirstCharactersOnly) {
    // One advance for three letters: the second letter 80 units on, the third after it by the
    // font's own advance.
    Wmf w;
    w.font(-40).select(0).rec(0x0102, {1}).extTextOut(20, 20, 0, "HHH", {80});
    const QImage img = Render(w.placeable(0, 0, 250, 100, 96)).image;
    const QRect all = InkBox(img);
    ASSERT_FALSE(all.isEmpty());
    EXPECT_TRUE(InkBoxIn(img, QRect(55, 0, 40, 100)).isEmpty());  // the gap the advance leaves
    const QRect second = InkBoxIn(img, QRect(95, 0, 30, 100));
    EXPECT_NEAR(second.left(), InkBoxIn(img, QRect(0, 0, 55, 100)).left() + 80, 1);
    EXPECT_NEAR(all.right() - second.left(), 29 + 23, 5);  // an advance of H, then an H
}

// ---- bitmaps ----

// A 40-byte bitmap info header; the colour table and bits follow.
QByteArray DibHeader(uint32_t w, uint32_t h, int bits, uint32_t compression = 0,
                     uint32_t colours = 0) {
    QByteArray d;
    for (uint32_t v : {40u, w, h}) Wmf::put32(d, v);
    Wmf::put16(d, 1);
    Wmf::put16(d, uint16_t(bits));
    for (uint32_t v : {compression, 0u, 0u, 0u, colours, 0u}) Wmf::put32(d, v);
    return d;
}

QByteArray Dib24(int w, int h, std::initializer_list<uint32_t> bottomUpPixels) {
    QByteArray d = DibHeader(uint32_t(w), uint32_t(h), 24);
    int n = 0;
    for (uint32_t c : bottomUpPixels) {
        d += char((c >> 16) & 0xFF), d += char((c >> 8) & 0xFF),
            d += char(c & 0xFF);  // blue, green, red
        if (++n % w == 0)
            while (d.size() % 4) d += '\0';
    }
    return d;
}

TEST(WmfBitmap, StretchDibitsKeepsRowOrderAndScales) {
    // Bottom row red, green; top row blue, black. Stretched over the whole 100 x 100 frame.
    QByteArray p;
    for (int v : {0x0020, 0x00CC, 0, 2, 2, 0, 0, 100, 100, 0, 0}) Wmf::put16(p, uint16_t(v));
    p += Dib24(2, 2, {kRed, kGreen, kBlue, kBlack});
    const Rendered r = Render(Square100(Wmf().raw(0x0F43, p)));
    ExpectPixels(r, {{25, 75, kRed}, {75, 75, kGreen}, {25, 25, kBlue}, {75, 25, kBlack}});
}

TEST(WmfBitmap, RasterOperationsMaskOrInvertTheBitmap) {
    // Over a blue square, a bitmap whose left pixel is the operation's neutral colour.
    constexpr uint32_t kWhite = 0xFFFFFF, kCyan = 0xFFFF00;
    const struct {
        uint32_t rop, left, right;
        int64_t leftShows, rightShows;
    } cases[] = {
        {0x008800C6, kWhite, kRed, kBlue, kRed},    // SRCAND: white lets the square through
        {0x00EE0086, kBlack, kRed, kBlue, kRed},    // SRCPAINT: so does black
        {0x00330008, kBlack, kRed, kWhite, kCyan},  // NOTSRCCOPY: inverted
    };
    for (const auto& c : cases) {
        QByteArray p;
        Wmf::put32(p, c.rop);
        for (int v : {0, 1, 2, 0, 0, 100, 100, 0, 0}) Wmf::put16(p, uint16_t(v));
        p += Dib24(2, 1, {c.left, c.right});
        Wmf w;
        w.pen(5, 0, 0).select(0).brush(0, kBlue).select(1).rectangle(0, 0, 101, 101);
        ExpectPixels(Render(Square100(w.raw(0x0F43, p))),
                     {{25, 50, c.leftShows}, {75, 50, c.rightShows}});
    }
}

TEST(WmfBitmap, MonochromeDibUsesItsColourTable) {
    QByteArray dib = DibHeader(8, 1, 1);
    Wmf::put32(dib, 0x0000FF00);  // index 0: green (blue, green, red, 0)
    Wmf::put32(dib, 0x00FF0000);  // index 1: red
    Wmf::put32(dib, 0x0F);        // 00001111 -> green x4, red x4
    QByteArray p;
    for (int v : {0x0020, 0x00CC, 1, 8, 0, 0, 100, 100, 0, 0})
        Wmf::put16(p, uint16_t(v));  // DIBStretchBlt
    const Rendered r = Render(Square100(Wmf().raw(0x0B41, p + dib)));
    ExpectPixels(r, {{10, 50, kGreen}, {90, 50, kRed}});
}

TEST(WmfBitmap, RunLengthEncodedDib) {
    // 4 x 2, 8 bits: bottom row a run of 4 x index 1, top row a literal 0 1 0 1.
    QByteArray dib = DibHeader(4, 2, 8, 1, 2);  // BI_RLE8, two colours
    Wmf::put32(dib, 0x000000FF);                // index 0: blue
    Wmf::put32(dib, 0x00FF0000);                // index 1: red
    dib += QByteArray("\x04\x01\x00\x00\x00\x04\x00\x01\x00\x01\x00\x01", 12);
    QByteArray p;
    for (int v : {0x0020, 0x00CC, 0, 2, 4, 0, 0, 100, 100, 0, 0}) Wmf::put16(p, uint16_t(v));
    const Rendered r = Render(Square100(Wmf().raw(0x0F43, p + dib)));
    ExpectPixels(r, {{10, 75, kRed}, {90, 75, kRed}, {10, 25, kBlue}, {35, 25, kRed}});
}

TEST(WmfBitmap, PatBltFillsWithTheBrush) {
    Wmf w;
    w.brush(0, kBlue).select(0).rec(0x061D, {0x0021, 0x00F0, 50, 50, 25, 25});  // PATCOPY
    const Rendered r = Render(Square100(w));
    ExpectPixels(r, {{50, 50, kBlue}, {10, 10, kClear}});
}

// ---- malformed input ----

TEST(WmfRobustness, OversizedOrTinyRecordSizesEndPlaybackKeepingWhatWasDrawn) {
    // A last rectangle claiming 16 M words, or fewer words than a record header.
    for (uint32_t size : {0xFFFFFFu, 0u, 1u, 2u}) {
        Wmf w;
        w.brush(0, kRed).select(0).rectangle(0, 0, 50, 50);
        QByteArray bytes = Square100(w.rectangle(50, 50, 100, 100));
        for (int i = 0; i < 3; ++i) bytes[bytes.size() - 20 + i] = char(size >> (8 * i));
        const Rendered r = Render(bytes);
        EXPECT_TRUE(Is(r, 25, 25, kRed)) << size;
        EXPECT_TRUE(Transparent(r, 75, 75)) << size;
    }
}

TEST(WmfRobustness, WildObjectIndicesAndShortRecordsAreHarmless) {
    Wmf w;
    w.select(0xFFFF).remove(0xFFFF).select(16).remove(-1).rec(0x012C, {9999});
    w.rec(0x0324, {30000, 1, 2})
        .rec(0x0538, {5000, 40000})
        .rec(0x0A32, {0, 0, 5000, 6, 1, 1, 2, 2});
    w.rec(0x0F43, {0x20, 0xCC, 0, 10, 10})
        .rec(0x0940, {})
        .rec(0x02FB, {})
        .rec(0x0142, {5, 0, 40, 0});
    w.rec(0x0817, {}).rec(0x041B, {1}).rec(0x06FF, {0, 0, 0, 0, 0, 30000});
    w.rec(0x020C, {0, 0}).rec(0x0410, {0, 1, 0, 1}).rec(0x0127, {-30000}).rec(0x0127, {30000});
    w.brush(0, kRed).select(3).rectangle(0, 0, 100,
                                         100);  // slots 0-2 went to the font, brush and region
    EXPECT_TRUE(Is(Render(Square100(w)), 50, 50, kRed));
}

TEST(WmfRobustness, HugeBitmapHeaderIsRefusedNotAllocated) {
    const QByteArray dib = DibHeader(0x7FFFFFFF, 0x7FFFFFFF, 32);
    QByteArray p;
    for (int v : {0x0020, 0x00CC, 0, 2, 2, 0, 0, 100, 100, 0, 0}) Wmf::put16(p, uint16_t(v));
    Wmf w;
    w.raw(0x0F43, p + dib).brush(0, kRed).select(0).rectangle(0, 0, 10, 10);
    EXPECT_TRUE(Is(Render(Square100(w)), 5, 5, kRed));
}

TEST(WmfRobustness, DeepSaveDcIsCapped) {
    Wmf w;
    w.brush(0, kRed).select(0);
    for (int i = 0; i < 20000; ++i) w.rec(0x001E, {});
    w.rectangle(0, 0, 100, 100);
    for (int i = 0; i < 100; ++i) w.rec(0x0127, {-1000});
    EXPECT_TRUE(Is(Render(Square100(w)), 50, 50, kRed));
}

TEST(WmfRobustness, RandomlyDamagedFilesNeverCrash) {
    Wmf w;
    w.rec(0x0103, {8})
        .windowOrg(0, 0)
        .windowExt(100, 100)
        .pen(0, 2, kBlue)
        .brush(2, kRed, 3)
        .font(-12);
    w.select(0)
        .select(1)
        .select(2)
        .ellipse(0, 0, 50, 50)
        .textOut(10, 10, "Hello")
        .rec(0x0416, {90, 90, 5, 5});
    w.rec(0x0817, {0, 50, 50, 100, 100, 100, 0, 0})
        .rec(0x0324, {3, 0, 0, 90, 10, 40, 90})
        .rec(0x001E, {});
    QByteArray p;
    for (int v : {0x0020, 0x00CC, 0, 2, 2, 0, 0, 50, 50, 50, 50}) Wmf::put16(p, uint16_t(v));
    w.raw(0x0F43, p + Dib24(2, 2, {kRed, kGreen, kBlue, kBlack})).rec(0x0127, {-1});
    // region, palette, pattern brushes, run-length bits, the rest of the shapes and text with
    // advances
    w.rec(0x06FF, {0, 6, 0, 0, 40, 2, 4, 0, 0, 50, 50, 2, 0, 20, 0, 20, 2, 2, 20, 50, 10, 50, 2});
    w.rec(0x0228, {3, 1})
        .rec(0x012C, {3})
        .rec(0x00F7, {0x300, 2, 0xFF, 0, 0xFF00, 0})
        .rec(0x0234, {4});
    QByteArray rle;
    for (int v : {0x0020, 0x00CC, 1, 2, 4, 0, 0, 60, 60, 5, 5, 40, 0, 4, 0, 2, 0, 1, 8, 1, 0})
        Wmf::put16(rle, uint16_t(v));
    for (int v : {0, 0, 0, 0, 2, 0, 2, 0, 0, 1, 0x0104, 0, 0x0400, 0x0100, 0x0100, 0x0100})
        Wmf::put16(rle, uint16_t(v));
    w.raw(0x0F43, rle)
        .rec(0x061C, {10, 10, 80, 80, 20, 20})
        .rec(0x0830, {0, 50, 50, 100, 100, 100, 0, 0});
    w.rec(0x0142, {5, 0, 40, 0, 2, 0, 2, 0,    1, 1,      0, 0,    0, 0,    0,
                   0, 0, 0,  0, 0, 0, 0, 0xFF, 0, 0xFF00, 0, 0x80, 0, 0x40, 0});
    w.rec(0x01F9,
          {0, 8, 8, 2, 0x0101, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x55AA, 0x55AA, 0x55AA, 0x55AA});
    w.select(5)
        .rec(0x061D, {0x0021, 0x00F0, 30, 30, 10, 10})
        .select(6)
        .rec(0x0418, {90, 90, 60, 60});
    w.rec(0x0A32, {30, 10, 3, 6, 5, 5, 60, 40, 'A' | ('B' << 8), 'C', 10, 12, 14});
    w.rec(0x0538, {2, 3, 3, 0, 0, 10, 0, 10, 10, 20, 20, 30, 20, 30, 30})
        .rec(0x0D33, {0, 2, 0, 0, 0, 2, 2, 0, 0});
    const QByteArray original = w.placeable(0, 0, 100, 100, 96, 8);
    QRandomGenerator rng(20261206);
    for (int round = 0; round < 600; ++round) {
        QByteArray bytes = original;
        const int hits = 1 + int(rng.bounded(6));
        for (int i = 0; i < hits; ++i) {
            const int at = 22 + int(rng.bounded(bytes.size() - 22));
            bytes[at] = char(rng.bounded(3) == 0 ? 0xFF : rng.bounded(256));
        }
        if (round % 7 == 0) bytes.truncate(int(rng.bounded(bytes.size())));
        QString error;
        const std::optional<Rendered> r = RenderWmf(bytes, QSize(300, 300), 1, &error);
        if (r) {
            EXPECT_LE(r->image.width(), 300);
            EXPECT_LE(r->image.height(), 300);
        } else {
            EXPECT_FALSE(error.isEmpty());
        }
    }
}

}  // namespace
