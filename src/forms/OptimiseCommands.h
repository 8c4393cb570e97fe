#pragma once

#include "Language.h"
#include "Optimiser.h"

#include <QString>

class QWidget;
class TMDIChild;

// Frames › Optimise for the projector and Minimise on the used frames of
// a catalog window's selection, and what the status bar says of it.
namespace OptimiseCommands {

// What a command did, over the frames of the selection.
struct TSummary
{
    bool Minimise = false;
    int Frames = 0; // the frames worked on, not those left for their length
    qint64 PointsBefore = 0;
    qint64 PointsAfter = 0;
    qint64 TravelBefore = 0;
    qint64 TravelAfter = 0;
    int TooLong = 0; // frames that would need more than 65535 points, left unchanged
    int FirstTooLongSlot = -1;
    qint64 FirstNeeded = 0;
};

// Optimises (or minimises) the used frames of the selection as one step
// named step; none when no frame changes. The work runs on a thread of its
// own with a progress dialog over parent: the laser stream goes on, and
// Cancel leaves every frame as it was (an empty summary).
TSummary Run(TMDIChild& child, bool minimise, const TScannerProfile& profile, const TTextRow& step,
             QWidget* parent);

// "1,240 frames optimised: 410,000 → 655,000 points, blanked travel −38 %",
// then the first frame left unchanged for its length and how many more;
// empty when the selection held no used frame.
QString Message(const TSummary& summary);

} // namespace OptimiseCommands
