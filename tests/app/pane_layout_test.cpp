#include "app/rules/PaneLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

TEST(PaneFit, EachPictureIsFittedIntoItsOwnBoxAndCentred) {
    // 8490 x 5060 twips: boxes of 4200 x 5000 at (30, 30) and (4260, 30). Only the left edge
    // goes over in single precision.
    const struct {
        const char* name;
        int pane;
        double natural, ratio, left, top, width, height;
    } cases[] = {
        {"wider than the box", 1, 6000, 6000 / 3001.0, 30, 1479.65, 4200, 2100.7},
        {"smaller: natural size", 1, 1000, 2, 1630, 2280, 1000, 500},
        {"taller than the box, right pane", 2, 3000, 1 / 3.0, 5526.6665, 30, 5000 / 3.0, 5000},
        {"exactly the box height", 2, 1250, 0.25, 5735, 30, 1250, 5000},
        {"empty: a point at the box centre", 1, 0, std::nan(""), 2130, 2530, 0, 0},
    };
    for (const auto& c : cases) {
        const units::TwipsRect p =
            panes::PlacePane(c.pane, panes::BoxesFor(8490, 5060), c.natural, c.ratio);
        EXPECT_FLOAT_EQ(p.left, c.left) << c.name;
        EXPECT_DOUBLE_EQ(p.top, c.top) << c.name;
        EXPECT_DOUBLE_EQ(p.width, c.width) << c.name;
        EXPECT_DOUBLE_EQ(p.height, c.height) << c.name;
    }
    // No room: a negative rectangle, which the pane's move refuses.
    EXPECT_LT(panes::PlacePane(1, panes::BoxesFor(60, 40), 1000, 2).width, 0);
}

TEST(FitRule, AHeightThatRoundsToExactlyTheBoxIsNotClamped) {
    // width / ratio gives exactly the box height, but box height x ratio is not the width.
    const double w = 494.92913818359375, ratio = w / 720;
    ASSERT_TRUE(w / ratio == 720 && 720 * ratio != w);
    const FitSize fit = FitIntoBox(w, ratio, 1000, 720);
    EXPECT_EQ(std::pair(fit.w, fit.h), std::pair(w, 720.0));
}

TEST(DropHalf, RoundsHalfToEvenThenHalves) {
    // 8460.5 rounds to the even 8460, 8461.5 to 8462.
    EXPECT_EQ(std::tuple(panes::DropHalf(8461), panes::DropHalf(8460.5f), panes::DropHalf(8461.5f)),
              std::tuple(4230, 4230, 4231));
    EXPECT_EQ(std::tuple(panes::PaneForDrop(8461, 4230), panes::PaneForDrop(8461, 4230.01)),
              std::tuple(1, 2));
}

TEST(SupportedImage, EndingsInAnyCase) {
    for (const char* ok : {"a.gif", "a.JPG", "c:\\x\\b.Bmp", "/tmp/d.wmf", ".jpg"})
        EXPECT_TRUE(panes::IsSupportedImage(ok)) << ok;
    for (const char* bad : {"a.jpeg", "a.png", "jpg", "", "a.jpg ", "a.jpg.txt"})
        EXPECT_FALSE(panes::IsSupportedImage(bad)) << bad;
}

}  // namespace
