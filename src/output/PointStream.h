#pragma once

#include "IdnDatagrams.h"
#include "OutputClock.h"
#include "ZLT_Catalog.h"
#include "ZLT_Palette.h"

#include <cstdint>
#include <memory>
#include <vector>

// One point as a point-streaming DAC plays it: X and Y as the projector
// takes them (Y already mirrored as -1 - Y, so positive Y is up) and 8-bit
// colour, dark for a blanked point.
struct TStreamPoint
{
    int16_t X = 0;
    int16_t Y = 0;
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const TStreamPoint&) const = default;
};

// A frame as it streams: an immutable copy, so it can be handed on while
// the window changes its own frame.
using TStreamFrame = std::shared_ptr<const std::vector<TStreamPoint>>;

namespace PointFrames {
// The points of a frame: point 0 dark (the move from the last point back
// to the first is dark), then every point at X and -1 - Y in its palette
// colour or dark when blanked.
TStreamFrame Make(const TZLT_Frame& frame, const TZLT_Pal& palette);
// One dark point in the middle.
TStreamFrame Dark();
// What to stream for a frame: its points, or the dark frame when
// IdnDatagrams::CheckFrame finds a reason, which goes into reason.
TStreamFrame ForFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate,
                      IdnDatagrams::TDarkReason* reason = nullptr);
} // namespace PointFrames

// Where a point stream goes: a DAC's connection.
class TPointSink
{
public:
    virtual ~TPointSink() = default;
    // Called on every tick before points are asked for: the sink's own
    // timeouts and keep-alives.
    virtual void Tick(int64_t nowNs) = 0;
    // How many points the sink takes now (0: none).
    virtual int Room(int64_t nowNs) = 0;
    // The next points of the stream, at most Room's count and MaxChunk.
    virtual void Take(const TStreamPoint* points, int count, int64_t nowNs) = 0;
};

// The endless point sequence of the frame shown, fed to a sink on the
// clock's ticks. A new frame takes over only when the current one has
// finished its pass, so no frame is ever torn; Blackout is at once. How
// much goes out is the sink's choice, paced by the clock.
class TPointStream
{
public:
    static constexpr int64_t Ms = 1'000'000;
    static constexpr int64_t TickNs = 2 * Ms;

    TPointStream(TOutputClock& clock, TPointSink& sink, int maxChunk);
    ~TPointStream();

    void Start();
    void Stop();
    bool Running() const { return FRunning; }

    // Takes over at the end of the current pass; a dark frame at once.
    void SetFrame(TStreamFrame frame);
    // Dark at once.
    void Blackout();
    // Feeds the sink now (for a sink that has room again).
    void Pump();

    const TStreamFrame& Current() const { return FCurrent; }
    // Points produced since the start, and passes begun.
    int64_t PointCount() const { return FPoints; }
    int64_t PassCount() const { return FPasses; }

private:
    void Wake();
    void Next(TStreamPoint* out, int count);

    TOutputClock& FClock;
    TPointSink& FSink;
    int FMaxChunk;
    bool FRunning = false;
    TStreamFrame FCurrent;
    TStreamFrame FPending;
    size_t FIndex = 0;
    int64_t FPoints = 0;
    int64_t FPasses = 0;
    std::vector<TStreamPoint> FChunk;
};
