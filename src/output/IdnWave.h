#pragma once

#include "IdnDatagrams.h"
#include "IdnLink.h"
#include "OutputClock.h"
#include "PointStream.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include <cstdint>
#include <memory>


// IDN in continuous mode (service mode 0x01): the point stream in chunks
// of wave samples (chunk type 0x01). Each chunk's timestamp is exactly the
// one before plus that one's duration, so the projector plays them back to
// back; they go out ahead of their time by the latency.
namespace IdnWave {

constexpr uint8_t ContinuousMode = 0x01;
constexpr uint8_t WaveChunk = 0x01;
constexpr int MaxSamples = 1000;      // in one chunk
constexpr uint32_t MinDurationUs = 200; // of one chunk
constexpr int HeadSize = IdnDatagrams::PacketHeaderSize + IdnDatagrams::ChannelHeaderSize +
                         IdnDatagrams::ConfigSize + IdnDatagrams::ChunkHeaderSize;

// The samples one datagram of a size carries.
int SamplesPerDatagram(int largestDatagram);
// The fewest samples that last MinDurationUs at a rate.
int MinSamples(int pointRate);
// When sample index of the stream starts, in µs from the stream's start.
uint64_t SampleTimeUs(int64_t index, int pointRate);

// One datagram (command 0x40, sequence 0: the session writes both) with
// the configuration and count samples.
void PutDatagram(QByteArray& out, const TStreamPoint* points, int count, uint8_t serviceId, uint32_t timestampUs,
                 uint32_t durationUs);
// The message that closes the channel.
QByteArray CloseDatagram(uint8_t serviceId, uint32_t timestampUs);

} // namespace IdnWave

// The continuous stream to one projector service, fed by a point stream
// on the clock's ticks. Asks for an acknowledgement about once a second,
// tells when none comes and when one reports lost or refused data; closes
// the channel and the session when it stops.
class TIdnWaveSession : public QObject, private TPointSink
{
    Q_OBJECT

public:
    using TState = TIdnLink::TState;

    explicit TIdnWaveSession(TOutputClock* clock = nullptr, QObject* parent = nullptr);
    ~TIdnWaveSession() override;

    void Start(const QHostAddress& address, uint16_t port, uint8_t serviceId, int pointRate, int latencyMs,
               int largestDatagram = IdnDatagrams::DefaultLargestDatagram);
    void Stop();
    bool Running() const { return FLink.Running(); }

    void SetFrame(TStreamFrame frame);
    IdnDatagrams::TDarkReason SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate);

    TState State() const { return FLink.State(); }
    int ErrorCode() const { return FLink.ErrorCode(); }
    // The event flags of the last answer.
    uint16_t EventFlags() const { return FLink.EventFlags(); }
    const QString& SendError() const { return FLink.SendError(); }
    int DatagramCount() const { return FLink.DatagramCount(); }
    const TPointStream& Stream() const { return FStream; }

signals:
    void StateChanged();

private:
    TOutputClock& Clock() const { return FClock ? *FClock : *FSteady; }
    void Tick(int64_t nowNs) override;
    int Room(int64_t nowNs) override;
    void Take(const TStreamPoint* points, int count, int64_t nowNs) override;

    TOutputClock* FClock;
    std::unique_ptr<TOutputClock> FSteady;
    TPointStream FStream;
    TIdnLink FLink;
    int FRate = 30000;
    int FLatencyMs = 50;
    int FPerDatagram = 0;
    int64_t FStartNs = 0;
    int64_t FSamples = 0; // sent since the start
    QByteArray FDatagram;
};
