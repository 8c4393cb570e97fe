#pragma once

#include "ZLT_Catalog.h"

#include <QtGlobal>

// What a galvanometer scanner needs to draw a frame right, in its own units:
// steps in ILDA units (the larger of |dx| and |dy|), times in microseconds,
// turned into points at PointRate and rounded up, so a profile stays right
// at any rate.
struct TScannerProfile
{
    int PointRate = 30000;    // points per second
    int LitStep = 640;        // largest step of a lit line
    int BlankedStep = 2000;   // largest step of a blanked move
    int ReversalUs = 300;     // a corner is held this long for a full reversal, in proportion to its turn
    double CornerAngle = 25;  // degrees; a smaller turn is not held
    int AnchorUs = 66;        // each path's first and last point held lit
    int WaitUs = 133;         // blanked at the old and at the new position of each blanked move
    bool KeepOrder = false;   // paths in the order and direction they were drawn
    int ColourDelayUs = 0;    // colours and blanking shifted later by this time

    static constexpr int MinPointRate = 1000;
    static constexpr int MaxPointRate = 100000;
    static constexpr int MaxMicroseconds = 100000;

    // microseconds at PointRate, rounded up: 66 us at 30 kpps are 2 points.
    int Points(int microseconds) const;
    int ReversalPoints() const { return Points(ReversalUs); }
    int AnchorPoints() const { return Points(AnchorUs); }
    int WaitPoints() const { return Points(WaitUs); }
    int ColourDelayPoints() const { return Points(ColourDelayUs); }
    // How long one pass of a frame of points lasts, in milliseconds.
    double PassMs(qint64 points) const;
    // The same profile with every value inside the range the optimiser takes.
    TScannerProfile Clamped() const;

    friend bool operator==(const TScannerProfile&, const TScannerProfile&) = default;
};

// What optimising or minimising one frame did.
struct TOptimiseResult
{
    bool Changed = false;
    bool TooLong = false; // it would need more than 65535 points and was left unchanged
    qint64 Needed = 0;    // points of the result, or those it would have needed
    qint64 PointsBefore = 0;
    qint64 PointsAfter = 0;
    qint64 TravelBefore = 0; // blanked travel, see BlankedTravel
    qint64 TravelAfter = 0;
};

// Removes what an optimisation added, keeping the lit picture: a point equal
// to the one before it, a lit point within MinimiseTolerance of the straight
// line between its neighbours (not where the colour changes), and the
// blanked points between two paths but the last one before the next lit
// point. Doing it again changes nothing.
TOptimiseResult Minimise(TZLT_Frame& frame);
TZLT_Frame::Points Minimised(const TZLT_Frame::Points& points);
inline constexpr double MinimiseTolerance = 60;

// Minimises the frame, puts its paths into a short order (unless the profile
// keeps the order) and adds the points the scanner needs: lit and blanked
// steps no longer than the profile's, corners held by their turn, anchors at
// each path's ends, waits around each blanked move, the loop back to the
// first point, the colour delay. An optimised frame optimises to itself. A
// frame that would need more than 65535 points is left as it was.
TOptimiseResult Optimise(TZLT_Frame& frame, const TScannerProfile& profile);
TZLT_Frame::Points Optimised(const TZLT_Frame::Points& points, const TScannerProfile& profile,
                             TOptimiseResult* result = nullptr);

// The length of the frame's blanked moves, each step the larger of |dx| and
// |dy|, the move from the last point back to the first included.
qint64 BlankedTravel(const TZLT_Frame::Points& points);
