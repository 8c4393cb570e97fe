#include "OutputClock.h"

#include <algorithm>
#include <utility>

TOutputSteadyClock::TOutputSteadyClock()
{
    FElapsed.start();
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, [this] {
        if (FWake)
            std::exchange(FWake, nullptr)();
    });
}

int64_t TOutputSteadyClock::NowNs() const
{
    return FElapsed.nsecsElapsed();
}

void TOutputSteadyClock::WakeAt(int64_t dueNs, std::function<void()> wake)
{
    FWake = std::move(wake);
    // Rounded up, so the wake never comes before its time.
    const int64_t ms = std::max<int64_t>((dueNs - NowNs() + 999'999) / 1'000'000, 0);
    FTimer.start(int(std::min<int64_t>(ms, 24 * 3600 * 1000)));
}

void TOutputSteadyClock::CancelWake()
{
    FTimer.stop();
    FWake = nullptr;
}
