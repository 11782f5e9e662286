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

class ImageControl : public QWidget {
    Q_OBJECT
public:
    ImageControl(Form* form, const QString& name);

    // `source` is the file the picture came from; it names the control for assistive tools.
    void SetPicture(std::shared_ptr<const imaging::Picture> picture, const QString& source = {});
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
    void SetVisible(bool visible) { setVisible(visible); }
    void SetOLEDropMode(bool manual) { setAcceptDrops(manual); }
    // What assistive tools call the control ("Left pane"); its accessible name adds the shown
    // file's name, or that it is empty.
    void SetAccessibleLabel(const QString& label);

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
    void UpdateAccessibleName();

    Form* form_;
    std::shared_ptr<const imaging::Picture> picture_;
    QImage cache_;  // the picture at this control's size in device pixels
    bool stretch_ = false;
    QString tag_;
    QString label_;
    QString source_;  // the file the picture came from
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

}  // namespace platform
