#pragma once
// The program's icons, read from the compiled-in Qt resources.
#include <QIcon>

namespace resources {

// Two pictures side by side: the comparison window and the executable.
QIcon ProgramIcon();
// One picture on a black screen: the full-screen viewer.
QIcon ViewerIcon();

}  // namespace resources
