#include "IdnDatagrams.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <QtEndian>

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

namespace {

// Whether everything a frame lights (the end points of its visible
// segments) lies within one spot. Stops as soon as the lit extent passes
// the spot's size, which for a drawing comes after a few points.
bool OneSpot(const TZLT_Frame::Points& points)
{
    int minX = 0x7FFFFFFF, maxX = -0x7FFFFFFF, minY = 0x7FFFFFFF, maxY = -0x7FFFFFFF;
    bool lit = false;
    for (size_t i = 1; i < points.size(); ++i) {
        if (points[i].Blanked())
            continue;
        lit = true;
        const TZLT_Point& from = points[i - 1];
        const TZLT_Point& to = points[i];
        minX = std::min({minX, int(from.X()), int(to.X())});
        maxX = std::max({maxX, int(from.X()), int(to.X())});
        minY = std::min({minY, int(from.Y()), int(to.Y())});
        maxY = std::max({maxY, int(from.Y()), int(to.Y())});
        if (maxX - minX > SpotSize || maxY - minY > SpotSize)
            return false;
    }
    // A frame that lights nothing cannot hold the beam anywhere.
    return lit;
}

// One sample as the bytes X, Y, R, G, B in memory order, and a spare byte.
inline uint64_t SampleWord(const TZLT_Point& point, uint32_t rgb)
{
    const uint16_t x = uint16_t(point.X());
    const uint16_t y = uint16_t(~point.Y()); // -1 - Y
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        return uint64_t(uint16_t(x >> 8 | x << 8)) | uint64_t(uint16_t(y >> 8 | y << 8)) << 16 | uint64_t(rgb) << 32;
    } else {
        return uint64_t(x) << 48 | uint64_t(y) << 32 | uint64_t(rgb) << 8;
    }
}

// The samples of a frame in one pass, without a branch per point.
QByteArray BuildSamples(const TZLT_Frame& frame, const TZLT_Pal& palette)
{
    // The colour of each status value (bit 7 aside), dark when blanked.
    std::array<uint32_t, 128> colours;
    for (int status = 0; status < 128; ++status) {
        const TZLT_PalEntry& c = palette.ColorOf(uint8_t(status & TZLT_Point::ColorMask));
        const uint32_t rgb = Q_BYTE_ORDER == Q_LITTLE_ENDIAN
                                 ? uint32_t(c.Red) | uint32_t(c.Green) << 8 | uint32_t(c.Blue) << 16
                                 : uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | uint32_t(c.Blue);
        colours[size_t(status)] = status & TZLT_Point::BlankBit ? 0 : rgb;
    }
    const TZLT_Frame::Points& points = frame.AllPoints();
    const size_t count = points.size();
    QByteArray samples(qsizetype(count) * SampleSize, Qt::Uninitialized);
    if (count == 0)
        return samples;
    char* p = samples.data();
    uint64_t word = SampleWord(points[0], 0); // the start, moved to dark
    for (size_t i = 1; i < count; ++i) {
        // Eight bytes at once; the spare one is the next sample's first.
        std::memcpy(p, &word, 8);
        p += SampleSize;
        const TZLT_Point& point = points[i];
        word = SampleWord(point, colours[point.Status() & 0x7F]);
    }
    std::memcpy(p, &word, SampleSize);
    return samples;
}

} // namespace

TDarkReason CheckFrame(const TZLT_Frame* frame, int pointRate)
{
    if (!frame || !frame->Used())
        return TDarkReason::NoFrame;
    if (PassDuration(frame->Count(), pointRate) > MaxDuration)
        return TDarkReason::TooLong;
    return OneSpot(frame->AllPoints()) ? TDarkReason::OneSpot : TDarkReason::None;
}

QByteArray FrameSamples(const TZLT_Frame& frame, const TZLT_Pal& palette)
{
    return BuildSamples(frame, palette);
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
    return why == TDarkReason::None ? BuildSamples(*frame, palette) : DarkSamples();
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
