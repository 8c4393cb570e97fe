// The point stream to an Ether Dream as a fake DAC on 127.0.0.1 plays it:
// the frame looped with its dark closing move, frames changing only at the
// end of a pass, the reactions to the DAC's states, and the stop.

#include "EtherDreamOutput.h"
#include "EtherDreamSession.h"
#include "EtherDreamTestKit.h"
#include "IdnTestKit.h"

#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

#include <atomic>

using namespace EtherDreamTestKit;
using IdnTestKit::Figure;
using IdnTestKit::TTestClock;

namespace {
constexpr int64_t Ms = TTestClock::Ms;

// A session and a fake DAC on one test clock.
struct TRig
{
    explicit TRig(int capacity = 1799) : Dac(Clock, capacity) {}
    void Start(int rate = 30000, int latencyMs = 50)
    {
        Session.Start(QHostAddress(QHostAddress::LocalHost), Dac.Port(), rate, latencyMs, Dac.Capacity);
        Run(0);
    }
    // Moves on by ms, a millisecond at a time, the sockets talking in between.
    void Run(int64_t ms)
    {
        Settle(Dac);
        for (int64_t i = 0; i < ms; ++i) {
            Clock.RunUntil(Clock.Now + Ms);
            Settle(Dac);
        }
        Dac.Drain();
    }
    TTestClock Clock;
    TFakeDac Dac;
    TEtherDreamSession Session{&Clock};
};

// What the DAC must play for a frame in the default palette: point 0 dark,
// then each point at X and -1 - Y, 16-bit colour, the intensity the
// largest of the three.
std::vector<TPlayed> Expected(const TZLT_Frame& frame)
{
    std::vector<TPlayed> points;
    for (const IdnTestKit::TSample& s : IdnTestKit::Expected(frame, TZLT_Pal()))
        points.push_back({0, s.X, s.Y, uint16_t(s.R * 257), uint16_t(s.G * 257), uint16_t(s.B * 257),
                          uint16_t(std::max({s.R, s.G, s.B}) * 257)});
    return points;
}

// Where played stops being frame looped from from on (played.size() when
// it never does).
size_t LoopedUntil(const std::vector<TPlayed>& played, size_t from, const std::vector<TPlayed>& frame)
{
    for (size_t i = from; i < played.size(); ++i) {
        TPlayed p = played[i];
        p.Control = 0;
        if (!(p == frame[(i - from) % frame.size()]))
            return i;
    }
    return played.size();
}

// Another drawing of count points, apart from Figure's from the first point on.
std::unique_ptr<TZLT_Frame> OtherFigure(int count)
{
    const auto figure = Figure(count, 0);
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < count; ++i) {
        const TZLT_Point& p = figure->GetPoint(i);
        frame->Add(TZLT_Point(int16_t(p.X() ^ 0x1234), p.Y(), 0, p.Status(), 0));
    }
    return frame;
}

bool Dark(const TPlayed& p)
{
    return (p.R | p.G | p.B | p.I) == 0;
}

} // namespace

class TestEtherDream : public QObject
{
    Q_OBJECT

private slots:
    void played_data();
    void played();
    void passEnds_data();
    void passEnds();
    void states_data();
    void states();
    void stop_data();
    void stop();
    void rateChange();
    void steadyWhileBusy();
};

void TestEtherDream::played_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("blankEvery");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<int>("capacity");

    QTest::newRow("two points") << 2 << 0 << 30000 << 50 << 1799;
    QTest::newRow("one chunk") << 80 << 3 << 30000 << 50 << 1799;
    QTest::newRow("odd length, odd rate") << 333 << 7 << 12345 << 20 << 1799;
    QTest::newRow("slow") << 150 << 0 << 1000 << 100 << 1799;
    QTest::newRow("fast, latency past the ring") << 5000 << 10 << 100000 << 100 << 1799;
    QTest::newRow("larger ring") << 2500 << 4 << 60000 << 80 << 8000;
}

// The DAC plays the frame looped from its first point, prepared, filled
// and begun in that order, in chunks of at most 80 points that never pass
// the free room, and its ring stays near the latency.
void TestEtherDream::played()
{
    QFETCH(int, count);
    QFETCH(int, blankEvery);
    QFETCH(int, rate);
    QFETCH(int, latencyMs);
    QFETCH(int, capacity);
    TRig rig(capacity);
    const auto frame = Figure(count, blankEvery);
    QCOMPARE(rig.Session.SetFrame(frame.get(), TZLT_Pal(), rate), IdnDatagrams::TDarkReason::None);
    rig.Start(rate, latencyMs);
    rig.Run(600);
    QCOMPARE(rig.Session.State(), TEtherDreamSession::TState::On);
    QCOMPARE(rig.Dac.Underflows, 0);
    QCOMPARE(rig.Dac.Overflows, 0);
    QCOMPARE(rig.Dac.BeginRates, std::vector<uint32_t>{uint32_t(rate)});
    const QByteArray commands = rig.Dac.Commands;
    QVERIFY2(commands.startsWith("pd"), commands.left(8).constData());
    const qsizetype begin = commands.indexOf('b');
    QCOMPARE(commands.left(begin).count('d'), begin - 1); // only data between 'p' and 'b'
    for (const int n : rig.Dac.ChunkSizes)
        QVERIFY2(n >= 1 && n <= 80, qPrintable(QString::number(n)));

    const std::vector<TPlayed> expected = Expected(*frame);
    const std::vector<TPlayed>& played = rig.Dac.Played;
    // 600 ms at the rate, less the ring's start-up.
    QVERIFY2(played.size() + 2 >= size_t(rate) * 6 / 10, qPrintable(QString::number(played.size())));
    QCOMPARE(LoopedUntil(played, 0, expected), played.size());
    // The move from the last point back to the first is dark.
    QVERIFY(Dark(expected[0]));
    const double targetMs = std::min<double>(latencyMs, (capacity - 80) * 1000.0 / rate);
    QVERIFY2(rig.Dac.WorstFullnessMs >= targetMs / 2, qPrintable(QString::number(rig.Dac.WorstFullnessMs)));
    QVERIFY(rig.Dac.Ring.size() <= size_t(capacity));
}

void TestEtherDream::passEnds_data()
{
    QTest::addColumn<int>("first");  // points of the frame playing
    QTest::addColumn<int>("second"); // points of the next one; 0 for dark
    QTest::addColumn<int>("changeAtMs");

    QTest::newRow("long frame, change early") << 9000 << 300 << 40;
    QTest::newRow("short frames") << 120 << 77 << 100;
    QTest::newRow("to a longer one") << 500 << 4000 << 333;
    QTest::newRow("going dark is at once") << 9000 << 0 << 40;
}

// A new frame starts on its first point right after a whole pass of the
// one before; only going dark cuts a pass short.
void TestEtherDream::passEnds()
{
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(int, changeAtMs);
    TRig rig;
    const auto a = Figure(first, 5);
    const auto b = second > 0 ? OtherFigure(second) : nullptr;
    rig.Session.SetFrame(a.get(), TZLT_Pal(), 30000);
    rig.Start();
    rig.Run(changeAtMs);
    const size_t sentBefore = size_t(rig.Session.Stream().PointCount());
    if (b)
        rig.Session.SetFrame(b.get(), TZLT_Pal(), 30000);
    else
        rig.Session.SetFrame(nullptr, TZLT_Pal(), 30000);
    rig.Run(700);

    const std::vector<TPlayed>& played = rig.Dac.Played;
    const size_t cut = LoopedUntil(played, 0, Expected(*a));
    QVERIFY(cut < played.size());
    if (!b) {
        // Dark from the first point made after the change, mid-pass.
        QCOMPARE(cut, sentBefore);
        QVERIFY(cut % size_t(first) != 0);
        QVERIFY(std::all_of(played.begin() + qsizetype(cut), played.end(), Dark));
        return;
    }
    QCOMPARE(cut % size_t(first), size_t(0));
    QVERIFY(cut >= sentBefore);
    QVERIFY(cut < sentBefore + size_t(first));
    QCOMPARE(LoopedUntil(played, cut, Expected(*b)), played.size());
}

enum class TEvent
{
    Underflow,     // the sender stalls past the ring
    EmergencyStop, // the button on the DAC
    Mute,          // the DAC stops answering
    Close,         // the DAC drops the connection
    Refusals,      // three data commands answered 'I'
    Version,
};
Q_DECLARE_METATYPE(TEvent)

void TestEtherDream::states_data()
{
    QTest::addColumn<TEvent>("event");
    QTest::addColumn<TEtherDreamSession::TState>("during"); // 1.5 s after it
    QTest::addColumn<int>("underruns");     // the sender counted
    QTest::addColumn<int>("dacUnderflows"); // the DAC had
    QTest::addColumn<int>("refusals");
    QTest::addColumn<int>("connections"); // at the end
    using S = TEtherDreamSession::TState;
    // After an underflow the data sent before the news arrived is refused.
    QTest::newRow("underflow") << TEvent::Underflow << S::On << 1 << 1 << -1 << 1;
    QTest::newRow("emergency stop") << TEvent::EmergencyStop << S::EmergencyStop << 0 << 0 << -1 << 3;
    // The silent DAC plays its ring empty before the sender reconnects.
    QTest::newRow("no answer") << TEvent::Mute << S::NoAnswer << 0 << 1 << 0 << -1;
    QTest::newRow("connection closed") << TEvent::Close << S::On << 0 << 0 << 0 << 2;
    QTest::newRow("refused data") << TEvent::Refusals << S::On << 0 << 0 << 3 << 1;
}

// What the sender does after each event, and that it plays the frame
// again, without an underflow, once the DAC lets it.
void TestEtherDream::states()
{
    QFETCH(TEvent, event);
    QFETCH(TEtherDreamSession::TState, during);
    QFETCH(int, underruns);
    QFETCH(int, dacUnderflows);
    QFETCH(int, refusals);
    QFETCH(int, connections);
    TRig rig;
    const auto frame = Figure(600, 9);
    rig.Session.SetFrame(frame.get(), TZLT_Pal(), 30000);
    rig.Start();
    rig.Run(300);
    QCOMPARE(rig.Session.State(), TEtherDreamSession::TState::On);

    switch (event) {
    case TEvent::Underflow:
        rig.Clock.Now += 200 * Ms; // the event loop held up past the ring
        break;
    case TEvent::EmergencyStop:
        rig.Dac.EmergencyStop();
        break;
    case TEvent::Mute:
        rig.Dac.Mute = true;
        break;
    case TEvent::Close:
        rig.Dac.CloseConnection();
        break;
    case TEvent::Refusals:
        rig.Dac.RejectNext = 3;
        break;
    default:
        break;
    }
    rig.Run(1500);
    QCOMPARE(rig.Session.State(), during);
    if (event == TEvent::EmergencyStop) {
        // Cleared only when the user turns output on again, at most once a second.
        QCOMPARE(rig.Dac.Commands.count('c'), 0);
        rig.Run(2000);
        QCOMPARE(rig.Dac.Commands.count('c'), 0);
        QCOMPARE(rig.Session.State(), TEtherDreamSession::TState::EmergencyStop);
        rig.Start();
        rig.Start();
        rig.Run(100);
        QCOMPARE(rig.Dac.Commands.count('c'), 1);
    }
    if (event == TEvent::Mute) {
        // Reconnected every second while it stays silent.
        const int before = rig.Dac.Connections;
        rig.Run(3000);
        QVERIFY2(rig.Dac.Connections >= before + 2 && rig.Dac.Connections <= before + 4,
                 qPrintable(QString::number(rig.Dac.Connections - before)));
        rig.Dac.Mute = false;
    }
    rig.Run(1500);
    QCOMPARE(rig.Session.State(), TEtherDreamSession::TState::On);
    QCOMPARE(rig.Session.Underruns(), underruns);
    QCOMPARE(rig.Dac.Underflows, dacUnderflows);
    if (refusals >= 0)
        QCOMPARE(rig.Session.Refusals(), refusals);
    if (connections >= 0)
        QCOMPARE(rig.Dac.Connections, connections);
    // Playing again: the last 300 ms are the frame looped.
    const std::vector<TPlayed>& played = rig.Dac.Played;
    QVERIFY(played.size() > 20000);
    const std::vector<TPlayed> expected = Expected(*frame);
    size_t start = played.size() - 9000;
    while (!(played[start] == expected[0] && played[start + 1] == expected[1]))
        ++start;
    QCOMPARE(LoopedUntil(played, start, expected), played.size());
    const size_t rings = std::count_if(rig.Dac.Commands.begin(), rig.Dac.Commands.end(), [](char c) { return c == 'b'; });
    QCOMPARE(rings, size_t(rig.Dac.Commands.count('p')));
}

void TestEtherDream::stop_data()
{
    QTest::addColumn<bool>("destroy");  // the end of the program, else Stop
    QTest::addColumn<bool>("threaded"); // as the program runs it
    QTest::newRow("blackout or output off") << false << false;
    QTest::newRow("exit") << true << false;
    QTest::newRow("on its thread: blackout or output off") << false << true;
    QTest::newRow("on its thread: exit") << true << true;
}

// 's' goes out at once, then the connection closes, and nothing more plays.
void TestEtherDream::stop()
{
    QFETCH(bool, destroy);
    QFETCH(bool, threaded);
    TDacThread dac;
    uint16_t port = 0;
    dac.Run([&] { port = dac.Dac->Port(); });
    auto session = threaded ? nullptr : std::make_unique<TEtherDreamSession>(); // the steady clock
    auto output = threaded ? std::make_unique<TEtherDreamOutput>() : nullptr;
    const auto frame = Figure(400, 0);
    if (session) {
        session->SetFrame(frame.get(), TZLT_Pal(), 30000);
        session->Start(QHostAddress(QHostAddress::LocalHost), port, 30000, 50);
    } else {
        output->SetFrame(frame.get(), TZLT_Pal(), 30000);
        output->Start(QHostAddress(QHostAddress::LocalHost), port, 30000, 50);
    }
    QTest::qWait(300);
    QCOMPARE(dac.Get(&TFakeDac::Playback), uint8_t(TFakeDac::Playing));
    if (destroy) {
        session.reset();
        output.reset();
    } else if (session) {
        session->Stop();
    } else {
        output->Stop();
    }
    QTRY_VERIFY(dac.Get(&TFakeDac::Commands).endsWith('s'));
    QCOMPARE(dac.Get(&TFakeDac::Playback), uint8_t(TFakeDac::Idle));
    bool connected = true;
    QTRY_VERIFY((dac.Run([&] { connected = dac.Dac->Client && dac.Dac->Client->state() == QAbstractSocket::ConnectedState; }), !connected));
    const size_t played = dac.Get(&TFakeDac::Played).size();
    QTest::qWait(100);
    QCOMPARE(dac.Get(&TFakeDac::Played).size(), played);
    if (session)
        QCOMPARE(session->State(), TEtherDreamSession::TState::Off);
    if (output)
        QCOMPARE(output->State(), TEtherDreamSession::TState::Off);
}

// A new rate goes out queued ('q') and the next point takes it up.
void TestEtherDream::rateChange()
{
    TRig rig;
    const auto frame = Figure(300, 0);
    rig.Session.SetFrame(frame.get(), TZLT_Pal(), 30000);
    rig.Start(30000);
    rig.Run(200);
    rig.Session.SetPointRate(45000);
    rig.Session.SetPointRate(0); // never a rate of 0: ignored
    rig.Run(300);
    QCOMPARE(rig.Dac.Commands.count('q'), 1);
    QCOMPARE(rig.Dac.Rate, uint32_t(45000));
    QCOMPARE(rig.Dac.UnknownCommands, 0);
    QCOMPARE(rig.Dac.Underflows, 0);
    QCOMPARE(LoopedUntil(rig.Dac.Played, 0, Expected(*frame)), rig.Dac.Played.size());
    const auto marked = std::count_if(rig.Dac.Played.begin(), rig.Dac.Played.end(),
                                      [](const TPlayed& p) { return p.Control & 0x8000; });
    QCOMPARE(marked, 1);
}

// Ten seconds at 30 kpps on the real clock as the program streams (the
// session on its own thread), with the event loop held up for 15 ms every
// 50 ms (repaints, a dialog, a catalog loading) and a second thread busy:
// the ring never runs empty.
void TestEtherDream::steadyWhileBusy()
{
    TDacThread dac;
    uint16_t port = 0;
    dac.Run([&] { port = dac.Dac->Port(); });
    TEtherDreamOutput output;
    const auto frame = Figure(1500, 7);
    output.SetFrame(frame.get(), TZLT_Pal(), 30000);
    std::atomic<bool> done{false};
    QThread* busy = QThread::create([&done] {
        volatile uint64_t x = 0;
        while (!done)
            x = x + 1;
    });
    busy->start();
    QTimer stall;
    connect(&stall, &QTimer::timeout, [] { QThread::msleep(15); });
    stall.start(50);
    output.Start(QHostAddress(QHostAddress::LocalHost), port, 30000, 50);
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 10'000)
        QTest::qWait(20);
    stall.stop();
    QCOMPARE(output.State(), TEtherDreamSession::TState::On);
    output.Stop();
    done = true;
    busy->wait();
    delete busy;
    QCOMPARE(dac.Get(&TFakeDac::Underflows), 0);
    QCOMPARE(output.Underruns(), 0);
    const std::vector<TPlayed> played = dac.Get(&TFakeDac::Played);
    QVERIFY2(played.size() > 250'000, qPrintable(QString::number(played.size())));
    QCOMPARE(LoopedUntil(played, 0, Expected(*frame)), played.size());
    QTRY_VERIFY(dac.Get(&TFakeDac::Commands).endsWith('s'));
    qInfo() << "worst fullness" << dac.Get(&TFakeDac::WorstFullnessMs) << "ms, longest silence"
            << dac.Get(&TFakeDac::LongestSilenceMs) << "ms";
}

QTEST_GUILESS_MAIN(TestEtherDream)
#include "tst_output_etherdream.moc"
