#include "PointStream.h"

#include <algorithm>
#include <array>

namespace PointFrames {

TStreamFrame Make(const TZLT_Frame& frame, const TZLT_Pal& palette)
{
    std::array<TStreamPoint, 256> colours{};
    for (int status = 0; status < 256; ++status)
        if (!(status & TZLT_Point::BlankBit)) {
            const TZLT_PalEntry& c = palette.ColorOf(uint8_t(status & TZLT_Point::ColorMask));
            colours[size_t(status)] = {0, 0, c.Red, c.Green, c.Blue};
        }
    const TZLT_Frame::Points& points = frame.AllPoints();
    auto out = std::make_shared<std::vector<TStreamPoint>>(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        TStreamPoint& p = (*out)[i];
        if (i > 0)
            p = colours[points[i].Status()];
        p.X = points[i].X();
        p.Y = int16_t(-1 - points[i].Y());
    }
    return out;
}

TStreamFrame Dark()
{
    static const TStreamFrame dark = std::make_shared<const std::vector<TStreamPoint>>(1);
    return dark;
}

TStreamFrame ForFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate,
                      IdnDatagrams::TDarkReason* reason)
{
    const IdnDatagrams::TDarkReason why = IdnDatagrams::CheckFrame(frame, pointRate);
    if (reason)
        *reason = why;
    return why == IdnDatagrams::TDarkReason::None ? Make(*frame, palette) : Dark();
}

} // namespace PointFrames

TPointStream::TPointStream(TOutputClock& clock, TPointSink& sink, int maxChunk)
    : FClock(clock), FSink(sink), FMaxChunk(maxChunk), FCurrent(PointFrames::Dark()), FChunk(size_t(maxChunk))
{
}

TPointStream::~TPointStream()
{
    Stop();
}

void TPointStream::Start()
{
    Stop();
    FRunning = true;
    FIndex = 0;
    FPoints = 0;
    FPasses = 0;
    if (FPending)
        FCurrent = std::exchange(FPending, nullptr);
    Wake();
}

void TPointStream::Stop()
{
    if (!FRunning)
        return;
    FRunning = false;
    FClock.CancelWake();
}

void TPointStream::SetFrame(TStreamFrame frame)
{
    if (!frame || frame->empty())
        frame = PointFrames::Dark();
    const bool dark = std::all_of(frame->begin(), frame->end(),
                                  [](const TStreamPoint& p) { return (p.R | p.G | p.B) == 0; });
    // Nothing plays yet, or going dark: at once.
    if (!FRunning || (dark && FCurrent != frame)) {
        FCurrent = std::move(frame);
        FPending = nullptr;
        FIndex = 0;
        return;
    }
    FPending = frame == FCurrent ? nullptr : std::move(frame);
}

void TPointStream::Blackout()
{
    SetFrame(PointFrames::Dark());
}

void TPointStream::Next(TStreamPoint* out, int count)
{
    while (count > 0) {
        if (FIndex >= FCurrent->size()) {
            FIndex = 0;
            if (FPending)
                FCurrent = std::exchange(FPending, nullptr);
        }
        if (FIndex == 0)
            ++FPasses;
        const size_t n = std::min(size_t(count), FCurrent->size() - FIndex);
        std::copy_n(FCurrent->data() + FIndex, n, out);
        FIndex += n;
        out += n;
        count -= int(n);
        FPoints += int64_t(n);
    }
}

void TPointStream::Pump()
{
    if (!FRunning)
        return;
    const int64_t now = FClock.NowNs();
    // The sink may stop the stream from inside.
    for (int room = FSink.Room(now); FRunning && room > 0; room = FSink.Room(now)) {
        const int n = std::min(room, FMaxChunk);
        Next(FChunk.data(), n);
        FSink.Take(FChunk.data(), n, now);
    }
}

void TPointStream::Wake()
{
    if (!FRunning)
        return;
    const int64_t now = FClock.NowNs();
    FSink.Tick(now);
    Pump();
    if (FRunning)
        FClock.WakeAt(now + TickNs, [this] { Wake(); });
}
