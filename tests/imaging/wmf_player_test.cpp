#include <gtest/gtest.h>
#include <QFontInfo>
#include <QRawFont>

#include <algorithm>

#include "imaging/wmf/WmfPlayback.h"
#include "imaging/wmf/WmfPlayer.h"
#include "imaging/wmf/WmfSymbolFonts.h"
#include "tests/support/WmfBuilder.h"

using imaging::wmf::Rendered, imaging::wmf::RenderWmf;
using testwmf::Put32, testwmf::Wmf;

namespace {

constexpr uint32_t kRed = 0xFF, kGreen = 0xFF00, kBlue = 0xFF0000, kBlack = 0, kWhite = 0xFFFFFF;

Rendered Render(const QByteArray& bytes, double ratio = 1, QSize max = QSize(4000, 4000)) {
    QString error;
    std::optional<Rendered> r = RenderWmf(bytes, max, ratio, &error);
    EXPECT_TRUE(r.has_value()) << error.toStdString();
    return r ? *r : Rendered{};
}

// A 100 x 100 unit picture at 96 units per inch: one unit is one pixel at ratio 1.
QByteArray Sq(const Wmf& w, int objects = 16) { return w.placeable(0, 0, 100, 100, 96, objects); }

Wmf Filled(uint32_t c) { return Wmf().pen(5, 0, 0).select(0).brush(0, c).select(1); }

QByteArray DibHeader(uint32_t w, uint32_t h, int bits, uint32_t compression = 0,
                     uint32_t colours = 0) {
    QByteArray d;
    for (uint32_t v : {40u, w, h, 1u | uint32_t(bits) << 16, compression, 0u, 0u, 0u, colours, 0u})
        Put32(d, v);
    return d;
}

QByteArray Dib24(int w, int h, std::initializer_list<uint32_t> bottomUpPixels) {
    QByteArray d = DibHeader(uint32_t(w), uint32_t(h), 24);
    for (int n = 0; uint32_t c : bottomUpPixels) {
        d += char(c >> 16), d += char(c >> 8), d += char(c);
        if (++n % w == 0) d += QByteArray((4 - d.size() % 4) % 4, '\0');
    }
    return d;
}

Wmf Text(int height = -40, const char* face = "Arial", int bkMode = 1) {
    return Wmf().font(height, face).select(0).rec(0x0102, {bkMode}).rec(0x0201, {0xFF00, 0});
}

// Text at (100, 50) on a 400 x 200 unit picture.
QByteArray TextPicture(int height, int align, int bkMode = 1, const char* face = "Arial",
                       const QByteArray& text = "HHHH", int unitsPerInch = 96, int width = 400) {
    const QByteArray out =
        Wmf::Words({int(text.size())}) + Wmf::Padded(text) + Wmf::Words({50, 100});
    return Text(height, face, bkMode)
        .rec(0x012E, {align})
        .raw(0x0521, out)
        .placeable(0, 0, width, 200, unitsPerInch);
}

QImage ExtText(int y, int options, const QByteArray& text, std::vector<int> dx, int h = 100) {
    const QByteArray p = Wmf::Words({y, 20, int(text.size()), options}) + Wmf::Padded(text);
    return Render(Text().raw(0x0A32, p + Wmf::Words(dx)).placeable(0, 0, 250, h, 96)).image;
}

QRect InkBox(const QImage& img, QRect area = {}, int* inked = nullptr) {
    if (area.isNull()) area = img.rect();
    QRect box;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qAlpha(img.pixel(x, y)) > 128) box |= QRect(x, y, 1, 1), ++n;
    if (inked) *inked = n;
    return box;
}
QRect Ink(const QByteArray& bytes) { return InkBox(Render(bytes).image); }

// "red 1,2 3,4; transparent 5,6": the colour each listed pixel must have; "blank": no ink.
void ExpectPixels(const QImage& img, const char* spec) {
    EXPECT_TRUE(QByteArray(spec) != "blank" || InkBox(img).isEmpty()) << "ink drawn";
    for (const QString& group : QString(spec).split(';')) {
        QStringList words = group.split(' ', Qt::SkipEmptyParts);
        const QColor colour(words.takeFirst());
        for (const QString& at : words) {
            const QRgb p = img.pixel(at.section(',', 0, 0).toInt(), at.section(',', 1).toInt());
            EXPECT_TRUE(colour.alpha() ? p == colour.rgba() : qAlpha(p) == 0)
                << group.toStdString() << ": " << at.toStdString();
        }
    }
}

constexpr uint32_t PaletteIndex(int i) { return 0x01000000u | uint32_t(i); }

TEST(WmfHeader, SizeComesFromFrameWindowMappingModeOrWhatIsDrawn) {
    const Wmf lometric = Filled(kBlue).rec(0x0103, {2}).rectangle(0, 0, 254, -254);  // an inch
    const struct {
        const char* name;
        QByteArray bytes;
        double ratio;
        int max, width, height, widthHimetric, heightHimetric;
    } cases[] = {
        {"frame", Wmf().placeable(0, 0, 1000, 500, 1000), 1, 4000, 96, 48, 2540, 1270},
        {"at ratio 2", Wmf().placeable(0, 0, 1000, 500, 1000), 2, 4000, 192, 96, 2540, 1270},
        {"shrunk", Wmf().placeable(0, 0, 2000, 1000, 96), 1, 500, 500, 250, 52917, 26458},
        {"a sliver keeps a row", Wmf().placeable(0, 0, 8000, 1, 96), 1, 2000, 2000, 1, 211667, 26},
        {"window", Wmf().rec(0x0103, {8}).windowExt(200, 100).plain(), 1, 4000, 200, 100, 5292,
         2646},
        {"MM_LOMETRIC", lometric.plain(), 1, 4000, 96, 96, 2540, 2540},
        {"what is drawn", Filled(kRed).rectangle(10, 20, 110, 70).plain(), 1, 4000, 100, 50, 2646,
         1323},
        {"nothing drawn", Sq(Wmf()), 1, 4000, 100, 100, 2646, 2646},
    };
    for (const auto& c : cases) {
        const Rendered r = Render(c.bytes, c.ratio, {c.max, c.max});
        EXPECT_TRUE(r.image.size() == QSize(c.width, c.height) &&
                    r.widthHimetric == c.widthHimetric && r.heightHimetric == c.heightHimetric &&
                    r.image.format() == QImage::Format_ARGB32_Premultiplied)
            << c.name;
    }
}

TEST(WmfHeader, RecognisesMetafilesAndRefusesWhatCannotBePlayed) {
    using imaging::wmf::LooksLikeWmf;
    EXPECT_TRUE(LooksLikeWmf(Sq(Wmf()).left(24)) && LooksLikeWmf(Wmf().plain().left(18)));
    EXPECT_FALSE(LooksLikeWmf(QByteArray("\x89PNG\r\n\x1a\n", 8)) || LooksLikeWmf(QByteArray()));
    QByteArray badVersion = Wmf().plain();
    badVersion[4] = 0x02;
    const QByteArray drawn = Sq(Wmf().brush(0, kRed).select(0).rectangle(0, 0, 50, 50));
    // the last is cut inside its only drawing record; a plain file without window has no size
    for (const QByteArray& bytes : {QByteArray("GIF89a\x01"), badVersion, Sq(Wmf()).left(30),
                                    Wmf().plain(), drawn.left(drawn.size() - 12)}) {
        QString error;
        EXPECT_FALSE(RenderWmf(bytes, QSize(100, 100), 1, &error)) << bytes.toHex().toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

// The record cap, without the time budget: a record past four million is not played.
TEST(WmfHeader, PlaysFourMillionRecordsAndStopsAtTheNext) {
    using namespace imaging::wmf;
    const QByteArray filler = Wmf::Words({4, 0, 0x0102, 1}),  // SetBkMode
        square = Wmf::Words({7, 0, 0x041B, 10, 10, 0, 0}), end = Wmf::Words({3, 0, 0});
    for (const int records : {4'000'000, 4'000'001}) {
        QByteArray bytes = filler.repeated(records - 1) + square + end;
        const auto words = uint32_t(bytes.size() / 2 + 9);
        bytes.prepend(Wmf::Words({1, 9, 0x0300, Wmf::lo(words), Wmf::hi(words), 0, 0, 0, 0}));
        const std::optional<Header> header = ParseHeader(bytes, nullptr);
        ASSERT_TRUE(header);
        Frame frame;
        frame.image = QSizeF(100, 100);
        Player player(bytes, *header, frame, nullptr, QDeadlineTimer::Forever);
        player.run();
        EXPECT_EQ(std::pair(player.drawCount(), player.timedOut()),
                  std::pair(records == 4'000'000 ? 1 : 0, records > 4'000'000))
            << records;
    }
}

struct Drawn {
    std::string name;
    const char* pixels;
    QByteArray bytes;
    double ratio = 1;
};
void PrintTo(const Drawn& d, std::ostream* os) { *os << d.name; }

std::vector<Drawn> DrawnCases() {
    const auto overlaps = [](int fillMode) {  // two squares in one PolyPolygon, same direction
        Wmf w = Filled(kRed);
        w.rec(0x0106, {fillMode});
        return Sq(w.rec(0x0538,
                        {2, 4, 4, 0, 0, 60, 0, 60, 60, 0, 60, 40, 40, 100, 40, 100, 100, 40, 100}));
    };
    // region: rows 10-89, x 10-29 and 70-89; step: rows 10-49 from x 30, rows 50-89 from x 10
    const std::vector<int> region{0,  6, 0,  0,  0,  1,  0,  10, 10, 90,
                                  90, 4, 10, 90, 10, 30, 70, 90, 4};
    const std::vector<int> step{0,  6,  0,  0,  0, 2, 0,  10, 10, 90, 90, 2,
                                10, 50, 30, 90, 2, 2, 50, 90, 10, 90, 2};
    const auto restoreDc = [](int level) {  // red saved at level 1, blue at 2, green current
        Wmf w;
        w.pen(0, 3, kRed).pen(0, 3, kBlue).pen(0, 3, kGreen);
        w.select(0).rec(0x001E, {}).select(1).rec(0x001E, {}).select(2).rec(0x0127, {level});
        return Sq(w.moveTo(0, 50).lineTo(100, 50));
    };
    Wmf clipped = Filled(kRed);
    clipped.rec(0x0416, {100, 50, 0, 0}).rec(0x0415, {60, 40, 40, 10});  // keep left half, hole
    const auto blt = [](uint16_t fn, std::initializer_list<int> words, const QByteArray& dib,
                        Wmf w = Wmf()) { return Sq(w.raw(fn, Wmf::Words(words) + dib)); };
    const auto rop = [&](uint32_t op, uint32_t left) {  // over a blue square, left of red
        return blt(0x0F43, {Wmf::lo(op), Wmf::hi(op), 0, 1, 2, 0, 0, 100, 100, 0, 0},
                   Dib24(2, 1, {left, kRed}), Filled(kBlue).rectangle(0, 0, 101, 101));
    };
    QByteArray mono = DibHeader(8, 1, 1);
    for (uint32_t v : {0x0000FF00u, 0x00FF0000u, 0x0Fu}) Put32(mono, v);  // green, red; bits
    QByteArray rle = DibHeader(4, 2, 8, 1, 2);  // bottom row 4 x index 1, top row 0 1 0 1
    for (uint32_t v : {0x000000FFu, 0x00FF0000u}) Put32(rle, v);
    rle += QByteArray("\x04\x01\x00\x00\x00\x04\x00\x01\x00\x01\x00\x01", 12);
    Wmf wild;  // slots 0-2 go to the font, brush and region
    wild.select(0xFFFF).remove(0xFFFF).select(16).remove(-1).rec(0x012C, {9999});
    wild.rec(0x0324, {30000, 1, 2}).rec(0x0538, {5000, 40000});
    wild.rec(0x0A32, {0, 0, 5000, 6, 1, 1, 2, 2}).rec(0x0F43, {0x20, 0xCC, 0, 10, 10});
    wild.rec(0x0940, {}).rec(0x02FB, {}).rec(0x0142, {5, 0, 40, 0}).rec(0x0817, {});
    wild.rec(0x041B, {1}).rec(0x06FF, {0, 0, 0, 0, 0, 30000}).rec(0x020C, {0, 0});
    wild.rec(0x0410, {0, 1, 0, 1}).rec(0x0127, {-30000}).rec(0x0127, {30000});
    Wmf deep = Filled(kRed);
    for (int i = 0; i < 20000; ++i) deep.rec(0x001E, {});
    deep.rectangle(0, 0, 100, 100);
    for (int i = 0; i < 100; ++i) deep.rec(0x0127, {-1000});
    Wmf pal;  // entry 2 is created reserved
    pal.pen(5, 0, 0).select(0).palette(0x00F7, 0x300,
                                       {{255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 1}});
    pal.rec(0x0234, {1}).rec(0x0035, {});  // select and realise
    pal.brush(0, PaletteIndex(1)).select(2).rectangle(0, 0, 25, 100);
    pal.palette(0x0037, 1, {{0, 0, 255, 0}}).rectangle(25, 0, 50, 100);  // same brush: blue
    pal.palette(0x0436, 0, {{255, 255, 0, 0}, {255, 255, 0, 0}, {255, 0, 255, 0}});  // animate
    pal.brush(0, PaletteIndex(2)).select(3).rectangle(50, 0, 75, 50);
    pal.brush(0, PaletteIndex(0)).select(4).rectangle(50, 50, 75, 100);
    pal.pen(0, 10, PaletteIndex(1)).select(5).moveTo(75, 75).lineTo(100, 75);
    pal.select(0).rec(0x0139, {1}).select(3).rectangle(75, 0, 100, 50);  // resized: 2 is gone
    Wmf defaultPal;
    defaultPal.pen(5, 0, 0).select(0);
    for (auto [i, index] : {std::pair{0, 0}, {1, 13}, {2, 9}, {3, 500}})
        defaultPal.brush(0, PaletteIndex(index))
            .select(i + 1)
            .rectangle(25 * i, 0, 25 * i + 25, 50);
    defaultPal.brush(0, 0x0200FF00).select(5).rectangle(0, 50, 100, 100);  // relative RGB
    Wmf hairline;  // 30 units over 100 px: y = 10 is a third of the way into pixel row 33
    hairline.windowExt(30, 30).pen(0, 0, kBlack).select(0).moveTo(0, 10).lineTo(30, 10);
    Wmf thinPen;  // a one-unit pen, a unit being a third of a pixel
    thinPen.windowExt(300, 300).pen(0, 1, kBlack).select(0).moveTo(0, 100).lineTo(300, 100);
    const QByteArray twoSquares =
        Sq(Wmf().brush(0, kRed).select(0).rectangle(0, 0, 50, 50).rectangle(50, 50, 100, 100));
    const char* firstSquareOnly = "red 25,25; transparent 75,75";
    Wmf patterns;  // HS_CROSS in red on the opaque white background, then a one-bit checkerboard
    patterns.pen(5, 0, 0).select(0).brush(2, kRed, 4).select(1).rectangle(0, 0, 50, 100);
    patterns.rec(0x01F9, {0, 8, 8, 2, 0x0101, 0,    0,    0,    0,    0,    0,    0,
                          0, 0, 0, 0, 0xAA,   0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55});
    patterns.select(2).rectangle(50, 0, 100, 100);
    Wmf yUp = Filled(kGreen);  // logical 0..1000, y up
    yUp.rec(0x020B, {1000, 0}).windowExt(1000, -1000).rectangle(0, 0, 500, 500);
    Wmf points = Filled(kBlue);  // SetPixel, then a square and words that are no second polygon
    points.rec(0x041F, {Wmf::lo(kRed), 0, 70, 20});
    points.rec(0x0538, {1, 4, 10, 10, 40, 10, 40, 40, 10, 40, 60, 60, 90, 60, 90, 90});
    Wmf reused;  // blue lands in slot 0
    reused.brush(0, kRed).brush(0, kGreen).remove(0).brush(0, kBlue).select(0);
    reused.rectangle(0, 0, 100, 100);
    Wmf crowded;  // two slots: no room for the pen, the default black one remains
    crowded.brush(0, kRed).brush(0, kGreen).select(1).pen(5, 0, 0).select(2);
    crowded.rectangle(0, 0, 100, 100);
    const QByteArray twoRows = Dib24(2, 2, {kRed, kGreen, kBlue, kBlack});  // bottom row first
    Wmf huge;
    huge.raw(0x0F43, Wmf::Words({0x20, 0xCC, 0, 2, 2, 0, 0, 100, 100, 0, 0}) +
                         DibHeader(0x7FFFFFFF, 0x7FFFFFFF, 32));
    Wmf styled;  // dashed 3 px, dotted 1 px
    styled.pen(1, 3, kBlack).select(0).moveTo(0, 30).lineTo(100, 30);
    styled.pen(2, 0, kBlack).select(1).moveTo(0, 70).lineTo(100, 70);

    std::vector<Drawn> cases{
        {"NothingDrawnIsTransparent", "blank", Sq(Wmf())},
        {"FilledEllipse", "red 50,50 20,50; transparent 3,3 96,96",
         Sq(Filled(kRed).rec(0x0418, {100, 100, 0, 0}))},
        {"OnePixelPenOutlinesTheRectangleInside",
         "black 10,30 49,30 30,10 30,49; transparent 9,30 50,30 30,30",
         Sq(Wmf().pen(0, 1, kBlack).select(0).brush(1, 0).select(1).rectangle(10, 10, 50, 50))},
        {"WindowWithYUpMapsOntoTheFrame", "lime 25,75; transparent 25,25 75,75",
         yUp.placeable(0, 0, 1000, 1000, 960)},
        {"PlainFileIsPlacedByWhatItDraws", "red 1,1 98,48",
         Filled(kRed).rectangle(10, 20, 110, 70).plain()},
        {"AlternateFillLeavesOverlapsOpen", "red 20,20; transparent 50,50", overlaps(1)},
        {"WindingFillFillsOverlaps", "red 50,50", overlaps(2)},
        {"PieFromThreeOClockToTwelve", "blue 70,30; transparent 30,30 70,70",
         Sq(Filled(kBlue).rec(0x081A, {0, 50, 50, 100, 100, 100, 0, 0}))},
        {"SetPixelAndPolyPolygonPutPointsWhereTheRecordSays",
         "red 20,70; blue 25,25; transparent 70,20 80,70", Sq(points)},
        {"FillRegionFillsItsScansOnly", "red 10,10 29,89 80,50; transparent 50,50 90,50",
         Sq(Wmf().brush(0, kRed).rec(0x06FF, region).rec(0x0228, {1, 0}))},
        {"FrameRegionIsWideAndHighInsideEachPart",  // 3 wide, 2 high
         "red 12,50 27,50 20,11 20,88; transparent 13,50 26,50 20,12 20,87 50,50",
         Sq(Wmf().brush(0, kRed).rec(0x06FF, region).rec(0x0429, {1, 0, 2, 3}))},
        {"FrameRegionLeavesTheInnerCornerOfAStep", "red 31,20 12,60; transparent 32,50",
         Sq(Wmf().brush(0, kRed).rec(0x06FF, step).rec(0x0429, {1, 0, 1, 3}))},  // 3 wide, 1 high
        {"ZeroWidthPenIsOneCrispDevicePixel", "black 100,67; transparent 100,66 100,68",
         Sq(hairline), 2},
        {"OneUnitPenNarrowerThanAPixelIsOnePixel", "black 50,33; transparent 50,32 50,34",
         Sq(thinPen)},
        {"HatchAndPatternBrushesFillWithTheirPattern",
         "red 4,50 20,50 10,3 10,51; white 5,50 10,4 10,52 52,0 60,10; black 51,0 50,1 61,10",
         Sq(patterns)},
        {"OnlyOnePixelPensAreStyled",
         "black 10,30 15,30 33,30 51,30 69,30 6,70 12,70 90,70; transparent 9,70 15,70 93,70",
         Sq(styled)},
        {"RestoreDcByRelativeLevel", "blue 50,50", restoreDc(-1)},
        {"RestoreDcByAbsoluteLevel", "red 50,50", restoreDc(1)},
        {"ClipRectanglesClip", "red 5,50 25,80; transparent 75,50 25,50",
         Sq(Wmf(clipped).rectangle(0, 0, 100, 100))},
        {"OffsetClipRgnMovesTheClipHoleAndAll", "red 55,50 75,80; transparent 5,50 75,60 75,5",
         Sq(clipped.rec(0x0220, {10, 50}).rectangle(0, 0, 100, 100))},  // 50 right, 10 down
        {"NewObjectsTakeTheLowestFreeSlot", "blue 50,50", Sq(reused)},
        {"ObjectTableIsBoundedByTheHeader", "lime 50,50; black 0,50", Sq(crowded, 2)},
        {"NopRasterOperationDrawsNothing", "blank",
         Sq(Wmf().brush(0, kRed).select(0).rec(0x0104, {11}).rectangle(0, 0, 100, 100))},
        // 9 is the default palette's sky blue; an index beyond it takes the first entry.
        {"WithoutAPaletteIndicesTakeTheDefaultOne",
         "black 12,25 87,25; red 37,25; #a6caf0 62,25; lime 50,75", Sq(defaultPal)},
        {"IndicesFollowTheSelectedPaletteAsTheFileChangesIt",
         "lime 12,50; blue 37,50 87,75; magenta 62,25; red 62,75 87,25", Sq(pal)},
        {"OpaqueTextBackgroundFillsTheCell", "lime 101,51", TextPicture(-40, 0, 2)},
        {"TextOutCutBeforeItsPointDrawsNothing", "blank",
         Text().raw(0x0521, Wmf::Words({4}) + "HHHH").placeable(0, 0, 200, 100, 96)},
        {"StretchDibitsKeepsRowOrderAndScales", "red 25,75; lime 75,75; blue 25,25; black 75,25",
         blt(0x0F43, {0x20, 0xCC, 0, 2, 2, 0, 0, 100, 100, 0, 0}, twoRows)},
        {"SrcAndLetsTheBackgroundThroughWhite", "blue 25,50; red 75,50", rop(0x008800C6, kWhite)},
        {"SrcPaintLetsTheBackgroundThroughBlack", "blue 25,50; red 75,50", rop(0x00EE0086, kBlack)},
        {"NotSrcCopyInverts", "white 25,50; cyan 75,50", rop(0x00330008, kBlack)},
        {"MonochromeDibUsesItsColourTable", "lime 10,50; red 90,50",
         blt(0x0B41, {0x20, 0xCC, 1, 8, 0, 0, 100, 100, 0, 0}, mono)},
        {"RunLengthEncodedDib", "red 10,75 90,75 35,25; blue 10,25",
         blt(0x0F43, {0x20, 0xCC, 0, 2, 4, 0, 0, 100, 100, 0, 0}, rle)},
        {"PatBltFillsWithTheBrush", "blue 50,50; transparent 10,10",
         Sq(Wmf().brush(0, kBlue).select(0).rec(0x061D, {0x0021, 0x00F0, 50, 50, 25, 25}))},
        {"WildObjectIndicesAndShortRecordsAreHarmless", "red 50,50",
         Sq(wild.brush(0, kRed).select(3).rectangle(0, 0, 100, 100))},
        {"HugeBitmapHeaderIsRefusedNotAllocated", "red 5,5",
         Sq(huge.brush(0, kRed).select(0).rectangle(0, 0, 10, 10))},
        {"DeepSaveDcIsCapped", "red 50,50", Sq(deep)},
        {"CutRecordEndsPlaybackKeepingWhatWasDrawn", firstSquareOnly,
         twoSquares.left(twoSquares.size() - 12)},
    };
    for (uint32_t size : {0xFFFFFFu, 0u, 2u}) {  // beyond the file, or under a record header
        QByteArray bytes = twoSquares;
        for (int i = 0; i < 3; ++i) bytes[bytes.size() - 20 + i] = char(size >> (8 * i));
        cases.push_back(
            {"RecordOf" + std::to_string(size) + "WordsEndsPlayback", firstSquareOnly, bytes});
    }
    return cases;
}

class WmfRecords : public testing::TestWithParam<Drawn> {};

TEST_P(WmfRecords, DrawWhatTheyShould) {
    ExpectPixels(Render(GetParam().bytes, GetParam().ratio).image, GetParam().pixels);
}
INSTANTIATE_TEST_SUITE_P(Wmf, WmfRecords, testing::ValuesIn(DrawnCases()),
                         [](const auto& p) { return p.param.name; });

TEST(WmfText, AlignmentPlacesTheTextAroundThePoint) {
    QRect ink = Ink(TextPicture(-40, 0));  // top left; a capital is about 0.72 em
    EXPECT_TRUE(ink.left() >= 100 && ink.top() >= 50 && ink.bottom() <= 92) << ink.left();
    EXPECT_NEAR(ink.height(), 29, 4);
    ink = Ink(TextPicture(-40, 24 | 6));  // TA_BASELINE | TA_CENTER
    EXPECT_NEAR(ink.bottom(), 49, 1);
    EXPECT_NEAR(ink.center().x(), 100, 3);
    // TA_RIGHT, advances unkerned as where the file was written, or kerned pairs stop short
    EXPECT_NEAR(Ink(TextPicture(-40, 2, 1, "Arial", "AVAVAVAVAV")).right(), 100, 2);
}

TEST(WmfText, PositiveHeightIsTheCellOfTheNamedFont) {
    // The author's font, whatever stands in for it here; Helvetica is Arial where files are made.
    for (auto [face, cell] : {std::pair{"Arial", 2288}, {"Helvetica", 2288}, {"Tahoma", 2472}}) {
        const double cellHeight = Ink(TextPicture(100, 0, 1, face, "HH")).height();
        const int emHeight = Ink(TextPicture(-100, 0, 1, face, "HH")).height();
        EXPECT_NEAR(cellHeight / emHeight, 2048.0 / cell, 0.02) << face;
    }
}

TEST(WmfText, FollowsTheMapping) {
    EXPECT_NEAR(Ink(TextPicture(-40, 0, 1, "Arial", "HHHH", 192)).height() * 2,
                Ink(TextPicture(-40, 0)).height(), 3);
    // Advances never rounded per letter: twice the size is twice as long.
    const auto length = [](int height) {
        return Ink(TextPicture(height, 0, 1, "Arial", QByteArray(60, 'l'), 96, 800)).width();
    };
    EXPECT_NEAR(length(-22), 2 * length(-11), 4);
}

TEST(WmfText, SymbolFontLettersArePictographs) {
    const auto draw = [](const char* face, const char* text) {
        return Render(TextPicture(-80, 0, 1, face, text)).image;
    };
    const auto coverage = [](const QImage& img) {
        int inked = 0;
        const QRect box = InkBox(img, {}, &inked);
        return box.isEmpty() ? 0 : double(inked) / (box.width() * box.height());
    };
    // Squares, a circle, and a triangle pointing up (wide in Symbola).
    for (auto [face, text, share] : {std::tuple{"Wingdings", "n", 0.96},
                                     {"WINGDINGS", "l", 0.785},
                                     {"Wingdings 2", "\xA2", 0.96},
                                     {"Wingdings 3", "p", 0.5}}) {
        const QImage img = draw(face, text);
        const QRect box = InkBox(img);
        EXPECT_NEAR(double(box.width()) / box.height(), 1.0, 0.3) << face;
        EXPECT_NEAR(coverage(img), share, 0.07) << face;
    }
    const QImage triangle = draw("Wingdings 3", "p");
    const QRect t = InkBox(triangle);
    EXPECT_LT(InkBox(triangle, {0, t.top(), 400, 3}).width(),
              InkBox(triangle, {0, t.bottom() - 2, 400, 3}).width() / 3);
    EXPECT_LT(coverage(draw("Arial", "n")), 0.7);  // a thin letter
}

// Where the symbol font is missing (on Linux, as a rule), a stand-in draws each of its letters.
TEST(WmfText, EverySymbolLetterHasAGlyphWhereTheFontIsMissing) {
    using imaging::wmf::SymbolFont;
    std::vector<QRawFont> standIns;
    for (const QString& family : imaging::wmf::SymbolStandIns())
        if (QFontInfo(QFont(family)).family().compare(family, Qt::CaseInsensitive) == 0)
            standIns.push_back(QRawFont::fromFont(QFont(family)));
    ASSERT_FALSE(standIns.empty()) << "no stand-in symbol font installed";
    for (auto [font, face] : {std::pair{SymbolFont::Wingdings, "Wingdings"},
                              {SymbolFont::Wingdings2, "Wingdings 2"},
                              {SymbolFont::Wingdings3, "Wingdings 3"},
                              {SymbolFont::Webdings, "Webdings"}}) {
        const auto own = imaging::wmf::OwnSymbolGlyphs(face);
        QStringList missing;
        for (int byte = 0x21; byte < 0x100; ++byte) {
            const char32_t u = imaging::wmf::SymbolFontChar(font, uint8_t(byte));
            if (!own[size_t(byte)] && u != 0 &&
                std::none_of(standIns.begin(), standIns.end(),
                             [u](const QRawFont& r) { return r.supportsCharacter(uint(u)); }))
                missing << QString::number(byte, 16);
        }
        EXPECT_TRUE(missing.isEmpty()) << face << ": " << missing.join(' ').toStdString();
    }
}

TEST(WmfText, ExtTextOutBoxIsFilledAndClips) {  // opaque and clipped; the box cuts two letters
    const QByteArray p =
        Wmf::Words({50, 100, 4, 6, 100, 50, 150, 100}) + "HHHH" + Wmf::Words({30, 30, 30, 30});
    const QImage img = Render(Text().raw(0x0A32, p).placeable(0, 0, 400, 200, 96)).image;
    ExpectPixels(img, "lime 149,51");
    EXPECT_EQ(InkBox(img), QRect(QPoint(100, 50), QPoint(149, 99)));
}

TEST(WmfText, ExtTextOutReadsABoxOnlyForOpaqueOrClipped) {
    const QImage plain = ExtText(20, 0, "HHHH", {30, 30});
    ASSERT_FALSE(InkBox(plain).isEmpty());
    EXPECT_EQ(ExtText(20, 1, "HHHH", {30, 30}), plain);  // ETO_GRAYED: no box follows
}

TEST(WmfText, ExtTextOutVerticalOffsetsRaiseTheNextCharacter) {
    const QImage img = ExtText(60, 0x2000, "HHH", {40, 20, 40, 20, 40, 0}, 170);
    const auto letter = [&img](int x) { return InkBox(img, {x, 0, 40, 170}); };
    ASSERT_FALSE(letter(15).isEmpty() || letter(95).isEmpty());
    EXPECT_NEAR(letter(15).top() - letter(55).top(), 20, 1);
    EXPECT_NEAR(letter(55).top() - letter(95).top(), 20, 1);
    EXPECT_NEAR(letter(55).left() - letter(15).left(), 40, 1);
}

TEST(WmfText, ShortAdvanceArrayPlacesTheFirstCharactersOnly) {
    const QImage img = ExtText(20, 0, "HHH", {80});
    EXPECT_TRUE(InkBox(img, {55, 0, 40, 100}).isEmpty());  // the gap the advance leaves
    const QRect second = InkBox(img, {95, 0, 30, 100});
    EXPECT_NEAR(second.left(), InkBox(img, {0, 0, 55, 100}).left() + 80, 1);
    EXPECT_NEAR(InkBox(img).right() - second.left(), 29 + 23, 5);  // an advance of H, then an H
}

}  // namespace
