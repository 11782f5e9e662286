// Placeholder until the loader lands: Qt's readers, no reduction.
#include "platform/Picture.h"
#include "platform/rules/Units.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>

namespace platform {

DisplayTarget CurrentDisplayTarget() { return {}; }

LoadResult LoadPictureFile(const QString& path, const DisplayTarget& target) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage img = reader.read();
    if (img.isNull()) {
        return {std::nullopt, reader.errorString()};
    }
    Picture p;
    p.image = img;
    p.format = reader.format();
    p.naturalPixels = img.size();
    p.Width = PixelsToHimetric(img.width(), target.devicePixelRatio);
    p.Height = PixelsToHimetric(img.height(), target.devicePixelRatio);
    return {p, {}};
}

LoadResult LoadPictureData(const QByteArray&, const DisplayTarget&) { return {std::nullopt, "no"}; }

}  // namespace platform
