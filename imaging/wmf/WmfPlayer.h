#pragma once
// Windows Metafile player: replays the records onto a QPainter.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>

namespace imaging::wmf {

// True when the bytes start like a metafile (placeable key, or a plain header).
bool LooksLikeWmf(const QByteArray& head);

struct Rendered {
    QImage image;  // ARGB32_Premultiplied, transparent where nothing was drawn
    int32_t widthHimetric = 0;
    int32_t heightHimetric = 0;
};

// Renders at natural size in device pixels (natural HIMETRIC at 96 dpi times the ratio),
// shrunk proportionally when that exceeds maxDevicePixels. Never throws; nullopt + error on
// failure.
std::optional<Rendered> RenderWmf(const QByteArray& bytes, QSize maxDevicePixels,
                                  double devicePixelRatio, QString* error);

}  // namespace imaging::wmf
