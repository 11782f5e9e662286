#pragma once
// Where the running program lives.
#include <QString>

namespace platform {

// Folder of the running executable with native separators; no trailing separator
// except for a root ("/", "C:\").
QString ExecutableFolder();
// The executable's file name without its ".exe" ending (Windows) or as it is (elsewhere).
QString ExecutableName();

}  // namespace platform
