// Bitmap records and pattern blits. Raster operations are approximated for a transparent canvas.
#include <cmath>

#include "imaging/wmf/WmfDib.h"
#include "imaging/wmf/WmfPlayback.h"
#include "imaging/wmf/WmfRecords.h"

namespace imaging::wmf {
namespace {

// Logical rectangles in these records come as height, width, y, x.
QRectF HwYx(const Params& p, qsizetype firstWord) {
    return QRectF(p.i16(firstWord + 3), p.i16(firstWord + 2), p.i16(firstWord + 1),
                  p.i16(firstWord));
}

bool NeedsNoSource(uint32_t rop) {
    return rop == kBlackness || rop == kWhiteness || rop == kPatCopy || rop == kPatInvert ||
           rop == kDstInvert || rop == kDstCopy;
}

// On an unknown (transparent) background, AND with white and OR/XOR with black change nothing:
// those pixels become transparent so the usual mask tricks keep their shape.
void ApplyRop(QImage& img, uint32_t rop) {
    QRgb neutral;
    if (rop == kSrcAnd)
        neutral = qRgb(255, 255, 255);
    else if (rop == kSrcPaint || rop == kSrcInvert)
        neutral = qRgb(0, 0, 0);
    else {
        if (rop == kNotSrcCopy) img.invertPixels();
        return;
    }
    for (int y = 0; y < img.height(); ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (row[x] == neutral) row[x] = 0;
    }
}

}  // namespace

bool Player::bitmapRecord(uint16_t fn, const Params& p) {
    const bool noSource = p.words() == (fn >> 8);  // the record's short form carries no bitmap
    switch (fn) {
        case kPatBlt: patternBlt(HwYx(p, 2), p.u32(0)); return true;
        case kStretchDib:
            drawDib(HwYx(p, 7), HwYx(p, 3), p.from(11), p.u16(2) == 1, p.u32(0));
            return true;
        case kDibStretchBlt:
            if (noSource)
                patternBlt(HwYx(p, 7), p.u32(0));
            else
                drawDib(HwYx(p, 6), HwYx(p, 2), p.from(10), false, p.u32(0));
            return true;
        case kDibBitBlt: {
            if (noSource) {
                patternBlt(HwYx(p, 5), p.u32(0));
                return true;
            }
            const QRectF dest = HwYx(p, 4);
            drawDib(dest, QRectF(QPointF(p.i16(3), p.i16(2)), dest.size()), p.from(8), false,
                    p.u32(0));
            return true;
        }
        case kSetDibToDev: {
            const QRectF dest = HwYx(p, 5);
            drawDib(dest, QRectF(QPointF(p.i16(4), p.i16(3)), dest.size()), p.from(9),
                    p.u16(0) == 1, kSrcCopy);
            return true;
        }
        default: return false;
    }
}

void Player::patternBlt(QRectF logical, uint32_t rop) {
    if (rop == kDstCopy) return;
    const QRectF r = xf().mapRect(logical.normalized());
    const QBrush brush = rop == kBlackness   ? QBrush(Qt::black)
                         : rop == kWhiteness ? QBrush(Qt::white)
                                             : deviceBrush();
    if (brush.style() == Qt::NoBrush && rop != kDstInvert) return;
    if (!beginDraw(r)) return;
    painter_->setCompositionMode(rop == kPatInvert   ? QPainter::RasterOp_SourceXorDestination
                                 : rop == kDstInvert ? QPainter::RasterOp_NotDestination
                                                     : QPainter::CompositionMode_SourceOver);
    painter_->fillRect(r, rop == kDstInvert ? QBrush(Qt::black) : brush);
}

void Player::drawDib(QRectF dest, QRectF source, const Params& dib, bool paletteIndices,
                     uint32_t rop) {
    if (NeedsNoSource(rop)) {
        patternBlt(dest, rop);
        return;
    }
    const QTransform t = xf();
    const QPointF a = t.map(dest.topLeft()), b = t.map(dest.bottomRight());
    const QRectF target = QRectF(a, b).normalized();
    if (target.isEmpty()) return;
    if (!painter_) {  // measuring: no need to decode
        beginDraw(target);
        return;
    }
    QImage img = DecodeDib(dib, paletteIndices, paletteColors());
    if (img.isNull()) return;
    // Source rectangles of bottom-up bitmaps are measured from the bottom row.
    const bool bottomUp = dib.u32(0) == 12 || int32_t(dib.u32(4)) > 0;
    source = source.normalized();
    if (source.isEmpty()) source = QRectF(img.rect());
    if (bottomUp) source.moveTop(img.height() - source.bottom());
    source = source.intersected(QRectF(img.rect()));
    if (source.isEmpty() || !beginDraw(target)) return;
    if (source.toAlignedRect() != img.rect()) img = img.copy(source.toAlignedRect());
    if (b.x() < a.x() || b.y() < a.y()) img = img.mirrored(b.x() < a.x(), b.y() < a.y());
    ApplyRop(img, rop);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, target.width() < img.width());
    painter_->drawImage(target, img);
}

}  // namespace imaging::wmf
