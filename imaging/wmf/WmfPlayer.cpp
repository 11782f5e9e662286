// Natural size, image size and the two passes (measure, then paint).
//
// Natural size. A placeable file states it: frame extent * 2540 / units-per-inch HIMETRIC, and its
// window (the frame until a record sets one) is stretched over the whole image, as when GDI plays
// into a viewport. A plain file states nothing, so a first pass looks at the records:
//  - with a window extent and a scalable mapping mode (MM_TEXT, which writers use as "whatever the
//    player sets", MM_ISOTROPIC, MM_ANISOTROPIC) the window again fills the image, and the size is
//    the viewport extent if the file sets one, else the window extent, taken as pixels at 96 dpi;
//  - otherwise (no window extent, or a physical mode such as MM_LOMETRIC) the mapping mode gives
//    pixels at 96 dpi and the size is the box around what the records draw.
#include "imaging/wmf/WmfPlayer.h"

#include "common/Units.h"

#include <QPainter>
#include <cmath>

#include "imaging/wmf/WmfHeader.h"
#include "imaging/wmf/WmfPlayback.h"
#include "imaging/wmf/WmfRecords.h"

namespace imaging::wmf {
namespace {

constexpr int kBudgetMs = 1000;
constexpr int kMeasureBudgetMs = 400;
constexpr int kMaxSide = 16384;
constexpr double kMaxPixels = 40.0 * 1024 * 1024;

std::optional<Rendered> Fail(QString* error, const QString& why) {
    if (error) *error = why;
    return std::nullopt;
}

}  // namespace

std::optional<Rendered> RenderWmf(const QByteArray& bytes, QSize maxDevicePixels,
                                  double devicePixelRatio, QString* error) {
    const QDeadlineTimer deadline(kBudgetMs);
    const std::optional<Header> header = ParseHeader(bytes, error);
    if (!header) return std::nullopt;
    const double dpr = std::isfinite(devicePixelRatio) ? qBound(0.1, devicePixelRatio, 16.0) : 1.0;

    Rendered out;
    Frame frame;
    QPointF windowOrg, windowExt;
    QRectF drawn;  // 96-dpi pixels, for pictures sized by what they draw
    if (header->placeable && header->frameExtent.x() != 0 && header->frameExtent.y() != 0) {
        const double inch =
            header->unitsPerInch ? header->unitsPerInch : units::kTwipsPerInch;  // zero: twips
        out.widthHimetric = units::LengthToHimetric(header->frameExtent.x(), inch);
        out.heightHimetric = units::LengthToHimetric(header->frameExtent.y(), inch);
        frame.fitWindow = true;
        windowOrg = header->frameOrigin, windowExt = header->frameExtent;
    } else {
        Frame measureFrame;
        measureFrame.image = QSizeF(65536, 65536);
        Player measure(bytes, *header, measureFrame, nullptr,
                       QDeadlineTimer(qMin<qint64>(kMeasureBudgetMs, deadline.remainingTime())));
        measure.run();
        if (measure.stop() == RecordStream::Stop::Corrupt && measure.drawCount() == 0)
            return Fail(error, QStringLiteral("metafile: truncated before anything is drawn"));
        const int mode = measure.firstMapMode();
        const bool physical = mode >= kMmLoMetric && mode <= kMmTwips;
        QPointF size96;
        if (!physical && measure.firstWindowExt()) {
            frame.fitWindow = true;
            windowExt = *measure.firstWindowExt();
            size96 = measure.firstViewportExt() ? *measure.firstViewportExt() : windowExt;
        } else {
            drawn = measure.drawnBounds();
            size96 = QPointF(drawn.width(), drawn.height());
        }
        out.widthHimetric = units::LengthToHimetric(size96.x(), units::kPixelsPerInch);
        out.heightHimetric = units::LengthToHimetric(size96.y(), units::kPixelsPerInch);
    }
    if (out.widthHimetric <= 0 || out.heightHimetric <= 0)
        return Fail(error, QStringLiteral("metafile: no picture size"));

    // Device pixels at 96 dpi times the ratio, shrunk to the caller's box and our own cap.
    const double w = units::HimetricToPixels(out.widthHimetric, dpr),
                 h = units::HimetricToPixels(out.heightHimetric, dpr);
    double shrink = std::min({1.0, kMaxSide / w, kMaxSide / h, std::sqrt(kMaxPixels / (w * h))});
    if (maxDevicePixels.width() > 0 && maxDevicePixels.height() > 0)
        shrink = std::min({shrink, maxDevicePixels.width() / w, maxDevicePixels.height() / h});
    const QSize pixels(qMax(1, int(std::lround(w * shrink))),
                       qMax(1, int(std::lround(h * shrink))));
    frame.image = QSizeF(pixels);
    frame.pixelScale = dpr * shrink;
    if (!frame.fitWindow)
        frame.reference =
            QTransform::fromTranslate(-drawn.left(), -drawn.top()) *
            QTransform::fromScale(pixels.width() / drawn.width(), pixels.height() / drawn.height());

    out.image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    if (out.image.isNull())
        return Fail(error, QStringLiteral("metafile: not enough memory for the picture"));
    out.image.fill(Qt::transparent);
    QPainter painter(&out.image);
    Player player(bytes, *header, frame, &painter, deadline);
    if (frame.fitWindow) player.setWindow(windowOrg, windowExt);
    player.run();
    painter.end();
    if (player.stop() == RecordStream::Stop::Corrupt && player.drawCount() == 0)
        return Fail(error, QStringLiteral("metafile: truncated before anything is drawn"));
    return out;
}

}  // namespace imaging::wmf
