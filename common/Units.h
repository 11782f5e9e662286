#pragma once
// The one place that converts between twips, HIMETRIC and pixels.
#include <QRect>

#include <cmath>
#include <cstdint>
#include <optional>

namespace units {

inline constexpr float kTwipsPerInch = 1440.0f;
inline constexpr float kHimetricPerInch = 2540.0f;

// Twips per device-independent pixel for a screen of the given logical dpi (15 at 96 dpi).
inline float TwipsPerPixel(double logicalDpi) {
    return logicalDpi > 0 ? static_cast<float>(1440.0 / logicalDpi) : 15.0f;
}

// Single precision in and out, as the window scale conversion works.
inline float HimetricToTwips(float himetric) { return himetric * kTwipsPerInch / kHimetricPerInch; }

// A bitmap's natural size: one picture pixel per device pixel.
inline int32_t PixelsToHimetric(int pixels, double devicePixelRatio) {
    const double dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return static_cast<int32_t>(std::lround(pixels * 2540.0 / (96.0 * dpr)));
}

// A control's rectangle in twips as device-independent pixels. Edges are rounded, not sizes,
// so neighbouring rectangles stay exact. Refused (nullopt) for a negative size or a value
// that is not finite, as a control's move refuses them.
inline std::optional<QRect> TwipsRectToPixels(double left, double top, double width, double height,
                                              double twipsPerPixel) {
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width) ||
        !std::isfinite(height) || width < 0 || height < 0 || !(twipsPerPixel > 0)) {
        return std::nullopt;
    }
    const auto px = [twipsPerPixel](double twips) {
        return static_cast<int>(std::lround(twips / twipsPerPixel));
    };
    const int x0 = px(left), y0 = px(top);
    return QRect(x0, y0, px(left + width) - x0, px(top + height) - y0);
}

}  // namespace units
