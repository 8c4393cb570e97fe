#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>
#include <functional>

// The time the laser output and the preview's playback run by. The program
// uses the steady clock below; tests step a clock of their own instead of
// waiting.
class TOutputClock
{
public:
    virtual ~TOutputClock() = default;
    // Nanoseconds since a fixed start; never decreasing.
    virtual int64_t NowNs() const = 0;
    // Calls wake once, not before dueNs; a later call replaces a pending one.
    virtual void WakeAt(int64_t dueNs, std::function<void()> wake) = 0;
    virtual void CancelWake() = 0;
};

// The monotonic clock and a precise timer of the event loop. The timer
// also fires inside the nested event loops of modal dialogs.
class TOutputSteadyClock : public TOutputClock
{
public:
    TOutputSteadyClock();
    int64_t NowNs() const override;
    void WakeAt(int64_t dueNs, std::function<void()> wake) override;
    void CancelWake() override;

private:
    QElapsedTimer FElapsed;
    QTimer FTimer;
    std::function<void()> FWake;
};
