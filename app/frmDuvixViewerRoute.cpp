// Double-clicking a pane shows its file alone in the viewer, modally.
#include "app/frmDuvix.h"

#include "common/Globals.h"
#include "common/mCommon.h"
#include "imaging/RecentPictures.h"
#include "platform/MousePointer.h"
#include "viewer/frmImageViewer.h"

#include <QTimer>

namespace {
// Long enough for the pane's own paint to reach the screen first.
constexpr int kPrepareDelayMs = 50;
}  // namespace

void frmDuvix::PrepareViewerPicture(const QString& path) {
    // The pane's picture is decoded for half the screen; the viewer's copy is decoded once the
    // pane shows, so a double-click finds it ready as long as the file stays the same.
    QTimer::singleShot(kPrepareDelayMs, this, [path] {
        imaging::LoadRecentPictureFile(path, frmImageViewer::PictureTarget());
    });
}

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
