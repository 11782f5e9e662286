#pragma once
// Windows: the shell's own Open, Save and folder dialogs (the common item dialog), driven
// straight from the dialog records. Qt's QFileDialog would show the same dialog but then keep
// its own history in the user's registry, and the program keeps nothing.
#include "platform/CommonDialogs.h"

#ifdef _WIN32
namespace platform::shell {

std::optional<QString> AskFile(FileDialogKind kind, const OpenFileNameRecord& record);
std::optional<QString> AskFolder(const BrowseInfoRecord& record);

}  // namespace platform::shell
#endif
