#include "app/frmDuvix.h"

#include "app/rules/PaneLayout.h"
#include "common/Units.h"
#include "dialogs/cFileDialog.h"
#include "resources/Icons.h"

namespace {
// The comparison window's design.
constexpr float kRestoredClientWidth = 8460;
constexpr float kRestoredClientHeight = 5655;
const QColor kBackColor(0x80, 0x80, 0x80);
}  // namespace

frmDuvix::frmDuvix() : platform::Form(QStringLiteral("frmDuvix")) {
    SetCaption(QStringLiteral("Duvix"));
    setWindowIcon(resources::ProgramIcon());
    SetBackColor(kBackColor);
    SetOLEDropMode(true);
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

    SetRestoredClientSize(kRestoredClientWidth, kRestoredClientHeight, true);
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
    const panes::Placement left = panes::PlacePane(1, boxes, mLeftWidth, mLeftRatio);
    img1->Move(left.left, left.top, left.width, left.height);
    const panes::Placement right = panes::PlacePane(2, boxes, mRightWidth, mRightRatio);
    img2->Move(right.left, right.top, right.width, right.height);
    img1->SetVisible(true);
    img2->SetVisible(true);
}

void frmDuvix::UpdateNaturalSize(platform::ImageControl* pane) {
    const double w = units::HimetricToTwips(static_cast<float>(pane->PictureWidth()));
    const double h = units::HimetricToTwips(static_cast<float>(pane->PictureHeight()));
    // 0/0 leaves NaN for an empty pane, which the layout places nowhere.
    const double ratio = w / h;
    if (pane == img1) {
        mLeftWidth = w;
        mLeftHeight = h;
        mLeftRatio = ratio;
    } else {
        mRightWidth = w;
        mRightHeight = h;
        mRightRatio = ratio;
    }
}

void frmDuvix::menExit_Click() { Unload(); }
