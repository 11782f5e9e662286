// The viewer's fit: a 30-twip margin, never enlarged, centred.
#include "viewer/rules/ViewerFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(ViewerFit, KeepsSmallPicturesAndShrinksLargeOnesIntoTheBoxCentred) {
    // A 10060 x 8060 client: a box of 10000 x 8000 at (30, 30).
    const struct {
        const char* name;
        double natural, ratio, left, top, width, height;
    } cases[] = {
        {"smaller: natural size", 3000, 1.5, 3530, 3030, 3000, 2000},
        {"width-limited", 20000, 2, 30, 1530, 10000, 5000},
        {"height-limited", 10000, 0.5, 3030, 30, 4000, 8000},
        {"width exactly the box", 10000, 2, 30, 1530, 10000, 5000},
        {"height exactly the box: kept", 4000, 0.5, 3030, 30, 4000, 8000},
    };
    for (const auto& c : cases) {
        const auto p = viewerfit::Place(10060, 8060, c.natural, c.ratio);
        EXPECT_FLOAT_EQ(p.left, c.left) << c.name;
        EXPECT_DOUBLE_EQ(p.top, c.top) << c.name;
        EXPECT_DOUBLE_EQ(p.width, c.width) << c.name;
        EXPECT_DOUBLE_EQ(p.height, c.height) << c.name;
    }
}

TEST(ViewerFit, NoRoomOrNoPictureGivesAPlacementAMoveRefuses) {
    auto p = viewerfit::Place(50, 8060, 1000, 1);
    EXPECT_LT(p.width, 0);
    p = viewerfit::Place(10060, 8060, 0, std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(std::isnan(p.width));
}

}  // namespace
