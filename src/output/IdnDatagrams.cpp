#include "IdnDatagrams.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <QtEndian>

namespace IdnDatagrams {

namespace {

// The sample layout: X and Y at 16 bits, red 638 nm, green 532 nm, blue
// 460 nm at 8 bits, and a void tag to fill the last word.
constexpr std::array<uint16_t, 8> Descriptors{0x4200, 0x4010, 0x4210, 0x4010, 0x527E, 0x5214, 0x51CC, 0x0000};

// A lit extent up to this many units in X and in Y is one spot.
constexpr int SpotSize = 65536 / 256;

} // namespace

char* PutHeaders(char* p, int messageSize, uint16_t contentId, uint32_t timestampUs)
{
    *p++ = char(ChannelMessage);
    *p++ = 0;
    p = Put16(p, 0);
    p = Put16(p, uint16_t(messageSize));
    p = Put16(p, contentId);
    return Put32(p, timestampUs);
}

char* PutConfig(char* p, uint8_t serviceId, uint8_t mode)
{
    *p++ = char(Descriptors.size() / 2); // words
    *p++ = char(RouteFlag);
    *p++ = char(serviceId);
    *p++ = char(mode);
    for (const uint16_t tag : Descriptors)
        p = Put16(p, tag);
    return p;
}

uint64_t PassDuration(int count, int pointRate)
{
    // The receiver spreads every sample, the first one too, over the pass.
    if (count < MinSamples || pointRate <= 0)
        return 0;
    return uint64_t(count) * 1'000'000u / uint64_t(pointRate);
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

// The least and the most of a sliding window of values: indices in a
// buffer kept for the next frame, each pushed and popped at most once.
class TWindowExtreme
{
public:
    void Reset(size_t room)
    {
        if (FIndex.size() < room)
            FIndex.resize(room);
        FHead = FTail = 0;
    }
    void Clear() { FHead = FTail = 0; }
    // Adds value at index; less tells which of two values is kept.
    template <typename TLess>
    void Push(size_t index, const int* values, TLess less)
    {
        while (FTail > FHead && !less(values[FIndex[FTail - 1]], values[index]))
            --FTail;
        FIndex[FTail++] = uint32_t(index);
    }
    void DropBefore(size_t index)
    {
        while (FHead < FTail && FIndex[FHead] < index)
            ++FHead;
    }
    int Front(const int* values) const { return values[FIndex[FHead]]; }

private:
    std::vector<uint32_t> FIndex;
    size_t FHead = 0, FTail = 0;
};

// Whether the lit samples keep the beam inside one spot for more than a
// fifth of a pass: a run of consecutive lit samples whose positions, and
// the one the run starts from, fit one spot. The pass is a loop: a run at
// the end goes on into one at the start across the dark first sample.
// Two laps at most, each point pushed and popped once per lap.
bool LongDwell(const TZLT_Frame::Points& points)
{
    const size_t n = points.size();
    if (n < MinSamples)
        return false;
    // Such a run spans at least need + 1 positions, so it holds two
    // checkpoints a step apart, in one spot: without such a pair no run
    // can be long enough, which for a drawing is found in a few steps.
    const size_t need = n / 5 + 1;
    const size_t step = std::max<size_t>(1, need / 2);
    bool close = false;
    for (size_t t = 0; t + step < 2 * n && !close; t += step) {
        const TZLT_Point& a = points[t % n];
        const TZLT_Point& b = points[(t + step) % n];
        close = std::abs(a.X() - b.X()) <= SpotSize && std::abs(a.Y() - b.Y()) <= SpotSize;
    }
    if (!close)
        return false;
    thread_local std::vector<int> xs, ys;
    thread_local TWindowExtreme minX, maxX, minY, maxY;
    // The positions of both laps.
    xs.resize(2 * n);
    ys.resize(2 * n);
    for (size_t i = 0; i < n; ++i) {
        xs[i] = xs[i + n] = points[i].X();
        ys[i] = ys[i + n] = points[i].Y();
    }
    for (TWindowExtreme* extreme : {&minX, &maxX, &minY, &maxY})
        extreme->Reset(2 * n);
    const auto less = [](int a, int b) { return a < b; };
    const auto more = [](int a, int b) { return a > b; };
    const auto lit = [&](size_t t) { return t % n != 0 && !points[t % n].Blanked(); };
    const auto push = [&](size_t t) {
        minX.Push(t, xs.data(), less);
        maxX.Push(t, xs.data(), more);
        minY.Push(t, ys.data(), less);
        maxY.Push(t, ys.data(), more);
    };
    size_t start = 0; // the window's first position
    size_t count = 0; // lit samples after it within the window
    push(0);
    for (size_t t = 1; t < 2 * n; ++t) {
        const size_t i = t % n;
        if (i != 0 && points[i].Blanked()) {
            if (t >= n)
                break; // the second lap only continues a run of the first
            for (TWindowExtreme* extreme : {&minX, &maxX, &minY, &maxY})
                extreme->Clear();
            start = t;
            count = 0;
            push(t);
            continue;
        }
        push(t);
        if (i != 0)
            ++count;
        const auto advance = [&] {
            ++start;
            if (lit(start))
                --count;
            for (TWindowExtreme* extreme : {&minX, &maxX, &minY, &maxY})
                extreme->DropBefore(start);
        };
        // At most one lap, and no wider than a spot.
        if (t - start >= n)
            advance();
        while (maxX.Front(xs.data()) - minX.Front(xs.data()) > SpotSize ||
               maxY.Front(ys.data()) - minY.Front(ys.data()) > SpotSize)
            advance();
        if (5 * count > n)
            return true;
    }
    return false;
}

// The first message's bytes before its samples.
constexpr int FirstHead = ChannelHeaderSize + ConfigSize + ChunkHeaderSize;

// The samples of a frame as eight-byte words: the bytes X, Y, R, G, B in
// memory order and a spare byte, which the next sample overwrites.
class TSampleWords
{
public:
    TSampleWords(const TZLT_Frame& frame, const TZLT_Pal& palette) : FPoints(frame.AllPoints().data())
    {
        // The colour of each status value (bit 7 aside), dark when blanked.
        for (int status = 0; status < 256; ++status) {
            const TZLT_PalEntry& c = palette.ColorOf(uint8_t(status & TZLT_Point::ColorMask));
            const uint64_t rgb = Q_BYTE_ORDER == Q_LITTLE_ENDIAN
                                     ? (uint64_t(c.Red) | uint64_t(c.Green) << 8 | uint64_t(c.Blue) << 16) << 32
                                     : (uint64_t(c.Red) << 16 | uint64_t(c.Green) << 8 | uint64_t(c.Blue)) << 8;
            FColours[size_t(status)] = status & TZLT_Point::BlankBit ? 0 : rgb;
        }
    }

    // Writes the sample bytes [begin, end) of the whole frame's samples to
    // out, and may write one byte more.
    void Put(char* out, qsizetype begin, qsizetype end) const
    {
        size_t i = size_t(begin / SampleSize);
        if (const qsizetype skip = begin % SampleSize) {
            const uint64_t word = Word(i++);
            const qsizetype n = std::min<qsizetype>(SampleSize - skip, end - begin);
            std::memcpy(out, reinterpret_cast<const char*>(&word) + skip, size_t(n));
            out += n;
            begin += n;
        }
        const size_t last = i + size_t((end - begin) / SampleSize);
        if (i == 0 && i < last) {
            const uint64_t word = Word(i++);
            std::memcpy(out, &word, 8);
            out += SampleSize;
        }
        // Locals, as the stores through out could alias the members.
        const TZLT_Point* point = FPoints + i;
        const TZLT_Point* const stop = FPoints + last;
        const uint64_t* const colours = FColours.data();
        for (; point < stop; ++point, out += SampleSize) {
            const uint64_t word = Position(*point) | colours[point->Status()];
            std::memcpy(out, &word, 8);
        }
        if (const qsizetype tail = (end - begin) % SampleSize) {
            const uint64_t word = Word(last);
            std::memcpy(out, &word, size_t(tail));
        }
    }

private:
    // Sample 0 is the start, moved to dark.
    uint64_t Word(size_t i) const { return i == 0 ? Position(FPoints[0]) : Lit(FPoints[i]); }
    uint64_t Lit(const TZLT_Point& point) const { return Position(point) | FColours[point.Status()]; }
    // X and -1 - Y big-endian in the word's first four bytes.
    static uint64_t Position(const TZLT_Point& point)
    {
        const uint32_t xy = uint32_t(uint16_t(point.X())) | uint32_t(uint16_t(point.Y())) << 16;
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)
            return std::rotl(qbswap(xy), 16) ^ 0xFFFF0000u;
        else
            return uint64_t(std::rotl(xy, 16) ^ 0x0000FFFFu) << 32;
    }

    const TZLT_Point* FPoints;
    std::array<uint64_t, 256> FColours;
};

} // namespace

TDarkReason CheckFrame(const TZLT_Frame* frame, int pointRate)
{
    // A receiver ignores a frame of one sample and keeps scanning the one
    // before; a lone start point draws nothing anyway.
    if (!frame || !frame->Used() || frame->Count() < MinSamples)
        return TDarkReason::NoFrame;
    if (PassDuration(frame->Count(), pointRate) > MaxDuration)
        return TDarkReason::TooLong;
    if (OneSpot(frame->AllPoints()))
        return TDarkReason::OneSpot;
    return LongDwell(frame->AllPoints()) ? TDarkReason::LongDwell : TDarkReason::None;
}

QByteArray FrameSamples(const TZLT_Frame& frame, const TZLT_Pal& palette)
{
    const qsizetype bytes = qsizetype(frame.AllPoints().size()) * SampleSize;
    QByteArray samples(bytes, Qt::Uninitialized);
    if (bytes > 0) {
        TSampleWords(frame, palette).Put(samples.data(), 0, bytes);
        samples.data()[bytes] = '\0'; // the byte the last store wrote past them
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

TFrameDatagrams::TFrameDatagrams(int largestDatagram)
{
    SetLargestDatagram(largestDatagram);
    SetSamples(DarkSamples());
}

void TFrameDatagrams::SetLargestDatagram(int bytes)
{
    FLargest = std::clamp(bytes, MinLargestDatagram, MaxLargestDatagram);
}

qsizetype TFrameDatagrams::FirstRoom() const
{
    return FLargest - PacketHeaderSize - FirstHead;
}

qsizetype TFrameDatagrams::SequelRoom() const
{
    return FLargest - PacketHeaderSize - ChannelHeaderSize;
}

void TFrameDatagrams::Layout(qsizetype sampleBytes)
{
    // Room for the one byte an eight-byte store of the last sample writes
    // past a datagram.
    const size_t bufferSize = size_t(FLargest) + 8;
    if (bufferSize > FBufferSize) {
        FBuffers.clear();
        FBufferSize = bufferSize;
    }
    FSampleBytes = sampleBytes;
    const qsizetype first = FirstRoom(), sequel = SequelRoom();
    FCount = sampleBytes <= first ? 1 : 1 + size_t((sampleBytes - first + sequel - 1) / sequel);
    while (FBuffers.size() < FCount)
        FBuffers.push_back(std::make_unique_for_overwrite<char[]>(FBufferSize));
}

qsizetype TFrameDatagrams::Head(size_t i)
{
    return PacketHeaderSize + (i == 0 ? FirstHead : ChannelHeaderSize);
}

qsizetype TFrameDatagrams::PayloadStart(size_t i) const
{
    return i == 0 ? 0 : FirstRoom() + qsizetype(i - 1) * SequelRoom();
}

qsizetype TFrameDatagrams::Size(size_t i) const
{
    return Head(i) + std::min(FSampleBytes - PayloadStart(i), i == 0 ? FirstRoom() : SequelRoom());
}

void TFrameDatagrams::SetSamples(QByteArrayView samples)
{
    static const QByteArray dark = DarkSamples();
    if (samples.size() < MinSamples * SampleSize)
        samples = dark;
    Layout(samples.size());
    for (size_t i = 0; i < FCount; ++i) {
        const qsizetype head = Head(i);
        std::memcpy(Data(i) + head, samples.data() + PayloadStart(i), size_t(Size(i) - head));
    }
}

TDarkReason TFrameDatagrams::SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate)
{
    const TDarkReason why = CheckFrame(frame, pointRate);
    if (why != TDarkReason::None) {
        SetSamples(DarkSamples());
        return why;
    }
    Layout(qsizetype(frame->AllPoints().size()) * SampleSize);
    const TSampleWords words(*frame, palette);
    for (size_t i = 0; i < FCount; ++i) {
        const qsizetype head = Head(i);
        words.Put(Data(i) + head, PayloadStart(i), PayloadStart(i) + Size(i) - head);
    }
    return why;
}

void TFrameDatagrams::PutHeaders(uint8_t serviceId, int pointRate, uint32_t timestampUs)
{
    const uint32_t duration =
        uint32_t(std::min<uint64_t>(PassDuration(int(FSampleBytes / SampleSize), pointRate), MaxDuration));
    if (FCount == 1) {
        char* p = IdnDatagrams::PutHeaders(Data(0), int(Size(0) - PacketHeaderSize),
                                           uint16_t(ChannelMessageBit | ConfigBit | FrameChunk), timestampUs);
        // Flags 0: the match value 0, repeated until the next frame.
        Put32(PutConfig(p, serviceId, DiscreteFrameMode), duration);
        return;
    }
    // Fragments: the sample bytes cut anywhere; the last sequel says so.
    char* p = IdnDatagrams::PutHeaders(Data(0), int(Size(0) - PacketHeaderSize),
                                       uint16_t(ChannelMessageBit | ConfigBit | FirstFragment), timestampUs);
    Put32(PutConfig(p, serviceId, DiscreteFrameMode), duration);
    for (size_t i = 1; i < FCount; ++i)
        IdnDatagrams::PutHeaders(Data(i), int(Size(i) - PacketHeaderSize),
                                 uint16_t(ChannelMessageBit | (i + 1 == FCount ? ConfigBit : 0) | SequelFragment),
                                 timestampUs + uint32_t(i));
}

QByteArray TFrameDatagrams::Samples() const
{
    QByteArray samples;
    samples.reserve(FSampleBytes);
    for (size_t i = 0; i < FCount; ++i) {
        const qsizetype head = Head(i);
        samples.append(Data(i) + head, Size(i) - head);
    }
    return samples;
}

bool TFrameDatagrams::SameSamples(const TFrameDatagrams& other) const
{
    if (FSampleBytes != other.FSampleBytes || FLargest != other.FLargest)
        return false;
    for (size_t i = 0; i < FCount; ++i) {
        const qsizetype head = Head(i);
        if (std::memcmp(Data(i) + head, other.Data(i) + head, size_t(Size(i) - head)) != 0)
            return false;
    }
    return true;
}

std::vector<QByteArray> FrameDatagrams(QByteArrayView samples, uint8_t serviceId, int pointRate,
                                       uint32_t timestampUs, int largestDatagram)
{
    TFrameDatagrams frame(largestDatagram);
    frame.SetSamples(samples);
    frame.PutHeaders(serviceId, pointRate, timestampUs);
    std::vector<QByteArray> datagrams;
    for (size_t i = 0; i < frame.Count(); ++i)
        datagrams.emplace_back(frame.Data(i), frame.Size(i));
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

bool ReadAnswer(QByteArrayView datagram, TAnswer& answer)
{
    if (datagram.size() < PacketHeaderSize + 4 || uint8_t(datagram[0]) != Acknowledgement)
        return false;
    answer.Code = int(int8_t(datagram[PacketHeaderSize + 1]));
    answer.Flags = Read16(datagram.data() + PacketHeaderSize + 2);
    return true;
}

int SendClosing(QByteArray closeChannel, uint16_t& sequence,
                const std::function<bool(const QByteArray&)>& send)
{
    QByteArray end = PacketDatagram(CloseSession);
    int sent = 0;
    for (QByteArray* datagram : {&closeChannel, &end}) {
        SetHeader(*datagram, Command(uint8_t((*datagram)[0])), sequence);
        if (send(*datagram)) {
            ++sequence;
            ++sent;
        }
    }
    return sent;
}

} // namespace IdnDatagrams
