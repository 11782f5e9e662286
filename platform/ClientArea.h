#pragma once
// The inner area of a window: its background, double-clicks, drops and keys.
#include <QWidget>

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

// Shared by the window and the image controls: Button and Shift of a drop, as the platform encodes them.
int16_t DropButton(Qt::MouseButtons buttons);
int16_t DropShift(Qt::KeyboardModifiers modifiers);

}  // namespace platform
