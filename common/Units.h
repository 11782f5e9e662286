#pragma once
// The one place that converts between twips, HIMETRIC and pixels. Twips are 1/1440 inch (the
// windows' scale unit), HIMETRIC 1/100 mm (a picture's natural size), pixels device-independent
// at 96 per inch, times the screen's device pixel ratio where device pixels are meant.
#include <QRect>

#include <cmath>
#include <cstdint>
#include <optional>

namespace units {

inline constexpr float kTwipsPerInch = 1440.0f;
inline constexpr float kHimetricPerInch = 2540.0f;
inline constexpr float kPixelsPerInch = 96.0f;

// A control's rectangle as its Move takes it, in twips: left in single precision, the rest double.
struct TwipsRect {
    float left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// Twips per device-independent pixel for a screen of the given logical dpi (15 at 96 dpi).
inline float TwipsPerPixel(double logicalDpi) {
    return logicalDpi > 0 ? static_cast<float>(1440.0 / logicalDpi) : 15.0f;
}

// Single precision, as a window's ScaleWidth and drop positions are.
inline float PixelsToTwips(double pixels, float twipsPerPixel) {
    return static_cast<float>(pixels) * twipsPerPixel;
}

inline int TwipsToPixels(double twips, double twipsPerPixel) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

// Single precision in and out, as the window scale conversion works.
inline float HimetricToTwips(float himetric) { return himetric * kTwipsPerInch / kHimetricPerInch; }

// A picture's natural size in twips (converted in single precision, kept as double) and its
// ratio width / height. An empty picture is 0 x 0 with the ratio 0/0, not a number.
struct NaturalSize {
    double width = 0;
    double height = 0;
    double ratio = 0;
};

inline NaturalSize NaturalSizeFromHimetric(int32_t widthHimetric, int32_t heightHimetric) {
    NaturalSize n;
    n.width = HimetricToTwips(static_cast<float>(widthHimetric));
    n.height = HimetricToTwips(static_cast<float>(heightHimetric));
    n.ratio = n.width / n.height;
    return n;
}

// A bitmap's natural size: one picture pixel per device pixel.
inline int32_t PixelsToHimetric(int pixels, double devicePixelRatio) {
    const double dpr = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    return static_cast<int32_t>(std::lround(pixels * 2540.0 / (96.0 * dpr)));
}

// Device pixels of a natural size: 96 per inch times the device pixel ratio.
inline double HimetricToPixels(double himetric, double devicePixelRatio) {
    return himetric * kPixelsPerInch * devicePixelRatio / kHimetricPerInch;
}

// A length given in units of `unitsPerInch` as HIMETRIC, rounded, sign dropped; what does not
// fit 32 bits (or is not a number) is the largest value.
inline int32_t LengthToHimetric(double length, double unitsPerInch) {
    const double h = std::round(std::abs(length) * kHimetricPerInch / unitsPerInch);
    return h < static_cast<double>(INT32_MAX) ? static_cast<int32_t>(h) : INT32_MAX;
}

// Device-independent pixels per unit of a length given in units of `unitsPerInch`.
inline constexpr double PixelsPerUnit(double unitsPerInch) { return kPixelsPerInch / unitsPerInch; }

// A control's rectangle in twips as device-independent pixels. Edges are rounded, not sizes,
// so neighbouring rectangles stay exact. Refused (nullopt) for a negative size or a value
// that is not finite, as a control's move refuses them.
inline std::optional<QRect> TwipsRectToPixels(const TwipsRect& r, double twipsPerPixel) {
    if (!std::isfinite(r.left) || !std::isfinite(r.top) || !std::isfinite(r.width) ||
        !std::isfinite(r.height) || r.width < 0 || r.height < 0 || !(twipsPerPixel > 0)) {
        return std::nullopt;
    }
    const auto px = [twipsPerPixel](double twips) { return TwipsToPixels(twips, twipsPerPixel); };
    const int x0 = px(r.left), y0 = px(r.top);
    return QRect(x0, y0, px(r.left + r.width) - x0, px(r.top + r.height) - y0);
}

}  // namespace units
