#include "app/rules/PaneLayout.h"

#include <cmath>

namespace panes {

Boxes BoxesFor(float scaleWidth, float scaleHeight) {
    const float m = kFitMargin;
    return {(static_cast<double>(scaleWidth) - m * 3) / 2,
            static_cast<double>(scaleHeight) - m * 2};
}

units::TwipsRect PlacePane(int pane, const Boxes& b, double naturalWidth, double ratio) {
    const double m = kFitMargin;
    const double boxLeft = pane == 1 ? m : 2 * m + b.bw;
    if (!(ratio >= 0)) {
        // A pane without a picture draws nothing but still takes drops: shrunk to a point at its
        // box's centre, it cannot catch a drop meant for the other half.
        units::TwipsRect point;
        point.left = static_cast<float>(boxLeft + b.bw / 2);
        point.top = m + b.bh / 2;
        return point;
    }
    return FitAndCentre(boxLeft, m, b.bw, b.bh, naturalWidth, ratio);
}

int DropHalf(float scaleWidth) {
    // Round half to even, as the platform's integer conversion does.
    const double whole = std::nearbyint(static_cast<double>(scaleWidth));
    return static_cast<int>(whole) / 2;
}

int PaneForDrop(float scaleWidth, double xTwips) { return xTwips <= DropHalf(scaleWidth) ? 1 : 2; }

bool IsSupportedImage(const QString& path) {
    const QString tail = path.toUpper().right(4);
    for (const char* ending : {".GIF", ".JPG", ".BMP", ".WMF"}) {
        if (tail == QLatin1String(ending)) {
            return true;
        }
    }
    return false;
}

}  // namespace panes
