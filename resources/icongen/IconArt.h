#pragma once
// The artwork of both icons as a list of filled shapes, so that one description yields the
// bitmaps at every size and the scalable SVG alike.
#include <QColor>
#include <QImage>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

namespace icongen {

struct Paint {
    QColor top;
    QColor bottom;    // same as top for a solid fill
    double y0 = 0.0;  // the vertical gradient runs from y0 (top colour) to y1 (bottom colour)
    double y1 = 1.0;
    double opacity = 1.0;

    static Paint Solid(const QColor& c, double opacity = 1.0);
    static Paint Vertical(const QColor& top, const QColor& bottom, double y0, double y1);
};

struct Shape {
    enum class Kind { Rect, RoundRect, Ellipse, Polygon };
    Kind kind = Kind::Rect;
    QRectF rect;        // Rect, RoundRect, Ellipse (bounding box)
    double radius = 0;  // RoundRect
    QPolygonF polygon;  // Polygon

    bool Contains(double x, double y) const;
};

struct Layer {
    Shape shape;
    Paint paint;
    std::optional<QRectF> clip;
};

struct Scene {
    int size = 0;  // square, in pixels; shapes use pixel coordinates
    std::vector<Layer> layers;
};

// Two framed pictures side by side: the program icon.
Scene ProgramScene(int size);
// One picture on a black screen: the viewer's icon.
Scene ViewerScene(int size);

// Supersampled rendering; plain arithmetic so that the output is the same on every machine.
QImage Render(const Scene& scene);
QString ToSvg(const Scene& scene);

}  // namespace icongen
