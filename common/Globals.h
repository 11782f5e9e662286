#pragma once
#include <QString>

// Full path of the picture the viewer shows; written by the comparison window's
// double-click route, read by the viewer when it loads.
extern QString gCurrentFile;
