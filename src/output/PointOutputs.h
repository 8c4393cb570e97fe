#pragma once

#include "EtherDreamOutput.h"
#include "IdnSession.h"
#include "IdnWave.h"

#include <QObject>
#include <QString>

// The kinds of laser output beside IDN frames: an Ether Dream DAC, and IDN
// as one continuous stream. Which one a frame goes out by, and their state
// as one.
enum class TOutputKind
{
    Idn,
    EtherDream,
};

class TPointOutputs : public QObject
{
    Q_OBJECT

public:
    enum class TState
    {
        Off,
        Connecting,
        On,
        NoAnswer,
        Refused,       // IDN: the projector answered with an error
        Lossy,         // IDN: the projector reports lost or refused data
        Failed,        // IDN: a send failed
        EmergencyStop, // Ether Dream
    };

    // The most points of a frame whose channel message stays within the
    // 200,000 bytes receivers join: more go out as a continuous stream.
    static constexpr int MaxFramePoints =
        (200'000 - IdnDatagrams::ChannelHeaderSize - IdnDatagrams::ConfigSize - IdnDatagrams::ChunkHeaderSize) /
        IdnDatagrams::SampleSize;

    // Whether a frame goes out as a point stream rather than as IDN frames.
    static bool Streams(TOutputKind kind, bool continuous, const TZLT_Frame* frame);
    // An address as typed, with the kind's default port.
    static bool ParseAddress(TOutputKind kind, const QString& text, TIdnAddress& address);

    explicit TPointOutputs(TOutputClock* clock = nullptr, QObject* parent = nullptr);

    TEtherDreamOutput Ether;
    TIdnWaveSession Wave;

    bool Running() const { return Ether.Running() || Wave.Running(); }
    void Stop();
    // The state of the one that runs (Off when none does).
    TState State() const;
    int Underruns() const { return Ether.Running() ? Ether.Underruns() : 0; }
    // The frame for the one that runs.
    IdnDatagrams::TDarkReason SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate);

signals:
    void StateChanged();
};
