#include "platform/ClientArea.h"

#include "platform/Form.h"

#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>

namespace platform {

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

void ClientArea::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void ClientArea::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void ClientArea::dropEvent(QDropEvent* event) {
    DropData data = DropData::FromMime(event->mimeData());
    auto effect = static_cast<int32_t>(event->dropAction());
    const float tpp = form_->TwipsPerPixel();
    const QPointF p = event->position();
    form_->Form_OLEDragDrop(data, effect, DropButton(event->buttons()),
                            DropShift(event->modifiers()), static_cast<float>(p.x()) * tpp,
                            static_cast<float>(p.y()) * tpp);
    event->acceptProposedAction();
}

void ClientArea::keyPressEvent(QKeyEvent* event) {
    if (form_->keyPreview_) {
        form_->RaiseKeyPress(event);
        return;
    }
    QWidget::keyPressEvent(event);
}

}  // namespace platform
