#include "common/Units.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Units, NaturalSizeIsTwipsInSinglePrecisionWithItsRatio) {
    const units::NaturalSize n = units::NaturalSizeFromHimetric(2540, 1270);
    EXPECT_EQ(std::tuple(n.width, n.height, n.ratio), std::tuple(1440.0, 720.0, 2.0));
    // 1000 HIMETRIC is 566.929133... twips; single precision keeps fewer digits.
    const double odd = units::NaturalSizeFromHimetric(1000, 1000).width;
    EXPECT_EQ(odd, static_cast<double>(static_cast<float>(1000.0 * 1440 / 2540)));
    EXPECT_TRUE(std::isnan(units::NaturalSizeFromHimetric(0, 0).ratio));
}

TEST(Units, ScreenPixels) {
    EXPECT_FLOAT_EQ(units::TwipsPerPixel(120), 12);
    EXPECT_FLOAT_EQ(units::TwipsPerPixel(0), 15) << "no dpi reported: 96 assumed";
    EXPECT_FLOAT_EQ(units::PixelsToTwips(564, 15), 8460);
    EXPECT_EQ(units::TwipsToPixels(8460, 15), 564);
    // Neighbours stay neighbours: edges are rounded, not sizes.
    EXPECT_EQ(units::TwipsRectToPixels({0, 0, 22, 22}, 15), QRect(0, 0, 1, 1));
    EXPECT_EQ(units::TwipsRectToPixels({22, 22, 23, 23}, 15), QRect(1, 1, 2, 2));
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
