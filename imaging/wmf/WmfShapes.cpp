// Lines, polygons, rectangles, ellipses, arcs and regions.
#include <cmath>
#include <numbers>

#include "imaging/wmf/WmfPlayback.h"
#include "imaging/wmf/WmfRecords.h"

namespace imaging::wmf {
namespace {

QPolygonF Points(const Params& p, qsizetype firstWord, qsizetype count) {
    count = qBound<qsizetype>(0, count, (p.words() - firstWord) / 2);
    QPolygonF poly;
    poly.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        poly.append(QPointF(p.i16(firstWord + 2 * i), p.i16(firstWord + 2 * i + 1)));
    return poly;
}

// Rectangle parameters come last-first: bottom, right, top, left.
QRectF Box(const Params& p, qsizetype firstWord) {
    return QRectF(QPointF(p.i16(firstWord + 3), p.i16(firstWord + 2)),
                  QPointF(p.i16(firstWord + 1), p.i16(firstWord)));
}

// The parametric angle (degrees) Qt's arcTo uses for the ray from the centre through `at`.
double ArcAngle(const QRectF& r, QPointF at) {
    const QPointF c = r.center();
    return std::atan2(-(at.y() - c.y()) / (r.height() / 2), (at.x() - c.x()) / (r.width() / 2)) *
           180 / std::numbers::pi;
}

}  // namespace

bool Player::shapeRecord(uint16_t fn, const Params& p) {
    const QTransform t = xf();
    const StrokeGrid grid = strokeGrid();
    switch (fn) {
        case kLineTo: {
            const QPointF to(p.i16(1), p.i16(0));
            QPainterPath line;
            line.moveTo(grid(t.map(st_.position)));
            line.lineTo(grid(t.map(to)));
            st_.position = to;
            paintPath({}, line);
            return true;
        }
        case kPolyline:
        case kPolygon: {
            const QPolygonF poly = t.map(Points(p, 1, p.u16(0)));
            if (poly.size() < 2) return true;
            QPainterPath fill, stroke;
            stroke.addPolygon(grid(poly));
            if (fn == kPolygon) {
                fill.addPolygon(poly);
                fill.closeSubpath();
                stroke.closeSubpath();
            }
            paintPath(fill, stroke);
            return true;
        }
        case kPolyPolygon: {
            const qsizetype polys = qMin<qsizetype>(p.u16(0), p.words() - 1);
            qsizetype word = 1 + polys;
            QPainterPath fill, stroke;
            for (qsizetype i = 0; i < polys && word < p.words(); ++i) {
                const qsizetype n = p.u16(1 + i);
                const QPolygonF poly = t.map(Points(p, word, n));
                word += 2 * n;
                if (poly.size() < 2) continue;
                fill.addPolygon(poly);
                fill.closeSubpath();
                stroke.addPolygon(grid(poly));
                stroke.closeSubpath();
            }
            paintPath(fill, stroke);
            return true;
        }
        case kRectangle:
        case kEllipse:
        case kRoundRect: {
            if (!p.has(fn == kRoundRect ? 6 : 4)) return true;
            const QRectF r = t.mapRect(Box(p, fn == kRoundRect ? 2 : 0)).normalized();
            double edge = grid.inset;
            if ((st_.pen.style & 0x0F) == kPsInsideFrame) edge = devicePen().widthF() / 2;
            QRectF inner = r.adjusted(edge, edge, -edge, -edge);
            if (grid.snap)
                inner = QRectF(QPointF(std::round(r.left()), std::round(r.top())),
                               QPointF(std::round(r.right()), std::round(r.bottom())))
                            .adjusted(0.5, 0.5, -0.5, -0.5);
            QPainterPath fill, stroke;
            if (fn == kRectangle) {
                fill.addRect(r), stroke.addRect(inner);
            } else if (fn == kEllipse) {
                fill.addEllipse(r), stroke.addEllipse(inner);
            } else {
                const double rx = std::abs(p.i16(1) * t.m11()) / 2,
                             ry = std::abs(p.i16(0) * t.m22()) / 2;
                fill.addRoundedRect(r, rx, ry), stroke.addRoundedRect(inner, rx, ry);
            }
            paintPath(fill, stroke);
            return true;
        }
        case kArc:
        case kPie:
        case kChord: {
            if (!p.has(8)) return true;
            const QRectF r = t.mapRect(Box(p, 4)).normalized();
            if (r.width() <= 0 || r.height() <= 0) return true;
            const double from = ArcAngle(r, t.map(QPointF(p.i16(3), p.i16(2))));
            double sweep = ArcAngle(r, t.map(QPointF(p.i16(1), p.i16(0)))) - from;
            while (sweep <= 0) sweep += 360;  // counter-clockwise; equal ends make a full turn
            QPainterPath path;
            if (fn == kPie)
                path.moveTo(r.center());
            else
                path.arcMoveTo(r, from);
            path.arcTo(r, from, sweep);
            if (fn == kArc) {
                paintPath({}, path);
            } else {
                path.closeSubpath();
                paintPath(path, path);
            }
            return true;
        }
        case kSetPixel: {
            const QPointF at = t.map(QPointF(p.i16(3), p.i16(2)));
            const double size = std::max(1.0, frame_.pixelScale);
            if (!beginDraw(QRectF(at, QSizeF(size, size)))) return true;
            painter_->fillRect(QRectF(at, QSizeF(size, size)), color(p.u32(0)));
            return true;
        }
        case kFillRegion:
        case kPaintRegion:
        case kFrameRegion:
        case kInvertRegion: {
            const Object* o = objects_.get(p.u16(0));
            const Region* region = o ? std::get_if<Region>(o) : nullptr;
            if (!region) return true;
            QRegion area = deviceRegion(*region);
            const DcState keep = st_;
            if (fn == kFillRegion || fn == kFrameRegion) {
                const Object* b = objects_.get(p.u16(1));
                if (!b || !std::holds_alternative<Brush>(*b)) return true;
                st_.brush = std::get<Brush>(*b);
            }
            if (fn == kFrameRegion) {
                const int w = qMax(1, DevicePixels(std::trunc(std::abs(p.i16(3) * t.m11())))),
                          h = qMax(1, DevicePixels(std::trunc(std::abs(p.i16(2) * t.m22()))));
                const QRegion core = area.translated(w, 0) & area.translated(-w, 0) &
                                     area.translated(0, h) & area.translated(0, -h);
                area -= core;
            }
            if (fn == kInvertRegion) st_.rop2 = 6;  // R2_NOT
            fillRegion(area, deviceBrush());
            st_ = keep;
            return true;
        }
        default: return false;
    }
}

}  // namespace imaging::wmf
