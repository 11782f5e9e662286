#pragma once
// The fit shared by the panes and the viewer: never enlarge, keep the ratio,
// width first, then clamp by height. Each window keeps its own box and centring.
#include <cmath>

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
