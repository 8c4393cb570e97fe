#include "FramePaths.h"

#include <algorithm>

namespace {
int16_t Field(int v)
{
    return int16_t(std::clamp(v, -32768, 32767));
}
} // namespace

TZLT_Frame::Points PointsFromPaths(const std::vector<TFramePath>& paths)
{
    TZLT_Frame::Points points;
    size_t total = 0;
    for (const TFramePath& path : paths)
        total += path.Points.size() + 2;
    points.reserve(total);
    for (const TFramePath& path : paths) {
        if (path.Points.empty())
            continue;
        const bool dark = path.Colour < 0 || path.Colour > 63;
        const uint8_t lit = dark ? TZLT_Point::BlankBit : uint8_t(path.Colour);
        const auto add = [&](const std::pair<int, int>& p, uint8_t status) {
            points.push_back(TZLT_Point(Field(p.first), Field(p.second), 0, status, 0));
        };
        // The beam arrives dark at the first point; a lone point is then lit there.
        add(path.Points.front(), TZLT_Point::BlankBit);
        if (path.Points.size() == 1)
            add(path.Points.front(), lit);
        for (size_t i = 1; i < path.Points.size(); ++i)
            add(path.Points[i], lit);
        if (path.Closed && path.Points.size() > 2)
            add(path.Points.front(), lit);
    }
    return points;
}

std::unique_ptr<TZLT_Frame> FrameFromPaths(const std::vector<TFramePath>& paths)
{
    TZLT_Frame::Points points = PointsFromPaths(paths);
    if (points.size() > size_t(TZLT_Frame::MaxPoints))
        return nullptr;
    auto frame = std::make_unique<TZLT_Frame>();
    frame->AllPoints() = std::move(points);
    return frame;
}
