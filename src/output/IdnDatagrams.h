#pragma once

#include "ZLT_Catalog.h"
#include "ZLT_Palette.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The bytes of IDN-Hello datagrams (UDP) carrying IDN-Stream channel
// messages of laser frames. All numbers are big-endian.
namespace IdnDatagrams {

constexpr uint16_t DefaultPort = 7255;

// Commands of the 4-byte packet header.
enum Command : uint8_t
{
    PingRequest = 0x08,
    PingResponse = 0x09,
    ScanRequest = 0x10,
    ScanResponse = 0x11,
    ServiceMapRequest = 0x12,
    ServiceMapResponse = 0x13,
    ChannelMessage = 0x40,
    ChannelMessageAck = 0x41, // the same, asking for an acknowledgement
    CloseSession = 0x44,
    Acknowledgement = 0x47,
};

constexpr int PacketHeaderSize = 4;
constexpr int ChannelHeaderSize = 8;
constexpr int ConfigSize = 20; // 4 bytes + 4 words of descriptors
constexpr int ChunkHeaderSize = 4;
constexpr int SampleSize = 7; // X, Y 16-bit; R, G, B 8-bit
constexpr int MaxChannelMessage = 0xFF00;
// The largest datagram (UDP payload) a frame is cut into: one Ethernet
// packet by default, as a larger one travels as IP fragments of which one
// lost loses it all.
constexpr int DefaultLargestDatagram = 1472;
constexpr int MinLargestDatagram = 512;
constexpr int MaxLargestDatagram = 65280;
constexpr uint32_t MaxDuration = 0xFFFFFF; // µs, the chunk header's 24 bits
constexpr int MinSamples = 2; // of a frame a receiver plays

// Content ID bits and chunk types.
constexpr uint16_t ChannelMessageBit = 0x8000;
constexpr uint16_t ConfigBit = 0x4000; // on a sequel fragment: the last one
enum ChunkType : uint8_t
{
    EmptyChunk = 0x00,
    FrameChunk = 0x02,
    FirstFragment = 0x03,
    SequelFragment = 0xC0,
};
constexpr uint8_t RouteFlag = 0x01;
constexpr uint8_t CloseFlag = 0x02;
constexpr uint8_t DiscreteFrameMode = 0x02;
constexpr uint8_t LaserProjectorService = 0x80;
// An acknowledgement's event flags (since the one before): a new connection
// is news; every other flag (sequence errors, that is datagrams lost or out
// of order, and any the receiver adds) tells of data lost or refused.
constexpr uint16_t NewConnectionEvent = 0x0001;

// Why a frame is sent dark instead of as it is.
enum class TDarkReason
{
    None,
    NoFrame,  // no window, an empty slot or a single point
    OneSpot,  // every visible segment within 1/256 of the range
    LongDwell, // lit samples held within such a spot for over a fifth of a pass
    TooLong,  // one pass would pass the duration field
};

// Whether a frame may be sent as it is at a point rate.
TDarkReason CheckFrame(const TZLT_Frame* frame, int pointRate);

// One pass of count samples in µs at a point rate (count × 10^6 / rate, 0
// below MinSamples); may pass MaxDuration.
uint64_t PassDuration(int count, int pointRate);

// The samples of a frame: sample 0 is point 0, dark; sample i is point i
// at X and -1 - Y (the projector's Y points up), in its palette colour or
// dark when blanked.
QByteArray FrameSamples(const TZLT_Frame& frame, const TZLT_Pal& palette);
// The samples of a dark frame: two dark samples in the middle.
QByteArray DarkSamples();
// What to stream for a frame: its samples, or a dark frame when CheckFrame
// finds a reason, which goes into reason.
QByteArray StreamSamples(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate,
                         TDarkReason* reason = nullptr);

// The datagrams of one frame, each with its packet header (command 0x40,
// sequence 0: the session writes both). A frame whose channel message
// would pass MaxChannelMessage comes in fragments. timestampUs is the first
// message's timestamp; the fragments count on from it by one.
std::vector<QByteArray> FrameDatagrams(QByteArrayView samples, uint8_t serviceId, int pointRate,
                                       uint32_t timestampUs, int largestDatagram = DefaultLargestDatagram);

// The datagrams of one frame in buffers kept from one frame to the next:
// the samples go straight into them behind the room for the headers, so a
// frame costs one pass over its points and no allocation. Laid out as
// FrameDatagrams lays them out.
class TFrameDatagrams
{
public:
    explicit TFrameDatagrams(int largestDatagram = DefaultLargestDatagram);

    // The largest datagram from the next frame set on, clamped to
    // MinLargestDatagram..MaxLargestDatagram.
    void SetLargestDatagram(int bytes);
    int LargestDatagram() const { return FLargest; }

    // The sample bytes (a whole number of samples); fewer than MinSamples
    // go out as the dark frame.
    void SetSamples(QByteArrayView samples);
    // What to stream for a frame, as StreamSamples gives it.
    TDarkReason SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate);
    // Writes every header; the packet headers with command 0x40 and
    // sequence 0 (the session writes both).
    void PutHeaders(uint8_t serviceId, int pointRate, uint32_t timestampUs);

    size_t Count() const { return FCount; }
    char* Data(size_t i) const { return FBuffers[i].get(); }
    qsizetype Size(size_t i) const;
    // The sample bytes again, and whether two hold the same ones.
    QByteArray Samples() const;
    bool SameSamples(const TFrameDatagrams& other) const;

private:
    void Layout(qsizetype sampleBytes);
    static qsizetype Head(size_t i); // the bytes before the samples
    qsizetype PayloadStart(size_t i) const;
    qsizetype FirstRoom() const;
    qsizetype SequelRoom() const;

    int FLargest = DefaultLargestDatagram;
    size_t FBufferSize = 0;
    std::vector<std::unique_ptr<char[]>> FBuffers; // only grows
    size_t FCount = 0;
    qsizetype FSampleBytes = 0;
};

// The channel message that closes the channel, and the session's close.
QByteArray CloseChannelDatagram(uint8_t serviceId, uint32_t timestampUs);
QByteArray PacketDatagram(Command command);

// Writes the packet header's command and sequence number.
void SetHeader(QByteArray& datagram, Command command, uint16_t sequence);

// Ends a stream dark first: closeChannel (a channel message that closes the
// channel), then the session's close, each headed with the next sequence
// number, which only a datagram send reports sent uses up. Returns how many
// were sent.
int SendClosing(QByteArray closeChannel, uint16_t& sequence,
                const std::function<bool(const QByteArray&)>& send);

// The packet header with command 0x40 and sequence 0, then the channel
// message header; returns the byte after.
char* PutHeaders(char* p, int messageSize, uint16_t contentId, uint32_t timestampUs);
// The channel configuration for a service in a service mode, with the
// sample layout of every frame this program sends (X, Y at 16 bits; red
// 638 nm, green 532 nm, blue 460 nm at 8 bits); returns the byte after.
char* PutConfig(char* p, uint8_t serviceId, uint8_t mode);

// Writing big-endian numbers; each returns the byte after.
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

// An acknowledgement: its result code (below 0 an error) and the
// receiver's event flags.
struct TAnswer
{
    int Code = 0;
    uint16_t Flags = 0;
    // The receiver reports lost or refused data (a new connection is none).
    bool Lossy() const { return (Flags & ~NewConnectionEvent) != 0; }
};
// The acknowledgement a received datagram holds; false when it holds none.
bool ReadAnswer(QByteArrayView datagram, TAnswer& answer);

// Reading big-endian numbers out of received bytes.
inline uint16_t Read16(const char* p)
{
    return uint16_t(uint8_t(p[0]) << 8 | uint8_t(p[1]));
}
inline uint32_t Read32(const char* p)
{
    return uint32_t(Read16(p)) << 16 | Read16(p + 2);
}

} // namespace IdnDatagrams
