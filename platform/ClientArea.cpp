#include "platform/ClientArea.h"

#include "common/Units.h"
#include "platform/Form.h"

#include <QDropEvent>
#include <QFileInfo>
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

// Copy, or else Link, whatever the source proposes; never Move: a source that honours Move
// deletes the original once the drop is taken.
Qt::DropAction SafeAction(Qt::DropActions possible) {
    if (possible & Qt::CopyAction) return Qt::CopyAction;
    if (possible & Qt::LinkAction) return Qt::LinkAction;
    return Qt::IgnoreAction;
}

// Only a regular file is taken: not text, a remote address, an empty list, a folder or a pipe.
bool BringsAFile(const DropData& data) {
    return data.Count() > 0 && QFileInfo(data.Files(1)).isFile();
}

}  // namespace

// Refused already while the drag passes over: some sources report the last answer given
// then, not the one given at the drop.
void AcceptFileDrag(QDragMoveEvent* event) {
    const Qt::DropAction action = SafeAction(event->possibleActions());
    if (action != Qt::IgnoreAction && BringsAFile(DropData::FromMime(event->mimeData()))) {
        event->setDropAction(action);
        event->accept();
    } else {
        event->ignore();
    }
}

void DeliverDrop(QDropEvent* event, float twipsPerPixel, const DropHandler& handler) {
    DropData data = DropData::FromMime(event->mimeData());
    // Anything else is refused and not handed on, so the source learns nothing happened.
    const Qt::DropAction safe = SafeAction(event->possibleActions());
    if (safe == Qt::IgnoreAction || !BringsAFile(data)) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    auto effect = static_cast<int32_t>(safe);
    const QPointF p = event->position();
    if (handler) {
        handler(data, effect, DropButton(event->buttons()), DropShift(event->modifiers()),
                units::PixelsToTwips(p.x(), twipsPerPixel),
                units::PixelsToTwips(p.y(), twipsPerPixel));
    }
    const auto done = static_cast<Qt::DropAction>(effect);
    if (done == Qt::CopyAction || done == Qt::LinkAction) {
        event->setDropAction(done);
        event->accept();
    } else {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
    }
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
