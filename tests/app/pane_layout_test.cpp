// The fit-and-centre rule of the two panes, the drop half and the accepted endings.
#include "app/rules/PaneLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct FitCase {
    const char* name;
    float scaleW, scaleH;
    int pane;
    double naturalW, naturalH;
    double w, h;
    double x, y;
};

class PaneFit : public ::testing::TestWithParam<FitCase> {};

TEST_P(PaneFit, FitsAndCentres) {
    const FitCase& c = GetParam();
    const panes::Boxes boxes = panes::BoxesFor(c.scaleW, c.scaleH);
    const units::TwipsRect p = panes::PlacePane(c.pane, boxes, c.naturalW, c.naturalW / c.naturalH);
    EXPECT_NEAR(p.width, c.w, 0.01);
    EXPECT_NEAR(p.height, c.h, 0.01);
    EXPECT_NEAR(p.left, c.x, 0.01);
    EXPECT_NEAR(p.top, c.y, 0.01);
    // Never enlarged, always inside its box.
    EXPECT_LE(p.width, c.naturalW + 1e-9);
    EXPECT_LE(p.height, c.naturalH + 1e-9);
    EXPECT_LE(p.width, boxes.bw + 1e-9);
    EXPECT_LE(p.height, boxes.bh + 1e-9);
}

// 8490 x 5060 gives boxes of 4200 x 5000; the right box starts at 4260.
INSTANTIATE_TEST_SUITE_P(
    Layout, PaneFit,
    ::testing::Values(
        FitCase{"wide_reduced", 8490, 5060, 1, 6000, 3000, 4200, 2100, 30, 1480},
        FitCase{"small_kept", 8490, 5060, 1, 1000, 500, 1000, 500, 1630, 2280},
        FitCase{"tall_exact_height", 8490, 5060, 2, 1000, 4000, 1000, 4000, 5860, 530},
        FitCase{"tall_clamped", 8490, 5060, 2, 3000, 9000, 5000.0 / 3, 5000, 5526.6665, 30},
        FitCase{"exact_box_width", 8490, 5060, 1, 4200, 1000, 4200, 1000, 30, 2030},
        FitCase{"height_exactly_box", 8490, 5060, 1, 2000, 5000, 2000, 5000, 1130, 30},
        FitCase{"very_wide", 8490, 5060, 2, 100000, 10, 4200, 0.42, 4260, 2529.79},
        FitCase{"very_tall", 8490, 5060, 1, 10, 100000, 0.5, 5000, 2129.75, 30}),
    [](const ::testing::TestParamInfo<FitCase>& tp) { return std::string(tp.param.name); });

TEST(PaneFit, EmptyPaneShrinksToAPointAtItsBoxCentre) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const panes::Boxes b = panes::BoxesFor(8490, 5060);
    for (const int pane : {1, 2}) {
        const units::TwipsRect p = panes::PlacePane(pane, b, 0, nan);
        EXPECT_EQ(p.width, 0);
        EXPECT_EQ(p.height, 0);
        EXPECT_FLOAT_EQ(p.left, pane == 1 ? 30 + 2100 : 4260 + 2100);
        EXPECT_DOUBLE_EQ(p.top, 30 + 2500);
    }
}

TEST(FitRule, AHeightThatRoundsToExactlyTheBoxIsNotClamped) {
    // width / ratio gives exactly the box height, but box height x ratio is not the width.
    const double w = 494.92913818359375, ratio = w / 720;
    ASSERT_EQ(w / ratio, 720);
    ASSERT_NE(720 * ratio, w);
    const FitSize fit = FitIntoBox(w, ratio, 1000, 720);
    EXPECT_EQ(fit.w, w);
    EXPECT_EQ(fit.h, 720);
}

TEST(PaneFit, TinyWindowGivesNegativeBoxes) {
    const panes::Boxes b = panes::BoxesFor(60, 40);
    EXPECT_LT(b.bw, 0);
    EXPECT_LT(b.bh, 0);
    const units::TwipsRect p = panes::PlacePane(1, b, 1000, 2);
    EXPECT_LT(p.width, 0);  // the pane's move refuses it
}

TEST(DropHalf, RoundsHalfToEvenThenHalves) {
    EXPECT_EQ(panes::DropHalf(8461), 4230);
    EXPECT_EQ(panes::DropHalf(8460.5f), 4230);  // 8460.5 rounds to the even 8460
    EXPECT_EQ(panes::DropHalf(8461.5f), 4231);  // 8461.5 rounds to 8462
    EXPECT_EQ(panes::PaneForDrop(8461, 4230), 1);
    EXPECT_EQ(panes::PaneForDrop(8461, 4230.01), 2);
    EXPECT_EQ(panes::PaneForDrop(8461, 0), 1);
}

TEST(SupportedImage, EndingsInAnyCase) {
    for (const char* ok : {"a.gif", "a.JPG", "c:\\x\\b.Bmp", "/tmp/d.wmf", ".jpg"}) {
        EXPECT_TRUE(panes::IsSupportedImage(QString::fromUtf8(ok))) << ok;
    }
    for (const char* bad : {"a.jpeg", "a.tiff", "a.png", "jpg", "", "a.jpg ", "a.jpg.txt"}) {
        EXPECT_FALSE(panes::IsSupportedImage(QString::fromUtf8(bad))) << bad;
    }
}

}  // namespace
