#include "app/frmDuvix.h"

#include "app/rules/PaneLayout.h"
#include "common/Units.h"
#include "dialogs/cFileDialog.h"
#include "imaging/PicturePreparer.h"
#include "resources/Icons.h"

namespace {
// The comparison window's design.
constexpr float kRestoredClientWidthTwips = 8460;
constexpr float kRestoredClientHeightTwips = 5655;
const QColor kBackColor(0x80, 0x80, 0x80);
}  // namespace

frmDuvix::frmDuvix()
    : platform::Form(QStringLiteral("frmDuvix")),
      mViewerCopies(std::make_unique<imaging::PicturePreparer>()) {
    SetCaption(QStringLiteral("Duvix"));
    // The first paint is the grey window: the icon and the menu bar's text come right after.
    AfterFirstPaint([this] { setWindowIcon(resources::ProgramIcon()); });
    SetBackColor(kBackColor);
    SetOLEDropMode(true);
    ShowMenuBarAfterFirstPaint();
    AddMenuCommand(QStringLiteral("menExit"), QStringLiteral("Exit"), [this] { menExit_Click(); });
    AddMenuCommand(QStringLiteral("menImage1"), QStringLiteral("Left Image"),
                   [this] { menImage1_Click(); });
    AddMenuCommand(QStringLiteral("menImage2"), QStringLiteral("Right Image"),
                   [this] { menImage2_Click(); });

    img1 = new platform::ImageControl(this, QStringLiteral("img1"));
    img2 = new platform::ImageControl(this, QStringLiteral("img2"));
    for (platform::ImageControl* img : {img1, img2}) {
        img->SetStretch(true);
        img->SetOLEDropMode(true);
    }
    img1->SetAccessibleLabel(QStringLiteral("Left pane"));
    img2->SetAccessibleLabel(QStringLiteral("Right pane"));
    img1->Move(1530, 1215, 1995, 1995);
    img2->Move(4590, 1215, 1995, 1995);
    img1->onDblClick = [this] { img1_DblClick(); };
    img2->onDblClick = [this] { img2_DblClick(); };
    img1->onOLEDragDrop = [this](platform::DropData& data, int32_t&, int16_t, int16_t, float,
                                 float) { DropOnPane(data, 1); };
    img2->onOLEDragDrop = [this](platform::DropData& data, int32_t&, int16_t, int16_t, float,
                                 float) { DropOnPane(data, 2); };

    SetRestoredClientSize(kRestoredClientWidthTwips, kRestoredClientHeightTwips, true);
    setWindowState(Qt::WindowMaximized);
}

frmDuvix::~frmDuvix() = default;

void frmDuvix::Form_Resize() { ArrangePanes(); }

void frmDuvix::ArrangePanes() {
    // Each step's failure is skipped: a refused move (an empty pane's NaN, a negative box)
    // must not keep the other pane from being placed, and both panes end up shown.
    const panes::Boxes boxes = panes::BoxesFor(ScaleWidth(), ScaleHeight());
    img1->SetVisible(false);
    img2->SetVisible(false);
    img1->Move(panes::PlacePane(1, boxes, mLeftWidth, mLeftRatio));
    img2->Move(panes::PlacePane(2, boxes, mRightWidth, mRightRatio));
    img1->SetVisible(true);
    img2->SetVisible(true);
}

void frmDuvix::UpdateNaturalSize(platform::ImageControl* pane) {
    // An empty pane's ratio is NaN, which the layout places nowhere.
    const units::NaturalSize n =
        units::NaturalSizeFromHimetric(pane->PictureWidth(), pane->PictureHeight());
    if (pane == img1) {
        mLeftWidth = n.width;
        mLeftHeight = n.height;
        mLeftRatio = n.ratio;
    } else {
        mRightWidth = n.width;
        mRightHeight = n.height;
        mRightRatio = n.ratio;
    }
}

void frmDuvix::menExit_Click() { Unload(); }
