#pragma once

// Frames as lists of points; random frames of every kind the optimiser
// meets, and plain reference measures of a frame written without the
// optimiser's code: its lit picture, its paths, steps and travel.

#include "ZLT_Catalog.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

namespace OptKit {

using TPoints = TZLT_Frame::Points;

inline std::unique_ptr<TZLT_Frame> FrameOf(const TPoints& points)
{
    auto frame = std::make_unique<TZLT_Frame>();
    frame->AllPoints() = points;
    return frame;
}

struct TSimplePath
{
    std::vector<std::pair<int, int>> Places;
    std::vector<int> Colours; // of the line into each place after the first
};

inline TZLT_Point Pt(int x, int y, uint8_t status)
{
    return TZLT_Point(int16_t(std::clamp(x, -32768, 32767)), int16_t(std::clamp(y, -32768, 32767)), 0, status, 0);
}

// Each path entered by a blanked point (sometimes a few), the lit points in
// their colours.
inline TPoints FramePoints(const std::vector<TSimplePath>& paths, QRandomGenerator& rng)
{
    TPoints p;
    for (const TSimplePath& path : paths) {
        const int blanks = rng.bounded(8) == 0 ? 3 : 1;
        for (int b = 0; b < blanks; ++b)
            p.push_back(Pt(path.Places[0].first + b * 7, path.Places[0].second, 0x40 | 5));
        p.back() = Pt(path.Places[0].first, path.Places[0].second, 0x40);
        for (size_t i = 1; i < path.Places.size(); ++i)
            p.push_back(Pt(path.Places[i].first, path.Places[i].second, uint8_t(path.Colours[i - 1])));
    }
    return p;
}

inline int Coord(QRandomGenerator& rng, int limit = 30000)
{
    return int(rng.bounded(2 * limit + 1)) - limit;
}

inline TSimplePath Closed(std::vector<std::pair<int, int>> places, int colour)
{
    places.push_back(places.front());
    return {places, std::vector<int>(places.size() - 1, colour)};
}

// Paths of one kind: lines, polygons, circles, curves, scribbles, many
// small paths, one dot.
inline std::vector<TSimplePath> RandomPaths(int kind, QRandomGenerator& rng)
{
    std::vector<TSimplePath> paths;
    auto colour = [&] { return int(rng.bounded(1, 64)); };
    switch (kind) {
    case 0: // lines
        for (int i = 0, n = rng.bounded(1, 40); i < n; ++i)
            paths.push_back({{{Coord(rng), Coord(rng)}, {Coord(rng), Coord(rng)}}, {colour()}});
        break;
    case 1: // polygons
        for (int i = 0, n = rng.bounded(1, 12); i < n; ++i) {
            std::vector<std::pair<int, int>> v;
            const int cx = Coord(rng, 20000), cy = Coord(rng, 20000), r = rng.bounded(500, 12000);
            const int corners = rng.bounded(3, 9);
            for (int k = 0; k < corners; ++k) {
                const double a = 2 * M_PI * (k + rng.generateDouble() * 0.5) / corners;
                v.push_back({cx + int(r * std::cos(a)), cy + int(r * std::sin(a))});
            }
            paths.push_back(Closed(v, colour()));
        }
        break;
    case 2: // circles
        for (int i = 0, n = rng.bounded(1, 5); i < n; ++i) {
            std::vector<std::pair<int, int>> v;
            const int cx = Coord(rng, 15000), cy = Coord(rng, 15000), r = rng.bounded(200, 15000);
            const int count = rng.bounded(12, 200);
            for (int k = 0; k < count; ++k)
                v.push_back({cx + int(std::lround(r * std::cos(2 * M_PI * k / count))),
                             cy + int(std::lround(r * std::sin(2 * M_PI * k / count)))});
            paths.push_back(Closed(v, colour()));
        }
        break;
    case 3: // curves, a colour change halfway
        for (int i = 0, n = rng.bounded(1, 6); i < n; ++i) {
            const double x0 = Coord(rng), y0 = Coord(rng), x1 = Coord(rng), y1 = Coord(rng), x2 = Coord(rng),
                         y2 = Coord(rng), x3 = Coord(rng), y3 = Coord(rng);
            TSimplePath p;
            const int count = rng.bounded(5, 80), c1 = colour(), c2 = colour();
            for (int k = 0; k <= count; ++k) {
                const double t = double(k) / count, u = 1 - t;
                p.Places.push_back({int(u * u * u * x0 + 3 * u * u * t * x1 + 3 * u * t * t * x2 + t * t * t * x3),
                                    int(u * u * u * y0 + 3 * u * u * t * y1 + 3 * u * t * t * y2 + t * t * t * y3)});
                if (k > 0)
                    p.Colours.push_back(k <= count / 2 ? c1 : c2);
            }
            paths.push_back(p);
        }
        break;
    case 4: { // a dense scribble: short random steps, colours changing now and then
        TSimplePath p;
        int x = Coord(rng, 10000), y = Coord(rng, 10000), c = colour();
        p.Places.push_back({x, y});
        for (int k = 0, n = rng.bounded(50, 600); k < n; ++k) {
            x = std::clamp(x + Coord(rng, 300), -32768, 32767);
            y = std::clamp(y + Coord(rng, 300), -32768, 32767);
            if (rng.bounded(40) == 0)
                c = colour();
            p.Places.push_back({x, y});
            p.Colours.push_back(c);
        }
        paths.push_back(p);
        break;
    }
    case 5: // many small paths, dots among them
        for (int i = 0, n = rng.bounded(50, 400); i < n; ++i) {
            const int x = Coord(rng), y = Coord(rng);
            if (rng.bounded(3) == 0)
                paths.push_back({{{x, y}, {x, y}}, {colour()}});
            else
                paths.push_back({{{x, y}, {x + Coord(rng, 400), y + Coord(rng, 400)}, {x + Coord(rng, 400), y}},
                                 {colour(), colour()}});
        }
        break;
    default: // one dot
        paths.push_back({{{Coord(rng), Coord(rng)}, {0, 0}}, {colour()}});
        paths.back().Places[1] = paths.back().Places[0];
        break;
    }
    return paths;
}

inline int Cheb(const TZLT_Point& a, const TZLT_Point& b)
{
    return std::max(std::abs(a.X() - b.X()), std::abs(a.Y() - b.Y()));
}

inline bool Lit(const TPoints& p, size_t i)
{
    return i > 0 && !p[i].Blanked();
}

// The lit runs of a frame: first and last index of each.
inline std::vector<std::pair<size_t, size_t>> Runs(const TPoints& p)
{
    std::vector<std::pair<size_t, size_t>> runs;
    for (size_t i = 1; i < p.size(); ++i) {
        if (!Lit(p, i))
            continue;
        if (!Lit(p, i - 1))
            runs.push_back({i, i});
        runs.back().second = i;
    }
    return runs;
}

struct TEnds
{
    TZLT_Point Start, End;
};

inline std::vector<TEnds> PathEnds(const TPoints& p)
{
    std::vector<TEnds> ends;
    for (auto [first, last] : Runs(p))
        ends.push_back({p[first - 1], p[last]});
    return ends;
}

inline qint64 Travel(const std::vector<TEnds>& order)
{
    qint64 t = 0;
    for (size_t i = 0; i < order.size(); ++i)
        t += Cheb(order[i].End, order[(i + 1) % order.size()].Start);
    return t;
}

// Greedy nearest end with reversal from the field's corner.
inline qint64 GreedyTravel(std::vector<TEnds> left)
{
    std::vector<TEnds> order;
    TZLT_Point at(-32768, -32768, 0, 0, 0);
    while (!left.empty()) {
        size_t best = 0;
        bool reverse = false;
        int bestD = INT32_MAX;
        for (size_t i = 0; i < left.size(); ++i) {
            if (Cheb(at, left[i].Start) < bestD)
                best = i, reverse = false, bestD = Cheb(at, left[i].Start);
            if (Cheb(at, left[i].End) < bestD)
                best = i, reverse = true, bestD = Cheb(at, left[i].End);
        }
        TEnds e = left[best];
        if (reverse)
            std::swap(e.Start, e.End);
        order.push_back(e);
        at = e.End;
        left.erase(left.begin() + long(best));
    }
    return Travel(order);
}

struct TSegment
{
    double X0, Y0, X1, Y1;
};

inline double Distance(double px, double py, const TSegment& s)
{
    const double dx = s.X1 - s.X0, dy = s.Y1 - s.Y0, l2 = dx * dx + dy * dy;
    const double t = l2 > 0 ? std::clamp(((px - s.X0) * dx + (py - s.Y0) * dy) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(px - s.X0 - t * dx, py - s.Y0 - t * dy);
}

// The lit lines of a frame by colour (a line leads into a lit point, in its
// colour; a line of no length is a dot).
inline std::vector<std::vector<TSegment>> Picture(const TPoints& p)
{
    std::vector<std::vector<TSegment>> byColour(64);
    for (size_t i = 1; i < p.size(); ++i)
        if (Lit(p, i))
            byColour[p[i].ColorIndex()].push_back({double(p[i - 1].X()), double(p[i - 1].Y()), double(p[i].X()), double(p[i].Y())});
    return byColour;
}

// The largest distance from a point of a's lit lines to b's lines of the same
// colour (sampled every 50 units), and the other way round: 0 for the same
// picture however split, joined or turned round.
inline double PictureDistance(const TPoints& a, const TPoints& b)
{
    const auto pa = Picture(a), pb = Picture(b);
    double worst = 0;
    auto oneWay = [&](const std::vector<TSegment>& from, const std::vector<TSegment>& to) {
        if (from.empty())
            return;
        if (to.empty()) {
            worst = 1e9;
            return;
        }
        // Buckets of 2048 units over each line's box, widened by 128.
        constexpr int Cell = 2048, Margin = 128;
        std::vector<std::vector<int>> cells(33 * 33);
        auto cell = [](double v) { return std::clamp(int((v + 32768) / Cell), 0, 32); };
        for (int i = 0; i < int(to.size()); ++i) {
            const TSegment& s = to[i];
            for (int cy = cell(std::min(s.Y0, s.Y1) - Margin); cy <= cell(std::max(s.Y0, s.Y1) + Margin); ++cy)
                for (int cx = cell(std::min(s.X0, s.X1) - Margin); cx <= cell(std::max(s.X0, s.X1) + Margin); ++cx)
                    cells[cy * 33 + cx].push_back(i);
        }
        for (const TSegment& s : from) {
            const double len = std::hypot(s.X1 - s.X0, s.Y1 - s.Y0);
            const int n = std::max(1, int(len / 50));
            for (int k = 0; k <= n; ++k) {
                const double x = s.X0 + (s.X1 - s.X0) * k / n, y = s.Y0 + (s.Y1 - s.Y0) * k / n;
                double best = Margin; // beyond the margin counts as the margin: far enough to fail
                for (int i : cells[cell(y) * 33 + cell(x)])
                    best = std::min(best, Distance(x, y, to[i]));
                worst = std::max(worst, best);
            }
        }
    };
    for (int c = 0; c < 64; ++c) {
        oneWay(pa[c], pb[c]);
        oneWay(pb[c], pa[c]);
    }
    return worst;
}

} // namespace OptKit
