#pragma once
// The inner area of a window: its background, double-clicks, drops and keys.
#include "platform/DropData.h"

#include <QWidget>
#include <cstdint>

class QDragMoveEvent;
class QDropEvent;

namespace platform {

class Form;

class ClientArea : public QWidget {
    Q_OBJECT
public:
    explicit ClientArea(Form* form);
    void SetAcceptFileDrops(bool on) { setAcceptDrops(on); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Form* form_;
};

// Shared by the window and the image controls: only drags whose first local file is a regular
// file and that allow Copy (or Link) are accepted, and only as Copy (or Link).
void AcceptFileDrag(QDragMoveEvent* event);
// Hands a drop to a handler, its position converted to twips, when its first file is a regular
// file; other drops are refused without reaching the handler. Effect comes in as Copy (or
// Link); the drop is accepted with what the handler leaves there, if that is Copy or Link, and
// refused otherwise.
void DeliverDrop(QDropEvent* event, float twipsPerPixel, const DropHandler& handler);

}  // namespace platform
