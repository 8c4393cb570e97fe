#pragma once

#include <QByteArray>
#include <QColor>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QRectF>
#include <QTransform>

#include <vector>

namespace Vector {

// One line drawing as a painter was asked to draw it, in the painter's
// device coordinates (its transform applied).
struct TShape
{
    QPainterPath Path;
    QColor Colour;
    bool Closed = false; // a fill's outline: every subpath joins its start
    // An ellipse is kept exactly too, so that it can be flattened against the
    // true curve rather than Path's cubic curves (off by up to 0.03 % of the radius).
    bool Ellipse = false;
    QRectF EllipseRect;
    QTransform EllipseTransform;
};

// What a drawing consists of.
struct TRecording
{
    std::vector<TShape> Shapes;
    QRectF Page; // the SVG's viewBox, or empty
};

// A paint engine that draws nothing and keeps what it is asked to draw: every
// feature declared, so the painter hands over paths rather than pictures. A
// stroke takes its pen's colour, a fill without a stroke its outline in the
// brush's colour; the stroke of a shape just filled replaces its fill.
// Coordinates are kept finite and within +-1e9; NaN and infinity are dropped.
class TRecordingEngine : public QPaintEngine
{
public:
    TRecordingEngine();

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& state) override;
    Type type() const override { return QPaintEngine::User; }

    void drawPath(const QPainterPath& path) override;
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override;
    void drawLines(const QLineF* lines, int count) override;
    void drawRects(const QRectF* rects, int count) override;
    void drawEllipse(const QRectF& rect) override;
    void drawPoints(const QPointF* points, int count) override;
    // Pictures are no lines: nothing of them is kept.
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawImage(const QRectF&, const QImage&, const QRectF&, Qt::ImageConversionFlags) override {}
    void drawTiledPixmap(const QRectF&, const QPixmap&, const QPointF&) override {}

    TRecording Recording;
    // Ends recording when this many path elements are kept, so memory stays bounded.
    qsizetype MaxElements = 4'000'000;

private:
    void Record(const QPainterPath& path, bool closed, const QRectF* ellipse = nullptr);

    QTransform FTransform;
    QPen FPen;
    QBrush FBrush;
    qreal FOpacity = 1;
    qsizetype FElements = 0;
};

// The surface the engine records from; its size only matters to drawings
// given in percent.
class TRecordingDevice : public QPaintDevice
{
public:
    explicit TRecordingDevice(QSizeF size = QSizeF(1000, 1000));
    ~TRecordingDevice() override;
    QPaintEngine* paintEngine() const override { return &FEngine; }
    TRecordingEngine& Engine() { return FEngine; }

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    mutable TRecordingEngine FEngine;
    QSizeF FSize;
};

// Draws SVG bytes through Qt's SVG renderer into a recording; false with the
// reason in detail when the renderer does not take them.
bool RecordSvg(const QByteArray& bytes, TRecording& recording, QString& detail);

// The path with its coordinates kept finite and within +-limit.
QPainterPath Sanitised(const QPainterPath& path, double limit = 1e9);

} // namespace Vector
