#pragma once

#include "EtherDreamProtocol.h"
#include "OutputClock.h"
#include "PointStream.h"

#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <deque>
#include <memory>

class QTcpSocket;

// The stream of points to one Ether Dream DAC over TCP. It keeps the DAC's
// ring at the latency target by an estimate of its fullness (the last one
// reported, plus the points sent and not yet answered, minus what played
// since), in data commands of at most 80 points, each one write, never
// more than the ring's free room. It follows the state in every answer: it
// prepares, fills and begins again after an underflow (and counts it),
// stops at an emergency stop until output is turned on again, and
// reconnects every second to a DAC that stopped answering or closed the
// connection. Runs on the event loop's timers, like the IDN session.
class TEtherDreamSession : public QObject, private TPointSink
{
    Q_OBJECT

public:
    enum class TState
    {
        Off,
        Connecting,
        On,
        NoAnswer,      // no answer for a second, or the connection closed: reconnecting
        EmergencyStop, // the DAC stopped; cleared when output is turned on again
    };

    static constexpr int64_t Ms = 1'000'000;
    static constexpr int64_t AnswerTimeoutNs = 1000 * Ms;
    static constexpr int64_t ReconnectNs = 1000 * Ms;
    static constexpr int64_t PingNs = 100 * Ms;      // '?' when nothing else went out
    static constexpr int64_t ClearNs = 1000 * Ms;    // 'c' at most this often
    static constexpr int64_t RetryNs = 20 * Ms;      // after a refused command
    static constexpr int MaxInFlight = 400;          // points within the DAC's TCP window
    static constexpr int DefaultLatencyMs = 50;
    static constexpr int StopWaitMs = 100; // for the answers before the close

    // Runs by clock, or by the steady clock when it is null.
    explicit TEtherDreamSession(TOutputClock* clock = nullptr, QObject* parent = nullptr);
    ~TEtherDreamSession() override; // stops

    // Connects and streams the frame set last (dark if none). bufferCapacity
    // is the ring's size as the DAC's broadcast tells it.
    void Start(const QHostAddress& address, uint16_t port, int pointRate, int latencyMs,
               int bufferCapacity = EtherDream::DefaultBufferCapacity);
    // Stops the DAC at once ('s') and closes the connection.
    void Stop();
    bool Running() const { return FState != TState::Off; }

    // The frame to loop: takes over at the end of the current pass.
    void SetFrame(TStreamFrame frame);
    IdnDatagrams::TDarkReason SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate);
    // A new rate, taken up by the DAC from the next point sent on.
    void SetPointRate(int pointRate);

    TState State() const { return FState; }
    int PointRate() const { return FRate; }
    int TargetPoints() const;
    int64_t EstimatedFullness(int64_t nowNs) const;
    const EtherDream::TStatus& LastStatus() const { return FStatus; }
    // Underflows the DAC reported and refused commands, since the start.
    int Underruns() const { return FUnderruns; }
    int Refusals() const { return FRefusals; }
    int Connections() const { return FConnections; }
    const TPointStream& Stream() const { return FStream; }

signals:
    void StateChanged();

private:
    enum class TPhase
    {
        Closed,
        Connecting,
        Greeting, // connected, the first status not read yet
        Ready,
    };
    struct TPending
    {
        uint8_t Command;
        int Points;
        int64_t SentNs;
    };

    TOutputClock& Clock() const { return FClock ? *FClock : *FSteady; }
    void Tick(int64_t nowNs) override;
    int Room(int64_t nowNs) override;
    void Take(const TStreamPoint* points, int count, int64_t nowNs) override;

    void Connect();
    void Connected();
    void Lost(); // closed by the DAC, or a failed connect
    void CloseSocket();
    void ReadAnswers();
    void React(int64_t nowNs);
    void Send(const QByteArray& bytes, uint8_t command, int points = 0);
    bool ControlPending() const;
    int MinChunk() const;
    void SetState(TState state);

    TOutputClock* FClock;
    std::unique_ptr<TOutputClock> FSteady;
    TPointStream FStream;
    std::unique_ptr<QTcpSocket> FSocket;
    QHostAddress FAddress;
    uint16_t FPort = EtherDream::StreamPort;
    int FRate = 30000;
    int FLatencyMs = DefaultLatencyMs;
    int FCapacity = EtherDream::DefaultBufferCapacity;
    TState FState = TState::Off;
    TPhase FPhase = TPhase::Closed;
    EtherDream::TStatus FStatus;
    int64_t FStatusNs = 0;
    std::deque<TPending> FPending;
    int FInFlight = 0;            // points sent and not answered
    int64_t FLastSendNs = 0;
    int64_t FConnectNs = 0;
    int64_t FReconnectAtNs = 0;
    int64_t FHoldUntilNs = 0;
    int64_t FLastClearNs = -ClearNs;
    bool FClearAllowed = false;   // the user turned output on since the last 'c'
    bool FBegun = false;          // 'b' went out for the current stream
    bool FTakeRate = false;       // the next point carries bit 15
    int FUnderruns = 0;
    int FRefusals = 0;
    int FConnections = 0;
    QByteArray FData;
};
