#include "viewer/frmImageViewer.h"

#include "common/Globals.h"
#include "common/Units.h"
#include "resources/Icons.h"
#include "viewer/rules/ViewerFit.h"

namespace {
// The restored window's client area (twips), centred on the screen.
constexpr float kDesignClientWidth = 4680;
constexpr float kDesignClientHeight = 3195;
}  // namespace

frmImageViewer::frmImageViewer() : platform::Form(QStringLiteral("frmImageViewer")) {
    SetCaption(QStringLiteral("Image Viewer"));
    setWindowIcon(resources::ViewerIcon());
    SetBackColor(Qt::black);
    setWindowFlag(Qt::FramelessWindowHint, true);
    SetKeyPreview(true);
    img = new platform::ImageControl(this, QStringLiteral("img"));
    img->SetStretch(true);
    img->Move(360, 360, 3840, 2220);
    img->onDblClick = [this] { img_DblClick(); };
    SetRestoredClientSize(kDesignClientWidth, kDesignClientHeight, true);
    setWindowState(Qt::WindowMaximized);
}

void frmImageViewer::Form_Load() {
    // Every step's failure is skipped: a missing or broken file leaves an empty, black viewer
    // captioned with the path.
    SetCaption(gCurrentFile);
    img->LoadPicture(gCurrentFile);
    const units::NaturalSize n =
        units::NaturalSizeFromHimetric(img->PictureWidth(), img->PictureHeight());
    mWidth = n.width;
    mHeight = n.height;
    mRatio = n.ratio;
}

void frmImageViewer::Form_Resize() {
    img->SetVisible(false);
    // Refused for an empty picture or a tiny window.
    img->Move(viewerfit::Place(ScaleWidth(), ScaleHeight(), mWidth, mRatio));
    img->SetVisible(true);
}

void frmImageViewer::Form_KeyPress(int16_t& keyAscii) {
    if (keyAscii == 27) {
        Unload();
    }
}
