#pragma once
// Where the two panes go: each picture fitted into its half and centred there.
#include "common/FitRule.h"

#include <QString>

namespace panes {

struct Boxes {
    double bw = 0;  // box width
    double bh = 0;  // box height
};

Boxes BoxesFor(float scaleWidth, float scaleHeight);
// pane 1 is the left box, anything else the right one. A pane without a picture (ratio not a
// number >= 0) gets a zero-size rectangle at its box's centre.
units::TwipsRect PlacePane(int pane, const Boxes& boxes, double naturalWidth, double ratio);

// A drop lands on the left pane when X <= half the inner width (rounded half to even, then halved).
int DropHalf(float scaleWidth);
int PaneForDrop(float scaleWidth, double xTwips);

// The endings a dropped file may have, any letter case.
bool IsSupportedImage(const QString& path);

}  // namespace panes
