#pragma once

#include "ZLT_Catalog.h"

#include <memory>
#include <utility>
#include <vector>

// A drawing as lines in ILDA units, the way vector imports and text produce
// it, turned into the points of a frame.
struct TFramePath
{
    std::vector<std::pair<int, int>> Points; // ILDA units, -32768..32767, Y grows downward as in the catalog
    int Colour = 0;                          // palette index 0..63, or -1: drawn blanked (nothing lit)
    bool Closed = false;                     // the last point joins the first
};

// The points of one frame: per path a blanked move to its first point, then
// its further points lit in its colour (a single point is lit where it is),
// the first point again when closed. Coordinates outside the field are moved
// to its edge; paths without points give nothing. Any number of points.
TZLT_Frame::Points PointsFromPaths(const std::vector<TFramePath>& paths);

// The same as a frame; null when it would hold more than TZLT_Frame::MaxPoints.
std::unique_ptr<TZLT_Frame> FrameFromPaths(const std::vector<TFramePath>& paths);
