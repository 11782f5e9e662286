// The loading routes of the comparison window: drops on the window or a pane, and the menu.
#include "app/frmDuvix.h"

#include "app/rules/PaneLayout.h"
#include "common/mCommon.h"
#include "dialogs/cFileDialog.h"
#include "platform/MousePointer.h"

namespace {
// A pane is never wider than half the largest screen, so a picture for it needs no more
// pixels than that: a huge JPEG then decodes at a deeper reduction.
imaging::DisplayTarget PaneTarget() {
    imaging::DisplayTarget t = imaging::CurrentDisplayTarget();
    t.maxDevicePixels.setWidth(std::max(1, t.maxDevicePixels.width() / 2));
    return t;
}
}  // namespace

void frmDuvix::Form_Load() {
    mFileDialog = std::make_unique<dialogs::cFileDialog>();
    mFileDialog->OwnerForm = this;
    mFileDialog->DefaultExt = QStringLiteral("jpg");
    mFileDialog->DefaultFileName = QString();
    mFileDialog->DialogTitle = QStringLiteral("Open");
    mFileDialog->Extension = QStringLiteral("jpg");
    mFileDialog->FilePath = QString();
    mFileDialog->Filter = QStringLiteral("JPEG (*.jpg)|*.jpg");
    UpdateNaturalSize(img1);
    UpdateNaturalSize(img2);
}

void frmDuvix::LoadPaneImage(const QString& path, float pane) {
    if (!mCommon::FileExists(path) || !panes::IsSupportedImage(path)) {
        return;  // a rejected file changes nothing and is not reported
    }
    platform::SetMousePointer(platform::kPointerHourglass);
    LoadIntoPane(pane == 1 ? img1 : img2, path);
    platform::SetMousePointer(platform::kPointerDefault);
}

void frmDuvix::DropOnPane(platform::DropData& data, float pane) {
    // The drop position on a pane does not matter.
    try {
        LoadPaneImage(data.Files(1), pane);
    } catch (const std::exception&) {
        // A drop without a file loads nothing.
    }
}

void frmDuvix::Form_OLEDragDrop(platform::DropData& data, int32_t&, int16_t, int16_t, float xTwips,
                                float) {
    try {
        const QString first = data.Files(1);
        LoadPaneImage(first, static_cast<float>(panes::PaneForDrop(ScaleWidth(), xTwips)));
    } catch (const std::exception&) {
        // A drop without a file loads nothing.
    }
}

void frmDuvix::LoadFromDialog(platform::ImageControl* pane) {
    // The dialog only offers existing files; their ending is not checked here.
    try {
        if (!mFileDialog->OpenFile()) {
            return;
        }
    } catch (const std::exception&) {
        return;
    }
    LoadIntoPane(pane, mFileDialog->FileName);
}

void frmDuvix::LoadIntoPane(platform::ImageControl* pane, const QString& path) {
    // A file that does not decode leaves the pane as it was (picture, path and sizes),
    // so a double-click never opens a file the pane does not show.
    if (pane->LoadPicture(path, PaneTarget())) {
        pane->SetTag(path);
        UpdateNaturalSize(pane);
        PrepareViewerPicture(pane, path);
    }
    ArrangePanes();
}

void frmDuvix::menImage1_Click() { LoadFromDialog(img1); }
void frmDuvix::menImage2_Click() { LoadFromDialog(img2); }
