#pragma once

#include "OutputClock.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Playback runs by the clock the laser output runs by: the steady clock in
// the program, a clock of their own in tests.
using TPlaybackClock = TOutputClock;

// Plays a list of slots at a rate of frames per second. Which frame is
// shown follows the clock, not the time its drawing takes: frame k of a run
// is due k / rate seconds after the run started, and frames whose time has
// passed before they could be shown are skipped.
class TPlayback : public QObject
{
    Q_OBJECT

public:
    static constexpr int MinRate = 1;
    static constexpr int MaxRate = 100;
    static constexpr int DefaultRate = 25;

    // Runs by clock, or by the steady clock when it is null.
    explicit TPlayback(TPlaybackClock* clock = nullptr, QObject* parent = nullptr);
    ~TPlayback() override;

    // Another clock (null: the steady clock); playback pauses.
    void SetClock(TPlaybackClock* clock);

    // The slots to play, ascending. The current frame becomes the first slot
    // from keepSlot on (the last one when none follows), else the first.
    // Playing goes on from there with its timing; an empty list pauses.
    void SetRange(std::vector<int> list, int keepSlot = -1);
    const std::vector<int>& Range() const { return FRange; }
    // Index of the current frame in Range(); -1 while it is empty.
    int Position() const { return FPosition; }
    // The current frame's slot; -1 while the range is empty.
    int CurrentSlot() const { return FPosition >= 0 ? FRange[size_t(FPosition)] : -1; }

    int Rate() const { return FRate; }
    void SetRate(int framesPerSecond); // clamped to MinRate..MaxRate
    bool Loop() const { return FLoop; }
    void SetLoop(bool loop);
    bool Playing() const { return FPlaying; }

    // Plays from the current frame; from the first one when the last one
    // is current and the range does not loop.
    void Play();
    void Pause();
    // Pauses and empties the range.
    void Stop();
    void Seek(int position);
    // Makes the frame current that the clock says is due; the clock's wake
    // calls it.
    void Tick();

    // Since the last Play: frames shown (the first included) and skipped.
    int ShownCount() const { return FShown; }
    int SkippedCount() const { return FSkipped; }

signals:
    void PositionChanged();
    void PlayingChanged(bool playing);

private:
    TPlaybackClock& Clock() const { return FClock ? *FClock : *FSteady; }
    void Anchor();
    void ScheduleNext();
    void SetPlaying(bool playing);

    TPlaybackClock* FClock;
    std::unique_ptr<TPlaybackClock> FSteady;
    std::vector<int> FRange;
    int FPosition = -1;
    int FRate = DefaultRate;
    bool FLoop = true;
    bool FPlaying = false;
    // Timing of the run: frame FAnchorPosition was current at FAnchorNs,
    // and FSteps frames have been due since.
    int64_t FAnchorNs = 0;
    int FAnchorPosition = 0;
    int64_t FSteps = 0;
    int FShown = 0;
    int FSkipped = 0;
};
