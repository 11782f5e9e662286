// Double-clicking a pane shows its file alone in the viewer, modally.
#include "app/frmDuvix.h"

#include "common/Globals.h"
#include "common/mCommon.h"
#include "platform/MousePointer.h"
#include "viewer/frmImageViewer.h"

void frmDuvix::OpenInViewer(platform::ImageControl* pane) {
    gCurrentFile = pane->Tag();
    if (!mCommon::FileExists(gCurrentFile)) {
        return;
    }
    platform::SetMousePointer(platform::kPointerHourglass);
    frmImageViewer& viewer = platform::Instance<frmImageViewer>();
    viewer.Load();
    platform::SetMousePointer(platform::kPointerDefault);
    viewer.Show(platform::Form::ShowMode::Modal);
}

void frmDuvix::img1_DblClick() { OpenInViewer(img1); }
void frmDuvix::img2_DblClick() { OpenInViewer(img2); }
