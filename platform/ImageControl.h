#pragma once
// A picture drawn on its window, stretched to its own rectangle (twips), with no background of its
// own.
#include "imaging/Picture.h"
#include "platform/DropData.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class Form;
class ImageControl;

// One thing an image control was told to do, as tests see it.
struct ImageControlCall {
    enum class Kind { Hide, Show, Move, Picture };
    const ImageControl* control = nullptr;
    Kind kind = Kind::Move;
    double left = 0, top = 0, width = 0, height = 0;  // a move's values, as handed over
    bool done = true;                                 // false for a refused move
};

// Told of every hide, show, move and picture assignment of any image control, after it took
// effect (tests pin the order in which a window drives its controls).
void SetImageControlObserver(std::function<void(const ImageControlCall&)> observer);

class ImageControl : public QWidget {
    Q_OBJECT
public:
    ImageControl(Form* form, const QString& name);

    void SetPicture(std::shared_ptr<const imaging::Picture> picture);
    // Loads the file through the picture loader, decoded for the largest screen or for `target`;
    // on failure the control keeps its picture.
    bool LoadPicture(const QString& path, QString* error = nullptr);
    bool LoadPicture(const QString& path, const imaging::DisplayTarget& target,
                     QString* error = nullptr);
    const imaging::Picture* GetPicture() const { return picture_.get(); }
    // Natural size in HIMETRIC; 0 x 0 without a picture.
    int32_t PictureWidth() const { return picture_ ? picture_->Width : 0; }
    int32_t PictureHeight() const { return picture_ ? picture_->Height : 0; }

    void SetStretch(bool on);
    bool Stretch() const { return stretch_; }
    QString Tag() const { return tag_; }
    void SetTag(const QString& tag) { tag_ = tag; }
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool visible);
    void SetOLEDropMode(bool manual) { setAcceptDrops(manual); }

    // Twips, as last set (not re-derived from pixels).
    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const { return width_; }
    float Height() const { return height_; }
    bool SetWidth(double width) { return Move(left_, top_, width, height_); }
    bool SetHeight(double height) { return Move(left_, top_, width_, height); }
    // Refuses (false, nothing changes) a negative size or a value that is not finite.
    bool Move(double left, double top, double width, double height);

    std::function<void()> onDblClick;
    std::function<void(DropData&, int32_t&, int16_t, int16_t, float, float)>
        onOLEDragDrop;  // Data, Effect, Button, Shift, X, Y

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    Form* form_;
    std::shared_ptr<const imaging::Picture> picture_;
    QImage cache_;  // the picture at this control's size in device pixels
    bool stretch_ = false;
    QString tag_;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

}  // namespace platform
