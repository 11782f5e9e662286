#pragma once
// The viewer's placement: the picture fitted into the client area less a 30-twip margin, centred.
#include "common/FitRule.h"

namespace viewerfit {

inline constexpr float kMargin = 30.0f;

struct Placement {
    float left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

inline Placement Place(double clientW, double clientH, double naturalWidth, double ratio) {
    const double boxW = clientW - 2 * kMargin;
    const double boxH = clientH - 2 * kMargin;
    const FitSize fit = FitIntoBox(naturalWidth, ratio, boxW, boxH);
    Placement p;
    p.left = static_cast<float>(kMargin + (boxW - fit.w) / 2);
    p.top = kMargin + (boxH - fit.h) / 2;
    p.width = fit.w;
    p.height = fit.h;
    return p;
}

}  // namespace viewerfit
