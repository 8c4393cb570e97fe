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
// The parameters in (0, 1) where one coordinate of a cubic turns.
int Turns(double p0, double p1, double p2, double p3, double t[2])
{
    // The derivative over 3: a t^2 + b t + c.
    const double a = -p0 + 3 * p1 - 3 * p2 + p3, b = 2 * (p0 - 2 * p1 + p2), c = p1 - p0;
    int n = 0;
    const auto add = [&](double v) {
        if (v > 0 && v < 1 && std::isfinite(v))
            t[n++] = v;
    };
    const double scale = std::max({std::abs(a), std::abs(b), std::abs(c)});
    if (scale == 0)
        return 0;
    if (std::abs(a) <= 1e-12 * scale) {
        if (b != 0)
            add(-c / b);
        return n;
    }
    const double disc = b * b - 4 * a * c;
    if (disc < 0)
        return 0;
    const double root = std::sqrt(disc);
    // The form that does not cancel: q and c / q.
    const double q = -0.5 * (b + (b < 0 ? -root : root));
    add(q / a);
    if (q != 0)
        add(c / q);
    return n;
}

double CubicAt(double p0, double p1, double p2, double p3, double t)
{
    const double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}
} // namespace

QRectF CurveBounds(const QPainterPath& path)
{
    const int n = path.elementCount();
    if (n == 0)
        return QRectF();
    double left = path.elementAt(0).x, right = left, top = path.elementAt(0).y, bottom = top;
    const auto add = [&](double x, double y) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    };
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (e.type == QPainterPath::CurveToElement && i > 0 && i + 2 < n) {
            const QPointF p0 = path.elementAt(i - 1), p1 = e, p2 = path.elementAt(i + 1), p3 = path.elementAt(i + 2);
            double t[2];
            for (int k = Turns(p0.x(), p1.x(), p2.x(), p3.x(), t); k-- > 0;)
                add(CubicAt(p0.x(), p1.x(), p2.x(), p3.x(), t[k]), p0.y());
            for (int k = Turns(p0.y(), p1.y(), p2.y(), p3.y(), t); k-- > 0;)
                add(p0.x(), CubicAt(p0.y(), p1.y(), p2.y(), p3.y(), t[k]));
            add(p3.x(), p3.y());
            i += 2;
        } else {
            add(e.x, e.y);
        }
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

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
