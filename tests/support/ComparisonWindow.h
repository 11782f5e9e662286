#pragma once
// The comparison window as the program opens it, for the tests that drive it.
class frmDuvix;

namespace testwindows {

// Loads and shows the window and waits for its menu bar, which follows the first paint, so
// the layout has settled. Use with ASSERT_NO_FATAL_FAILURE.
void OpenComparisonWindow(frmDuvix*& form);
// Unloads it and lets Qt delete what the unload left for later.
void CloseComparisonWindow(frmDuvix* form);

}  // namespace testwindows
