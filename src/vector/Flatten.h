#pragma once

#include <QPainterPath>
#include <QPointF>
#include <QRectF>

#include <vector>

namespace Vector {

struct TPolyline
{
    std::vector<QPointF> Points;
    bool Closed = false; // ends where it began
};

// The subpaths of a path as polylines: each curve replaced by points on it so
// that no part of it lies further than tolerance from the lines between them
// (a curve's control points within tolerance of its chord). Stops adding
// points once maxPoints are reached and then returns false.
bool Flatten(const QPainterPath& path, double tolerance, std::vector<TPolyline>& out, size_t maxPoints);

// The bounds of a path's curves themselves, each cubic's extremes solved
// for (Qt 6.4's QPainterPath::boundingRect misses some); null for an empty path.
QRectF CurveBounds(const QPainterPath& path);

} // namespace Vector
