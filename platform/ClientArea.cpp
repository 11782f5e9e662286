#include "platform/ClientArea.h"

#include "common/Units.h"
#include "platform/Form.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace platform {

namespace {
int16_t DropButton(Qt::MouseButtons buttons) {
    int16_t b = 0;
    if (buttons & Qt::LeftButton) b |= 1;
    if (buttons & Qt::RightButton) b |= 2;
    if (buttons & Qt::MiddleButton) b |= 4;
    return b;
}

int16_t DropShift(Qt::KeyboardModifiers modifiers) {
    int16_t s = 0;
    if (modifiers & Qt::ShiftModifier) s |= 1;
    if (modifiers & Qt::ControlModifier) s |= 2;
    if (modifiers & Qt::AltModifier) s |= 4;
    return s;
}
}  // namespace

void AcceptFileDrag(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void DeliverDrop(QDropEvent* event, float twipsPerPixel, const DropHandler& handler) {
    DropData data = DropData::FromMime(event->mimeData());
    auto effect = static_cast<int32_t>(event->dropAction());
    const QPointF p = event->position();
    if (handler) {
        handler(data, effect, DropButton(event->buttons()), DropShift(event->modifiers()),
                units::PixelsToTwips(p.x(), twipsPerPixel),
                units::PixelsToTwips(p.y(), twipsPerPixel));
    }
    event->acceptProposedAction();
}

ClientArea::ClientArea(Form* form) : QWidget(form), form_(form) {
    setObjectName(QStringLiteral("client"));
    setFocusPolicy(Qt::StrongFocus);
}

void ClientArea::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    form_->Form_Resize();
}

void ClientArea::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    form_->Form_DblClick();
}

void ClientArea::dragEnterEvent(QDragEnterEvent* event) { AcceptFileDrag(event); }

void ClientArea::dragMoveEvent(QDragMoveEvent* event) { AcceptFileDrag(event); }

void ClientArea::dropEvent(QDropEvent* event) {
    DeliverDrop(event, form_->TwipsPerPixel(),
                [this](DropData& data, int32_t& effect, int16_t button, int16_t shift, float x,
                       float y) { form_->Form_OLEDragDrop(data, effect, button, shift, x, y); });
}

void ClientArea::keyPressEvent(QKeyEvent* event) {
    if (form_->keyPreview_) {
        form_->RaiseKeyPress(event);
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace platform
