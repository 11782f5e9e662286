#pragma once
class frmDuvix;

namespace testwindows {

// Waits for the menu bar, which follows the first paint. Use with ASSERT_NO_FATAL_FAILURE.
void OpenComparisonWindow(frmDuvix*& form);
void CloseComparisonWindow(frmDuvix* form);

}  // namespace testwindows
