#pragma once
// The fit shared by the panes and the viewer: never enlarge, keep the ratio,
// width first, then clamp by height; the result centred in its box. Lengths are twips.
#include "common/Units.h"

#include <cmath>

// The margin around each box (and between the panes' two boxes), single precision.
inline constexpr float kFitMargin = 30.0f;

struct FitSize {
    double w = 0;
    double h = 0;
};

// Applies only when ratio is a number >= 0; otherwise returns NaN sizes so the
// caller's move refuses them (an empty picture has ratio 0/0).
inline FitSize FitIntoBox(double naturalWidth, double ratio, double boxW, double boxH) {
    if (!(ratio >= 0)) {
        return {std::nan(""), std::nan("")};
    }
    FitSize r;
    r.w = naturalWidth >= boxW ? boxW : naturalWidth;
    r.h = r.w / ratio;
    if (r.h > boxH) {
        r.h = boxH;
        r.w = boxH * ratio;
    }
    return r;
}

// The fitted picture centred in the box whose top-left corner is (boxLeft, boxTop); the left
// edge is handed over in single precision.
inline units::TwipsRect FitAndCentre(double boxLeft, double boxTop, double boxW, double boxH,
                                     double naturalWidth, double ratio) {
    const FitSize fit = FitIntoBox(naturalWidth, ratio, boxW, boxH);
    units::TwipsRect r;
    r.left = static_cast<float>(boxLeft + (boxW - fit.w) / 2);
    r.top = boxTop + (boxH - fit.h) / 2;
    r.width = fit.w;
    r.height = fit.h;
    return r;
}
