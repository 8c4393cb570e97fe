#pragma once

// What the output tests share: a clock that moves only when the test moves
// it, a receiver on 127.0.0.1 that keeps every datagram, and a decoder of
// what arrived, written from the protocol's tables rather than from the
// sender's code.

#include "IdnDatagrams.h"
#include "IdnDiscovery.h"
#include "OutputClock.h"
#include "ZLT_Catalog.h"

#include <QByteArray>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QtTest>

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace IdnTestKit {

class TTestClock : public TOutputClock
{
public:
    static constexpr int64_t Ms = 1'000'000;
    int64_t Now = 5 * Ms;
    int64_t Due = -1; // of the pending wake; -1 for none

    int64_t NowNs() const override { return Now; }
    void WakeAt(int64_t dueNs, std::function<void()> wake) override
    {
        Due = dueNs;
        FWake = std::move(wake);
    }
    void CancelWake() override { WakeAt(-1, nullptr); }

    // Moves to time, waking at every due time on the way.
    void RunUntil(int64_t time)
    {
        while (FWake && Due <= time) {
            Now = std::max(Now, Due);
            std::exchange(FWake, nullptr)();
        }
        Now = std::max(Now, time);
    }

private:
    std::function<void()> FWake;
};

// Every datagram that reached a socket on 127.0.0.1.
class TReceiver
{
public:
    // By default room for several frames of 65,535 points (460 KB each),
    // forced where the test may, as root in CI; else a buffer of that size
    // as the system counts it (Linux doubles what is asked for).
    explicit TReceiver(int bufferBytes = 0)
    {
        QVERIFY(Socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
        const int fd = int(Socket.socketDescriptor());
        if (bufferBytes > 0) {
            const int half = bufferBytes / 2;
            QVERIFY(setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &half, sizeof half) == 0 ||
                    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &half, sizeof half) == 0);
            return;
        }
        const int size = 8 << 20;
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    uint16_t Port() const { return Socket.localPort(); }

    // Waits until count datagrams in all have arrived; true when they have.
    bool WaitFor(size_t count)
    {
        for (int round = 0; round < 200 && Datagrams.size() < count; ++round) {
            Read();
            if (Datagrams.size() < count)
                Socket.waitForReadyRead(50);
        }
        Read();
        return Datagrams.size() >= count;
    }
    // Reads on a thread of its own until StopReading, as a real receiver
    // does, so a busy test thread cannot overflow the socket's buffer.
    void ReadOnAThread()
    {
        Reading = true;
        Reader = std::thread([this] {
            const int fd = int(Socket.socketDescriptor());
            QByteArray buffer(65536, Qt::Uninitialized);
            while (Reading) {
                pollfd ready{fd, POLLIN, 0};
                if (poll(&ready, 1, 20) <= 0)
                    continue;
                const ssize_t got = recv(fd, buffer.data(), size_t(buffer.size()), MSG_DONTWAIT);
                if (got >= 0)
                    Threaded.push_back(buffer.left(got));
            }
        });
    }
    // Ends the reading thread after it has taken what is there; its
    // datagrams join Datagrams (without their senders).
    void StopReading()
    {
        QTest::qWait(100);
        Reading = false;
        Reader.join();
        Datagrams.insert(Datagrams.end(), Threaded.begin(), Threaded.end());
        Threaded.clear();
    }
    // Takes what has arrived by now.
    void Read()
    {
        while (Socket.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = Socket.receiveDatagram();
            Datagrams.push_back(datagram.data());
            Senders.push_back({datagram.senderAddress(), uint16_t(datagram.senderPort())});
        }
    }
    // Nothing more arrives within a short while.
    bool Quiet()
    {
        const size_t before = Datagrams.size();
        Socket.waitForReadyRead(100);
        Read();
        return Datagrams.size() == before;
    }
    // Answers the datagram at index from the receiver's socket.
    void Answer(size_t index, const QByteArray& answer)
    {
        Socket.writeDatagram(answer, Senders[index].first, Senders[index].second);
    }
    // Acknowledges the last request for one that has arrived by now with a
    // result code and event flags; false when none has arrived.
    bool Acknowledge(int code, uint16_t flags = 0)
    {
        Read();
        for (size_t i = Datagrams.size(); i-- > 0;)
            if (!Datagrams[i].isEmpty() && uint8_t(Datagrams[i][0]) == 0x41) {
                QByteArray answer("\x47\x00\x00\x00\x04\x00\x00\x00", 8);
                answer[2] = Datagrams[i][2];
                answer[3] = Datagrams[i][3];
                answer[5] = char(code);
                answer[6] = char(flags >> 8);
                answer[7] = char(flags);
                Answer(i, answer);
                return true;
            }
        return false;
    }

    ~TReceiver()
    {
        Reading = false;
        if (Reader.joinable())
            Reader.join();
    }

    QUdpSocket Socket;
    std::vector<QByteArray> Datagrams;
    std::vector<std::pair<QHostAddress, uint16_t>> Senders;

private:
    std::thread Reader;
    std::atomic<bool> Reading = false;
    std::vector<QByteArray> Threaded;
};

inline uint16_t Get16(const QByteArray& data, qsizetype at)
{
    return uint16_t(uint8_t(data[at]) << 8 | uint8_t(data[at + 1]));
}
inline uint32_t Get32(const QByteArray& data, qsizetype at)
{
    return uint32_t(Get16(data, at)) << 16 | Get16(data, at + 2);
}

// One datagram taken apart; Error says what does not fit the protocol.
struct TDecoded
{
    uint8_t Command = 0;
    uint8_t Flags = 0;
    uint16_t Sequence = 0;
    bool HasMessage = false;
    uint16_t MessageSize = 0;
    uint16_t ContentId = 0;
    uint32_t Timestamp = 0;
    bool HasConfig = false;
    uint8_t WordCount = 0;
    uint8_t ConfigFlags = 0;
    uint8_t ServiceId = 0;
    uint8_t ServiceMode = 0;
    std::vector<uint16_t> Tags;
    bool HasChunkHeader = false;
    uint8_t ChunkFlags = 0;
    uint32_t Duration = 0;
    QByteArray Data; // sample bytes
    QString Error;

    uint8_t ChunkType() const { return uint8_t(ContentId & 0xFF); }
    bool Cclf() const { return (ContentId & 0x4000) != 0; }
};

inline TDecoded Decode(const QByteArray& datagram)
{
    TDecoded d;
    if (datagram.size() < 4) {
        d.Error = QStringLiteral("short packet header");
        return d;
    }
    d.Command = uint8_t(datagram[0]);
    d.Flags = uint8_t(datagram[1]);
    d.Sequence = Get16(datagram, 2);
    if ((d.Command != 0x40 && d.Command != 0x41) || datagram.size() == 4)
        return d; // no channel message
    d.HasMessage = true;
    if (datagram.size() < 12) {
        d.Error = QStringLiteral("short channel message header");
        return d;
    }
    d.MessageSize = Get16(datagram, 4);
    d.ContentId = Get16(datagram, 6);
    d.Timestamp = Get32(datagram, 8);
    if (d.MessageSize != datagram.size() - 4)
        d.Error = QStringLiteral("message size %1 in a body of %2").arg(d.MessageSize).arg(datagram.size() - 4);
    if (d.MessageSize > 0xFF00)
        d.Error = QStringLiteral("message of %1 bytes").arg(d.MessageSize);
    if (!(d.ContentId & 0x8000))
        d.Error = QStringLiteral("no channel message bit");
    qsizetype at = 12;
    const uint8_t type = d.ChunkType();
    if (d.Cclf() && type != 0xC0) {
        d.HasConfig = true;
        d.WordCount = uint8_t(datagram[at]);
        d.ConfigFlags = uint8_t(datagram[at + 1]);
        d.ServiceId = uint8_t(datagram[at + 2]);
        d.ServiceMode = uint8_t(datagram[at + 3]);
        at += 4;
        for (int i = 0; i < d.WordCount * 2; ++i, at += 2)
            d.Tags.push_back(Get16(datagram, at));
    }
    if (type == 0x01 || type == 0x02 || type == 0x03) {
        d.HasChunkHeader = true;
        d.ChunkFlags = uint8_t(datagram[at]);
        d.Duration = Get32(datagram, at) & 0xFFFFFF;
        at += 4;
    }
    d.Data = datagram.mid(at);
    return d;
}

struct TSample
{
    int16_t X;
    int16_t Y;
    uint8_t R, G, B;
    bool operator==(const TSample&) const = default;
};

inline std::vector<TSample> Samples(const QByteArray& bytes)
{
    std::vector<TSample> samples;
    for (qsizetype at = 0; at + 7 <= bytes.size(); at += 7)
        samples.push_back({int16_t(Get16(bytes, at)), int16_t(Get16(bytes, at + 2)), uint8_t(bytes[at + 4]),
                           uint8_t(bytes[at + 5]), uint8_t(bytes[at + 6])});
    return samples;
}

// What a frame's samples must be: point 0 dark, then each point at X and
// -1 - Y in its palette colour or dark.
inline std::vector<TSample> Expected(const TZLT_Frame& frame, const TZLT_Pal& palette)
{
    std::vector<TSample> samples;
    for (int i = 0; i < frame.Count(); ++i) {
        const TZLT_Point& p = frame.GetPoint(i);
        const TZLT_PalEntry& c = palette.GetEntry(p.Status() & 63);
        const bool dark = i == 0 || (p.Status() & 64);
        samples.push_back({p.X(), int16_t(-1 - p.Y()), uint8_t(dark ? 0 : c.Red), uint8_t(dark ? 0 : c.Green),
                           uint8_t(dark ? 0 : c.Blue)});
    }
    return samples;
}

// A whole frame joined from its datagrams.
struct TFrame
{
    TDecoded First;
    QByteArray Data;
    int Datagrams = 0;
};

// The frames in the datagrams from index from on, fragments joined in
// sequence order; fails the test on anything malformed.
inline std::vector<TFrame> Frames(const std::vector<QByteArray>& datagrams, size_t from = 0)
{
    std::vector<TFrame> frames;
    std::optional<TFrame> open;
    for (size_t i = from; i < datagrams.size(); ++i) {
        const TDecoded d = Decode(datagrams[i]);
        if (!d.Error.isEmpty())
            qWarning() << "datagram" << i << d.Error;
        if (!d.HasMessage)
            continue;
        switch (d.ChunkType()) {
        case 0x02:
            frames.push_back({d, d.Data, 1});
            break;
        case 0x03:
            open = TFrame{d, d.Data, 1};
            break;
        case 0xC0:
            if (open) {
                open->Data += d.Data;
                ++open->Datagrams;
                if (d.Cclf()) {
                    frames.push_back(*open);
                    open.reset();
                }
            }
            break;
        default:
            break;
        }
    }
    return frames;
}

// Why a receiver would not play a frame as sent: it needs at least two
// samples, spread over a pass of samples × 10^6 / rate µs. Empty when fine.
inline QString Unplayable(const TFrame& frame, int rate)
{
    const qsizetype samples = frame.Data.size() / 7;
    const uint64_t duration = uint64_t(samples) * 1'000'000 / uint64_t(rate);
    if (samples < 2 || frame.Data.size() % 7 != 0)
        return QStringLiteral("%1 bytes of samples").arg(frame.Data.size());
    if (frame.First.Duration != std::min<uint64_t>(duration, 0xFFFFFF) || duration == 0)
        return QStringLiteral("%1 samples at %2 pps in %3 µs").arg(samples).arg(rate).arg(frame.First.Duration);
    return {};
}

// One chunk of a continuous stream; Error says what a receiver refuses.
struct TWaveChunk
{
    uint32_t Timestamp = 0;
    uint32_t Duration = 0;
    uint8_t ServiceId = 0;
    int Samples = 0;
    QByteArray Data;
    QString Error;
};

// The wave sample chunks (type 0x01) among the datagrams from index from on.
inline std::vector<TWaveChunk> WaveChunks(const std::vector<QByteArray>& datagrams, size_t from = 0)
{
    std::vector<TWaveChunk> chunks;
    for (size_t i = from; i < datagrams.size(); ++i) {
        const TDecoded d = Decode(datagrams[i]);
        if (!d.HasMessage || d.ChunkType() != 0x01)
            continue;
        TWaveChunk c{d.Timestamp, d.Duration, d.ServiceId, int(d.Data.size() / 7), d.Data, d.Error};
        if (c.Error.isEmpty() && !(d.HasConfig && d.ServiceMode == 0x01 && d.WordCount == 4))
            c.Error = QStringLiteral("chunk %1 without the continuous configuration").arg(i);
        if (c.Error.isEmpty() && d.Data.size() % 7 != 0)
            c.Error = QStringLiteral("chunk %1 of %2 bytes").arg(i).arg(d.Data.size());
        chunks.push_back(c);
    }
    return chunks;
}

// The last two datagrams close the channel (in the service mode) and the session.
inline bool IsClose(const std::vector<QByteArray>& datagrams, uint8_t mode)
{
    const size_t n = datagrams.size();
    if (n < 2)
        return false;
    const TDecoded channel = Decode(datagrams[n - 2]);
    return channel.HasConfig && channel.WordCount == 0 && (channel.ConfigFlags & 0x02) && channel.ServiceMode == mode &&
           Decode(datagrams[n - 1]).Command == 0x44;
}

// A frame of count points on a circle-ish path with colours.
inline std::unique_ptr<TZLT_Frame> Figure(int count, int blankEvery = 0)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < count; ++i) {
        const int16_t x = int16_t((i * 7919) % 65536 - 32768);
        const int16_t y = int16_t((i * 104729) % 65536 - 32768);
        uint8_t status = uint8_t(i % 64);
        if (blankEvery > 0 && i % blankEvery == 0)
            status |= 64;
        frame->Add(TZLT_Point(x, y, 0, status, 0));
    }
    return frame;
}

// A projector on 127.0.0.1 that answers scans and, when it has one, service
// map requests.
class TResponder : public QObject
{
public:
    TResponder(QByteArray hostName, QByteArray unitId, uint8_t status, QByteArray map)
        : FHostName(std::move(hostName)), FUnitId(std::move(unitId)), FStatus(status), FMap(std::move(map))
    {
        QVERIFY(Socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
        connect(&Socket, &QUdpSocket::readyRead, this, [this] { Answer(); });
    }
    TIdnDiscovery::TTarget Target() const { return {QHostAddress(QHostAddress::LocalHost), Socket.localPort()}; }

    QUdpSocket Socket;
    QList<uint8_t> Commands; // of the requests received

private:
    void Answer()
    {
        while (Socket.hasPendingDatagrams()) {
            const QNetworkDatagram request = Socket.receiveDatagram();
            const QByteArray data = request.data();
            QCOMPARE(data.size(), qsizetype(4)); // header only
            Commands << uint8_t(data[0]);
            QByteArray answer = data.left(4);
            if (uint8_t(data[0]) == 0x10) {
                answer[0] = char(0x11);
                QByteArray body(40, '\0');
                body[0] = char(40);
                body[1] = char(0x10); // version 1.0
                body[2] = char(FStatus);
                body[4] = char(FUnitId.size() + 1);
                body[5] = char(7); // category
                body.replace(6, FUnitId.size(), FUnitId);
                body.replace(20, std::min<qsizetype>(FHostName.size(), 20), FHostName.left(20));
                answer += body;
            } else if (uint8_t(data[0]) == 0x12 && !FMap.isEmpty()) {
                answer[0] = char(0x13);
                answer += FMap;
            } else {
                continue;
            }
            Socket.writeDatagram(answer, request.senderAddress(), quint16(request.senderPort()));
        }
    }

    QByteArray FHostName;
    QByteArray FUnitId;
    uint8_t FStatus;
    QByteArray FMap;
};

inline QByteArray Entry(uint8_t id, uint8_t type, uint8_t relay, const QByteArray& name)
{
    QByteArray entry(24, '\0');
    entry[0] = char(id);
    entry[1] = char(type);
    entry[3] = char(relay);
    entry.replace(4, name.size(), name);
    return entry;
}

} // namespace IdnTestKit
