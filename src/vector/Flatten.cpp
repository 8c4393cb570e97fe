#include "Flatten.h"

#include <algorithm>
#include <cmath>

namespace Vector {

namespace {
// Squared distance of p from the segment a-b.
double SegmentDistance2(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF ab = b - a;
    const double len2 = QPointF::dotProduct(ab, ab);
    double t = len2 > 0 ? QPointF::dotProduct(p - a, ab) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return QPointF::dotProduct(d, d);
}

// Adds the points after p0 of the cubic p0 c1 c2 p3. The curve lies in the
// hull of its control points, so control points near the chord keep all of
// it near the chord. Depth is bounded: a curve gives at most 4096 lines.
void AddCubic(const QPointF& p0, const QPointF& c1, const QPointF& c2, const QPointF& p3, double tol2,
              std::vector<QPointF>& out, int depth = 0)
{
    if (depth >= 12 || (SegmentDistance2(c1, p0, p3) <= tol2 && SegmentDistance2(c2, p0, p3) <= tol2)) {
        out.push_back(p3);
        return;
    }
    const QPointF a = (p0 + c1) / 2, b = (c1 + c2) / 2, c = (c2 + p3) / 2;
    const QPointF ab = (a + b) / 2, bc = (b + c) / 2, mid = (ab + bc) / 2;
    AddCubic(p0, a, ab, mid, tol2, out, depth + 1);
    AddCubic(mid, bc, c, p3, tol2, out, depth + 1);
}
} // namespace

bool Flatten(const QPainterPath& path, double tolerance, std::vector<TPolyline>& out, size_t maxPoints)
{
    const double tol2 = tolerance * tolerance;
    size_t count = 0;
    for (const TPolyline& line : out)
        count += line.Points.size();
    const auto finish = [&]() {
        if (!out.empty() && out.back().Points.size() > 1) {
            TPolyline& line = out.back();
            line.Closed = line.Points.front() == line.Points.back();
        }
    };
    const int n = path.elementCount();
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (e.type == QPainterPath::MoveToElement || out.empty()) {
            finish();
            out.emplace_back();
            out.back().Points.push_back(e);
        } else if (e.type == QPainterPath::LineToElement) {
            out.back().Points.push_back(e);
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < n) {
            std::vector<QPointF>& points = out.back().Points;
            const size_t before = points.size();
            AddCubic(points.back(), e, path.elementAt(i + 1), path.elementAt(i + 2), tol2, points);
            count += points.size() - before - 1;
            i += 2;
        }
        if (++count > maxPoints)
            return false;
    }
    finish();
    return true;
}

} // namespace Vector
