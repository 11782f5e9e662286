// Double-clicking a pane shows its file alone in the viewer, modally.
#include "app/frmDuvix.h"

#include "common/Globals.h"
#include "common/mCommon.h"
#include "imaging/PicturePreparer.h"
#include "platform/MousePointer.h"
#include "viewer/frmImageViewer.h"

void frmDuvix::PrepareViewerPicture(platform::ImageControl* pane, const QString& path) {
    // The pane's picture is decoded for half the screen; the viewer's copy is decoded off this
    // thread while the pane shows, so a double-click finds it ready as long as the file stays
    // the same.
    mViewerCopies->Prepare(pane == img1 ? 1 : 2, path, frmImageViewer::PictureTarget());
}

void frmDuvix::OpenInViewer(platform::ImageControl* pane) {
    gCurrentFile = pane->Tag();
    if (!mCommon::FileExists(gCurrentFile)) {
        return;
    }
    // A copy still being prepared is not waited for: the viewer reads the file itself.
    mViewerCopies->Stop(gCurrentFile);
    platform::SetMousePointer(platform::kPointerHourglass);
    frmImageViewer& viewer = platform::Instance<frmImageViewer>();
    viewer.Load();
    platform::SetMousePointer(platform::kPointerDefault);
    viewer.Show(platform::Form::ShowMode::Modal);
}

void frmDuvix::img1_DblClick() { OpenInViewer(img1); }
void frmDuvix::img2_DblClick() { OpenInViewer(img2); }
