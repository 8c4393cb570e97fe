#pragma once

#include "Optimiser.h"
#include "ZLT_Catalog.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The arithmetic of the frame tools: mirror, rotate, move, scale, centre,
// fit, reverse and recolour frames. One definition for the Frames menu, its
// dialogs and the batch converter, so all three give the same points.
// Qt Core only.
namespace FrameTools {

// The smallest rectangle that holds every point of a frame, blanked ones
// included. An empty frame has none.
struct TExtent
{
    int MinX = 0;
    int MaxX = 0;
    int MinY = 0;
    int MaxY = 0;
    bool Empty = true;

    // The union of two extents.
    TExtent operator|(const TExtent& other) const;
    friend bool operator==(const TExtent&, const TExtent&) = default;
};

struct TPointF
{
    double X = 0;
    double Y = 0;
    friend bool operator==(const TPointF&, const TPointF&) = default;
};

TExtent Extent(const TZLT_Frame& frame);
// ((MinX + MaxX) / 2, (MinY + MaxY) / 2); (0, 0) for an empty extent.
TPointF Centre(const TExtent& extent);

// The integer nearest to value, halves away from zero.
int64_t RoundHalfAway(double value);
// first + (last - first) * k / (n - 1): the value of the k-th of n frames; first when n < 2.
double Ramp(double first, double last, int k, int n);

// One value of an operation: a number for every frame, or a ramp from First
// to Last across the used frames.
struct TValue
{
    double First = 0;
    double Last = 0;

    TValue() = default;
    TValue(double value) : First(value), Last(value) {}
    TValue(double first, double last) : First(first), Last(last) {}

    bool Ramps() const { return First != Last; }
    double At(int k, int n) const { return Ramp(First, Last, k, n); }
    friend bool operator==(const TValue&, const TValue&) = default;
};

// The point a transform turns and scales about.
enum class TPivotKind
{
    Centre, // each frame's own centre
    Origin, // (0, 0)
    All,    // the centre of all used frames together
    Point   // a point given
};

struct TPivot
{
    TPivotKind Kind = TPivotKind::Centre;
    TValue X; // for Point
    TValue Y;
    friend bool operator==(const TPivot&, const TPivot&) = default;
};

enum class TKind
{
    MirrorX,     // x -> minX + maxX - x
    MirrorY,     // y -> minY + maxY - y
    RotateLeft,  // 90 degrees counter-clockwise as seen, about the frame's centre
    RotateRight, // 90 degrees clockwise as seen
    Centre,      // moved by -floor of the centre
    Fit,         // centred, then scaled about (0, 0) until the largest |x| or |y| is 32767
    Reverse,     // the same picture drawn backwards
    Transform,   // move, scale and rotate about the pivot
    SetColour,   // lit points get colour A
    ReplaceColour, // lit points of colour A get B
    Gradient,    // a frame's lit points from colour A to B
    Optimise,    // for the scanner of Scanner (a frame that would pass 65535 points stays)
    Minimise     // what an optimisation added removed
};

// One operation as data. Only the values of its kind count.
struct TOperation
{
    TKind Kind = TKind::Transform;
    // Transform: ILDA units, percent (negative mirrors), degrees counter-clockwise as seen.
    TValue MoveX{0};
    TValue MoveY{0};
    TValue ScaleX{100};
    TValue ScaleY{100};
    TValue Rotate{0};
    TPivot Pivot;
    // Colours: palette indices 0..63 (ramped values are rounded).
    TValue ColourA{0};
    TValue ColourB{0};
    // Optimise: the scanner's profile.
    TScannerProfile Scanner;

    friend bool operator==(const TOperation&, const TOperation&) = default;
};

// The values one frame of a transform gets.
struct TTransform
{
    double MoveX = 0;
    double MoveY = 0;
    double ScaleX = 100;
    double ScaleY = 100;
    double Rotate = 0;
};

// The commands on one frame. Each returns how many points the clamp to
// -32768..32767 moved to the field's edge (those that cannot leave the
// field return nothing). Z, Aux and what a command does not name are kept.
void MirrorX(TZLT_Frame& frame);
void MirrorY(TZLT_Frame& frame);
int RotateLeft(TZLT_Frame& frame);
int RotateRight(TZLT_Frame& frame);
int CentreFrame(TZLT_Frame& frame);
void Fit(TZLT_Frame& frame);
void Reverse(TZLT_Frame& frame);
int Transform(TZLT_Frame& frame, const TTransform& transform, TPointF pivot);
void SetColour(TZLT_Frame& frame, int colour);
void ReplaceColour(TZLT_Frame& frame, int from, int to);
void Gradient(TZLT_Frame& frame, int from, int to);

// Applies the operations in order to every used frame of the list (empty
// ones stay empty; ramps count the used frames only, in list order) and
// returns how many points the clamps moved, over all operations.
int Apply(const std::vector<TOperation>& operations, const std::vector<TZLT_Frame*>& frames);

// The same, leaving the sources as they are: the frames as they become, one
// per source (an empty frame for an empty source). Reads each source once,
// so a single operation costs about what a copy does.
std::vector<std::unique_ptr<TZLT_Frame>> Applied(const std::vector<TOperation>& operations,
                                                 const std::vector<const TZLT_Frame*>& sources,
                                                 int* clamped = nullptr);

// The centre of all used frames together (what the pivot All turns about).
TPointF CentreOfAll(const std::vector<const TZLT_Frame*>& frames);

// The first used source as Applied makes it, the others left alone, for a
// live preview: the k of the ramps is 0 and their n counts all used sources.
// The centre of all frames is allCentre when given (a caller that asks
// often keeps it); when a later operation needs the centre of all frames
// as they became, every frame is worked out. Null when no source is used.
std::unique_ptr<TZLT_Frame> FirstApplied(const std::vector<TOperation>& operations,
                                         const std::vector<const TZLT_Frame*>& sources, int* clamped = nullptr,
                                         std::optional<TPointF> allCentre = {});

} // namespace FrameTools
