#pragma once

// A playback clock that moves only when a test moves it.

#include "Playback.h"

#include <algorithm>
#include <cstdint>
#include <functional>

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
    void CancelWake() override
    {
        Due = -1;
        FWake = nullptr;
    }

    // Moves the clock on by ns; a wake due by then comes once, late.
    void Advance(int64_t ns)
    {
        Now += ns;
        if (FWake && Due <= Now)
            Fire();
    }

    // Moves the clock to time, waking at every due time on the way: a
    // player whose drawing always keeps up.
    void RunUntil(int64_t time)
    {
        while (FWake && Due <= time) {
            Now = std::max(Now, Due);
            Fire();
        }
        Now = std::max(Now, time);
    }

private:
    void Fire()
    {
        std::function<void()> wake = std::move(FWake);
        FWake = nullptr;
        Due = -1;
        wake();
    }

    std::function<void()> FWake;
};
