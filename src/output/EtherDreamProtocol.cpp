#include "EtherDreamProtocol.h"

#include <algorithm>

namespace EtherDream {

TStatus ReadStatus(const char* p)
{
    TStatus s;
    s.Protocol = uint8_t(p[0]);
    s.LightEngine = TLightEngine(uint8_t(p[1]));
    s.Playback = TPlayback(uint8_t(p[2]));
    s.Source = uint8_t(p[3]);
    s.LightEngineFlags = Get16(p + 4);
    s.PlaybackFlags = Get16(p + 6);
    s.SourceFlags = Get16(p + 8);
    s.Fullness = Get16(p + 10);
    s.PointRate = Get32(p + 12);
    s.PointCount = Get32(p + 16);
    return s;
}

void PutStatus(char* p, const TStatus& s)
{
    p[0] = char(s.Protocol);
    p[1] = char(s.LightEngine);
    p[2] = char(s.Playback);
    p[3] = char(s.Source);
    Put16(p + 4, s.LightEngineFlags);
    Put16(p + 6, s.PlaybackFlags);
    Put16(p + 8, s.SourceFlags);
    Put16(p + 10, s.Fullness);
    Put32(p + 12, s.PointRate);
    Put32(p + 16, s.PointCount);
}

bool ReadBroadcast(const QByteArray& datagram, TBroadcast& b)
{
    if (datagram.size() < BroadcastSize)
        return false;
    const char* p = datagram.constData();
    b.Mac = datagram.left(6);
    b.HardwareRevision = Get16(p + 6);
    b.SoftwareRevision = Get16(p + 8);
    b.BufferCapacity = Get16(p + 10);
    b.MaxPointRate = Get32(p + 12);
    b.Status = ReadStatus(p + 16);
    return true;
}

QByteArray BroadcastBytes(const TBroadcast& b)
{
    QByteArray bytes(BroadcastSize, '\0');
    char* p = bytes.data();
    std::copy_n(b.Mac.constData(), std::min<qsizetype>(b.Mac.size(), 6), p);
    Put16(p + 6, b.HardwareRevision);
    Put16(p + 8, b.SoftwareRevision);
    Put16(p + 10, b.BufferCapacity);
    Put32(p + 12, b.MaxPointRate);
    PutStatus(p + 16, b.Status);
    return bytes;
}

QByteArray SimpleCommand(Command command)
{
    return QByteArray(1, char(command));
}

QByteArray BeginCommand(uint32_t rate)
{
    QByteArray bytes(7, '\0');
    bytes[0] = char(Begin);
    Put32(bytes.data() + 3, rate); // after the unused low-water mark
    return bytes;
}

QByteArray RateCommand(Command command, uint32_t rate)
{
    // 'u' carries an unused u16 before the rate; 'q' does not.
    QByteArray bytes(command == UpdateRate ? 7 : 5, '\0');
    bytes[0] = char(command);
    Put32(bytes.data() + bytes.size() - 4, rate);
    return bytes;
}

void PutDataHeader(char* p, int count)
{
    p[0] = char(Data);
    Put16(p + 1, uint16_t(count));
}

void PutPoint(char* p, const TStreamPoint& point, uint16_t control)
{
    p = Put16(p, control);
    p = Put16(p, uint16_t(point.X));
    p = Put16(p, uint16_t(point.Y));
    p = Put16(p, uint16_t(point.R * 257));
    p = Put16(p, uint16_t(point.G * 257));
    p = Put16(p, uint16_t(point.B * 257));
    p = Put16(p, uint16_t(std::max({point.R, point.G, point.B}) * 257));
    p = Put16(p, 0);
    Put16(p, 0);
}

} // namespace EtherDream
