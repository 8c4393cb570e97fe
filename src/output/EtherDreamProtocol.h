#pragma once

#include "PointStream.h"

#include <QByteArray>
#include <QHostAddress>

#include <cstdint>

// The bytes an Ether Dream DAC speaks: TCP commands and answers on port
// 7765, the status in every answer, the discovery broadcast on UDP port
// 7654. Every number is little-endian.
namespace EtherDream {

constexpr uint16_t StreamPort = 7765;
constexpr uint16_t BroadcastPort = 7654;
constexpr int StatusSize = 20;
constexpr int AnswerSize = 22;
constexpr int BroadcastSize = 36;
constexpr int PointSize = 18;
constexpr int VersionSize = 32;
constexpr int DefaultBufferCapacity = 1799; // of the first model
constexpr int MaxPointRate = 100000;
constexpr int MaxChunk = 80; // points in one data command
constexpr uint16_t TakeQueuedRate = 0x8000; // control bit of a point

enum Answer : uint8_t
{
    Ack = 'a',
    Full = 'F',
    Invalid = 'I',
    StopCondition = '!',
};

enum Command : uint8_t
{
    Prepare = 'p',
    Begin = 'b',
    UpdateRate = 'u',
    QueueRate = 'q', // 0x71
    Data = 'd',
    StopPlayback = 's',
    EmergencyStop = 0xFF,
    ClearEmergencyStop = 'c',
    Ping = '?',
    Version = 'v',
};

enum class TLightEngine : uint8_t
{
    Ready = 0,
    WarmUp = 1,
    CoolDown = 2,
    EmergencyStop = 3,
};

enum class TPlayback : uint8_t
{
    Idle = 0,
    Prepared = 1,
    Playing = 2,
};

// Playback flags.
constexpr uint16_t ShutterOpen = 0x0001;
constexpr uint16_t EndedByUnderflow = 0x0002;
constexpr uint16_t EndedByEmergencyStop = 0x0004;

struct TStatus
{
    uint8_t Protocol = 0;
    TLightEngine LightEngine = TLightEngine::Ready;
    TPlayback Playback = TPlayback::Idle;
    uint8_t Source = 0;
    uint16_t LightEngineFlags = 0;
    uint16_t PlaybackFlags = 0;
    uint16_t SourceFlags = 0;
    uint16_t Fullness = 0;
    uint32_t PointRate = 0;
    uint32_t PointCount = 0;
};

TStatus ReadStatus(const char* p);
void PutStatus(char* p, const TStatus& status);

// What a DAC's broadcast tells.
struct TBroadcast
{
    QByteArray Mac; // 6 bytes
    uint16_t HardwareRevision = 0;
    uint16_t SoftwareRevision = 0;
    uint16_t BufferCapacity = 0;
    uint32_t MaxPointRate = 0;
    TStatus Status;
};
bool ReadBroadcast(const QByteArray& datagram, TBroadcast& broadcast);
QByteArray BroadcastBytes(const TBroadcast& broadcast);

// Commands.
QByteArray SimpleCommand(Command command); // p s c ? v 0xFF
QByteArray BeginCommand(uint32_t rate);
QByteArray RateCommand(Command command, uint32_t rate); // u or q
// The data command header; PutPoint writes each point after it.
void PutDataHeader(char* p, int count);
// A stream point as the DAC takes it: 16-bit colour, the intensity the
// largest of R, G and B (projectors that blank on it stay dark with 0).
void PutPoint(char* p, const TStreamPoint& point, uint16_t control = 0);

inline uint16_t Get16(const char* p)
{
    return uint16_t(uint8_t(p[0]) | uint8_t(p[1]) << 8);
}
inline uint32_t Get32(const char* p)
{
    return uint32_t(Get16(p)) | uint32_t(Get16(p + 2)) << 16;
}
inline char* Put16(char* p, uint16_t v)
{
    p[0] = char(v);
    p[1] = char(v >> 8);
    return p + 2;
}
inline char* Put32(char* p, uint32_t v)
{
    return Put16(Put16(p, uint16_t(v)), uint16_t(v >> 16));
}

} // namespace EtherDream
