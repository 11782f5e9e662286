#pragma once
// The viewer's placement: the picture fitted into the client area less the margin, centred.
#include "common/FitRule.h"

namespace viewerfit {

inline units::TwipsRect Place(double clientW, double clientH, double naturalWidth, double ratio) {
    const double boxW = clientW - 2 * kFitMargin;
    const double boxH = clientH - 2 * kFitMargin;
    return FitAndCentre(kFitMargin, kFitMargin, boxW, boxH, naturalWidth, ratio);
}

}  // namespace viewerfit
