#include "IdnWave.h"

#include <algorithm>

using namespace IdnDatagrams;

namespace IdnWave {

int SamplesPerDatagram(int largestDatagram)
{
    const int bytes = std::clamp(largestDatagram, MinLargestDatagram, MaxLargestDatagram);
    return std::min(MaxSamples, (bytes - HeadSize) / SampleSize);
}

int MinSamples(int pointRate)
{
    // With whole microseconds cut off each chunk's start, one more sample.
    return int((int64_t(MinDurationUs) * pointRate + 999'999) / 1'000'000) + 1;
}

uint64_t SampleTimeUs(int64_t index, int pointRate)
{
    return uint64_t(index) * 1'000'000u / uint64_t(pointRate);
}

void PutDatagram(QByteArray& out, const TStreamPoint* points, int count, uint8_t serviceId, uint32_t timestampUs,
                 uint32_t durationUs)
{
    out.resize(HeadSize + qsizetype(count) * SampleSize);
    char* p = out.data();
    p = PutHeaders(p, int(out.size() - PacketHeaderSize), uint16_t(ChannelMessageBit | ConfigBit | WaveChunk),
                   timestampUs);
    p = PutConfig(p, serviceId, ContinuousMode);
    p = Put32(p, durationUs & MaxDuration); // flags 0: the match value 0
    for (int i = 0; i < count; ++i) {
        p = Put16(p, uint16_t(points[i].X));
        p = Put16(p, uint16_t(points[i].Y));
        *p++ = char(points[i].R);
        *p++ = char(points[i].G);
        *p++ = char(points[i].B);
    }
}

QByteArray CloseDatagram(uint8_t serviceId, uint32_t timestampUs)
{
    QByteArray datagram = CloseChannelDatagram(serviceId, timestampUs);
    datagram[PacketHeaderSize + ChannelHeaderSize + 3] = char(ContinuousMode);
    return datagram;
}

} // namespace IdnWave

TIdnWaveSession::TIdnWaveSession(TOutputClock* clock, QObject* parent)
    : QObject(parent), FClock(clock), FSteady(clock ? nullptr : std::make_unique<TOutputSteadyClock>()),
      FStream(Clock(), *this, IdnWave::MaxSamples)
{
    connect(&FLink, &TIdnLink::StateChanged, this, &TIdnWaveSession::StateChanged);
}

TIdnWaveSession::~TIdnWaveSession()
{
    Stop();
}

void TIdnWaveSession::Start(const QHostAddress& address, uint16_t port, uint8_t serviceId, int pointRate,
                            int latencyMs, int largestDatagram)
{
    Stop();
    FRate = std::clamp(pointRate, 1, 1'000'000);
    FLatencyMs = std::max(latencyMs, 1);
    FPerDatagram = std::max(IdnWave::SamplesPerDatagram(largestDatagram), IdnWave::MinSamples(FRate));
    FSamples = 0;
    FStartNs = Clock().NowNs();
    FLink.Open(address, port, serviceId);
    FStream.Start();
}

void TIdnWaveSession::Stop()
{
    if (!Running())
        return;
    FStream.Stop();
    FLink.Close(IdnWave::CloseDatagram(FLink.ServiceId(), uint32_t(Clock().NowNs() / 1000)));
}

void TIdnWaveSession::SetFrame(TStreamFrame frame)
{
    FStream.SetFrame(std::move(frame));
}

TDarkReason TIdnWaveSession::SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate)
{
    TDarkReason why;
    FStream.SetFrame(PointFrames::ForFrame(frame, palette, pointRate, &why));
    return why;
}

void TIdnWaveSession::Tick(int64_t nowNs)
{
    FLink.CheckAnswer(nowNs);
}

// The samples due by now: the first chunk is stamped the latency ahead of
// the start, so what goes out now plays a latency later.
int TIdnWaveSession::Room(int64_t nowNs)
{
    if (!Running())
        return 0;
    const int64_t due = (nowNs - FStartNs) * FRate / 1'000'000'000 + 1;
    const int64_t room = due - FSamples;
    if (room < IdnWave::MinSamples(FRate))
        return 0;
    return int(std::min<int64_t>(room, FPerDatagram));
}

void TIdnWaveSession::Take(const TStreamPoint* points, int count, int64_t nowNs)
{
    const uint64_t startUs = uint64_t(FStartNs / 1000) + uint64_t(FLatencyMs) * 1000;
    const uint64_t from = IdnWave::SampleTimeUs(FSamples, FRate);
    const uint64_t to = IdnWave::SampleTimeUs(FSamples + count, FRate);
    IdnWave::PutDatagram(FDatagram, points, count, FLink.ServiceId(), uint32_t(startUs + from), uint32_t(to - from));
    FSamples += count;
    // A full socket buffer loses this chunk; the next keeps the timeline.
    if (FLink.Send(FDatagram.data(), FDatagram.size(), FLink.AckDue(nowNs), nowNs) == TIdnLink::TSent::Failed) {
        Stop();
        FLink.SetFailed();
    }
}
