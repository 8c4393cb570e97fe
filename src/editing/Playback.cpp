#include "Playback.h"

#include <algorithm>

namespace {
constexpr int64_t NsPerSecond = 1'000'000'000;
} // namespace

TPlayback::TPlayback(TPlaybackClock* clock, QObject* parent)
    : QObject(parent), FClock(clock), FSteady(std::make_unique<TOutputSteadyClock>())
{
}

TPlayback::~TPlayback()
{
    Clock().CancelWake();
}

void TPlayback::SetClock(TPlaybackClock* clock)
{
    Pause();
    FClock = clock;
}

void TPlayback::SetRange(std::vector<int> list, int keepSlot)
{
    const int oldPosition = FPosition;
    const int oldSlot = CurrentSlot();
    FRange = std::move(list);
    if (FRange.empty()) {
        FPosition = -1;
    } else if (keepSlot < 0) {
        FPosition = 0;
    } else {
        const auto at = std::lower_bound(FRange.begin(), FRange.end(), keepSlot);
        FPosition = at == FRange.end() ? int(FRange.size()) - 1 : int(at - FRange.begin());
    }
    if (FRange.empty()) {
        SetPlaying(false);
    } else if (FPlaying) {
        Anchor();
        ScheduleNext();
    }
    if (FPosition != oldPosition || CurrentSlot() != oldSlot)
        emit PositionChanged();
}

void TPlayback::SetRate(int framesPerSecond)
{
    const int rate = std::clamp(framesPerSecond, MinRate, MaxRate);
    if (rate == FRate)
        return;
    FRate = rate;
    if (FPlaying) {
        Anchor();
        ScheduleNext();
    }
}

void TPlayback::SetLoop(bool loop)
{
    FLoop = loop;
}

void TPlayback::Play()
{
    if (FRange.empty() || FPlaying)
        return;
    const int last = int(FRange.size()) - 1;
    if (!FLoop && FPosition == last && last > 0) {
        FPosition = 0;
        emit PositionChanged();
    }
    FShown = 1;
    FSkipped = 0;
    Anchor();
    SetPlaying(true);
    if (FPlaying)
        ScheduleNext();
}

void TPlayback::Pause()
{
    SetPlaying(false);
}

void TPlayback::Stop()
{
    SetPlaying(false);
    SetRange({});
}

void TPlayback::Seek(int position)
{
    if (FRange.empty())
        return;
    position = std::clamp(position, 0, int(FRange.size()) - 1);
    const bool changed = position != FPosition;
    FPosition = position;
    if (FPlaying) {
        Anchor();
        ScheduleNext();
    }
    if (changed)
        emit PositionChanged();
}

void TPlayback::Tick()
{
    if (!FPlaying || FRange.empty())
        return;
    const int64_t elapsed = std::max<int64_t>(0, Clock().NowNs() - FAnchorNs);
    const int64_t due = elapsed * FRate / NsPerSecond;
    if (due > FSteps) {
        const int64_t count = int64_t(FRange.size());
        int64_t target = FAnchorPosition + due;
        if (target >= count && !FLoop) {
            // The last frame's time is over: it stays, and playback ends.
            if (FPosition != count - 1) {
                FSkipped += int(std::max<int64_t>(0, count - 2 - FPosition));
                ++FShown;
                FPosition = int(count - 1);
                emit PositionChanged();
            }
            SetPlaying(false);
            return;
        }
        FSkipped += int(due - FSteps - 1);
        ++FShown;
        FSteps = due;
        target %= count;
        if (target != FPosition) {
            FPosition = int(target);
            emit PositionChanged();
        }
    }
    if (FPlaying)
        ScheduleNext();
}

void TPlayback::Anchor()
{
    FAnchorNs = Clock().NowNs();
    FAnchorPosition = std::max(FPosition, 0);
    FSteps = 0;
}

void TPlayback::ScheduleNext()
{
    // Frame FSteps + 1 of the run is due at this time, rounded up.
    const int64_t next = ((FSteps + 1) * NsPerSecond + FRate - 1) / FRate;
    Clock().WakeAt(FAnchorNs + next, [this] { Tick(); });
}

void TPlayback::SetPlaying(bool playing)
{
    if (playing == FPlaying)
        return;
    FPlaying = playing;
    if (!playing)
        Clock().CancelWake();
    emit PlayingChanged(playing);
}
