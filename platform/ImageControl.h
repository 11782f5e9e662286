#pragma once
// A picture drawn on its window, stretched to its own rectangle, with no background of its own.
// Its geometry is in twips; the widget that draws it (pixels) is kept behind Surface().
#include "common/Units.h"
#include "imaging/Picture.h"
#include "platform/DropData.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

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

class ImageControl : public QObject {
    Q_OBJECT
public:
    // Lives as long as its window's inner area.
    ImageControl(Form* form, const QString& name);
    ~ImageControl() override;

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
    bool Visible() const;
    void SetVisible(bool visible);
    void SetOLEDropMode(bool manual);
    // What assistive tools call the control ("Left pane"); its accessible name adds the shown
    // file's name, or that it is empty.
    void SetAccessibleLabel(const QString& label);

    // Twips, as last set (not re-derived from pixels).
    float Left() const { return rect_.left; }
    float Top() const { return static_cast<float>(rect_.top); }
    float Width() const { return static_cast<float>(rect_.width); }
    float Height() const { return static_cast<float>(rect_.height); }
    bool SetWidth(double width) { return Move(rect_.left, rect_.top, width, rect_.height); }
    bool SetHeight(double height) { return Move(rect_.left, rect_.top, rect_.width, height); }
    // Refuses (false, nothing changes) a negative size or a value that is not finite.
    bool Move(double left, double top, double width, double height);
    bool Move(const units::TwipsRect& rect) {
        return Move(rect.left, rect.top, rect.width, rect.height);
    }

    std::function<void()> onDblClick;
    DropHandler onOLEDragDrop;

    // The widget that draws the picture, positioned in device-independent pixels; for input and
    // screenshots, never for placement.
    QWidget* Surface() const;

private:
    class Canvas;
    void UpdateAccessibleName();

    Form* form_;
    Canvas* canvas_;  // owns this control
    std::shared_ptr<const imaging::Picture> picture_;
    bool stretch_ = false;
    QString tag_;
    QString label_;
    QString source_;  // the file the picture came from
    units::TwipsRect rect_;
};

}  // namespace platform
