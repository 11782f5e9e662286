// Conversions between twips, HIMETRIC and pixels.
#include "common/Units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Units, NaturalSizeIsTwipsInSinglePrecisionWithItsRatio) {
    const units::NaturalSize n = units::NaturalSizeFromHimetric(2540, 1270);
    EXPECT_DOUBLE_EQ(n.width, 1440);
    EXPECT_DOUBLE_EQ(n.height, 720);
    EXPECT_DOUBLE_EQ(n.ratio, 2);
    // 1000 HIMETRIC is 566.929133... twips; single precision keeps fewer digits.
    const units::NaturalSize odd = units::NaturalSizeFromHimetric(1000, 1000);
    EXPECT_EQ(odd.width, static_cast<double>(static_cast<float>(odd.width)));
    EXPECT_NE(odd.width, 1000.0 * 1440 / 2540);
    EXPECT_NEAR(odd.width, 566.929133, 1e-4);

    const units::NaturalSize empty = units::NaturalSizeFromHimetric(0, 0);
    EXPECT_EQ(empty.width, 0);
    EXPECT_EQ(empty.height, 0);
    EXPECT_TRUE(std::isnan(empty.ratio));
}

TEST(Units, ScreenPixels) {
    EXPECT_FLOAT_EQ(units::TwipsPerPixel(96), 15);
    EXPECT_FLOAT_EQ(units::TwipsPerPixel(120), 12);
    EXPECT_FLOAT_EQ(units::TwipsPerPixel(0), 15) << "no dpi reported: 96 assumed";
    EXPECT_FLOAT_EQ(units::PixelsToTwips(564, 15), 8460);
    EXPECT_EQ(units::TwipsToPixels(8460, 15), 564);
    // Neighbours stay neighbours: edges are rounded, not sizes.
    const auto a = units::TwipsRectToPixels({0, 0, 22, 22}, 15);
    const auto b = units::TwipsRectToPixels({22, 0, 23, 22}, 15);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->right() + 1, b->left());
    EXPECT_EQ(b->right() + 1, 3);
}

TEST(Units, HimetricAndDevicePixels) {
    EXPECT_EQ(units::PixelsToHimetric(96, 1.0), 2540);
    EXPECT_EQ(units::PixelsToHimetric(192, 2.0), 2540) << "a device pixel each";
    EXPECT_DOUBLE_EQ(units::HimetricToPixels(2540, 2.0), 192);
    EXPECT_EQ(units::LengthToHimetric(1440, units::kTwipsPerInch), 2540);
    EXPECT_EQ(units::LengthToHimetric(-96, units::kPixelsPerInch), 2540) << "sign dropped";
    EXPECT_EQ(units::LengthToHimetric(1e12, 1), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(units::LengthToHimetric(std::nan(""), 1), std::numeric_limits<int32_t>::max());
    EXPECT_DOUBLE_EQ(units::PixelsPerUnit(units::kTwipsPerInch), 1.0 / 15);
}

}  // namespace
