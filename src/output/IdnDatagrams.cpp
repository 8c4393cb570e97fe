#include "IdnDatagrams.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace IdnDatagrams {

namespace {

// The sample layout: X and Y at 16 bits, red 638 nm, green 532 nm, blue
// 460 nm at 8 bits, and a void tag to fill the last word.
constexpr std::array<uint16_t, 8> Descriptors{0x4200, 0x4010, 0x4210, 0x4010, 0x527E, 0x5214, 0x51CC, 0x0000};

// A lit extent up to this many units in X and in Y is one spot.
constexpr int SpotSize = 65536 / 256;

inline char* Put16(char* p, uint16_t value)
{
    p[0] = char(value >> 8);
    p[1] = char(value);
    return p + 2;
}

inline char* Put32(char* p, uint32_t value)
{
    return Put16(Put16(p, uint16_t(value >> 16)), uint16_t(value));
}

// Packet header with command 0x40 and sequence 0, then the channel
// message header.
char* PutHeaders(char* p, int messageSize, uint16_t contentId, uint32_t timestampUs)
{
    *p++ = char(ChannelMessage);
    *p++ = 0;
    p = Put16(p, 0);
    p = Put16(p, uint16_t(messageSize));
    p = Put16(p, contentId);
    return Put32(p, timestampUs);
}

char* PutConfig(char* p, uint8_t serviceId)
{
    *p++ = char(Descriptors.size() / 2); // words
    *p++ = char(RouteFlag);
    *p++ = char(serviceId);
    *p++ = char(DiscreteFrameMode);
    for (const uint16_t tag : Descriptors)
        p = Put16(p, tag);
    return p;
}

} // namespace

uint64_t PassDuration(int count, int pointRate)
{
    if (count < 2 || pointRate <= 0)
        return 0;
    return uint64_t(count - 1) * 1'000'000u / uint64_t(pointRate);
}

TDarkReason CheckFrame(const TZLT_Frame* frame, int pointRate)
{
    if (!frame || !frame->Used())
        return TDarkReason::NoFrame;
    if (PassDuration(frame->Count(), pointRate) > MaxDuration)
        return TDarkReason::TooLong;
    const TZLT_Frame::Points& points = frame->AllPoints();
    int minX = 32767, maxX = -32768, minY = 32767, maxY = -32768;
    bool lit = false;
    for (size_t i = 1; i < points.size(); ++i) {
        if (points[i].Blanked())
            continue;
        lit = true;
        for (const TZLT_Point& p : {points[i - 1], points[i]}) {
            minX = std::min<int>(minX, p.X());
            maxX = std::max<int>(maxX, p.X());
            minY = std::min<int>(minY, p.Y());
            maxY = std::max<int>(maxY, p.Y());
        }
    }
    // A frame that lights nothing cannot hold the beam anywhere.
    if (lit && maxX - minX <= SpotSize && maxY - minY <= SpotSize)
        return TDarkReason::OneSpot;
    return TDarkReason::None;
}

QByteArray FrameSamples(const TZLT_Frame& frame, const TZLT_Pal& palette)
{
    const TZLT_Frame::Points& points = frame.AllPoints();
    QByteArray samples(qsizetype(points.size()) * SampleSize, Qt::Uninitialized);
    char* p = samples.data();
    bool first = true;
    for (const TZLT_Point& point : points) {
        p = Put16(p, uint16_t(point.X()));
        p = Put16(p, uint16_t(-1 - int(point.Y())));
        if (first || point.Blanked()) {
            p[0] = p[1] = p[2] = 0;
        } else {
            const TZLT_PalEntry& colour = palette.ColorOf(point.ColorIndex());
            p[0] = char(colour.Red);
            p[1] = char(colour.Green);
            p[2] = char(colour.Blue);
        }
        p += 3;
        first = false;
    }
    return samples;
}

QByteArray DarkSamples()
{
    return QByteArray(2 * SampleSize, '\0');
}

QByteArray StreamSamples(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate, TDarkReason* reason)
{
    const TDarkReason why = CheckFrame(frame, pointRate);
    if (reason)
        *reason = why;
    return why == TDarkReason::None ? FrameSamples(*frame, palette) : DarkSamples();
}

std::vector<QByteArray> FrameDatagrams(QByteArrayView samples, uint8_t serviceId, int pointRate,
                                       uint32_t timestampUs)
{
    const qsizetype count = samples.size() / SampleSize;
    const uint32_t duration = uint32_t(std::min<uint64_t>(PassDuration(int(count), pointRate), MaxDuration));
    constexpr int FirstHead = ChannelHeaderSize + ConfigSize + ChunkHeaderSize;
    const qsizetype whole = FirstHead + samples.size();

    std::vector<QByteArray> datagrams;
    // The first (or only) message: headers, configuration, chunk header, samples.
    const qsizetype firstBytes = std::min<qsizetype>(samples.size(), MaxChannelMessage - FirstHead);
    const bool fragmented = whole > MaxChannelMessage;
    {
        QByteArray datagram(PacketHeaderSize + FirstHead + firstBytes, Qt::Uninitialized);
        char* p = PutHeaders(datagram.data(), int(FirstHead + firstBytes),
                             uint16_t(ChannelMessageBit | ConfigBit | (fragmented ? FirstFragment : FrameChunk)),
                             timestampUs);
        p = PutConfig(p, serviceId);
        p = Put32(p, duration); // flags 0: the match value 0, repeated until the next frame
        std::memcpy(p, samples.data(), size_t(firstBytes));
        datagrams.push_back(std::move(datagram));
    }
    // Sequels: the next sample bytes, cut anywhere; the last one says so.
    qsizetype offset = firstBytes;
    uint32_t timestamp = timestampUs;
    while (offset < samples.size()) {
        const qsizetype bytes = std::min<qsizetype>(samples.size() - offset, MaxChannelMessage - ChannelHeaderSize);
        const bool last = offset + bytes == samples.size();
        QByteArray datagram(PacketHeaderSize + ChannelHeaderSize + bytes, Qt::Uninitialized);
        char* p = PutHeaders(datagram.data(), int(ChannelHeaderSize + bytes),
                             uint16_t(ChannelMessageBit | (last ? ConfigBit : 0) | SequelFragment), ++timestamp);
        std::memcpy(p, samples.data() + offset, size_t(bytes));
        datagrams.push_back(std::move(datagram));
        offset += bytes;
    }
    return datagrams;
}

QByteArray CloseChannelDatagram(uint8_t serviceId, uint32_t timestampUs)
{
    QByteArray datagram(PacketHeaderSize + ChannelHeaderSize + 4, Qt::Uninitialized);
    char* p = PutHeaders(datagram.data(), ChannelHeaderSize + 4,
                         uint16_t(ChannelMessageBit | ConfigBit | EmptyChunk), timestampUs);
    *p++ = 0; // no descriptors
    *p++ = char(CloseFlag);
    *p++ = char(serviceId);
    *p++ = char(DiscreteFrameMode);
    return datagram;
}

QByteArray PacketDatagram(Command command)
{
    QByteArray datagram(PacketHeaderSize, '\0');
    datagram[0] = char(command);
    return datagram;
}

void SetHeader(QByteArray& datagram, Command command, uint16_t sequence)
{
    char* p = datagram.data();
    p[0] = char(command);
    Put16(p + 2, sequence);
}

} // namespace IdnDatagrams
