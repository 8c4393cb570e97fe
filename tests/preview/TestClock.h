#pragma once

// A playback clock that moves only when a test moves it.

#include "Playback.h"

#include <algorithm>
#include <utility>

class TTestClock : public TPlaybackClock
{
public:
    static constexpr int64_t Ms = 1'000'000;
    int64_t Now = 0;
    int64_t Due = -1; // of the pending wake; -1 for none

    int64_t NowNs() const override { return Now; }
    void WakeAt(int64_t dueNs, std::function<void()> wake) override
    {
        Due = dueNs;
        FWake = std::move(wake);
    }
    void CancelWake() override { WakeAt(-1, nullptr); }

    // Moves on by ns; a wake due by then comes once, late.
    void Advance(int64_t ns)
    {
        Now += ns;
        if (FWake && Due <= Now)
            std::exchange(FWake, nullptr)();
    }
    // Moves to time, waking at every due time on the way.
    void RunUntil(int64_t time)
    {
        while (FWake && Due <= time) {
            Now = std::max(Now, Due);
            std::exchange(FWake, nullptr)();
        }
        Now = std::max(Now, time);
    }

private:
    std::function<void()> FWake;
};
