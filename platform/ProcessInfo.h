#pragma once
// Where the running program lives.
#include <QString>

namespace platform {

// Folder of the running executable with native separators; no trailing separator
// except for a root ("/", "C:\").
QString ExecutableFolder();
// The executable's file name without its ".exe" ending (Windows) or as it is (elsewhere).
QString ExecutableName();

namespace detail {
// An executable's name from its path: without its ending where executables carry one
// (Windows), whole elsewhere, where a dot is part of the name.
QString ExecutableNameOf(const QString& path, bool executablesHaveEndings);
}  // namespace detail

}  // namespace platform
