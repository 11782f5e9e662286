#include "viewer/frmImageViewer.h"

#include "common/Globals.h"
#include "common/Units.h"
#include "imaging/RecentPictures.h"
#include "resources/Icons.h"
#include "viewer/rules/ViewerFit.h"

#include <QGuiApplication>
#include <QScreen>

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
    imaging::LoadResult r = imaging::LoadRecentPictureFile(gCurrentFile, PictureTarget());
    if (r.picture) {
        img->SetPicture(std::make_shared<const imaging::Picture>(std::move(*r.picture)),
                        gCurrentFile);
    }
    const units::NaturalSize n =
        units::NaturalSizeFromHimetric(img->PictureWidth(), img->PictureHeight());
    mWidth = n.width;
    mHeight = n.height;
    mRatio = n.ratio;
}

imaging::DisplayTarget frmImageViewer::PictureTarget() {
    imaging::DisplayTarget t = imaging::CurrentDisplayTarget();
    t.reduceToFit = true;
    const QScreen* s = QGuiApplication::primaryScreen();
    if (s == nullptr) return t;
    const double dpr = s->devicePixelRatio() > 0 ? s->devicePixelRatio() : 1.0;
    const int margin = qRound(
        units::TwipsToPixels(kFitMargin, units::TwipsPerPixel(s->logicalDotsPerInchX())) * dpr);
    const QSize device = (QSizeF(s->geometry().size()) * dpr).toSize();
    t.maxDevicePixels = device - QSize(2 * margin, 2 * margin);
    if (t.maxDevicePixels.isEmpty()) t.maxDevicePixels = device;
    return t;
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
