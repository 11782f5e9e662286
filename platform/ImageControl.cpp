#include "platform/ImageControl.h"

#include "common/Units.h"
#include "platform/ClientArea.h"
#include "platform/Form.h"

#include <QDropEvent>
#include <QMimeData>
#include <QPainter>

namespace platform {
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

ImageControl::ImageControl(Form* form, const QString& name) : QWidget(form->Client()), form_(form) {
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ImageControl::SetPicture(std::shared_ptr<const imaging::Picture> picture) {
    picture_ = std::move(picture);
    cache_ = QImage();
    update();
    Tell({this, ImageControlCall::Kind::Picture});
}

void ImageControl::SetVisible(bool visible) {
    setVisible(visible);
    Tell({this, visible ? ImageControlCall::Kind::Show : ImageControlCall::Kind::Hide});
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
    SetPicture(std::make_shared<const imaging::Picture>(std::move(*r.picture)));
    return true;
}

void ImageControl::SetStretch(bool on) {
    stretch_ = on;
    cache_ = QImage();
    update();
}

bool ImageControl::Move(double left, double top, double width, double height) {
    const std::optional<QRect> rect =
        units::TwipsRectToPixels(left, top, width, height, form_->TwipsPerPixel());
    if (!rect) {
        Tell({this, ImageControlCall::Kind::Move, left, top, width, height, false});
        return false;
    }
    left_ = static_cast<float>(left);
    top_ = static_cast<float>(top);
    width_ = static_cast<float>(width);
    height_ = static_cast<float>(height);
    setGeometry(*rect);
    Tell({this, ImageControlCall::Kind::Move, left, top, width, height, true});
    return true;
}

void ImageControl::paintEvent(QPaintEvent*) {
    if (!picture_ || picture_->image.isNull()) {
        return;
    }
    QPainter painter(this);
    const QImage& src = picture_->image;
    if (!stretch_) {
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

void ImageControl::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (onDblClick) {
        onDblClick();
    }
}

void ImageControl::dragEnterEvent(QDragEnterEvent* event) { AcceptFileDrag(event); }

void ImageControl::dragMoveEvent(QDragMoveEvent* event) { AcceptFileDrag(event); }

void ImageControl::dropEvent(QDropEvent* event) {
    DeliverDrop(event, form_->TwipsPerPixel(), onOLEDragDrop);
}

}  // namespace platform
