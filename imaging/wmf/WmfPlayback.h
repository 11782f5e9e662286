#pragma once
// Replays metafile records onto a QPainter, or only measures what they would draw.
#include <QDeadlineTimer>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "imaging/wmf/WmfHeader.h"
#include "imaging/wmf/WmfObjects.h"
#include "imaging/wmf/WmfReader.h"

namespace imaging::wmf {

// Device pixels from a scaled logical length. The scale may be infinite (a window extent
// shrunk to almost nothing), and converting that to int is undefined.
inline int DevicePixels(double v) {
    constexpr double kLimit = 1 << 26;
    return std::isnan(v) ? 0 : int(std::round(std::clamp(v, -kLimit, kLimit)));
}

// The device context: everything SaveDC keeps.
struct DcState {
    Pen pen;
    Brush brush;
    Font font;
    std::shared_ptr<Palette> palette;            // none: the default palette
    uint32_t textColor = 0, bkColor = 0xFFFFFF;  // COLORREFs
    bool bkOpaque = true;
    bool windingFill = false;
    int rop2 = 13;  // R2_COPYPEN
    uint16_t textAlign = 0;
    int charExtra = 0;
    int mapMode = 1;  // MM_TEXT
    QPointF windowOrg{0, 0}, windowExt{1, 1}, viewportOrg{0, 0}, viewportExt{1, 1};
    QPointF position;             // current position, logical units
    std::optional<QRegion> clip;  // image pixels; none means unclipped
};

// How logical units reach the image.
struct Frame {
    // true: the window (as the records set it) fills the image, like playing into a viewport;
    // false: the mapping mode gives pixels at 96 dpi, and `reference` takes those to the image.
    bool fitWindow = false;
    QTransform reference;
    QSizeF image;
    double pixelScale = 1;  // image pixels per 1/96 inch
};

class Player {
public:
    Player(const QByteArray& bytes, const Header& header, const Frame& frame, QPainter* painter,
           QDeadlineTimer deadline);

    void setWindow(QPointF origin, QPointF extent) {
        st_.windowOrg = origin, st_.windowExt = extent;
    }
    void run();

    RecordStream::Stop stop() const { return stop_; }
    bool timedOut() const { return timedOut_; }
    int drawCount() const { return drawCount_; }
    QRectF drawnBounds() const { return bounds_; }  // in image pixels
    int firstMapMode() const { return firstMapMode_; }
    std::optional<QPointF> firstWindowExt() const { return firstWindowExt_; }
    std::optional<QPointF> firstViewportExt() const { return firstViewportExt_; }

private:
    void dispatch(const Record& r);
    bool stateRecord(uint16_t fn, const Params& p);   // WmfPlayback.cpp
    bool objectRecord(uint16_t fn, const Params& p);  // WmfPlayback.cpp
    bool shapeRecord(uint16_t fn, const Params& p);   // WmfShapes.cpp
    bool textRecord(uint16_t fn, const Params& p);    // WmfText.cpp
    bool bitmapRecord(uint16_t fn, const Params& p);  // WmfBitmaps.cpp

    void drawText(QPointF at, const QByteArray& text, const std::vector<QPoint>& dx,
                  uint16_t options, std::optional<QRectF> box);
    void drawDib(QRectF dest, QRectF source, const Params& dib, bool paletteIndices, uint32_t rop);
    void patternBlt(QRectF logicalRect, uint32_t rop);

    // A COLORREF as drawn: palette indices through the selected palette.
    QColor color(uint32_t colorRef) const;
    const QList<QRgb>& paletteColors() const;

    // Logical units to image pixels.
    QTransform xf() const;
    QRect deviceRect(const QRectF& logical) const;
    QRegion deviceRegion(const Region& region) const;
    QPen devicePen() const;
    QBrush deviceBrush() const;
    // Where strokes sit on the pixel grid: an odd device width is centred on pixel centres,
    // and a one-pixel pen is snapped to them, as GDI rounds to whole pixels before it draws
    // (otherwise the line covers two half-lit pixels).
    struct StrokeGrid {
        double inset = 0;
        bool snap = false;
        QPointF operator()(QPointF p) const {
            return snap ? QPointF(std::round(p.x()) + 0.5, std::round(p.y()) + 0.5)
                        : p + QPointF(inset, inset);
        }
        QPolygonF operator()(const QPolygonF& poly) const {
            QPolygonF out(poly.size());
            for (qsizetype i = 0; i < poly.size(); ++i) out[i] = (*this)(poly[i]);
            return out;
        }
    };
    StrokeGrid strokeGrid() const;
    static bool thinPen(double deviceWidth) { return std::lround(deviceWidth) <= 1; }

    // Every drawing goes through here: counts it, measures it, clips and paints it unless
    // measuring.
    bool beginDraw(const QRectF& imageBounds);
    void paintPath(const QPainterPath& fillPath, const QPainterPath& strokePath);
    void strokeInPieces(const QPainterPath& path, QPen pen);
    bool outOfTime();  // the budget is spent: draw nothing more
    bool prepareRaster(const QPainterPath& imagePath, double penWidth);
    void fillRegion(const QRegion& region, const QBrush& brush);
    void setComposition(bool forBitmap, uint32_t rop = 0);

    QPainterPath logicalToImage(const QPainterPath& logical) const { return xf().map(logical); }

    const QByteArray& bytes_;
    Header header_;
    Frame frame_;
    QPainter* painter_;
    QDeadlineTimer deadline_;
    DcState st_;
    std::vector<DcState> saved_;
    ObjectTable objects_;
    RecordStream::Stop stop_ = RecordStream::Stop::None;
    bool timedOut_ = false;
    int drawCount_ = 0;
    QRectF bounds_;
    int firstMapMode_ = 0;
    std::optional<QPointF> firstWindowExt_, firstViewportExt_;
};

}  // namespace imaging::wmf
