// The stream to a projector as it arrives at a receiver on 127.0.0.1:
// the samples of frames, the dark cases, the keep-alive, acknowledgements
// and the close.

#include "IdnSession.h"
#include "IdnWave.h"
#include "IdnTestKit.h"
#include "Optimiser.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace IdnTestKit;
using IdnDatagrams::TDarkReason;
using IdnDatagrams::TFrameDatagrams;

class TestOutputStream : public QObject
{
    Q_OBJECT

private slots:
    void samples_data();
    void samples();
    void dark_data();
    void dark();
    void darkLikeTheNaiveRule();
    void keepAlive();
    void changesOnly();
    void acknowledgements();
    void noAnswer_data();
    void noAnswer();
    void close_data();
    void close();
    void failedSend();
    void ordinaryReceiveBuffer();
    void addresses_data();
    void addresses();
    void tsharkDecodes();
    void continuous_data();
    void continuous();

private:
    const QHostAddress Loopback{QHostAddress::LocalHost};
};

namespace {
constexpr int64_t Ms = TTestClock::Ms;

enum class TCoords
{
    Random,
    Extreme, // only -32768, -1, 0 and 32767
};

// Every colour index, bit 7 set or not, Z and the last byte at random.
std::unique_ptr<TZLT_Frame> RandomFrame(int count, quint32 seed, TCoords coords, int blankPercent)
{
    QRandomGenerator random(seed);
    constexpr int16_t Extremes[] = {-32768, -1, 0, 32767};
    const auto coord = [&] {
        return coords == TCoords::Extreme ? Extremes[random.bounded(4)] : int16_t(random.bounded(-32768, 32768));
    };
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < count; ++i) {
        const int16_t x = coord();
        const int16_t y = coord();
        uint8_t status = uint8_t((i % 64) | (random.bounded(2) ? 0x80 : 0));
        if (int(random.bounded(100)) < blankPercent)
            status |= TZLT_Point::BlankBit;
        frame->Add(TZLT_Point(x, y, int16_t(random.bounded(-32768, 32768)), status, uint8_t(random.bounded(256))));
    }
    return frame;
}

TZLT_Pal RandomPalette(quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(TZLT_Pal::FileSize, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(random.bounded(256));
    TZLT_Pal palette;
    palette.LoadFromBytes(bytes, QStringLiteral("random.pal"));
    return palette;
}

// x, y, status of each point, as the dark table takes them.
QList<int> Triples(const TZLT_Frame::Points& points)
{
    QList<int> out;
    for (const TZLT_Point& p : points)
        out << p.X() << p.Y() << p.Status();
    return out;
}

// A drawing (x, y of each point, drawn in colour 1) as the optimiser makes
// it for the scanner with the default profile at 30 kpps.
QList<int> Optimised(const QList<int>& drawn)
{
    TZLT_Frame::Points points;
    for (qsizetype i = 0; i < drawn.size(); i += 2)
        points.push_back(TZLT_Point(int16_t(drawn[i]), int16_t(drawn[i + 1]), 0, i == 0 ? 0x41 : 1, 0));
    return Triples(Optimised(points, TScannerProfile()));
}

// count samples from a start on a spot: the first held lit ones on it
// (every other one spread units to the right), also the last atEnd ones,
// the others on a line far away; the sample at darkAt blanked.
QList<int> Held(int count, int held, int spread = 0, int atEnd = 0, int darkAt = -1)
{
    QList<int> out{1000, 1000, 0x41};
    for (int i = 1; i < count; ++i) {
        const int status = i == darkAt ? 0x41 : 1;
        if (i <= held || i >= count - atEnd)
            out << 1000 + i % 2 * spread << 1000 << status;
        else
            out << 20000 - 30 * i << -20000 << status;
    }
    return out;
}

} // namespace

void TestOutputStream::samples_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<TCoords>("coords");
    QTest::addColumn<int>("blankPercent");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("before"); // points of the frame the buffers held before
    QTest::addColumn<int>("datagrams");
    QTest::addColumn<int>("largest"); // datagram, in bytes

    // 9320 samples fill the first message of the largest datagrams; the
    // fragments after it cut samples at other places each.
    QTest::newRow("two extreme points") << 2 << TCoords::Extreme << 0 << 30000 << 65535 << 1 << 1472;
    QTest::newRow("small, half blanked") << 300 << TCoords::Random << 50 << 12345 << 0 << 2 << 1472;
    QTest::newRow("smallest datagrams") << 300 << TCoords::Random << 20 << 30000 << 9320 << 5 << 512;
    QTest::newRow("fills one message") << 9320 << TCoords::Random << 10 << 30000 << 65535 << 1 << 65280;
    QTest::newRow("one sample more") << 9321 << TCoords::Random << 10 << 30000 << 3 << 2 << 65280;
    QTest::newRow("all blanked") << 12000 << TCoords::Random << 100 << 25000 << 0 << 58 << 1472;
    QTest::newRow("three fragments") << 20000 << TCoords::Extreme << 5 << 30000 << 9322 << 3 << 65280;
    QTest::newRow("65535 points") << 65535 << TCoords::Random << 10 << 100000 << 20000 << 315 << 1472;
}

// The samples of a frame as a receiver gets them, and the datagrams written
// straight from the frame into reused buffers (the path the program
// streams by) byte for byte as those built from separate sample bytes.
void TestOutputStream::samples()
{
    QFETCH(int, count);
    QFETCH(TCoords, coords);
    QFETCH(int, blankPercent);
    QFETCH(int, rate);
    QFETCH(int, before);
    QFETCH(int, datagrams);
    QFETCH(int, largest);

    const quint32 seed = quint32(count) * 31 + quint32(blankPercent);
    const TZLT_Pal palette = RandomPalette(seed);
    const auto frame = RandomFrame(count, seed, coords, blankPercent);
    const std::vector<TSample> expected = Expected(*frame, palette);
    TDarkReason reason = TDarkReason::NoFrame;
    const QByteArray samples = IdnDatagrams::StreamSamples(frame.get(), palette, rate, &reason);
    QCOMPARE(reason, TDarkReason::None);
    QCOMPARE(samples.constData()[samples.size()], '\0');

    TFrameDatagrams direct(largest);
    if (before > 0)
        QCOMPARE(direct.SetFrame(RandomFrame(before, seed + 1, TCoords::Random, 0).get(), palette, rate),
                 TDarkReason::None);
    QCOMPARE(direct.SetFrame(frame.get(), palette, rate), TDarkReason::None);
    direct.PutHeaders(5, rate, 777);
    const std::vector<QByteArray> reference = IdnDatagrams::FrameDatagrams(samples, 5, rate, 777, largest);
    QCOMPARE(direct.Count(), reference.size());
    for (size_t i = 0; i < reference.size(); ++i)
        QVERIFY2(QByteArray(direct.Data(i), direct.Size(i)) == reference[i], qPrintable(QString::number(i)));
    QCOMPARE(direct.Samples(), samples);
    // Equal samples by either path; one changed byte anywhere tells.
    TFrameDatagrams copied(largest);
    copied.SetSamples(samples);
    QVERIFY(copied.SameSamples(direct));
    QByteArray changed = samples;
    changed[changed.size() - 1] = char(changed[changed.size() - 1] ^ 1);
    copied.SetSamples(changed);
    QVERIFY(!copied.SameSamples(direct));
    copied.SetSamples(samples.left(samples.size() - 7));
    QVERIFY(!copied.SameSamples(direct));

    TTestClock clock;
    TReceiver receiver;
    TIdnSession session(&clock);
    session.SetLargestDatagram(largest);
    session.SetFrame(samples);
    session.Start(Loopback, receiver.Port(), 3, rate);
    clock.RunUntil(clock.Now + 20 * Ms); // the paced datagrams
    QVERIFY(receiver.WaitFor(size_t(datagrams)));
    QVERIFY(receiver.Quiet());
    QCOMPARE(receiver.Datagrams.size(), size_t(datagrams));

    const std::vector<TFrame> frames = Frames(receiver.Datagrams);
    QCOMPARE(frames.size(), size_t(1));
    const TFrame& got = frames[0];
    QCOMPARE(got.Datagrams, datagrams);
    QVERIFY(Samples(got.Data) == expected);
    QCOMPARE(got.Data.size(), qsizetype(count) * 7);
    // The configuration of discrete X/Y/R/G/B frames for service 3.
    const TDecoded& first = got.First;
    QVERIFY(first.HasConfig);
    QCOMPARE(first.WordCount, uint8_t(4));
    QCOMPARE(first.ConfigFlags & 0x03, 0x01);
    QCOMPARE(first.ServiceId, uint8_t(3));
    QCOMPARE(first.ServiceMode, uint8_t(2));
    QCOMPARE(first.Tags, (std::vector<uint16_t>{0x4200, 0x4010, 0x4210, 0x4010, 0x527E, 0x5214, 0x51CC, 0x0000}));
    QCOMPARE(first.ChunkType(), uint8_t(datagrams > 1 ? 0x03 : 0x02));
    QCOMPARE(first.ChunkFlags & 0x01, 0); // repeated until the next frame
    QCOMPARE(first.ChunkFlags & 0x30, (first.ConfigFlags & 0x30));
    // Every sample, the first too, takes its share of the pass.
    QCOMPARE(first.Duration, uint32_t(uint64_t(count) * 1'000'000 / uint64_t(rate)));
    // Every datagram is whole, within the size limit, and numbered in turn;
    // the first asks for an acknowledgement.
    for (size_t i = 0; i < receiver.Datagrams.size(); ++i) {
        const TDecoded d = Decode(receiver.Datagrams[i]);
        QVERIFY2(d.Error.isEmpty(), qPrintable(d.Error));
        QCOMPARE(d.Command, uint8_t(i == 0 ? 0x41 : 0x40));
        QCOMPARE(d.Flags, uint8_t(0));
        QCOMPARE(d.Sequence, uint16_t(i));
        QCOMPARE(d.ContentId & 0x3F00, 0); // channel 0
        if (i > 0) {
            QCOMPARE(d.ChunkType(), uint8_t(0xC0));
            QCOMPARE(d.Cclf(), i + 1 == receiver.Datagrams.size());
            QCOMPARE(d.Timestamp, first.Timestamp + uint32_t(i));
        }
        if (i + 1 < receiver.Datagrams.size())
            QCOMPARE(int(d.MessageSize), largest - 4);
    }
}

void TestOutputStream::dark_data()
{
    QTest::addColumn<int>("count"); // of a figure; 0: the points; -1: no frame
    QTest::addColumn<QList<int>>("points"); // x, y, status of each
    QTest::addColumn<int>("rate");
    QTest::addColumn<TDarkReason>("reason");

    QTest::newRow("no frame") << -1 << QList<int>{} << 30000 << TDarkReason::NoFrame;
    QTest::newRow("no points") << 0 << QList<int>{} << 30000 << TDarkReason::NoFrame;
    QTest::newRow("one point") << 0 << QList<int>{-9000, 4000, 1} << 30000 << TDarkReason::NoFrame;
    QTest::newRow("a dot") << 0 << QList<int>{100, 100, 1, 100, 100, 1} << 30000 << TDarkReason::OneSpot;
    QTest::newRow("a small stroke") << 0 << QList<int>{0, 0, 2, 256, -256, 2} << 30000 << TDarkReason::OneSpot;
    QTest::newRow("one unit wider") << 0 << QList<int>{0, 0, 2, 257, 0, 2} << 30000 << TDarkReason::None;
    QTest::newRow("long dark moves, one lit spot")
        << 0 << QList<int>{-32768, -32768, 0x41, 5000, 5000, 0x41, 5010, 5005, 3, 32767, 32767, 0x43} << 30000
        << TDarkReason::OneSpot;
    // Each of them held for a quarter of the pass.
    QTest::newRow("two spots far apart")
        << 0 << QList<int>{0, 0, 1, 0, 0, 1, 20000, 0, 0x41, 20000, 0, 1} << 30000 << TDarkReason::LongDwell;
    // Held on one spot for more than a fifth of the pass, lit elsewhere too.
    QTest::newRow("999 of 1,001 samples on one point")
        << 0 << Held(1001, 999) << 30000 << TDarkReason::LongDwell;
    QTest::newRow("201 of 1,000 on one point") << 0 << Held(1000, 201) << 30000 << TDarkReason::LongDwell;
    QTest::newRow("200 of 1,000 on one point") << 0 << Held(1000, 200) << 30000 << TDarkReason::None;
    QTest::newRow("201 of 1,000 jittering within a spot")
        << 0 << Held(1000, 201, 256) << 30000 << TDarkReason::LongDwell;
    QTest::newRow("201 of 1,000 just wider than a spot")
        << 0 << Held(1000, 201, 257) << 30000 << TDarkReason::None;
    QTest::newRow("201 of 1,000 broken by a dark one")
        << 0 << Held(1000, 202, 0, 0, 101) << 30000 << TDarkReason::None;
    // The pass is a loop: the last samples go on into the first ones.
    QTest::newRow("100 and 101 of 1,000 across the end")
        << 0 << Held(1000, 100, 0, 102) << 30000 << TDarkReason::LongDwell;
    QTest::newRow("100 and 100 of 1,000 across the end")
        << 0 << Held(1000, 100, 0, 101) << 30000 << TDarkReason::None;
    // The dwell the optimiser adds at corners and path ends is no hold.
    QTest::newRow("an optimised square")
        << 0 << Optimised({-8000, -8000, 8000, -8000, 8000, 8000, -8000, 8000, -8000, -8000}) << 30000
        << TDarkReason::None;
    QTest::newRow("a small optimised square")
        << 0 << Optimised({-600, -600, 600, -600, 600, 600, -600, 600, -600, -600}) << 30000 << TDarkReason::None;
    QTest::newRow("a short optimised line") << 0 << Optimised({-500, 0, 500, 0}) << 30000 << TDarkReason::None;
    QTest::newRow("an optimised line") << 0 << Optimised({-20000, 3000, 20000, -3000}) << 30000
                                       << TDarkReason::None;
    QTest::newRow("an optimised star") << 0
        << Optimised({0, 20000, 6000, -16000, -19000, 6000, 19000, 6000, -6000, -16000, 0, 20000}) << 30000
        << TDarkReason::None;
    QTest::newRow("optimised dots") << 0 << Optimised({-9000, 0, -9000, 0}) << 30000 << TDarkReason::OneSpot;
    QTest::newRow("nothing lit") << 0 << QList<int>{0, 0, 0x40, 9000, 9000, 0x40} << 30000 << TDarkReason::None;
    // The duration field holds 16,777,215 µs.
    QTest::newRow("65535 points at 3906 pps") << 65535 << QList<int>{} << 3906 << TDarkReason::TooLong;
    QTest::newRow("65535 points at 3907 pps") << 65535 << QList<int>{} << 3907 << TDarkReason::None;
    QTest::newRow("16,777 points at 1 kpps") << 16777 << QList<int>{} << 1000 << TDarkReason::None;
    QTest::newRow("16,778 points at 1 kpps") << 16778 << QList<int>{} << 1000 << TDarkReason::TooLong;
}

// Frames sent dark, by either path, over buffers that held a long frame.
void TestOutputStream::dark()
{
    QFETCH(int, count);
    QFETCH(QList<int>, points);
    QFETCH(int, rate);
    QFETCH(TDarkReason, reason);

    std::unique_ptr<TZLT_Frame> frame = count > 0 ? Figure(count) : std::make_unique<TZLT_Frame>();
    for (qsizetype i = 0; i < points.size(); i += 3)
        frame->Add(TZLT_Point(int16_t(points[i]), int16_t(points[i + 1]), 0, uint8_t(points[i + 2]), 0));
    if (count < 0)
        frame.reset();
    TDarkReason found = TDarkReason::None;
    const QByteArray samples = IdnDatagrams::StreamSamples(frame.get(), TZLT_Pal(), rate, &found);
    QCOMPARE(found, reason);
    TFrameDatagrams direct;
    direct.SetFrame(RandomFrame(30000, 4, TCoords::Random, 0).get(), TZLT_Pal(), rate);
    QCOMPARE(direct.SetFrame(frame.get(), TZLT_Pal(), rate), reason);
    QCOMPARE(direct.Samples(), samples);

    const std::vector<TSample> got = Samples(samples);
    QVERIFY(!got.empty());
    if (reason != TDarkReason::None) {
        for (const TSample& s : got)
            QCOMPARE(s.R | s.G | s.B, 0);
    } else {
        QVERIFY(got == Expected(*frame, TZLT_Pal()));
    }

    // What a receiver gets can be played as it is.
    TTestClock clock;
    TReceiver receiver;
    TIdnSession session(&clock);
    session.SetFrame(frame.get(), TZLT_Pal(), rate);
    session.Start(Loopback, receiver.Port(), 0, rate);
    clock.RunUntil(clock.Now + 20 * Ms); // the paced datagrams
    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));
    const std::vector<TFrame> frames = Frames(receiver.Datagrams);
    QCOMPARE(frames.size(), size_t(1));
    QCOMPARE(frames[0].Data, samples);
    const QString unplayable = Unplayable(frames[0], rate);
    QVERIFY2(unplayable.isEmpty(), qPrintable(unplayable));
}

// The reason by the rules read plainly, each start tried: one spot when
// every lit segment lies in a 256-unit box; a long dwell when some run of
// consecutive lit samples (the dark first one bridges the end of the pass)
// stays with its start in such a box for over a fifth of the samples.
TDarkReason NaiveReason(const TZLT_Frame::Points& p)
{
    const size_t n = p.size();
    const auto inBox = [](int minX, int maxX, int minY, int maxY) {
        return maxX - minX <= 256 && maxY - minY <= 256;
    };
    int minX = 1 << 20, maxX = -(1 << 20), minY = 1 << 20, maxY = -(1 << 20);
    for (size_t i = 1; i < n; ++i)
        if (!p[i].Blanked())
            for (const TZLT_Point& q : {p[i - 1], p[i]}) {
                minX = std::min(minX, int(q.X())), maxX = std::max(maxX, int(q.X()));
                minY = std::min(minY, int(q.Y())), maxY = std::max(maxY, int(q.Y()));
            }
    if (minX <= maxX && inBox(minX, maxX, minY, maxY))
        return TDarkReason::OneSpot;
    for (size_t a = 0; a < n; ++a) {
        int x0 = p[a].X(), x1 = x0, y0 = p[a].Y(), y1 = y0;
        size_t count = 0;
        for (size_t b = a + 1; b < a + n; ++b) {
            const TZLT_Point& q = p[b % n];
            if (b % n != 0 && q.Blanked())
                break;
            x0 = std::min(x0, int(q.X())), x1 = std::max(x1, int(q.X()));
            y0 = std::min(y0, int(q.Y())), y1 = std::max(y1, int(q.Y()));
            if (!inBox(x0, x1, y0, y1))
                break;
            count += b % n != 0;
            if (5 * count > n)
                return TDarkReason::LongDwell;
        }
    }
    return TDarkReason::None;
}

// Random frames about a few spots, some of them blanked: the check finds
// what the plain rule finds.
void TestOutputStream::darkLikeTheNaiveRule()
{
    QRandomGenerator random(11);
    int dwells = 0, spots = 0;
    for (int round = 0; round < 3000; ++round) {
        const int count = int(random.bounded(2, 120));
        const int spread = int(random.bounded(1, 600));
        const int centres = int(random.bounded(1, 4));
        const int blank = int(random.bounded(30));
        const int stay = int(random.bounded(1, 40)); // points about one centre in a row
        auto frame = std::make_unique<TZLT_Frame>();
        int centre = 0;
        for (int i = 0; i < count; ++i) {
            if (i % stay == 0)
                centre = int(random.bounded(centres));
            const int x = -20000 + 15000 * centre + int(random.bounded(spread));
            const int y = 9000 - 4000 * centre + int(random.bounded(spread));
            frame->Add(TZLT_Point(int16_t(x), int16_t(y), 0, int(random.bounded(100)) < blank ? 0x41 : 1, 0));
        }
        const TDarkReason expected = NaiveReason(frame->AllPoints());
        dwells += expected == TDarkReason::LongDwell;
        spots += expected == TDarkReason::OneSpot;
        QCOMPARE(IdnDatagrams::CheckFrame(frame.get(), 30000), expected);
    }
    // Both reasons and none came up often.
    QVERIFY2(dwells > 300 && spots > 300 && dwells + spots < 2700,
             qPrintable(QStringLiteral("%1 %2").arg(dwells).arg(spots)));
}

// Without a change the frame goes out again, never more than 200 ms apart.
void TestOutputStream::keepAlive()
{
    auto frame = Figure(500, 4);
    TTestClock clock;
    TReceiver receiver;
    TIdnSession session(&clock);
    session.SetFrame(IdnDatagrams::FrameSamples(*frame, TZLT_Pal()));
    session.Start(Loopback, receiver.Port(), 0, 30000);
    const int64_t start = clock.Now;
    std::vector<int64_t> sent{clock.Now};
    while (clock.Now < start + 3000 * Ms) {
        QVERIFY(clock.Due > clock.Now);
        const int frames = session.FrameCount();
        clock.RunUntil(clock.Due);
        if (session.FrameCount() > frames)
            sent.push_back(clock.Now);
    }
    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));
    QVERIFY(receiver.Quiet());
    QCOMPARE(receiver.Datagrams.size(), size_t(session.DatagramCount()));
    QVERIFY(sent.size() >= 15);
    for (size_t i = 1; i < sent.size(); ++i)
        QVERIFY2(sent[i] - sent[i - 1] <= 200 * Ms, qPrintable(QString::number(sent[i] - sent[i - 1])));
    // The same frame each time, with the clock's time in microseconds.
    const std::vector<TFrame> frames = Frames(receiver.Datagrams);
    QCOMPARE(frames.size(), sent.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        QCOMPARE(frames[i].Data, frames[0].Data);
        QCOMPARE(frames[i].First.Timestamp, uint32_t(sent[i] / 1000));
    }
    // A change goes out at once, not at the next keep-alive.
    const int64_t changed = clock.Now + 7 * Ms;
    clock.RunUntil(changed);
    session.SetFrame(IdnDatagrams::FrameSamples(*Figure(20), TZLT_Pal()));
    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));
    QCOMPARE(Frames(receiver.Datagrams).back().First.Timestamp, uint32_t(changed / 1000));
}

// Only a change of the samples goes out: the same again by either path
// sends nothing, another palette does.
void TestOutputStream::changesOnly()
{
    const TZLT_Pal palette = RandomPalette(3);
    const auto first = RandomFrame(500, 1, TCoords::Random, 20);
    const auto second = RandomFrame(500, 2, TCoords::Random, 20);
    TTestClock clock;
    TReceiver receiver;
    TIdnSession session(&clock);
    QCOMPARE(session.SetFrame(first.get(), palette, 30000), TDarkReason::None);
    session.Start(Loopback, receiver.Port(), 0, 30000);
    session.SetFrame(first.get(), palette, 30000);
    session.SetFrame(IdnDatagrams::FrameSamples(*first, palette));
    QCOMPARE(session.FrameCount(), 1);
    QCOMPARE(session.Frame(), IdnDatagrams::FrameSamples(*first, palette));
    session.SetFrame(second.get(), palette, 30000);
    session.SetFrame(second.get(), TZLT_Pal(), 30000);
    session.SetFrame(nullptr, palette, 30000);
    session.SetFrame(IdnDatagrams::DarkSamples());
    QCOMPARE(session.FrameCount(), 4);
    // One lit sample is no frame a receiver plays: it stays dark.
    session.SetFrame(QByteArray("\x01\x02\x03\x04\xFF\xFF\xFF", 7));
    QCOMPARE(session.FrameCount(), 4);
    QCOMPARE(session.Frame(), IdnDatagrams::DarkSamples());

    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));
    const std::vector<TFrame> frames = Frames(receiver.Datagrams);
    QCOMPARE(frames.size(), size_t(4));
    QVERIFY(Samples(frames[1].Data) == Expected(*second, palette));
    QVERIFY(Samples(frames[2].Data) == Expected(*second, TZLT_Pal()));
    QCOMPARE(frames[3].Data, IdnDatagrams::DarkSamples());
}

// About once a second a datagram asks for an acknowledgement.
void TestOutputStream::acknowledgements()
{
    TTestClock clock;
    TReceiver receiver;
    TIdnSession session(&clock);
    session.Start(Loopback, receiver.Port(), 0, 30000);
    const int64_t end = clock.Now + 5000 * Ms;
    while (clock.Now < end)
        clock.RunUntil(clock.Due);
    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));
    std::vector<uint32_t> asked;
    for (const QByteArray& datagram : receiver.Datagrams) {
        const TDecoded d = Decode(datagram);
        if (d.Command == 0x41)
            asked.push_back(d.Timestamp);
    }
    QVERIFY(asked.size() >= 4 && asked.size() <= 6);
    for (size_t i = 1; i < asked.size(); ++i)
        QVERIFY(asked[i] - asked[i - 1] >= 1'000'000 && asked[i] - asked[i - 1] <= 1'200'000);
}

void TestOutputStream::noAnswer_data()
{
    QTest::addColumn<bool>("continuous"); // the frame stream or the continuous one
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("flags"); // the answer's event flags
    QTest::addColumn<TIdnLink::TState>("answered"); // both streams' state
    for (const bool continuous : {false, true}) {
        const char* kind = continuous ? "continuous: " : "";
        QTest::addRow("%ssuccess", kind) << continuous << 0 << 0 << TIdnLink::TState::On;
        QTest::addRow("%soccupied", kind) << continuous << 0xEC << 0 << TIdnLink::TState::Refused;
        QTest::addRow("%sexcluded", kind) << continuous << 0xED << 0 << TIdnLink::TState::Refused;
        QTest::addRow("%sinvalid payload", kind) << continuous << 0xEE << 0 << TIdnLink::TState::Refused;
        QTest::addRow("%sa new connection", kind) << continuous << 0 << 0x0001 << TIdnLink::TState::On;
        QTest::addRow("%sdatagrams lost", kind) << continuous << 0 << 0x0010 << TIdnLink::TState::Lossy;
        QTest::addRow("%sdatagrams lost, new connection", kind)
            << continuous << 0 << 0x00F1 << TIdnLink::TState::Lossy;
        QTest::addRow("%sframes refused", kind) << continuous << 0 << 0x0200 << TIdnLink::TState::Lossy;
        QTest::addRow("%soccupied, datagrams lost", kind)
            << continuous << 0xEC << 0x0010 << TIdnLink::TState::Refused;
    }
}

namespace {

// No answer for a second after the first request (sent within firstAsk of
// the start): the status says so, the stream goes on, and an answer brings
// the status back.
template<class TSession>
void CheckAnswers(TSession& session, TTestClock& clock, TReceiver& receiver, int code, int flags,
                  typename TSession::TState answered, int64_t firstAsk)
{
    using TState = typename TSession::TState;
    QCOMPARE(session.State(), TState::On);
    clock.RunUntil(clock.Now + 999 * Ms);
    QCOMPARE(session.State(), TState::On);
    clock.RunUntil(clock.Now + 2 * Ms + firstAsk);
    QCOMPARE(session.State(), TState::NoAnswer);
    const int before = session.DatagramCount();
    clock.RunUntil(clock.Now + 1000 * Ms);
    QVERIFY(session.DatagramCount() >= before + 5); // still streaming
    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));

    // The projector answers the last request.
    QVERIFY(receiver.Acknowledge(code, uint16_t(flags)));
    QTRY_COMPARE(session.State(), answered);
    QCOMPARE(session.ErrorCode(), code >= 0x80 ? code - 256 : 0);
    QCOMPARE(session.EventFlags(), uint16_t(flags));
    QVERIFY(session.Running());
    // A later clean answer clears an error answer and lost data.
    QVERIFY(receiver.Acknowledge(0));
    QTRY_COMPARE(session.State(), TState::On);
}

} // namespace

void TestOutputStream::noAnswer()
{
    QFETCH(bool, continuous);
    QFETCH(int, code);
    QFETCH(int, flags);
    QFETCH(TIdnLink::TState, answered);
    TTestClock clock;
    TReceiver receiver;
    if (continuous) {
        TIdnWaveSession session(&clock);
        QCOMPARE(session.SetFrame(RandomFrame(500, 3, TCoords::Random, 15).get(), RandomPalette(2), 30000),
                 TDarkReason::None);
        session.Start(Loopback, receiver.Port(), 0, 30000, 50);
        CheckAnswers(session, clock, receiver, code, flags, answered, 2 * TPointStream::TickNs);
    } else {
        TIdnSession session(&clock);
        session.Start(Loopback, receiver.Port(), 0, 30000);
        CheckAnswers(session, clock, receiver, code, flags, answered, 0);
    }
}

void TestOutputStream::close_data()
{
    QTest::addColumn<bool>("destroy");
    QTest::newRow("output off, blackout") << false;
    QTest::newRow("end of the program") << true;
}

// The channel closes, then the session: the projector goes dark.
void TestOutputStream::close()
{
    QFETCH(bool, destroy);
    TTestClock clock;
    TReceiver receiver;
    auto session = std::make_unique<TIdnSession>(&clock);
    session->SetFrame(IdnDatagrams::FrameSamples(*Figure(100), TZLT_Pal()));
    session->Start(Loopback, receiver.Port(), 7, 30000);
    clock.RunUntil(clock.Now + 500 * Ms);
    const size_t streamed = size_t(session->DatagramCount());
    if (destroy) {
        session.reset();
    } else {
        session->Stop();
        QVERIFY(!session->Running());
        QCOMPARE(clock.Due, int64_t(-1)); // no more wakes
    }
    QVERIFY(receiver.WaitFor(streamed + 2));
    QVERIFY(receiver.Quiet());
    QCOMPARE(receiver.Datagrams.size(), streamed + 2);
    const TDecoded channel = Decode(receiver.Datagrams[streamed]);
    QVERIFY(channel.Error.isEmpty());
    QCOMPARE(channel.Command, uint8_t(0x40));
    QVERIFY(channel.HasConfig);
    QCOMPARE(channel.WordCount, uint8_t(0));
    QCOMPARE(channel.ConfigFlags & 0x02, 0x02);
    QCOMPARE(channel.ServiceId, uint8_t(7));
    QCOMPARE(channel.ChunkType(), uint8_t(0x00));
    QCOMPARE(channel.Sequence, uint16_t(streamed));
    const TDecoded end = Decode(receiver.Datagrams[streamed + 1]);
    QCOMPARE(end.Command, uint8_t(0x44));
    QCOMPARE(receiver.Datagrams[streamed + 1].size(), qsizetype(4));
    QCOMPARE(end.Sequence, uint16_t(streamed + 1));
    if (session) {
        // Stopping twice sends nothing more.
        session->Stop();
        QVERIFY(receiver.Quiet());
    }
}

// A send that fails stops the session and says why.
void TestOutputStream::failedSend()
{
    TTestClock clock;
    TIdnSession session(&clock);
    session.Start(Loopback, 0, 0, 30000); // port 0 takes nothing
    QCOMPARE(session.State(), TIdnLink::TState::Failed);
    QVERIFY(!session.Running());
    QVERIFY(!session.SendError().isEmpty());
    QCOMPARE(clock.Due, int64_t(-1));
}

// A receiver with the system's usual socket buffer (208 KB) that reads as
// often as an event loop does gets every datagram of 65,535-point frames,
// sent at once and again by the keep-alive: the datagrams go out paced.
void TestOutputStream::ordinaryReceiveBuffer()
{
    TReceiver receiver(208 * 1024);
    TIdnSession session; // the steady clock
    const auto frame = RandomFrame(TZLT_Frame::MaxPoints, 9, TCoords::Random, 10);
    QCOMPARE(session.SetFrame(frame.get(), TZLT_Pal(), 30000), TDarkReason::None);
    receiver.ReadOnAThread();
    session.Start(Loopback, receiver.Port(), 0, 30000);
    QTest::qWait(400);
    session.Stop();
    receiver.StopReading();
    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));
    QCOMPARE(receiver.Datagrams.size(), size_t(session.DatagramCount()));
    const std::vector<TFrame> frames = Frames(receiver.Datagrams);
    QVERIFY(frames.size() >= 2);
    for (const TFrame& got : frames) {
        QCOMPARE(got.Data.size(), qsizetype(TZLT_Frame::MaxPoints) * 7);
        QVERIFY(got.Datagrams > 300);
    }
}

void TestOutputStream::addresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("address") << "192.168.1.20" << true << "192.168.1.20" << 7255;
    QTest::newRow("with port") << " 10.0.0.5:7300 " << true << "10.0.0.5" << 7300;
    QTest::newRow("host name") << "laser-1.local" << true << "laser-1.local" << 7255;
    QTest::newRow("empty") << "" << false << "" << 0;
    QTest::newRow("port 0") << "10.0.0.5:0" << false << "" << 0;
    QTest::newRow("port too large") << "10.0.0.5:65536" << false << "" << 0;
    QTest::newRow("no host") << ":7255" << false << "" << 0;
    QTest::newRow("space") << "a b" << false << "" << 0;
}

void TestOutputStream::addresses()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, host);
    QFETCH(int, port);
    TIdnAddress address;
    QCOMPARE(TIdnAddress::Parse(text, address), valid);
    if (valid) {
        QCOMPARE(address.Host, host);
        QCOMPARE(int(address.Port), port);
        TIdnAddress again;
        QVERIFY(TIdnAddress::Parse(address.ToString(), again));
        QCOMPARE(again.ToString(), address.ToString());
    }
}

namespace {

void Append16(QByteArray& out, uint16_t v)
{
    out.append(char(v >> 8)).append(char(v));
}

// A pcap file of raw IPv4 packets from 127.0.0.1 to 127.0.0.1, UDP port 7255
// (no checksums: the decoder does not check them unless asked).
QByteArray Pcap(const std::vector<QByteArray>& datagrams)
{
    QByteArray file;
    const auto le32 = [&file](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.append(char(v >> (8 * i)));
    };
    le32(0xA1B2C3D4);
    le32(0x00040002); // version 2.4
    le32(0);
    le32(0);
    le32(262144);
    le32(101); // raw IP
    uint32_t second = 1;
    for (const QByteArray& payload : datagrams) {
        QByteArray packet;
        const uint16_t total = uint16_t(20 + 8 + payload.size());
        packet.append(char(0x45)).append(char(0));
        Append16(packet, total);
        Append16(packet, 0);
        Append16(packet, 0x4000); // don't fragment
        packet.append(char(64)).append(char(17));
        Append16(packet, 0);
        packet.append(QByteArray("\x7F\x00\x00\x01\x7F\x00\x00\x01", 8));
        Append16(packet, 50000);
        Append16(packet, 7255);
        Append16(packet, uint16_t(8 + payload.size()));
        Append16(packet, 0); // no checksum
        packet += payload;
        le32(second++);
        le32(0);
        le32(uint32_t(packet.size()));
        le32(uint32_t(packet.size()));
        file += packet;
    }
    return file;
}

} // namespace

// Wireshark's decoder reads every datagram as IDN and finds nothing malformed.
void TestOutputStream::tsharkDecodes()
{
    const QString tshark = QStandardPaths::findExecutable(QStringLiteral("tshark"));
    if (tshark.isEmpty())
        QSKIP("tshark is not installed (Debian package tshark)");
    TTestClock clock;
    TReceiver receiver;
    {
        TIdnSession session(&clock);
        session.SetLargestDatagram(IdnDatagrams::MaxLargestDatagram);
        session.SetFrame(IdnDatagrams::FrameSamples(*Figure(20000, 9), TZLT_Pal()));
        session.Start(Loopback, receiver.Port(), 0, 30000);
        clock.RunUntil(clock.Now + 20 * Ms); // the paced fragments
        session.SetFrame(IdnDatagrams::FrameSamples(*Figure(5, 2), TZLT_Pal()));
    }
    QVERIFY(receiver.WaitFor(6)); // three fragments, a frame, the close
    QVERIFY(receiver.Quiet());
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto decode = [&](const std::vector<QByteArray>& datagrams) {
        QFile file(dir.filePath(QStringLiteral("stream.pcap")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        file.write(Pcap(datagrams));
        file.close();
        QProcess process;
        process.start(tshark, {QStringLiteral("-r"), file.fileName(), QStringLiteral("-V")});
        process.waitForFinished(-1);
        return process.exitCode() == 0 ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
    };
    // The stream and the close of the channel.
    std::vector<QByteArray> stream(receiver.Datagrams.begin(), receiver.Datagrams.end() - 1);
    const QString out = decode(stream);
    QCOMPARE(out.count(QStringLiteral("Ilda Digital Network Protocol")), int(stream.size()));
    QCOMPARE(out.count(QStringLiteral("Laser Projector Graphic (Discrete)")), 3);
    for (const QString& bad : {QStringLiteral("Malformed"), QStringLiteral("Expert Info (Error"),
                               QStringLiteral("Expert Info (Warning")})
        QVERIFY2(!out.contains(bad), qPrintable(out.right(3000)));
    // The session's close is the packet header alone; this decoder expects a
    // channel message after a close as well, so only its header is read.
    const QString close = decode({receiver.Datagrams.back()});
    QVERIFY(close.contains(QStringLiteral("Command code: MESSAGE_CLOSE (0x44)")));
    QVERIFY(close.contains(QStringLiteral("Sequence counter: %1").arg(stream.size())));
}

void TestOutputStream::continuous_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<int>("largest"); // datagram, in bytes

    QTest::newRow("ordinary") << 300 << 30000 << 50 << 1472;
    QTest::newRow("odd rate, short latency") << 777 << 12345 << 20 << 1472;
    QTest::newRow("slow") << 50 << 1000 << 100 << 1472;
    QTest::newRow("fast, 1,000-sample chunks") << 5000 << 100000 << 50 << 65280;
    QTest::newRow("smallest datagrams") << 300 << 30000 << 50 << 512;
}

// The continuous stream as a receiver checks it: service mode 0x01, wave
// sample chunks of at most 1,000 samples lasting at least 200 µs, each
// stamped exactly where the one before ends, the first a latency ahead of
// the start; the samples are the frame looped; the close at the end.
void TestOutputStream::continuous()
{
    QFETCH(int, count);
    QFETCH(int, rate);
    QFETCH(int, latencyMs);
    QFETCH(int, largest);
    TReceiver receiver;
    TTestClock clock;
    TIdnWaveSession session(&clock);
    const auto frame = RandomFrame(count, 21, TCoords::Random, 15);
    const TZLT_Pal palette = RandomPalette(5);
    QCOMPARE(session.SetFrame(frame.get(), palette, rate), TDarkReason::None);
    const int64_t start = clock.Now;
    session.Start(Loopback, receiver.Port(), 3, rate, latencyMs, largest);
    clock.RunUntil(start + 700 * Ms);
    session.Stop();
    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));

    const std::vector<TWaveChunk> chunks = WaveChunks(receiver.Datagrams);
    QVERIFY(!chunks.empty());
    QCOMPARE(chunks.front().Timestamp, uint32_t(start / 1000 + latencyMs * 1000));
    QByteArray samples;
    for (size_t i = 0; i < chunks.size(); ++i) {
        const TWaveChunk& c = chunks[i];
        QVERIFY2(c.Error.isEmpty(), qPrintable(c.Error));
        QCOMPARE(c.ServiceId, uint8_t(3));
        QVERIFY(c.Samples <= 1000 && c.Samples <= (largest - 36) / 7);
        QVERIFY2(c.Duration >= 200, qPrintable(QString::number(c.Duration)));
        if (i > 0)
            QCOMPARE(c.Timestamp, chunks[i - 1].Timestamp + chunks[i - 1].Duration);
        samples += c.Data;
    }
    // The samples last as long as the stream ran, to within a chunk.
    const uint64_t lasted = uint64_t(chunks.back().Timestamp + chunks.back().Duration - chunks.front().Timestamp);
    const uint64_t sampleUs = 1'000'000 / uint64_t(rate);
    QVERIFY2(lasted <= 700'000 + sampleUs + 1 && lasted + 3000 + 2 * sampleUs >= 700'000,
             qPrintable(QString::number(lasted)));
    const std::vector<TSample> got = Samples(samples);
    const std::vector<TSample> expected = Expected(*frame, palette);
    QVERIFY(got.size() > expected.size());
    for (size_t i = 0; i < got.size(); ++i)
        if (!(got[i] == expected[i % expected.size()]))
            QFAIL(qPrintable(QStringLiteral("sample %1").arg(i)));
    QVERIFY(IsClose(receiver.Datagrams, 0x01));
}

QTEST_GUILESS_MAIN(TestOutputStream)
#include "tst_output_stream.moc"
