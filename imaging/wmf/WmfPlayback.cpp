#include "imaging/wmf/WmfPlayback.h"

#include <cmath>

#include "common/Units.h"
#include "imaging/wmf/WmfDib.h"
#include "imaging/wmf/WmfRecords.h"

namespace imaging::wmf {
namespace {

constexpr int kMaxObjects = 4096;
constexpr size_t kMaxSavedStates = 256;
constexpr qint64 kMaxRecords = 4'000'000;
constexpr int kCoordLimit = 1 << 26;  // keeps device rectangles far from int overflow

QPointF YX(const Params& p) { return QPointF(p.i16(1), p.i16(0)); }  // points are stored y first

}  // namespace

Player::Player(const QByteArray& bytes, const Header& header, const Frame& frame, QPainter* painter,
               QDeadlineTimer deadline)
    : bytes_(bytes),
      header_(header),
      frame_(frame),
      painter_(painter),
      deadline_(deadline),
      objects_(qMin<int>(header.objectCount, kMaxObjects)) {}

void Player::run() {
    if (painter_) painter_->setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    RecordStream stream(bytes_, header_.firstRecord);
    Record r;
    for (qint64 n = 0; stream.next(r); ++n) {
        if (n >= kMaxRecords || deadline_.hasExpired()) {
            timedOut_ = true;
            break;
        }
        dispatch(r);
    }
    stop_ = stream.stop();
}

void Player::dispatch(const Record& r) {
    const uint16_t fn = r.function;
    const Params& p = r.params;
    if (stateRecord(fn, p) || objectRecord(fn, p) || shapeRecord(fn, p) || textRecord(fn, p))
        return;
    bitmapRecord(fn, p);  // anything else is skipped
}

QTransform Player::xf() const {
    const DcState& s = st_;
    double sx = 1, sy = 1;
    QPointF viewportOrg = s.viewportOrg;
    if (frame_.fitWindow) {
        sx = frame_.image.width() / s.windowExt.x();
        sy = frame_.image.height() / s.windowExt.y();
        viewportOrg = QPointF();
    } else {
        // Pixels per logical unit of MM_TEXT, LOMETRIC, HIMETRIC, LOENGLISH, HIENGLISH, TWIPS.
        static constexpr double kPerUnit[] = {1,
                                              units::PixelsPerUnit(254),
                                              units::PixelsPerUnit(units::kHimetricPerInch),
                                              units::PixelsPerUnit(100),
                                              units::PixelsPerUnit(1000),
                                              units::PixelsPerUnit(units::kTwipsPerInch)};
        if (s.mapMode >= kMmText && s.mapMode <= kMmTwips) {
            sx = kPerUnit[s.mapMode - 1];
            sy = s.mapMode == kMmText ? sx : -sx;
        } else {
            sx = s.viewportExt.x() / s.windowExt.x();
            sy = s.viewportExt.y() / s.windowExt.y();
        }
    }
    if (s.mapMode == kMmIsotropic) {
        const double m = qMin(std::abs(sx), std::abs(sy));
        sx = std::copysign(m, sx), sy = std::copysign(m, sy);
    }
    const QTransform t(sx, 0, 0, sy, viewportOrg.x() - s.windowOrg.x() * sx,
                       viewportOrg.y() - s.windowOrg.y() * sy);
    return frame_.fitWindow ? t : t * frame_.reference;
}

QRect Player::deviceRect(const QRectF& logical) const {
    const QRectF r = xf().mapRect(logical.normalized());
    auto clamp = [](double v) {
        return int(qBound<double>(-kCoordLimit, std::round(v), kCoordLimit));
    };
    return QRect(QPoint(clamp(r.left()), clamp(r.top())),
                 QPoint(clamp(r.right()) - 1, clamp(r.bottom()) - 1));
}

QRegion Player::deviceRegion(const Region& region) const {
    // Pairwise unions keep the work near n log n.
    std::vector<QRegion> parts;
    for (const QRect& r : region.rects) parts.emplace_back(deviceRect(QRectF(r)));
    for (size_t step = 1; step < parts.size(); step *= 2)
        for (size_t i = 0; i + step < parts.size(); i += 2 * step) parts[i] += parts[i + step];
    return parts.empty() ? QRegion() : parts[0];
}

bool Player::stateRecord(uint16_t fn, const Params& p) {
    DcState& s = st_;
    switch (fn) {
        case kSetBkColor: s.bkColor = p.u32(0); return true;
        case kSetBkMode: s.bkOpaque = p.u16(0) == 2; return true;
        case kSetTextColor: s.textColor = p.u32(0); return true;
        case kSetTextAlign: s.textAlign = p.u16(0); return true;
        case kSetTextCharExtra: s.charExtra = p.i16(0); return true;
        case kSetPolyFillMode: s.windingFill = p.u16(0) == 2; return true;
        case kSetRop2:
            if (p.u16(0) >= 1 && p.u16(0) <= 16) s.rop2 = p.u16(0);
            return true;
        case kSetMapMode:
            if (p.u16(0) >= kMmText && p.u16(0) <= kMmAnisotropic) s.mapMode = p.u16(0);
            if (!firstMapMode_) firstMapMode_ = s.mapMode;
            return true;
        case kSetWindowOrg: s.windowOrg = YX(p); return true;
        case kOffsetWindowOrg: s.windowOrg += YX(p); return true;
        case kSetViewportOrg: s.viewportOrg = YX(p); return true;
        case kOffsetViewportOrg: s.viewportOrg += YX(p); return true;
        case kSetWindowExt:
        case kSetViewportExt: {
            const QPointF ext = YX(p);
            if (ext.x() == 0 || ext.y() == 0) return true;  // GDI refuses a zero extent
            if (fn == kSetWindowExt) {
                s.windowExt = ext;
                if (!firstWindowExt_) firstWindowExt_ = ext;
            } else {
                s.viewportExt = ext;
                if (!firstViewportExt_) firstViewportExt_ = ext;
            }
            return true;
        }
        case kScaleWindowExt:
        case kScaleViewportExt: {
            if (p.i16(0) == 0 || p.i16(2) == 0) return true;
            QPointF& ext = fn == kScaleWindowExt ? s.windowExt : s.viewportExt;
            const QPointF scaled(ext.x() * p.i16(3) / p.i16(2), ext.y() * p.i16(1) / p.i16(0));
            if (scaled.x() != 0 && scaled.y() != 0) ext = scaled;
            return true;
        }
        case kMoveTo: s.position = YX(p); return true;
        case kSaveDc:
            if (saved_.size() < kMaxSavedStates) saved_.push_back(s);
            return true;
        case kRestoreDc: {
            const int n = p.i16(0);
            const size_t depth = saved_.size();
            const size_t keep =
                n < 0 ? (size_t(-n) <= depth ? depth - size_t(-n) : depth) : size_t(n) - 1;
            if (n != 0 && keep < depth) {
                st_ = saved_[keep];
                saved_.resize(keep);
            }
            return true;
        }
        case kIntersectClipRect:
        case kExcludeClipRect: {
            const QRect r =
                deviceRect(QRectF(QPointF(p.i16(3), p.i16(2)), QPointF(p.i16(1), p.i16(0))));
            if (fn == kIntersectClipRect) {
                s.clip = s.clip ? s.clip->intersected(r) : QRegion(r);
            } else {
                const QRegion all(-kCoordLimit, -kCoordLimit, 2 * kCoordLimit, 2 * kCoordLimit);
                s.clip = (s.clip ? *s.clip : all).subtracted(r);
            }
            return true;
        }
        case kOffsetClipRgn:
            if (s.clip) {
                const QTransform t = xf();
                s.clip->translate(DevicePixels(p.i16(1) * t.m11()),
                                  DevicePixels(p.i16(0) * t.m22()));
            }
            return true;
        case kSelectClipRegion: {
            const Object* o = objects_.get(p.u16(0));
            const Region* region = o ? std::get_if<Region>(o) : nullptr;
            if (!region) {
                s.clip.reset();
                return true;
            }
            s.clip = deviceRegion(*region);
            return true;
        }
        default: return false;
    }
}

bool Player::objectRecord(uint16_t fn, const Params& p) {
    switch (fn) {
        case kCreatePenIndirect: objects_.add(ParsePen(p)); return true;
        case kCreateBrushIndirect: objects_.add(ParseBrush(p)); return true;
        case kCreateFontIndirect: objects_.add(ParseFont(p)); return true;
        case kCreatePalette: objects_.add(std::make_shared<Palette>(ParsePalette(p))); return true;
        case kCreateRegion: objects_.add(ParseRegion(p)); return true;
        case kDibCreatePatternBrush:
        case kCreatePatternBrush: {
            constexpr qint64 kMaxPatternPixels = 512 * 512;
            Brush b;
            b.style = kBsNull;
            QImage pattern;
            if (fn == kDibCreatePatternBrush) {
                pattern = DecodeDib(p.from(2), p.u16(1) == 1, paletteColors());
            } else if (p.u16(4) == 0x0101 && p.i16(1) > 0 &&
                       p.i16(2) > 0) {  // one plane, one bit per pixel
                const int w = p.i16(1), h = p.i16(2), rowBytes = p.i16(3);
                const uchar* bits = rowBytes > 0 ? p.raw(16, qint64(rowBytes) * h) : nullptr;
                if (bits && qint64(w) * h <= kMaxPatternPixels && rowBytes * 8 >= w) {
                    pattern = QImage(bits, w, h, rowBytes, QImage::Format_Mono).copy();
                    pattern.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
                }
            }
            if (!pattern.isNull() &&
                qint64(pattern.width()) * pattern.height() <= kMaxPatternPixels) {
                b.style = kBsDibPatternPt;
                b.pattern = pattern.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            }
            objects_.add(std::move(b));
            return true;
        }
        case kSelectObject: {
            const Object* o = objects_.get(p.u16(0));
            if (!o) return true;
            if (auto* pen = std::get_if<Pen>(o))
                st_.pen = *pen;
            else if (auto* brush = std::get_if<Brush>(o))
                st_.brush = *brush;
            else if (auto* font = std::get_if<Font>(o))
                st_.font = *font;
            else if (std::holds_alternative<Region>(*o))
                stateRecord(kSelectClipRegion, p);
            return true;
        }
        case kSelectPalette:
            if (const Object* o = objects_.get(p.u16(0)))
                if (auto* pal = std::get_if<std::shared_ptr<Palette>>(o)) st_.palette = *pal;
            return true;
        // Realising matters on palette devices only; indices resolve through the selected
        // palette either way. The stock palette cannot be changed.
        case kRealizePalette: return true;
        case kSetPalEntries:
        case kAnimatePalette:
            if (st_.palette) SetPaletteEntries(*st_.palette, p, fn == kAnimatePalette);
            return true;
        case kResizePalette:
            if (st_.palette && p.has(1)) {
                st_.palette->colors.resize(p.u16(0), qRgb(0, 0, 0));
                st_.palette->flags.resize(p.u16(0), 0);
            }
            return true;
        case kDeleteObject: objects_.remove(p.u16(0)); return true;
        default: return false;
    }
}

const QList<QRgb>& Player::paletteColors() const {
    return st_.palette ? st_.palette->colors : DefaultPalette();
}

QColor Player::color(uint32_t colorRef) const {
    // High byte 1: an index into the palette (out of range: its first entry). Anything else,
    // palette-relative RGB included, is the RGB itself on a true-colour device.
    if ((colorRef >> 24) != 1) return ColorRef(colorRef);
    const QList<QRgb>& palette = paletteColors();
    if (palette.isEmpty()) return Qt::black;
    const qsizetype index = colorRef & 0xFFFF;
    return QColor(palette[index < palette.size() ? index : 0]);
}

QPen Player::devicePen() const {
    const Pen& pen = st_.pen;
    const int kind = pen.style & 0x0F;
    if (kind == kPsNull || st_.rop2 == 11) return Qt::NoPen;
    const double longest = std::max(frame_.image.width(), frame_.image.height());
    // Width 0 is one device pixel under any mapping; other widths scale but never go below one.
    const double width =
        pen.width == 0 ? 1.0 : qBound(1.0, pen.width * std::abs(xf().m11()), 4 * longest + 1);
    QColor color = this->color(pen.color);
    if (st_.rop2 == 1) color = Qt::black;
    if (st_.rop2 == 16) color = Qt::white;
    QPen out(color, width);
    const int cap = pen.style & 0x0F00, join = pen.style & 0xF000;
    out.setCapStyle(cap == 0x0100 ? Qt::SquareCap : cap == 0x0200 ? Qt::FlatCap : Qt::RoundCap);
    out.setJoinStyle(join == 0x1000   ? Qt::BevelJoin
                     : join == 0x2000 ? Qt::MiterJoin
                                      : Qt::RoundJoin);
    // Dashes and dots only on pens of one device pixel, with GDI's lengths in pixels; GDI draws
    // wider styled pens solid.
    if (thinPen(width)) {
        switch (kind) {
            case kPsDash: out.setDashPattern({18, 6}); break;
            case kPsDot: out.setDashPattern({3, 3}); break;
            case kPsDashDot: out.setDashPattern({9, 6, 3, 6}); break;
            case kPsDashDotDot: out.setDashPattern({9, 3, 3, 3, 3, 3}); break;
            default: break;
        }
        if (kind >= kPsDash && kind <= kPsDashDotDot) out.setCapStyle(Qt::FlatCap);
    }
    return out;
}

QBrush Player::deviceBrush() const {
    const Brush& b = st_.brush;
    if (b.style == kBsNull || st_.rop2 == 11) return Qt::NoBrush;
    QColor color = st_.rop2 == 1    ? QColor(Qt::black)
                   : st_.rop2 == 16 ? QColor(Qt::white)
                                    : this->color(b.color);
    if (b.style == kBsHatched && b.hatch <= 5) {
        static constexpr Qt::BrushStyle kHatch[] = {Qt::HorPattern,   Qt::VerPattern,
                                                    Qt::FDiagPattern, Qt::BDiagPattern,
                                                    Qt::CrossPattern, Qt::DiagCrossPattern};
        QBrush out(color, kHatch[b.hatch]);
        out.setTransform(QTransform::fromScale(frame_.pixelScale, frame_.pixelScale));
        return out;
    }
    if (!b.pattern.isNull() && st_.rop2 != 1 && st_.rop2 != 16) {
        QBrush out(b.pattern);
        out.setTransform(QTransform::fromScale(frame_.pixelScale, frame_.pixelScale));
        return out;
    }
    return color;
}

Player::StrokeGrid Player::strokeGrid() const {
    const QPen pen = devicePen();
    StrokeGrid grid;
    if (pen.style() == Qt::NoPen || int(std::lround(pen.widthF())) % 2 == 0) return grid;
    grid.inset = 0.5;
    grid.snap = thinPen(pen.widthF());
    return grid;
}

bool Player::beginDraw(const QRectF& imageBounds) {
    ++drawCount_;
    QRectF r = imageBounds.normalized();
    if (st_.clip) r = r.intersected(QRectF(st_.clip->boundingRect()));
    if (r.isValid()) bounds_ = bounds_.isNull() ? r : bounds_.united(r);
    if (!painter_ || st_.rop2 == 11) return false;
    if (st_.clip)
        painter_->setClipRegion(*st_.clip);
    else
        painter_->setClipping(false);
    painter_->setTransform(QTransform());
    painter_->setRenderHint(QPainter::Antialiasing);
    return true;
}

void Player::setComposition(bool forBitmap, uint32_t) {
    using M = QPainter::CompositionMode;
    static constexpr M kRop2[] = {
        M::CompositionMode_SourceOver,       M::RasterOp_NotSourceAndNotDestination,
        M::RasterOp_NotSourceAndDestination, M::RasterOp_NotSource,
        M::RasterOp_SourceAndNotDestination, M::RasterOp_NotDestination,
        M::RasterOp_SourceXorDestination,    M::RasterOp_NotSourceOrNotDestination,
        M::RasterOp_SourceAndDestination,    M::RasterOp_NotSourceXorDestination,
        M::CompositionMode_SourceOver,       M::RasterOp_NotSourceOrDestination,
        M::CompositionMode_SourceOver,       M::RasterOp_SourceOrNotDestination,
        M::RasterOp_SourceOrDestination,     M::CompositionMode_SourceOver};
    painter_->setCompositionMode(forBitmap ? M::CompositionMode_SourceOver
                                           : kRop2[qBound(1, st_.rop2, 16) - 1]);
}

// Qt's antialiasing rasterizer slows down with the square of the edges crossing each scanline, so
// busy paths are drawn aliased, and absurd ones (seconds of work even so) are left out.
bool Player::prepareRaster(const QPainterPath& path, double penWidth) {
    constexpr double kMaxCrossings = 4e6, kSmoothPerLine = 24, kSmoothWork = 2e7;
    double crossings = 0, top = 0, bottom = 0;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (i == 0) top = bottom = e.y;
        if (i > 0 && !e.isMoveTo()) crossings += std::abs(e.y - path.elementAt(i - 1).y) + penWidth;
        top = std::min(top, e.y), bottom = std::max(bottom, e.y);
    }
    const double lines = std::max(
        1.0, std::min(bottom + penWidth, frame_.image.height()) - std::max(top - penWidth, 0.0));
    const double perLine = crossings / lines;
    if (crossings > kMaxCrossings) return false;
    painter_->setRenderHint(QPainter::Antialiasing,
                            perLine <= kSmoothPerLine && lines * perLine * perLine <= kSmoothWork);
    return true;
}

void Player::paintPath(const QPainterPath& fillPath, const QPainterPath& strokePath) {
    QPen pen = devicePen();
    const QBrush brush = fillPath.isEmpty() ? QBrush() : deviceBrush();
    QRectF bounds;
    if (brush.style() != Qt::NoBrush) bounds = fillPath.boundingRect();
    if (pen.style() != Qt::NoPen && !strokePath.isEmpty()) {
        const double half = pen.widthF() / 2;
        const QRectF s = strokePath.boundingRect().adjusted(-half, -half, half, half);
        bounds = bounds.isNull() ? s : bounds.united(s);
    }
    if (bounds.isNull() || !beginDraw(bounds)) return;
    setComposition(false);
    if (brush.style() != Qt::NoBrush) {
        QPainterPath fill = fillPath;
        fill.setFillRule(st_.windingFill ? Qt::WindingFill : Qt::OddEvenFill);
        if (prepareRaster(fill, 0)) {
            if (st_.brush.style == kBsHatched && st_.bkOpaque)
                painter_->fillPath(fill, color(st_.bkColor));
            painter_->fillPath(fill, brush);
        }
    }
    if (pen.style() == Qt::NoPen || strokePath.isEmpty() || outOfTime() ||
        !prepareRaster(strokePath, 2 * pen.widthF()))
        return;
    if (pen.style() ==
        Qt::CustomDashLine) {  // millions of dashes take the dasher minutes: draw those solid
        double length = 0, period = 0;
        for (int i = 1; i < strokePath.elementCount(); ++i)
            if (!strokePath.elementAt(i).isMoveTo())
                length += QLineF(strokePath.elementAt(i - 1), strokePath.elementAt(i)).length();
        for (double d : pen.dashPattern()) period += d * pen.widthF();
        if (length > 1e5 * period) pen.setStyle(Qt::SolidLine);
    }
    strokeInPieces(strokePath, pen);
}

bool Player::outOfTime() {
    if (!timedOut_ && deadline_.hasExpired()) timedOut_ = true;
    return timedOut_;
}

// A long outline is stroked a stretch at a time, so the budget can end it part way. Dashes
// carry on across the stretches; outlines with curves (bounded in length) go in one piece.
void Player::strokeInPieces(const QPainterPath& path, QPen pen) {
    constexpr int kPieceSegments = 512;
    constexpr double kPieceDashPeriods = 2000;
    bool straight = true;
    for (int i = 0; i < path.elementCount() && straight; ++i)
        straight = path.elementAt(i).isMoveTo() || path.elementAt(i).isLineTo();
    const bool dashed = pen.style() == Qt::CustomDashLine;
    double period = 0;
    for (double d : dashed ? pen.dashPattern() : QList<qreal>()) period += d * pen.widthF();
    const double pieceLength = dashed && period > 0 ? kPieceDashPeriods * period : 0;
    if (!straight || (path.elementCount() <= kPieceSegments && pieceLength == 0)) {
        painter_->strokePath(path, pen);
        return;
    }
    QPainterPath piece;
    int segments = 0;
    double pieceRun = 0, run = 0;  // lengths drawn in this piece and along the whole outline
    const auto flush = [&]() {
        if (segments > 0) painter_->strokePath(piece, pen);
        if (dashed && pen.widthF() > 0) pen.setDashOffset(run / pen.widthF());
        const QPointF at = piece.currentPosition();
        piece = QPainterPath();
        piece.moveTo(at);
        segments = 0, pieceRun = 0;
        return !outOfTime();
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            piece.moveTo(e);
            if (dashed) {
                if (!flush()) return;
                run = 0;
                pen.setDashOffset(0);
            }
            continue;
        }
        QPointF from = piece.currentPosition();
        const QPointF to = e;
        // A dashed line longer than a piece is cut along its length; it stays straight.
        while (pieceLength > 0 && QLineF(from, to).length() > pieceLength - pieceRun) {
            const QPointF cut =
                QLineF(from, to).pointAt((pieceLength - pieceRun) / QLineF(from, to).length());
            piece.lineTo(cut);
            ++segments;
            run += pieceLength - pieceRun;
            if (!flush()) return;
            from = cut;
        }
        piece.lineTo(to);
        ++segments;
        pieceRun += QLineF(from, to).length(), run += QLineF(from, to).length();
        if (segments >= kPieceSegments && !flush()) return;
    }
    if (segments > 0) painter_->strokePath(piece, pen);
}

void Player::fillRegion(const QRegion& region, const QBrush& brush) {
    if (region.isEmpty() || brush.style() == Qt::NoBrush ||
        !beginDraw(QRectF(region.boundingRect())))
        return;
    setComposition(false);
    QPainterPath path;
    path.addRegion(region);
    if (prepareRaster(path, 0)) painter_->fillPath(path, brush);
}

}  // namespace imaging::wmf
