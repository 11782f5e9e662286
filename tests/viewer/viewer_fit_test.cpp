// The viewer's fit: a 30-twip margin, never enlarged, centred.
#include "viewer/rules/ViewerFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// Client sizes are the box plus 60 twips.
TEST(ViewerFit, SmallerThanBoxKeepsNaturalSizeCentred) {
    const auto p = viewerfit::Place(10060, 8060, 3000, 1.5);
    EXPECT_FLOAT_EQ(p.left, 3530);
    EXPECT_DOUBLE_EQ(p.top, 3030);
    EXPECT_DOUBLE_EQ(p.width, 3000);
    EXPECT_DOUBLE_EQ(p.height, 2000);
}

TEST(ViewerFit, WidthLimited) {
    const auto p = viewerfit::Place(10060, 8060, 20000, 2);
    EXPECT_DOUBLE_EQ(p.width, 10000);
    EXPECT_DOUBLE_EQ(p.height, 5000);
    EXPECT_FLOAT_EQ(p.left, 30);
    EXPECT_DOUBLE_EQ(p.top, 1530);
}

TEST(ViewerFit, HeightLimited) {
    const auto p = viewerfit::Place(10060, 8060, 10000, 0.5);
    EXPECT_DOUBLE_EQ(p.width, 4000);
    EXPECT_DOUBLE_EQ(p.height, 8000);
    EXPECT_FLOAT_EQ(p.left, 3030);
    EXPECT_DOUBLE_EQ(p.top, 30);
}

TEST(ViewerFit, ExactBoundaries) {
    auto p = viewerfit::Place(10060, 8060, 10000, 2);  // natural width exactly the box
    EXPECT_DOUBLE_EQ(p.width, 10000);
    p = viewerfit::Place(10060, 8060, 4000, 0.5);  // height exactly the box: kept
    EXPECT_DOUBLE_EQ(p.width, 4000);
    EXPECT_DOUBLE_EQ(p.height, 8000);
}

TEST(ViewerFit, NoRoomOrNoPictureGivesAPlacementAMoveRefuses) {
    auto p = viewerfit::Place(50, 8060, 1000, 1);
    EXPECT_LT(p.width, 0);
    p = viewerfit::Place(10060, 8060, 0, std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(std::isnan(p.width));
}

}  // namespace
