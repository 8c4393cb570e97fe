#include "Optimiser.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <tuple>
#include <utility>
#include <vector>

int TScannerProfile::Points(int microseconds) const
{
    const qint64 us = std::clamp(microseconds, 0, MaxMicroseconds);
    const qint64 rate = std::clamp(PointRate, MinPointRate, MaxPointRate);
    return int((us * rate + 999999) / 1000000);
}

double TScannerProfile::PassMs(qint64 points) const
{
    return double(points) * 1000.0 / std::clamp(PointRate, MinPointRate, MaxPointRate);
}

TScannerProfile TScannerProfile::Clamped() const
{
    TScannerProfile p = *this;
    p.PointRate = std::clamp(p.PointRate, MinPointRate, MaxPointRate);
    p.LitStep = std::clamp(p.LitStep, 1, 65535);
    p.BlankedStep = std::clamp(p.BlankedStep, 1, 65535);
    p.ReversalUs = std::clamp(p.ReversalUs, 0, MaxMicroseconds);
    p.CornerAngle = std::isfinite(p.CornerAngle) ? std::clamp(p.CornerAngle, 0.0, 180.0) : TScannerProfile().CornerAngle;
    p.AnchorUs = std::clamp(p.AnchorUs, 0, MaxMicroseconds);
    p.WaitUs = std::clamp(p.WaitUs, 0, MaxMicroseconds);
    p.ColourDelayUs = std::clamp(p.ColourDelayUs, 0, MaxMicroseconds);
    return p;
}

namespace {
using TPoints = TZLT_Frame::Points;
constexpr uint8_t Blank = TZLT_Point::BlankBit;

TZLT_Point WithStatus(const TZLT_Point& p, uint8_t status)
{
    return TZLT_Point(p.X(), p.Y(), p.Z(), status, p.Aux());
}

// Blanked points the optimiser makes carry no colour: they come out the same
// whichever way round a path came in.
TZLT_Point Blanked(const TZLT_Point& p)
{
    return WithStatus(p, Blank);
}

bool SamePlace(const TZLT_Point& a, const TZLT_Point& b)
{
    return a.X() == b.X() && a.Y() == b.Y();
}

int Cheb(int ax, int ay, int bx, int by)
{
    return std::max(std::abs(ax - bx), std::abs(ay - by));
}

int Cheb(const TZLT_Point& a, const TZLT_Point& b)
{
    return Cheb(a.X(), a.Y(), b.X(), b.Y());
}

bool Before(const TZLT_Point& a, const TZLT_Point& b)
{
    return std::pair(a.X(), a.Y()) < std::pair(b.X(), b.Y());
}

// k/n of the way from a to b, rounded half up, so steps are never longer than ceil(|b - a| / n).
int Lerp(int a, int b, qint64 k, qint64 n)
{
    const qint64 num = 2 * k * (b - a) + n;
    const qint64 den = 2 * n;
    qint64 q = num / den;
    if (num % den != 0 && num < 0)
        --q;
    return int(a + q);
}

TZLT_Point Between(const TZLT_Point& a, const TZLT_Point& b, qint64 k, qint64 n, uint8_t status)
{
    return TZLT_Point(int16_t(Lerp(a.X(), b.X(), k, n)), int16_t(Lerp(a.Y(), b.Y(), k, n)),
                      int16_t(Lerp(a.Z(), b.Z(), k, n)), status, b.Aux());
}

// The squared distance from p to the segment from a to b.
double SegmentDistance2(const TZLT_Point& p, const TZLT_Point& a, const TZLT_Point& b)
{
    const double dx = double(b.X()) - a.X(), dy = double(b.Y()) - a.Y();
    const double px = double(p.X()) - a.X(), py = double(p.Y()) - a.Y();
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? (px * dx + py * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = px - t * dx, ey = py - t * dy;
    return ex * ex + ey * ey;
}

// Whether step, rounded as Lerp rounds, is the first of n equal steps over total.
bool FirstStep(int step, int total, qint64 n)
{
    const qint64 twice = 2 * qint64(total) + n;
    return 2 * n * step <= twice && twice < 2 * n * (step + 1);
}

// ---- Minimise --------------------------------------------------------------

// Point 0 is always reached by a move.
bool Lit(const TPoints& p, size_t i)
{
    return i > 0 && !p[i].Blanked();
}

bool Repeats(const TPoints& p, size_t previous, size_t i)
{
    if (!SamePlace(p[previous], p[i]))
        return false;
    const bool litBefore = Lit(p, previous), lit = !p[i].Blanked();
    if (litBefore != lit)
        return false;
    return !lit || p[previous].Status() == p[i].Status();
}

void DropRepeats(TPoints& p)
{
    size_t w = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        if (w > 0 && Repeats(p, w - 1, i))
            continue;
        p[w++] = p[i];
    }
    p.resize(w);
}

// Between two paths only the last blanked point before the next lit one stays.
void DropMoves(TPoints& p)
{
    bool anyLit = false;
    for (size_t i = 1; i < p.size() && !anyLit; ++i)
        anyLit = Lit(p, i);
    if (!anyLit)
        return;
    TPoints out;
    out.reserve(p.size());
    for (size_t i = 0; i < p.size(); ++i) {
        if (Lit(p, i) || (i + 1 < p.size() && Lit(p, i + 1)))
            out.push_back(p[i]);
    }
    p = std::move(out);
}

bool SplitsExactly(const TPoints& p, size_t a, size_t b)
{
    const qint64 n = qint64(b - a);
    auto at = [&](qint64 k) { return p[a + size_t(k)] == Between(p[a], p[b], k, n, p[b].Status()); };
    // The last and middle points first: most wrong ends fail there at once.
    if (!at(n - 1) || !at(n / 2))
        return false;
    for (qint64 k = 1; k < n; ++k)
        if (!(p[a + size_t(k)] == Between(p[a], p[b], k, n, p[b].Status())))
            return false;
    return true;
}

// The points an optimisation put between two of a line's points, recognised
// exactly as they were made (rounded to whole units, they lie up to half a
// unit off the line, enough to mislead the simplification after them).
void DropSplitPoints(TPoints& p)
{
    // straightTo[k]: the last index of the stretch from k on in which each
    // point lies on the line between its neighbours and between the points
    // Reach before and after it (short steps hide a corner from the
    // neighbours alone), in one colour.
    constexpr size_t Reach = 8;
    std::vector<size_t> litFrom(p.size()), sameTo(p.size());
    for (size_t k = 0; k < p.size(); ++k)
        litFrom[k] = k > 0 && Lit(p, k) && Lit(p, k - 1) ? litFrom[k - 1] : k;
    for (size_t k = p.size(); k-- > 0;)
        sameTo[k] = k + 1 < p.size() && Lit(p, k + 1) && p[k + 1].Status() == p[k].Status() ? sameTo[k + 1] : k;
    auto onLine = [&](size_t k, size_t r) {
        if (k < r || k - r + 1 < litFrom[k] || k + r > sameTo[k])
            return true; // the stretch ends nearer: the neighbours decide
        return SegmentDistance2(p[k], p[k - r], p[k + r]) <= 1.5 * 1.5;
    };
    std::vector<size_t> straightTo(p.size());
    for (size_t k = p.size(); k-- > 0;) {
        const bool straight = k + 1 < p.size() && k > 0 && Lit(p, k) && Lit(p, k + 1)
                              && p[k].Status() == p[k + 1].Status()
                              && SegmentDistance2(p[k], p[k - 1], p[k + 1]) <= 1.5 * 1.5 && onLine(k, Reach);
        straightTo[k] = straight ? straightTo[k + 1] : k;
    }
    std::vector<char> keep(p.size(), 1);
    size_t i = 1;
    while (i < p.size()) {
        if (!Lit(p, i)) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end + 1 < p.size() && Lit(p, end + 1))
            ++end;
        size_t a = i - 1; // entered from the blanked point before the run
        while (a + 1 < end) {
            // As far as the points stay on one line (skipping those just
            // after a bend, which look bent on the long reach too), then back
            // to the last end that explains them all; or a short line.
            size_t from = a + 1;
            while (from < end && from <= a + 2 * Reach && straightTo[from] == from)
                ++from;
            const size_t far = std::min(end, straightTo[from] + 1);
            size_t found = 0;
            auto tryEnds = [&](size_t high, size_t low) {
                for (size_t b = high; b >= low && b >= a + 2 && found == 0; --b)
                    if (FirstStep(p[a + 1].X() - p[a].X(), p[b].X() - p[a].X(), qint64(b - a))
                        && FirstStep(p[a + 1].Y() - p[a].Y(), p[b].Y() - p[a].Y(), qint64(b - a))
                        && SplitsExactly(p, a, b))
                        found = b;
            };
            tryEnds(std::min(end, far + 2 * Reach), far > 64 ? far - 64 : 0);
            tryEnds(std::min({end, a + 1 + 3 * Reach, far > 65 ? far - 65 : 0}), a + 2);
            if (found == 0) {
                // A long stretch no end explains was drawn so; the next line
                // made by an optimisation starts where it bends.
                a = SamePlace(p[a], p[a + 1]) || far - a <= 65 ? a + 1 : far;
                continue;
            }
            for (size_t k = a + 1; k < found; ++k)
                keep[k] = 0;
            a = found;
        }
        i = end + 1;
    }
    size_t w = 0;
    for (size_t k = 0; k < p.size(); ++k)
        if (keep[k])
            p[w++] = p[k];
    p.resize(w);
}

// Douglas-Peucker inside each lit run, between the points that must stay (the
// run's ends and colour changes). It keeps what it would keep again, so
// minimising a minimised frame changes nothing.
void DropStraightPoints(TPoints& p)
{
    std::vector<char> keep(p.size(), 1);
    std::vector<std::pair<size_t, size_t>> stack;
    auto simplify = [&](size_t a, size_t b) {
        stack.assign(1, {a, b});
        while (!stack.empty()) {
            const auto [from, to] = stack.back();
            stack.pop_back();
            if (to <= from + 1)
                continue;
            size_t far = from + 1;
            double farDistance = -1;
            for (size_t i = from + 1; i < to; ++i) {
                const double d = SegmentDistance2(p[i], p[from], p[to]);
                if (d > farDistance || (d == farDistance && Before(p[i], p[far]))) {
                    far = i;
                    farDistance = d;
                }
            }
            if (farDistance <= MinimiseTolerance * MinimiseTolerance) {
                for (size_t i = from + 1; i < to; ++i)
                    keep[i] = 0;
                continue;
            }
            stack.push_back({far, to});
            stack.push_back({from, far});
        }
    };
    size_t i = 1;
    while (i < p.size()) {
        if (!Lit(p, i)) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end + 1 < p.size() && Lit(p, end + 1))
            ++end;
        size_t fixed = i - 1; // the run's start: the blanked point it is entered from
        for (size_t k = i; k <= end; ++k) {
            if (k == end || p[k].Status() != p[k + 1].Status()) {
                simplify(fixed, k);
                fixed = k;
            }
        }
        i = end + 1;
    }
    size_t w = 0;
    for (size_t k = 0; k < p.size(); ++k)
        if (keep[k])
            p[w++] = p[k];
    p.resize(w);
}

void MinimiseInPlace(TPoints& p)
{
    for (;;) {
        const size_t before = p.size();
        DropRepeats(p);
        DropSplitPoints(p);
        DropMoves(p);
        DropStraightPoints(p);
        if (p.size() == before)
            return;
    }
}

// ---- Paths -----------------------------------------------------------------

// Point 0 is where the path starts, blanked; the others are lit, each in the
// colour of the line that leads to it.
struct TPath
{
    std::vector<TZLT_Point> P;
    bool Closed() const { return P.size() >= 3 && SamePlace(P.front(), P.back()); }
    friend bool operator==(const TPath&, const TPath&) = default;
};

std::vector<TPath> PathsOf(const TPoints& p)
{
    std::vector<TPath> paths;
    for (size_t i = 1; i < p.size(); ++i) {
        if (!Lit(p, i))
            continue;
        if (!Lit(p, i - 1))
            paths.push_back({{Blanked(p[i - 1])}});
        paths.back().P.push_back(p[i]);
    }
    return paths;
}

TPath Reversed(const TPath& path)
{
    const size_t m = path.P.size() - 1;
    TPath r;
    r.P.reserve(m + 1);
    r.P.push_back(Blanked(path.P[m]));
    for (size_t k = 1; k <= m; ++k)
        r.P.push_back(WithStatus(path.P[m - k], path.P[m - k + 1].Status()));
    return r;
}

// A closed path entered at its vertex v.
TPath Rotated(const TPath& path, size_t v)
{
    if (v == 0)
        return path;
    const size_t m = path.P.size() - 1;
    TPath r;
    r.P.reserve(m + 1);
    r.P.push_back(Blanked(path.P[v]));
    for (size_t j = 1; j <= m; ++j)
        r.P.push_back(path.P[(v + j - 1) % m + 1]);
    return r;
}

qint64 TravelAsDrawn(const std::vector<TPath>& paths)
{
    qint64 travel = 0;
    for (size_t i = 0; i < paths.size(); ++i)
        travel += Cheb(paths[i].P.back(), paths[(i + 1) % paths.size()].P.front());
    return travel;
}

// ---- Order -----------------------------------------------------------------

struct TEntry
{
    int X, Y;
    int Path;
    int Which; // open path: 0 its start, 1 its end; closed path: the vertex
};

// The path ends (every vertex of a closed path) in a grid of cells, for the
// nearest end to a point without looking at every path.
class TEndGrid
{
public:
    TEndGrid(std::vector<TEntry> entries, const std::vector<int>& rank) : FEntries(std::move(entries)), FRank(rank)
    {
        int minX = 65536, minY = 65536, maxX = -65536, maxY = -65536;
        for (const TEntry& e : FEntries) {
            minX = std::min(minX, e.X), maxX = std::max(maxX, e.X);
            minY = std::min(minY, e.Y), maxY = std::max(maxY, e.Y);
        }
        const int cells = std::max(1, int(FEntries.size() / 2));
        const int side = std::max(1, int(std::sqrt(double(cells))));
        FMinX = minX, FMinY = minY;
        FCellW = std::max(1, (maxX - minX) / side + 1);
        FCellH = std::max(1, (maxY - minY) / side + 1);
        FCols = (maxX - minX) / FCellW + 1;
        FRows = (maxY - minY) / FCellH + 1;
        FCells.assign(size_t(FCols) * FRows, {});
        FOfPath.assign(rank.size(), {});
        FAlivePos.assign(FEntries.size(), -1);
        for (int i = 0; i < int(FEntries.size()); ++i) {
            FCells[CellOf(FEntries[i].X, FEntries[i].Y)].push_back(i);
            FOfPath[FEntries[i].Path].push_back(i);
            FAlivePos[i] = int(FAlive.size());
            FAlive.push_back(i);
        }
    }

    bool Empty() const { return FAlive.empty(); }

    void RemovePath(int path)
    {
        for (int i : FOfPath[path]) {
            auto& cell = FCells[CellOf(FEntries[i].X, FEntries[i].Y)];
            cell.erase(std::find(cell.begin(), cell.end(), i));
            const int pos = FAlivePos[i];
            FAlive[pos] = FAlive.back();
            FAlivePos[FAlive[pos]] = pos;
            FAlive.pop_back();
            FAlivePos[i] = -1;
        }
    }

    // The nearest end by the larger of |dx| and |dy|; on a tie the smaller
    // coordinates, then the path that sorts first.
    const TEntry& Nearest(int x, int y) const
    {
        int best = -1;
        int bestDistance = 0;
        auto consider = [&](int i) {
            const TEntry& e = FEntries[i];
            const int d = Cheb(x, y, e.X, e.Y);
            if (best < 0 || Better(d, e, bestDistance, FEntries[best])) {
                best = i;
                bestDistance = d;
            }
        };
        const int cx = std::clamp((x - FMinX) / FCellW, 0, FCols - 1);
        const int cy = std::clamp((y - FMinY) / FCellH, 0, FRows - 1);
        const int cellSize = std::min(FCellW, FCellH);
        const qint64 budget = 8 * qint64(FAlive.size()) + 64;
        qint64 scanned = 0;
        for (int r = 0; r <= std::max(FCols, FRows); ++r) {
            if (best >= 0 && qint64(r - 1) * cellSize > bestDistance)
                break;
            if (scanned > budget) {
                best = -1;
                for (int i : FAlive)
                    consider(i);
                break;
            }
            for (int dy = -r; dy <= r; ++dy) {
                const int row = cy + dy;
                if (row < 0 || row >= FRows)
                    continue;
                const int step = (dy == -r || dy == r) ? 1 : 2 * r;
                for (int dx = -r; dx <= r; dx += std::max(1, step)) {
                    const int col = cx + dx;
                    ++scanned;
                    if (col < 0 || col >= FCols)
                        continue;
                    for (int i : FCells[size_t(row) * FCols + col])
                        consider(i);
                }
            }
        }
        return FEntries[best];
    }

private:
    size_t CellOf(int x, int y) const { return size_t((y - FMinY) / FCellH) * FCols + (x - FMinX) / FCellW; }

    bool Better(int d, const TEntry& e, int bestDistance, const TEntry& b) const
    {
        return std::tuple(d, e.X, e.Y, FRank[e.Path], e.Which) < std::tuple(bestDistance, b.X, b.Y, FRank[b.Path], b.Which);
    }

    std::vector<TEntry> FEntries;
    const std::vector<int>& FRank;
    std::vector<std::vector<int>> FCells;
    std::vector<std::vector<int>> FOfPath;
    std::vector<int> FAlive;
    std::vector<int> FAlivePos;
    int FMinX = 0, FMinY = 0, FCellW = 1, FCellH = 1, FCols = 1, FRows = 1;
};

struct TItem
{
    int Path;
    int Vertex = 0;        // a closed path's entry
    bool Reversed = false;
    int EnX = 0, EnY = 0;  // where it starts and ends as drawn
    int ExX = 0, ExY = 0;
};

// An order of the paths that depends only on them, not on the order or the
// direction they came in: greedy nearest end from the field's corner, then
// improved by reversing stretches (2-opt within a window) and by entering
// each closed path at its best vertex.
std::vector<TPath> ShortOrder(const std::vector<TPath>& paths)
{
    const int count = int(paths.size());
    std::vector<int> sorted(count);
    for (int i = 0; i < count; ++i)
        sorted[i] = i;
    auto key = [&](int i) {
        const TPath& p = paths[i];
        TZLT_Point lo = p.P.front(), hi = p.P.back();
        if (p.Closed()) {
            for (const TZLT_Point& v : p.P)
                if (Before(v, lo))
                    lo = v;
            hi = lo;
        } else if (Before(hi, lo)) {
            std::swap(lo, hi);
        }
        return std::tuple(lo.X(), lo.Y(), hi.X(), hi.Y(), p.P.size(), p.P[1].Status());
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&](int a, int b) { return key(a) < key(b); });
    std::vector<int> rank(count);
    for (int i = 0; i < count; ++i)
        rank[sorted[i]] = i;

    std::vector<TEntry> entries;
    for (int i = 0; i < count; ++i) {
        const TPath& p = paths[i];
        if (p.Closed()) {
            for (size_t v = 0; v + 1 < p.P.size(); ++v)
                entries.push_back({p.P[v].X(), p.P[v].Y(), i, int(v)});
        } else {
            entries.push_back({p.P.front().X(), p.P.front().Y(), i, 0});
            if (!SamePlace(p.P.front(), p.P.back()))
                entries.push_back({p.P.back().X(), p.P.back().Y(), i, 1});
        }
    }
    TEndGrid grid(std::move(entries), rank);
    std::vector<TItem> items;
    items.reserve(count);
    int x = -32768, y = -32768;
    while (!grid.Empty()) {
        const TEntry e = grid.Nearest(x, y);
        grid.RemovePath(e.Path);
        const TPath& p = paths[e.Path];
        TItem item{e.Path};
        if (p.Closed()) {
            item.Vertex = e.Which;
            item.EnX = item.ExX = e.X;
            item.EnY = item.ExY = e.Y;
        } else {
            item.Reversed = e.Which == 1;
            const TZLT_Point& other = item.Reversed ? p.P.front() : p.P.back();
            item.EnX = e.X, item.EnY = e.Y;
            item.ExX = other.X(), item.ExY = other.Y();
        }
        x = item.ExX, y = item.ExY;
        items.push_back(item);
    }

    const int k = int(items.size());
    auto d = [](int ax, int ay, int bx, int by) { return Cheb(ax, ay, bx, by); };
    constexpr int Window = 32;
    for (int pass = 0; pass < 50 && k >= 2; ++pass) {
        bool improved = false;
        for (int i = 1; i < k; ++i) {
            for (int j = i; j < std::min(k, i + Window); ++j) {
                const TItem &before = items[i - 1], &first = items[i], &last = items[j], &after = items[(j + 1) % k];
                const int delta = d(before.ExX, before.ExY, last.ExX, last.ExY) + d(first.EnX, first.EnY, after.EnX, after.EnY)
                                  - d(before.ExX, before.ExY, first.EnX, first.EnY) - d(last.ExX, last.ExY, after.EnX, after.EnY);
                if (delta >= 0)
                    continue;
                std::reverse(items.begin() + i, items.begin() + j + 1);
                for (int t = i; t <= j; ++t) {
                    TItem& it = items[t];
                    it.Reversed = !it.Reversed;
                    std::swap(it.EnX, it.ExX);
                    std::swap(it.EnY, it.ExY);
                }
                improved = true;
            }
        }
        if (!improved)
            break;
    }
    for (int i = 0; i < k && k >= 2; ++i) {
        TItem& it = items[i];
        const TPath& p = paths[it.Path];
        if (!p.Closed())
            continue;
        const TItem &before = items[(i + k - 1) % k], &after = items[(i + 1) % k];
        int bestCost = d(before.ExX, before.ExY, it.EnX, it.EnY) + d(it.EnX, it.EnY, after.EnX, after.EnY);
        for (size_t v = 0; v + 1 < p.P.size(); ++v) {
            const int vx = p.P[v].X(), vy = p.P[v].Y();
            const int cost = d(before.ExX, before.ExY, vx, vy) + d(vx, vy, after.EnX, after.EnY);
            if (cost < bestCost || (cost == bestCost && std::pair(vx, vy) < std::pair(it.EnX, it.EnY))) {
                bestCost = cost;
                it.Vertex = int(v);
                it.EnX = it.ExX = vx;
                it.EnY = it.ExY = vy;
            }
        }
    }

    std::vector<TPath> ordered;
    ordered.reserve(k);
    for (const TItem& it : items) {
        TPath p = paths[it.Path];
        if (p.Closed())
            p = Rotated(p, size_t(it.Vertex));
        if (it.Reversed)
            p = Reversed(p);
        ordered.push_back(std::move(p));
    }
    return ordered;
}

// The short order where it saves travel; the order as drawn otherwise, so
// that an order once chosen stays.
std::vector<TPath> Ordered(std::vector<TPath> paths, const TScannerProfile& profile)
{
    if (profile.KeepOrder || paths.size() < 2)
        return paths;
    std::vector<TPath> shortOrder = ShortOrder(paths);
    if (TravelAsDrawn(shortOrder) < TravelAsDrawn(paths))
        return shortOrder;
    return paths;
}

// ---- Build -----------------------------------------------------------------

struct TCounts
{
    int LitStep, BlankedStep;
    int StartAnchors, EndAnchors, WaitBefore, WaitAfter;
    int Reversal;
    double CornerAngle;
    int Delay;
};

TCounts CountsOf(const TScannerProfile& profile, bool withDelay)
{
    const int a = profile.AnchorPoints(), w = profile.WaitPoints();
    const int d = withDelay ? profile.ColourDelayPoints() : 0;
    // With a delay the blanking moves d points later too: the extra anchors
    // and waits keep those d points where the beam already is.
    return {profile.LitStep, profile.BlankedStep, a + d, std::max(a, d), w + d, std::max(w, 1),
            profile.ReversalPoints(), profile.CornerAngle, d};
}

// How long each vertex of a path is held: by the turn from the last other
// place before it to the next one, for the vertices inside the path.
std::vector<int> Holds(const TPath& path, const TCounts& c)
{
    const size_t m = path.P.size() - 1;
    std::vector<int> holds(m + 1, 0);
    if (c.Reversal == 0)
        return holds;
    size_t previous = 0; // the last index at another place than the current run
    for (size_t j = 1; j < m; ++j) {
        if (!SamePlace(path.P[j], path.P[j - 1]))
            previous = j - 1;
        if (SamePlace(path.P[j], path.P[j + 1]) || SamePlace(path.P[j], path.P[previous]))
            continue;
        const double ux = double(path.P[j].X()) - path.P[previous].X(), uy = double(path.P[j].Y()) - path.P[previous].Y();
        const double wx = double(path.P[j + 1].X()) - path.P[j].X(), wy = double(path.P[j + 1].Y()) - path.P[j].Y();
        const double angle = std::atan2(std::abs(ux * wy - uy * wx), ux * wx + uy * wy) * 180 / std::numbers::pi;
        if (angle >= c.CornerAngle && angle > 0)
            holds[j] = int(std::ceil(c.Reversal * angle / 180 - 1e-9));
    }
    return holds;
}

qint64 Steps(int distance, int step)
{
    return (qint64(distance) + step - 1) / step;
}

// The frame of the paths in their order, or only its number of points when
// out is null (only until it passes 65535 unless exact).
qint64 Build(const std::vector<TPath>& paths, const TCounts& c, TPoints* out, bool exact = false)
{
    qint64 n = 0;
    auto put = [&](const TZLT_Point& p, qint64 times) {
        n += times;
        if (out)
            for (qint64 t = 0; t < times; ++t)
                out->push_back(p);
    };
    for (size_t i = 0; i < paths.size(); ++i) {
        const TPath& path = paths[i];
        const size_t m = path.P.size() - 1;
        const std::vector<int> holds = Holds(path, c);
        put(path.P[0], c.WaitAfter);
        put(WithStatus(path.P[0], path.P[1].Status()), c.StartAnchors);
        for (size_t j = 1; j <= m; ++j) {
            const TZLT_Point &a = path.P[j - 1], &b = path.P[j];
            const qint64 steps = Steps(Cheb(a, b), c.LitStep);
            if (out)
                for (qint64 k = 1; k < steps; ++k)
                    out->push_back(Between(a, b, k, steps, b.Status()));
            n += std::max<qint64>(0, steps - 1);
            put(b, 1 + holds[j]);
        }
        put(path.P[m], c.EndAnchors);
        put(Blanked(path.P[m]), c.WaitBefore);
        const TZLT_Point& next = paths[(i + 1) % paths.size()].P[0];
        const qint64 steps = Steps(Cheb(path.P[m], next), c.BlankedStep);
        if (out)
            for (qint64 k = 1; k < steps; ++k)
                out->push_back(Between(path.P[m], next, k, steps, next.Status()));
        n += std::max<qint64>(0, steps - 1);
        if (!out && !exact && n > TZLT_Frame::MaxPoints)
            return n;
    }
    return n;
}

// Colours and blanking d points later along the looping frame.
void DelayColours(TPoints& p, int d)
{
    const size_t n = p.size();
    if (d <= 0 || n == 0)
        return;
    std::vector<uint8_t> status(n);
    for (size_t i = 0; i < n; ++i)
        status[i] = p[i].Status();
    for (size_t i = 0; i < n; ++i)
        p[i] = WithStatus(p[i], status[(i + n - size_t(d) % n) % n]);
}
} // namespace

TZLT_Frame::Points Minimised(const TZLT_Frame::Points& points)
{
    TPoints p = points;
    MinimiseInPlace(p);
    return p;
}

qint64 BlankedTravel(const TZLT_Frame::Points& points)
{
    qint64 travel = 0;
    for (size_t i = 0; i < points.size(); ++i) {
        if (i == 0 || points[i].Blanked())
            travel += Cheb(points[i == 0 ? points.size() - 1 : i - 1], points[i]);
    }
    return travel;
}

TZLT_Frame::Points Optimised(const TZLT_Frame::Points& points, const TScannerProfile& wanted, TOptimiseResult* result)
{
    const TScannerProfile profile = wanted.Clamped();
    TOptimiseResult r;
    r.PointsBefore = qint64(points.size());
    r.TravelBefore = BlankedTravel(points);
    TPoints minimised = Minimised(points);
    TPoints out;
    std::vector<TPath> paths = PathsOf(minimised);
    if (paths.empty()) {
        out = std::move(minimised);
    } else {
        // Optimising the result again must give it back: the paths read back
        // from it must be those it was made of. Where the order or the
        // simplification would come out otherwise (a closed path entered
        // elsewhere loses a needless vertex), take the paths read back and
        // build again, twice at most, so the picture cannot wander off.
        const TCounts plain = CountsOf(profile, false);
        std::vector<TPath> order = Ordered(std::move(paths), profile);
        TPoints built; // the frame of order, once it is known to fit
        for (int round = 0; round < 3; ++round) {
            built.clear();
            if (Build(order, plain, nullptr) > TZLT_Frame::MaxPoints)
                break;
            Build(order, plain, &built);
            std::vector<TPath> back = PathsOf(Minimised(built));
            if (back == order)
                break;
            order = Ordered(std::move(back), profile);
            built.clear();
        }
        const TCounts counts = CountsOf(profile, true);
        if (counts.Delay == 0 && !built.empty()) {
            out = std::move(built);
        } else if ((r.Needed = Build(order, counts, nullptr)) > TZLT_Frame::MaxPoints) {
            r.Needed = Build(order, counts, nullptr, true);
            r.TooLong = true;
            out = points;
        } else {
            out.reserve(size_t(r.Needed));
            Build(order, counts, &out);
            DelayColours(out, counts.Delay);
        }
    }
    if (!r.TooLong)
        r.Needed = qint64(out.size());
    r.PointsAfter = qint64(out.size());
    r.TravelAfter = BlankedTravel(out);
    r.Changed = out != points;
    if (result)
        *result = r;
    return out;
}

TOptimiseResult Optimise(TZLT_Frame& frame, const TScannerProfile& profile)
{
    TOptimiseResult r;
    TPoints out = Optimised(frame.AllPoints(), profile, &r);
    if (r.Changed)
        frame.AllPoints() = std::move(out);
    return r;
}

TOptimiseResult Minimise(TZLT_Frame& frame)
{
    TOptimiseResult r;
    r.PointsBefore = frame.Count();
    r.TravelBefore = BlankedTravel(frame.AllPoints());
    TPoints out = Minimised(frame.AllPoints());
    r.Changed = out != frame.AllPoints();
    r.Needed = r.PointsAfter = qint64(out.size());
    r.TravelAfter = BlankedTravel(out);
    if (r.Changed)
        frame.AllPoints() = std::move(out);
    return r;
}
