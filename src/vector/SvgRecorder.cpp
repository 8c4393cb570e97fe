#include "SvgRecorder.h"

#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Vector {

namespace {
QColor ColourOf(const QBrush& brush)
{
    // A gradient draws in its colours: its first stop stands for it.
    if (const QGradient* g = brush.gradient(); g && !g->stops().isEmpty())
        return g->stops().front().second;
    return brush.color();
}

bool Finite(const QPointF& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

QPointF Clamped(const QPointF& p, double limit)
{
    return QPointF(std::clamp(p.x(), -limit, limit), std::clamp(p.y(), -limit, limit));
}

// An ellipse drawn exactly only when nothing about it is huge or undefined.
bool FiniteWithin(const QRectF& r, const QTransform& t)
{
    const double values[] = {r.x(), r.y(), r.width(), r.height(), t.m11(), t.m12(), t.m13(), t.m21(), t.m22(),
                             t.m23(), t.m31(), t.m32(), t.m33()};
    for (double v : values)
        if (!std::isfinite(v) || std::abs(v) > 1e6)
            return false;
    return t.type() <= QTransform::TxShear;
}
} // namespace

QPainterPath Sanitised(const QPainterPath& path, double limit)
{
    QPainterPath out;
    bool open = false; // a subpath is started in out
    const int n = path.elementCount();
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            open = Finite(e);
            if (open)
                out.moveTo(Clamped(e, limit));
            break;
        case QPainterPath::LineToElement:
            if (!Finite(e)) {
                open = false;
            } else if (open) {
                out.lineTo(Clamped(e, limit));
            } else {
                out.moveTo(Clamped(e, limit));
                open = true;
            }
            break;
        case QPainterPath::CurveToElement: {
            if (i + 2 >= n)
                return out;
            const QPointF c1 = e, c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            i += 2;
            if (!Finite(c1) || !Finite(c2) || !Finite(end)) {
                open = false;
            } else if (open) {
                out.cubicTo(Clamped(c1, limit), Clamped(c2, limit), Clamped(end, limit));
            } else {
                out.moveTo(Clamped(end, limit));
                open = true;
            }
            break;
        }
        case QPainterPath::CurveToDataElement:
            break; // only after a CurveToElement
        }
    }
    return out;
}

TRecordingEngine::TRecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

void TRecordingEngine::updateState(const QPaintEngineState& state)
{
    const DirtyFlags dirty = state.state();
    if (dirty & DirtyTransform)
        FTransform = state.transform();
    if (dirty & DirtyPen)
        FPen = state.pen();
    if (dirty & DirtyBrush)
        FBrush = state.brush();
    if (dirty & DirtyOpacity)
        FOpacity = state.opacity();
}

void TRecordingEngine::Record(const QPainterPath& path, bool closed, const QRectF* ellipse)
{
    if (FElements >= MaxElements || !(FOpacity > 0))
        return;
    const bool stroke = FPen.style() != Qt::NoPen && FPen.brush().style() != Qt::NoBrush;
    const bool fill = !stroke && FBrush.style() != Qt::NoBrush;
    if (!stroke && !fill)
        return;
    QColor colour = ColourOf(stroke ? FPen.brush() : FBrush);
    if (colour.alpha() == 0)
        return;
    QPainterPath mapped = Sanitised(FTransform.map(Sanitised(path)));
    if (mapped.isEmpty())
        return;
    FElements += mapped.elementCount();
    TShape shape{mapped, colour, closed || fill};
    if (ellipse && FiniteWithin(*ellipse, FTransform)) {
        shape.Ellipse = true;
        shape.EllipseRect = *ellipse;
        shape.EllipseTransform = FTransform;
    }
    auto& shapes = Recording.Shapes;
    // A shape filled and then stroked is one line, in the stroke's colour;
    // one filled twice (an SVG polyline is) is one line too.
    if (!shapes.empty() && shapes.back().Path == mapped) {
        FElements -= mapped.elementCount();
        if (stroke)
            shapes.back() = std::move(shape);
        return;
    }
    shapes.push_back(std::move(shape));
}

void TRecordingEngine::drawPath(const QPainterPath& path)
{
    Record(path, false);
}

void TRecordingEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode mode)
{
    if (count <= 0)
        return;
    QPainterPath path;
    path.moveTo(points[0]);
    for (int i = 1; i < count; ++i)
        path.lineTo(points[i]);
    Record(path, mode != PolylineMode);
}

void TRecordingEngine::drawLines(const QLineF* lines, int count)
{
    for (int i = 0; i < count; ++i) {
        QPainterPath path;
        path.moveTo(lines[i].p1());
        path.lineTo(lines[i].p2());
        Record(path, false);
    }
}

void TRecordingEngine::drawRects(const QRectF* rects, int count)
{
    for (int i = 0; i < count; ++i) {
        QPainterPath path;
        path.addRect(rects[i]);
        Record(path, true);
    }
}

void TRecordingEngine::drawEllipse(const QRectF& rect)
{
    QPainterPath path;
    path.addEllipse(rect);
    Record(path, true, &rect);
}

void TRecordingEngine::drawPoints(const QPointF* points, int count)
{
    for (int i = 0; i < count; ++i) {
        QPainterPath path;
        path.moveTo(points[i]);
        path.lineTo(points[i]);
        Record(path, false);
    }
}

TRecordingDevice::TRecordingDevice(QSizeF size) : FSize(size) {}

TRecordingDevice::~TRecordingDevice() = default;

int TRecordingDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return int(FSize.width());
    case PdmHeight:
        return int(FSize.height());
    case PdmWidthMM:
        return int(FSize.width() * 25.4 / 96);
    case PdmHeightMM:
        return int(FSize.height() * 25.4 / 96);
    case PdmNumColors:
        return std::numeric_limits<int>::max();
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    }
    return 0;
}

bool RecordSvg(const QByteArray& bytes, TRecording& recording, QString& detail)
{
    QSvgRenderer renderer;
    if (!renderer.load(bytes) || !renderer.isValid()) {
        detail = QStringLiteral("the SVG renderer does not take it");
        return false;
    }
    const QRectF page = renderer.viewBoxF();
    TRecordingDevice device;
    {
        QPainter painter(&device);
        // The page onto itself: the shapes arrive in the drawing's own units.
        renderer.render(&painter, page.isValid() ? page : QRectF());
    }
    recording = std::move(device.Engine().Recording);
    recording.Page = page.isValid() ? page : QRectF();
    return true;
}

} // namespace Vector
