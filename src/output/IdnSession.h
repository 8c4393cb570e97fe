#pragma once

#include "IdnDatagrams.h"
#include "IdnLink.h"
#include "OutputClock.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>


// A projector's address as the user types it: a host name or an IPv4
// address, optionally followed by ":port".
struct TIdnAddress
{
    QString Host;
    uint16_t Port = IdnDatagrams::DefaultPort;

    // False for an empty text, a bad port or a host with spaces.
    static bool Parse(const QString& text, TIdnAddress& address);
    // "host" with the default port, else "host:port".
    QString ToString() const;
};

// The stream of frames to one projector service. It sends the frame at
// once when it changes and again at least every 200 ms, asks for an
// acknowledgement about once a second and tells when none comes, and closes
// the channel and the session when it stops. It runs on timers of the event
// loop, so modal dialogs (which run nested loops) do not stop it.
class TIdnSession : public QObject
{
    Q_OBJECT

public:
    using TState = TIdnLink::TState;

    static constexpr int64_t Ms = 1'000'000;
    // The frame goes out again after this long without a change.
    static constexpr int64_t KeepAliveNs = 150 * Ms;
    // The datagrams of a frame go out at most this fast, so a receiver
    // with an ordinary socket buffer (about 208 KB) reads them all.
    static constexpr int64_t PaceBytesPerMs = 64 * 1024;

    // Runs by clock, or by the steady clock when it is null.
    explicit TIdnSession(TOutputClock* clock = nullptr, QObject* parent = nullptr);
    ~TIdnSession() override; // stops

    // Opens the stream and sends the frame set last (dark if none).
    void Start(const QHostAddress& address, uint16_t port, uint8_t serviceId, int pointRate);
    // Closes the channel and the session; the projector goes dark.
    void Stop();
    bool Running() const { return FLink.Running(); }

    // The samples to stream (IdnDatagrams::FrameSamples); sent at once
    // when they differ from the last ones.
    void SetFrame(QByteArrayView samples);
    // The same for what to stream for a frame (as StreamSamples gives it),
    // written straight into the datagrams; returns why it goes dark.
    IdnDatagrams::TDarkReason SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate);
    QByteArray Frame() const { return FFrame.Samples(); }
    // The largest datagram a frame is cut into (IdnDatagrams'
    // DefaultLargestDatagram unless set); takes effect with the next send.
    void SetLargestDatagram(int bytes);
    int LargestDatagram() const { return FFrame.LargestDatagram(); }

    TState State() const { return FLink.State(); }
    // The result code of the last error answer (Refused).
    int ErrorCode() const { return FLink.ErrorCode(); }
    // The event flags of the last answer.
    uint16_t EventFlags() const { return FLink.EventFlags(); }
    // Why the last send failed (Failed).
    const QString& SendError() const { return FLink.SendError(); }
    const QHostAddress& Address() const { return FLink.Address(); }
    uint16_t Port() const { return FLink.Port(); }
    int PointRate() const { return FPointRate; }

    // Datagrams and frames sent since the start.
    int DatagramCount() const { return FLink.DatagramCount(); }
    int FrameCount() const { return FFrames; }

signals:
    void StateChanged();

private:
    TOutputClock& Clock() const { return FClock ? *FClock : *FSteady; }
    uint32_t TimestampUs() const { return uint32_t(Clock().NowNs() / 1000); }
    void SendFrame();
    void Flush();
    void FrameSet();
    void Fail();
    void Wake();
    void Schedule();

    TOutputClock* FClock;
    std::unique_ptr<TOutputClock> FSteady;
    TIdnLink FLink;
    int FPointRate = 30000;
    // The datagrams of the frame being sent, from FNext on still to go,
    // and those of the next one while it is built.
    IdnDatagrams::TFrameDatagrams FFrame;
    IdnDatagrams::TFrameDatagrams FNextFrame;
    size_t FNext = 0;
    int64_t FLastSendNs = 0;
    int64_t FPaceNs = 0; // when the bytes sent so far are due at the pace
    bool FRetry = false; // the socket was full: go on soon
    int FFrames = 0;
};
