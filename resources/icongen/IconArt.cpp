#include "IconArt.h"

#include <algorithm>
#include <cmath>

namespace icongen {

Paint Paint::Solid(const QColor& c, double opacity) {
    Paint p;
    p.top = c;
    p.bottom = c;
    p.opacity = opacity;
    return p;
}

Paint Paint::Vertical(const QColor& top, const QColor& bottom, double y0, double y1) {
    Paint p;
    p.top = top;
    p.bottom = bottom;
    p.y0 = y0;
    p.y1 = y1;
    return p;
}

namespace {

bool InRect(const QRectF& r, double x, double y) {
    return x >= r.left() && x < r.left() + r.width() && y >= r.top() && y < r.top() + r.height();
}

}  // namespace

bool Shape::Contains(double x, double y) const {
    switch (kind) {
        case Kind::Rect: return InRect(rect, x, y);
        case Kind::RoundRect: {
            if (!InRect(rect, x, y)) return false;
            const double cx = std::clamp(x, rect.left() + radius, rect.right() - radius);
            const double cy = std::clamp(y, rect.top() + radius, rect.bottom() - radius);
            const double dx = x - cx;
            const double dy = y - cy;
            return dx * dx + dy * dy <= radius * radius;
        }
        case Kind::Ellipse: {
            const double rx = rect.width() / 2;
            const double ry = rect.height() / 2;
            const double dx = (x - rect.center().x()) / rx;
            const double dy = (y - rect.center().y()) / ry;
            return dx * dx + dy * dy <= 1.0;
        }
        case Kind::Polygon: {
            bool inside = false;
            const qsizetype n = polygon.size();
            for (qsizetype i = 0, j = n - 1; i < n; j = i++) {
                const QPointF& a = polygon[i];
                const QPointF& b = polygon[j];
                if ((a.y() > y) != (b.y() > y) &&
                    x < (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()) + a.x()) {
                    inside = !inside;
                }
            }
            return inside;
        }
    }
    return false;
}

namespace {

int Px(double v) { return static_cast<int>(std::lround(v)); }

Shape RectShape(const QRectF& r) {
    Shape s;
    s.kind = Shape::Kind::Rect;
    s.rect = r;
    return s;
}

Shape RoundShape(const QRectF& r, double radius) {
    if (radius <= 0) return RectShape(r);
    Shape s;
    s.kind = Shape::Kind::RoundRect;
    s.rect = r;
    s.radius = radius;
    return s;
}

Shape Circle(double cx, double cy, double rx, double ry) {
    Shape s;
    s.kind = Shape::Kind::Ellipse;
    s.rect = QRectF(cx - rx, cy - ry, 2 * rx, 2 * ry);
    return s;
}

void Add(Scene& scene, Shape shape, Paint paint, std::optional<QRectF> clip = std::nullopt) {
    scene.layers.push_back(Layer{std::move(shape), paint, clip});
}

// Blue sky, sun and green hills.
void AddDayLandscape(Scene& scene, const QRectF& p) {
    const double x = p.x(), y = p.y(), w = p.width(), h = p.height();
    const double sun = std::max(0.8, 0.13 * std::min(w, h));
    Add(scene, RectShape(p), Paint::Vertical(QColor(0x4f9be0), QColor(0xd3ecfb), y, y + 0.7 * h),
        p);
    Add(scene, Circle(x + 0.70 * w, y + 0.24 * h, sun, sun), Paint::Solid(QColor(0xffd23f)), p);
    Add(scene, Circle(x + 0.85 * w, y + 0.80 * h, 0.75 * w, 0.28 * h),
        Paint::Solid(QColor(0x7cc46a)), p);
    Add(scene, Circle(x + 0.15 * w, y + 0.97 * h, 0.95 * w, 0.32 * h),
        Paint::Solid(QColor(0x3f9a3c)), p);
}

// Evening sky, mountains and a lake: clearly another picture than the day landscape.
void AddDuskLandscape(Scene& scene, const QRectF& p) {
    const double x = p.x(), y = p.y(), w = p.width(), h = p.height();
    const double sun = std::max(0.8, 0.16 * std::min(w, h));
    Add(scene, RectShape(p), Paint::Vertical(QColor(0xf07a4a), QColor(0xffd59a), y, y + 0.65 * h),
        p);
    Add(scene, Circle(x + 0.32 * w, y + 0.42 * h, sun, sun), Paint::Solid(QColor(0xfff1c1)), p);
    Shape mountains;
    mountains.kind = Shape::Kind::Polygon;
    mountains.polygon =
        QPolygonF({QPointF(x, y + h), QPointF(x, y + 0.62 * h), QPointF(x + 0.38 * w, y + 0.36 * h),
                   QPointF(x + 0.62 * w, y + 0.58 * h), QPointF(x + 0.80 * w, y + 0.46 * h),
                   QPointF(x + w, y + 0.60 * h), QPointF(x + w, y + h)});
    Add(scene, mountains, Paint::Solid(QColor(0x5b4b86)), p);
    const QRectF lake(x, y + 0.78 * h, w, 0.22 * h);
    Add(scene, RectShape(lake),
        Paint::Vertical(QColor(0x34406e), QColor(0x202a50), lake.top(), lake.bottom()), p);
}

}  // namespace

Scene ProgramScene(int s) {
    Scene scene;
    scene.size = s;
    // Whole pixels for the frames keep their edges crisp at 16 and 24 pixels.
    const int margin = std::max(1, Px(s / 24.0));
    const int minGap = std::max(1, Px(s / 16.0));
    const int w = (s - 2 * margin - minGap) / 2;
    const int gap = s - 2 * margin - 2 * w;
    const int h = std::min(s - 2 * margin, Px(w * 1.6));
    const int top = (s - h) / 2;
    const int line = std::max(1, Px(s / 48.0));
    const int mat = s <= 16 ? 0 : std::max(1, Px(s / 24.0));
    const double radius = s >= 48 ? line * 1.5 : 0.0;

    for (int i = 0; i < 2; ++i) {
        const QRectF frame(margin + i * (w + gap), top, w, h);
        if (s >= 32) {
            Add(scene, RoundShape(frame.translated(line, line), radius),
                Paint::Solid(Qt::black, 0.3));
        }
        Add(scene, RoundShape(frame, radius), Paint::Solid(QColor(0x27303b)));
        Add(scene, RectShape(frame.adjusted(line, line, -line, -line)),
            Paint::Solid(QColor(0xf7f4ec)));
        const int inset = line + mat;
        const QRectF picture = frame.adjusted(inset, inset, -inset, -inset);
        if (i == 0) {
            AddDayLandscape(scene, picture);
        } else {
            AddDuskLandscape(scene, picture);
        }
    }
    return scene;
}

Scene ViewerScene(int s) {
    Scene scene;
    scene.size = s;
    const int margin = s <= 16 ? 0 : std::max(1, Px(s / 32.0));
    const int sw = s - 2 * margin;
    const int sh = Px(sw * 0.8);
    const int top = (s - sh) / 2;
    const int bezel = std::max(1, Px(s / 48.0));
    const double radius = s >= 32 ? Px(s / 24.0) : 0.0;
    const QRectF screen(margin, top, sw, sh);
    Add(scene, RoundShape(screen, radius), Paint::Solid(QColor(0x6b7280)));
    const QRectF inner = screen.adjusted(bezel, bezel, -bezel, -bezel);
    Add(scene, RectShape(inner), Paint::Solid(Qt::black));
    // A picture fitted into the black screen with a margin, as the viewer shows it.
    const int pw = Px(inner.width() * 0.64);
    const int ph = Px(pw * 0.75);
    const int px = (s - pw) / 2;
    const int py = Px(inner.top()) + (Px(inner.height()) - ph) / 2;
    AddDayLandscape(scene, QRectF(px, py, pw, ph));
    return scene;
}

namespace {

struct Rgba {
    double r = 0, g = 0, b = 0, a = 0;  // premultiplied
};

}  // namespace

QImage Render(const Scene& scene) {
    const int s = scene.size;
    const int ss = s <= 64 ? 16 : 8;  // samples per pixel along each axis
    QImage out(s, s, QImage::Format_ARGB32);
    for (int py = 0; py < s; ++py) {
        for (int px = 0; px < s; ++px) {
            Rgba sum;
            for (int sy = 0; sy < ss; ++sy) {
                for (int sx = 0; sx < ss; ++sx) {
                    const double x = px + (sx + 0.5) / ss;
                    const double y = py + (sy + 0.5) / ss;
                    Rgba c;
                    for (const Layer& layer : scene.layers) {
                        if (layer.clip && !InRect(*layer.clip, x, y)) continue;
                        if (!layer.shape.Contains(x, y)) continue;
                        const Paint& p = layer.paint;
                        const double t =
                            p.y1 > p.y0 ? std::clamp((y - p.y0) / (p.y1 - p.y0), 0.0, 1.0) : 0.0;
                        const double a = p.opacity;
                        const double r = p.top.red() + (p.bottom.red() - p.top.red()) * t;
                        const double g = p.top.green() + (p.bottom.green() - p.top.green()) * t;
                        const double b = p.top.blue() + (p.bottom.blue() - p.top.blue()) * t;
                        c.r = r * a + c.r * (1 - a);
                        c.g = g * a + c.g * (1 - a);
                        c.b = b * a + c.b * (1 - a);
                        c.a = 255 * a + c.a * (1 - a);
                    }
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                    sum.a += c.a;
                }
            }
            const int alpha = std::clamp(Px(sum.a / (ss * ss)), 0, 255);
            if (alpha == 0) {
                out.setPixel(px, py, 0);
                continue;
            }
            const double k = 255.0 / sum.a;  // un-premultiply
            out.setPixel(px, py,
                         qRgba(std::clamp(Px(sum.r * k), 0, 255), std::clamp(Px(sum.g * k), 0, 255),
                               std::clamp(Px(sum.b * k), 0, 255), alpha));
        }
    }
    return out;
}

namespace {

QString Num(double v) { return QString::number(v, 'g', 8); }

QString RectAttrs(const QRectF& r) {
    return QStringLiteral("x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"")
        .arg(Num(r.x()), Num(r.y()), Num(r.width()), Num(r.height()));
}

}  // namespace

QString ToSvg(const Scene& scene) {
    QString defs;
    QString body;
    std::vector<QRectF> clips;
    int gradients = 0;
    for (const Layer& layer : scene.layers) {
        const Paint& p = layer.paint;
        QString fill;
        if (p.top == p.bottom) {
            fill = QStringLiteral("fill=\"%1\"").arg(p.top.name());
        } else {
            const QString id = QStringLiteral("g%1").arg(++gradients);
            defs += QStringLiteral(
                        "    <linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" "
                        "y1=\"%2\" x2=\"0\" y2=\"%3\">\n"
                        "      <stop offset=\"0\" stop-color=\"%4\"/>\n"
                        "      <stop offset=\"1\" stop-color=\"%5\"/>\n"
                        "    </linearGradient>\n")
                        .arg(id, Num(p.y0), Num(p.y1), p.top.name(), p.bottom.name());
            fill = QStringLiteral("fill=\"url(#%1)\"").arg(id);
        }
        if (p.opacity < 1.0) fill += QStringLiteral(" fill-opacity=\"%1\"").arg(Num(p.opacity));
        if (layer.clip) {
            auto it = std::find(clips.begin(), clips.end(), *layer.clip);
            if (it == clips.end()) {
                clips.push_back(*layer.clip);
                it = clips.end() - 1;
                defs += QStringLiteral("    <clipPath id=\"c%1\"><rect %2/></clipPath>\n")
                            .arg(clips.size())
                            .arg(RectAttrs(*layer.clip));
            }
            fill += QStringLiteral(" clip-path=\"url(#c%1)\"").arg(it - clips.begin() + 1);
        }
        const Shape& sh = layer.shape;
        switch (sh.kind) {
            case Shape::Kind::Rect:
                body += QStringLiteral("  <rect %1 %2/>\n").arg(RectAttrs(sh.rect), fill);
                break;
            case Shape::Kind::RoundRect:
                body += QStringLiteral("  <rect %1 rx=\"%2\" %3/>\n")
                            .arg(RectAttrs(sh.rect), Num(sh.radius), fill);
                break;
            case Shape::Kind::Ellipse:
                body += QStringLiteral("  <ellipse cx=\"%1\" cy=\"%2\" rx=\"%3\" ry=\"%4\" %5/>\n")
                            .arg(Num(sh.rect.center().x()), Num(sh.rect.center().y()),
                                 Num(sh.rect.width() / 2), Num(sh.rect.height() / 2), fill);
                break;
            case Shape::Kind::Polygon: {
                QStringList points;
                for (const QPointF& pt : sh.polygon) points << Num(pt.x()) + ',' + Num(pt.y());
                body +=
                    QStringLiteral("  <polygon points=\"%1\" %2/>\n").arg(points.join(' '), fill);
                break;
            }
        }
    }
    const QString size = QString::number(scene.size);
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
               "viewBox=\"0 0 %1 %1\">\n"
               "  <defs>\n%2  </defs>\n%3</svg>\n")
        .arg(size, defs, body);
}

}  // namespace icongen
