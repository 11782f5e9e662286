#pragma once
// The one place that converts between twips, HIMETRIC and pixels.
#include <cmath>
#include <cstdint>

namespace platform {

inline constexpr float kTwipsPerInch = 1440.0f;
inline constexpr float kHimetricPerInch = 2540.0f;

// Twips per device-independent pixel for a screen of the given logical dpi (15 at 96 dpi).
inline float TwipsPerPixel(double logicalDpi) {
    return logicalDpi > 0 ? static_cast<float>(1440.0 / logicalDpi) : 15.0f;
}

// Single precision in and out, as the window scale conversion works.
inline float HimetricToTwips(float himetric) {
    return himetric * kTwipsPerInch / kHimetricPerInch;
}

// A bitmap's natural size: one picture pixel per device pixel.
inline int32_t PixelsToHimetric(int pixels, double devicePixelRatio) {
    const double dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return static_cast<int32_t>(std::lround(pixels * 2540.0 / (96.0 * dpr)));
}

}  // namespace platform
