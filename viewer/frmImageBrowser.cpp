#include "viewer/frmImageBrowser.h"

#include "common/Globals.h"
#include "platform/MousePointer.h"
#include "viewer/frmImageViewer.h"

namespace {
constexpr float kPreviewSideTwips = 6000;
}

frmImageBrowser::frmImageBrowser(QString folder)
    : platform::Form(QStringLiteral("frmImageBrowser")), folder_(std::move(folder)) {
    SetCaption(QStringLiteral("Form1"));
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    setFont(font);
    SetRestoredClientSize(8850, 5565, false);
    FL = new platform::FileListBox(this, QStringLiteral("FL"));
    FL->Move(405, 270, 2895, 1845);
    FL->SetPattern(QStringLiteral("*.jpg"));
    FL->onClick = [this] { FL_Click(); };
    img = new platform::ImageControl(this, QStringLiteral("img"));
    img->SetStretch(true);
    img->SetAccessibleLabel(QStringLiteral("Preview"));
    img->Move(4005, 450, 2820, 2280);
    img->onDblClick = [this] { img_DblClick(); };
}

void frmImageBrowser::Form_Load() { FL->SetPath(folder_); }

void frmImageBrowser::FL_Click() {
    platform::SetMousePointer(platform::kPointerHourglass);
    const QString name = FL->FileName();
    // Read afresh on every click. A vanished or broken file leaves the preview as it was.
    imaging::LoadResult loaded =
        imaging::LoadPictureFile(folder_ + name, imaging::CurrentDisplayTarget());
    if (!loaded.picture) {
        platform::SetMousePointer(platform::kPointerDefault);
        return;
    }
    img->SetVisible(false);
    img->SetWidth(kPreviewSideTwips);
    img->SetHeight(kPreviewSideTwips);
    img->SetPicture(std::make_shared<const imaging::Picture>(std::move(*loaded.picture)),
                    folder_ + name);
    previewed_ = name;
    // Only the proportion of the natural size matters here, so no conversion to twips.
    const double w = img->PictureWidth();
    const double h = img->PictureHeight();
    if (w > h) {
        img->SetHeight(static_cast<float>(img->Height() * h / w));
    } else if (w < h) {
        img->SetWidth(static_cast<float>(img->Width() * w / h));
    }
    platform::SetMousePointer(platform::kPointerDefault);
    img->SetVisible(true);
}

void frmImageBrowser::img_DblClick() {
    // The viewer shows the previewed snapshot (an already open viewer is only brought forward).
    if (!previewed_.isEmpty()) {
        gCurrentFile = folder_ + previewed_;
    }
    frmImageViewer& viewer = platform::Instance<frmImageViewer>();
    viewer.Load();
    viewer.Show(platform::Form::ShowMode::Modeless);
}
