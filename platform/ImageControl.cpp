#include "platform/ImageControl.h"

#include "platform/ClientArea.h"
#include "platform/Form.h"

#include <QAccessibleWidget>
#include <QDropEvent>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QWidget>

namespace platform {

// Draws the control's picture in pixels and passes the pointer's events back to it.
class ImageControl::Canvas : public QWidget {
public:
    Canvas(ImageControl* control, QWidget* parent) : QWidget(parent), control_(control) {
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_OpaquePaintEvent, false);
    }
    void Forget() {
        cache_ = QImage();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        event->accept();
        if (control_->onDblClick) {
            control_->onDblClick();
        }
    }
    void dragEnterEvent(QDragEnterEvent* event) override { AcceptFileDrag(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { AcceptFileDrag(event); }
    void dropEvent(QDropEvent* event) override {
        DeliverDrop(event, control_->form_->TwipsPerPixel(), control_->onOLEDragDrop);
    }

private:
    ImageControl* control_;
    QImage cache_;  // the picture at this control's size in device pixels
};

void ImageControl::Canvas::paintEvent(QPaintEvent*) {
    const imaging::Picture* picture = control_->picture_.get();
    if (picture == nullptr || picture->image.isNull()) {
        return;
    }
    QPainter painter(this);
    const QImage& src = picture->image;
    if (!control_->stretch_) {
        // Natural size: one picture pixel per device pixel.
        QImage img = src;
        img.setDevicePixelRatio(devicePixelRatioF());
        painter.drawImage(QPointF(0, 0), img);
        return;
    }
    const qreal dpr = devicePixelRatioF();
    const QSize device(qRound(width() * dpr), qRound(height() * dpr));
    if (device.isEmpty()) {
        return;
    }
    if (cache_.size() != device) {
        // Area-averaging downscale once per size; a repaint is then a plain blit.
        cache_ = src.size() == device
                     ? src
                     : src.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        cache_.setDevicePixelRatio(dpr);
    }
    painter.drawImage(QPointF(0, 0), cache_);
}

namespace {

// Screen readers announce the control as a picture rather than as an anonymous filler.
QAccessibleInterface* AccessibleCanvas(const QString&, QObject* object) {
    if (object->isWidgetType() && object->property("duvixPicture").toBool()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    }
    return nullptr;
}

}  // namespace

ImageControl::ImageControl(Form* form, const QString& name)
    : form_(form), canvas_(new Canvas(this, form->Client())) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(AccessibleCanvas);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(name);
    canvas_->setObjectName(name);
    canvas_->setProperty("duvixPicture", true);
    setParent(canvas_);
    SetAccessibleLabel(QStringLiteral("Picture"));
}

ImageControl::~ImageControl() = default;

QWidget* ImageControl::Surface() const { return canvas_; }

namespace {
std::function<void(const ImageControlCall&)>& Observer() {
    static std::function<void(const ImageControlCall&)> observer;
    return observer;
}

void Tell(const ImageControlCall& call) {
    if (Observer()) {
        Observer()(call);
    }
}
}  // namespace

void SetImageControlObserver(std::function<void(const ImageControlCall&)> observer) {
    Observer() = std::move(observer);
}

bool ImageControl::Visible() const { return !canvas_->isHidden(); }
void ImageControl::SetVisible(bool visible) {
    canvas_->setVisible(visible);
    Tell({this, visible ? ImageControlCall::Kind::Show : ImageControlCall::Kind::Hide});
}
void ImageControl::SetOLEDropMode(bool manual) { canvas_->setAcceptDrops(manual); }

void ImageControl::SetPicture(std::shared_ptr<const imaging::Picture> picture,
                              const QString& source) {
    picture_ = std::move(picture);
    source_ = picture_ ? source : QString();
    UpdateAccessibleName();
    canvas_->Forget();
    Tell({this, ImageControlCall::Kind::Picture});
}

void ImageControl::SetAccessibleLabel(const QString& label) {
    label_ = label;
    UpdateAccessibleName();
}

void ImageControl::UpdateAccessibleName() {
    const QString shown = !picture_           ? QStringLiteral("empty")
                          : source_.isEmpty() ? QStringLiteral("picture")
                                              : QFileInfo(source_).fileName();
    canvas_->setAccessibleName(label_ + QStringLiteral(": ") + shown);
    canvas_->setAccessibleDescription(source_);
}

bool ImageControl::LoadPicture(const QString& path, QString* error) {
    return LoadPicture(path, imaging::CurrentDisplayTarget(), error);
}

bool ImageControl::LoadPicture(const QString& path, const imaging::DisplayTarget& target,
                               QString* error) {
    imaging::LoadResult r = imaging::LoadPictureFile(path, target);
    if (!r.picture) {
        if (error != nullptr) {
            *error = r.error;
        }
        return false;
    }
    SetPicture(std::make_shared<const imaging::Picture>(std::move(*r.picture)), path);
    return true;
}

void ImageControl::SetStretch(bool on) {
    stretch_ = on;
    canvas_->Forget();
}

bool ImageControl::Move(double left, double top, double width, double height) {
    // Kept as the control's single-precision properties.
    const units::TwipsRect rect{static_cast<float>(left), static_cast<float>(top),
                                static_cast<float>(width), static_cast<float>(height)};
    const std::optional<QRect> pixels = units::TwipsRectToPixels(
        {static_cast<float>(left), top, width, height}, form_->TwipsPerPixel());
    if (!pixels) {
        Tell({this, ImageControlCall::Kind::Move, left, top, width, height, false});
        return false;
    }
    rect_ = rect;
    canvas_->setGeometry(*pixels);
    Tell({this, ImageControlCall::Kind::Move, left, top, width, height, true});
    return true;
}

}  // namespace platform
