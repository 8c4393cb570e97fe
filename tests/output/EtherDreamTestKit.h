#pragma once

// A fake Ether Dream DAC on 127.0.0.1 for the output tests: a TCP server
// that answers every command as the open firmware does, with a ring of
// points that a clock drains at the point rate, and the discovery
// broadcast sent to 127.0.0.1. Written from the protocol's tables, not
// from the sender's code.

#include "OutputClock.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace EtherDreamTestKit {

// One point as the DAC played it.
struct TPlayed
{
    uint16_t Control = 0;
    int16_t X = 0, Y = 0;
    uint16_t R = 0, G = 0, B = 0, I = 0;
    bool operator==(const TPlayed&) const = default;
};

inline uint16_t Le16(const QByteArray& b, qsizetype at)
{
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}
inline uint32_t Le32(const QByteArray& b, qsizetype at)
{
    return uint32_t(Le16(b, at)) | uint32_t(Le16(b, at + 2)) << 16;
}
inline void PutLe16(QByteArray& b, uint16_t v)
{
    b.append(char(v)).append(char(v >> 8));
}
inline void PutLe32(QByteArray& b, uint32_t v)
{
    PutLe16(b, uint16_t(v));
    PutLe16(b, uint16_t(v >> 16));
}

class TFakeDac : public QObject
{
public:
    // Light engine and playback states as the status carries them.
    enum : uint8_t { Ready = 0, EStopped = 3 };
    enum : uint8_t { Idle = 0, Prepared = 1, Playing = 2 };

    explicit TFakeDac(const TOutputClock& clock, int capacity = 1799) : Capacity(capacity), FClock(clock)
    {
        QVERIFY(Server.listen(QHostAddress(QHostAddress::LocalHost), 0));
        connect(&Server, &QTcpServer::newConnection, this, [this] { Accept(); });
    }
    uint16_t Port() const { return Server.serverPort(); }

    // What the test can do to it.
    bool Mute = false;   // reads commands, answers none
    int RejectNext = 0;  // answers that many data commands 'I', their points dropped
    void EmergencyStop() { Estop(); }
    // The ring runs empty now, as when the sender fell behind.
    void Underflow()
    {
        Drain();
        Ring.clear();
        Playback = Idle;
        PlaybackFlags = (PlaybackFlags & ~1) | 2;
        ++Underflows;
    }
    void CloseConnection()
    {
        if (Client)
            Client->abort();
        Client.reset();
        Drain();
        Playback = Idle; // the firmware stops when its host goes
    }

    // Plays the points due by now; an empty ring while playing is an
    // underflow: the DAC stops and says so.
    void Drain()
    {
        const int64_t now = FClock.NowNs();
        while (Playback == Playing) {
            const double due = double(FRateStartNs) + double(FSinceRate + 1) * 1e9 / Rate;
            if (due > double(now))
                break;
            if (Ring.empty()) {
                Playback = Idle;
                PlaybackFlags = (PlaybackFlags & ~1) | 2;
                ++Underflows;
                break;
            }
            const TPlayed point = Ring.front();
            Ring.pop_front();
            Played.push_back(point);
            if (KeepTimes)
                PlayedAtNs.push_back(int64_t(due));
            ++PointCount;
            ++FSinceRate;
            if ((point.Control & 0x8000) && !QueuedRates.empty()) {
                FRateStartNs = int64_t(due);
                FSinceRate = 0;
                Rate = QueuedRates.front();
                QueuedRates.erase(QueuedRates.begin());
            }
        }
        if (Playback == Playing)
            WorstFullnessMs = std::min(WorstFullnessMs, double(Ring.size()) * 1000.0 / Rate);
    }

    QTcpServer Server;
    std::unique_ptr<QTcpSocket> Client;
    const int Capacity;
    uint8_t LightEngine = Ready;
    uint8_t Playback = Idle;
    uint16_t PlaybackFlags = 0;
    uint32_t Rate = 1;
    std::vector<uint32_t> QueuedRates;
    std::deque<TPlayed> Ring;
    uint32_t PointCount = 0;

    // What it saw.
    std::vector<TPlayed> Played;
    bool KeepTimes = false;
    std::vector<int64_t> PlayedAtNs; // when each was played, if kept
    QByteArray Commands;             // the command bytes in order
    std::vector<int> ChunkSizes;     // of the data commands
    std::vector<uint32_t> BeginRates;
    int Connections = 0;
    int Underflows = 0;
    int Overflows = 0;               // points that did not fit
    int UnknownCommands = 0;
    double WorstFullnessMs = 1e9;    // while playing, at each command
    double LongestSilenceMs = 0;     // between two commands while playing
    qint64 BytesIn = 0, BytesOut = 0;

    QByteArray Status() const
    {
        QByteArray s;
        s.append(char(0)).append(char(LightEngine)).append(char(Playback)).append(char(0));
        PutLe16(s, LightEngine); // the firmware puts the state here
        PutLe16(s, PlaybackFlags);
        PutLe16(s, 0);
        PutLe16(s, uint16_t(Ring.size()));
        PutLe32(s, Playback == Playing ? Rate : 0);
        PutLe32(s, PointCount);
        return s;
    }

private:
    void Accept()
    {
        while (QTcpSocket* socket = Server.nextPendingConnection()) {
            if (Client) { // one host at a time: the newest
                Client->abort();
                Drain();
                Playback = Idle;
            }
            Client.reset(socket);
            // Each answer at once, as the firmware sends them.
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            FIn.clear();
            ++Connections;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                if (Client.get() == socket)
                    Read();
            });
            Answer('a', '?'); // the greeting
        }
    }

    void Answer(char code, char command)
    {
        if (Mute || !Client)
            return;
        QByteArray a;
        a.append(code).append(command).append(Status());
        Client->write(a);
        Client->flush();
        BytesOut += a.size();
    }

    void Estop()
    {
        Drain();
        LightEngine = EStopped;
        Playback = Idle;
        PlaybackFlags = (PlaybackFlags & ~1) | 4;
        Ring.clear();
    }

    static qsizetype Length(const QByteArray& in)
    {
        switch (uint8_t(in[0])) {
        case 'b':
        case 'u':
            return 7;
        case 'q':
            return 5;
        case 'd':
            return in.size() < 3 ? -1 : 3 + qsizetype(Le16(in, 1)) * 18;
        default:
            return 1;
        }
    }

    void Read()
    {
        const QByteArray bytes = Client->readAll();
        BytesIn += bytes.size();
        FIn += bytes;
        while (!FIn.isEmpty() && Client) {
            const qsizetype length = Length(FIn);
            if (length < 0 || FIn.size() < length)
                return;
            const QByteArray command = FIn.left(length);
            FIn.remove(0, length);
            Execute(command);
        }
    }

    void Execute(const QByteArray& c)
    {
        const int64_t now = FClock.NowNs();
        if (Playback == Playing && FLastCommandNs > 0)
            LongestSilenceMs = std::max(LongestSilenceMs, double(now - FLastCommandNs) / 1e6);
        FLastCommandNs = now;
        Drain();
        const char op = c[0];
        Commands.append(op);
        const bool ready = LightEngine == Ready;
        switch (uint8_t(op)) {
        case 'p':
            if (Playback == Idle && ready) {
                Ring.clear();
                PlaybackFlags = 0;
                Playback = Prepared;
                return Answer('a', op);
            }
            return Answer('I', op);
        case 'b': {
            const uint32_t rate = Le32(c, 3);
            BeginRates.push_back(rate);
            QVERIFY2(rate != 0, "a rate of 0");
            if (rate > 100000)
                return Answer('I', op);
            if (Playback == Prepared && ready) {
                Playback = Playing;
                PlaybackFlags |= 1;
                Rate = rate;
                FRateStartNs = FClock.NowNs();
                FSinceRate = 0;
            }
            return Answer('a', op);
        }
        case 'u':
            QVERIFY2(Le32(c, 3) != 0, "a rate of 0");
            Rate = Le32(c, 3);
            FRateStartNs = FClock.NowNs();
            FSinceRate = 0;
            return Answer('a', op);
        case 'q':
            QVERIFY2(Le32(c, 1) != 0, "a rate of 0");
            QueuedRates.push_back(Le32(c, 1));
            return Answer('a', op);
        case 'd': {
            const int n = Le16(c, 1);
            ChunkSizes.push_back(n);
            if (RejectNext > 0) {
                --RejectNext;
                return Answer('I', op);
            }
            if (Playback == Idle || !ready)
                return Answer('I', op);
            bool full = false;
            for (int i = 0; i < n; ++i) {
                if (int(Ring.size()) >= Capacity) {
                    full = true;
                    ++Overflows;
                    continue;
                }
                const qsizetype at = 3 + qsizetype(i) * 18;
                Ring.push_back({Le16(c, at), int16_t(Le16(c, at + 2)), int16_t(Le16(c, at + 4)), Le16(c, at + 6),
                                Le16(c, at + 8), Le16(c, at + 10), Le16(c, at + 12)});
            }
            return Answer(full ? 'I' : 'a', op);
        }
        case 's':
            if (Playback == Idle)
                return Answer('I', op);
            Playback = Idle;
            PlaybackFlags &= ~1;
            Ring.clear();
            return Answer('a', op);
        case 0x00:
        case 0xFF:
            Estop();
            return Answer('!', op);
        case 'c':
            LightEngine = Ready;
            return Answer('a', op);
        case '?':
            return Answer('a', op);
        default:
            // The firmware drops a host that sends what it does not know.
            ++UnknownCommands;
            Client->abort();
            Client.reset();
            Playback = Idle;
            return;
        }
    }

    const TOutputClock& FClock;
    int64_t FLastCommandNs = 0;
    QByteArray FIn;
    int64_t FRateStartNs = 0;
    int64_t FSinceRate = 0;
};

// Lets the sockets of both ends talk until neither has more to say.
inline void Settle(const TFakeDac& dac)
{
    qint64 before = -1;
    for (int quiet = 0, round = 0; quiet < 2 && round < 50; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        const qint64 now = dac.BytesIn + dac.BytesOut;
        quiet = now == before ? quiet + 1 : 0;
        before = now;
    }
}

// A DAC's discovery broadcast, sent to 127.0.0.1 at a port.
// mac: six bytes.
inline QByteArray Broadcast(const char* mac, uint16_t hardware, uint16_t software, uint16_t capacity,
                            uint32_t maxRate)
{
    QByteArray b(mac, 6);
    PutLe16(b, hardware);
    PutLe16(b, software);
    PutLe16(b, capacity);
    PutLe32(b, maxRate);
    b.append(QByteArray(20, '\0')); // an idle, ready DAC's status
    return b;
}

// The monotonic clock as absolute nanoseconds, the same in every thread.
class TMonotonicClock : public TOutputClock
{
public:
    int64_t NowNs() const override
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
    }
    void WakeAt(int64_t, std::function<void()>) override {}
    void CancelWake() override {}
};

// DACs announcing themselves to 127.0.0.1 at a port, each every 200 ms
// (a real one does it once a second).
class TBroadcaster : public QObject
{
public:
    explicit TBroadcaster(uint16_t port) : FPort(port)
    {
        connect(&FTimer, &QTimer::timeout, this, [this] { Send(); });
        FTimer.start(200);
    }
    std::vector<QByteArray> Datagrams;
    void Send()
    {
        for (const QByteArray& datagram : Datagrams)
            FSocket.writeDatagram(datagram, QHostAddress(QHostAddress::LocalHost), FPort);
    }

private:
    uint16_t FPort;
    QUdpSocket FSocket;
    QTimer FTimer;
};

// A UDP port free on 127.0.0.1 at the moment.
inline uint16_t FreePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    return probe.localPort();
}

// A fake DAC on a thread of its own, so that a busy event loop in the test
// does not make it read late (which it would count as an underflow).
class TDacThread
{
public:
    explicit TDacThread(int capacity = 1799)
    {
        FThread.start();
        FContext.moveToThread(&FThread);
        Run([this, capacity] {
            // A DAC has a processor of its own: where allowed, the fake's
            // thread goes before the rest of a loaded machine, so only the
            // sender's delays show as underflows.
            setpriority(PRIO_PROCESS, id_t(gettid()), -10);
            Dac = new TFakeDac(FClock, capacity);
        });
    }
    ~TDacThread()
    {
        Run([this] { delete Dac; });
        FThread.quit();
        FThread.wait();
    }
    // Runs work on the DAC's thread and waits for it.
    void Run(const std::function<void()>& work)
    {
        QMetaObject::invokeMethod(&FContext, work, Qt::BlockingQueuedConnection);
    }
    template <typename T>
    T Get(T TFakeDac::*field)
    {
        T value{};
        Run([&] {
            Dac->Drain();
            value = Dac->*field;
        });
        return value;
    }
    TFakeDac* Dac = nullptr;

private:
    TMonotonicClock FClock;
    QThread FThread;
    QObject FContext;
};

} // namespace EtherDreamTestKit
