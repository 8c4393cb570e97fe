// The samples written straight into the datagrams of a frame (the path the
// program streams by) against a plain per-point reference and against the
// datagrams built from separate sample bytes: random frames, blanked
// points, all colours and status bits, extreme coordinates, cuts of the
// fragments inside samples, and buffers reused for frames of every size.

#include "IdnSession.h"
#include "IdnTestKit.h"

#include <QRandomGenerator>

using namespace IdnTestKit;
using IdnDatagrams::TDarkReason;
using IdnDatagrams::TFrameDatagrams;

class TestOutputSamples : public QObject
{
    Q_OBJECT

private slots:
    void intoDatagrams_data();
    void intoDatagrams();
    void darkFrames_data();
    void darkFrames();
    void sessionSendsChangesOnly();
};

namespace {

enum class TCoords
{
    Random,
    Extreme, // only -32768, -1, 0 and 32767
};

std::unique_ptr<TZLT_Frame> RandomFrame(int count, quint32 seed, TCoords coords, int blankPercent)
{
    QRandomGenerator random(seed);
    constexpr int16_t Extremes[] = {-32768, -1, 0, 32767};
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < count; ++i) {
        const auto coord = [&] {
            return coords == TCoords::Extreme ? Extremes[random.bounded(4)] : int16_t(random.bounded(-32768, 32768));
        };
        const int16_t x = coord();
        const int16_t y = coord();
        // Every colour index, with bit 7 set or not.
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

std::vector<QByteArray> Datagrams(const TFrameDatagrams& frame)
{
    std::vector<QByteArray> datagrams;
    for (size_t i = 0; i < frame.Count(); ++i)
        datagrams.emplace_back(frame.Data(i), frame.Size(i));
    return datagrams;
}

} // namespace

void TestOutputSamples::intoDatagrams_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<TCoords>("coords");
    QTest::addColumn<int>("blankPercent");
    QTest::addColumn<int>("before"); // points of the frame the buffers held before

    // 9321 samples fill the first message; the fragments after it cut
    // samples at other places each.
    QTest::newRow("one point") << 1 << TCoords::Random << 0 << 0;
    QTest::newRow("two points") << 2 << TCoords::Extreme << 0 << 65535;
    QTest::newRow("small, half blanked") << 300 << TCoords::Random << 50 << 0;
    QTest::newRow("fills one message") << 9321 << TCoords::Random << 10 << 65535;
    QTest::newRow("one sample more") << 9322 << TCoords::Random << 10 << 3;
    QTest::newRow("three fragments") << 20000 << TCoords::Extreme << 5 << 9322;
    QTest::newRow("65535 points") << 65535 << TCoords::Random << 10 << 20000;
    QTest::newRow("65535 extreme points") << 65535 << TCoords::Extreme << 0 << 65535;
    QTest::newRow("all blanked") << 12000 << TCoords::Random << 100 << 0;
}

void TestOutputSamples::intoDatagrams()
{
    QFETCH(int, count);
    QFETCH(TCoords, coords);
    QFETCH(int, blankPercent);
    QFETCH(int, before);

    const quint32 seed = quint32(count) * 31 + quint32(blankPercent);
    const TZLT_Pal palette = RandomPalette(seed);
    const auto frame = RandomFrame(count, seed, coords, blankPercent);
    const std::vector<TSample> expected = Expected(*frame, palette);
    constexpr int Rate = 25000;

    // The separate sample bytes, then the datagrams built from them.
    const QByteArray samples = IdnDatagrams::FrameSamples(*frame, palette);
    QCOMPARE(samples.size(), qsizetype(count) * 7);
    QVERIFY(Samples(samples) == expected);
    QCOMPARE(samples.constData()[samples.size()], '\0');
    const std::vector<QByteArray> reference = IdnDatagrams::FrameDatagrams(samples, 5, Rate, 777);

    // Straight into the datagrams, over buffers that held another frame.
    TFrameDatagrams direct;
    if (before > 0)
        QCOMPARE(direct.SetFrame(RandomFrame(before, seed + 1, TCoords::Random, 0).get(), palette, Rate),
                 TDarkReason::None);
    QCOMPARE(direct.SetFrame(frame.get(), palette, Rate), TDarkReason::None);
    direct.PutHeaders(5, Rate, 777);
    const std::vector<QByteArray> got = Datagrams(direct);
    QCOMPARE(got.size(), reference.size());
    for (size_t i = 0; i < got.size(); ++i)
        QVERIFY2(got[i] == reference[i], qPrintable(QStringLiteral("datagram %1 differs").arg(i)));
    QCOMPARE(direct.Samples(), samples);

    // Whole again, as a receiver joins them.
    const std::vector<TFrame> frames = Frames(got);
    QCOMPARE(frames.size(), size_t(1));
    QVERIFY(Samples(frames[0].Data) == expected);

    // Equal samples by either path; one changed byte anywhere tells.
    TFrameDatagrams copied;
    copied.SetSamples(samples);
    QVERIFY(copied.SameSamples(direct));
    QByteArray changed = samples;
    changed[changed.size() - 1] = char(changed[changed.size() - 1] ^ 1);
    copied.SetSamples(changed);
    QVERIFY(!copied.SameSamples(direct));
    copied.SetSamples(samples.left(samples.size() - 7));
    QVERIFY(!copied.SameSamples(direct));
}

void TestOutputSamples::darkFrames_data()
{
    QTest::addColumn<int>("count"); // -1: no frame
    QTest::addColumn<int>("rate");
    QTest::addColumn<TDarkReason>("reason");

    QTest::newRow("no frame") << -1 << 30000 << TDarkReason::NoFrame;
    QTest::newRow("empty slot") << 0 << 30000 << TDarkReason::NoFrame;
    QTest::newRow("too long a pass") << 65535 << 1000 << TDarkReason::TooLong;
    QTest::newRow("one spot") << 2 << 30000 << TDarkReason::OneSpot;
    QTest::newRow("as it is") << 500 << 30000 << TDarkReason::None;
}

void TestOutputSamples::darkFrames()
{
    QFETCH(int, count);
    QFETCH(int, rate);
    QFETCH(TDarkReason, reason);

    std::unique_ptr<TZLT_Frame> frame;
    if (count == 2) {
        frame = std::make_unique<TZLT_Frame>();
        frame->Add(TZLT_Point(100, 100, 0, 1, 0));
        frame->Add(TZLT_Point(110, 90, 0, 1, 0));
    } else if (count >= 0) {
        frame = RandomFrame(count, 9, TCoords::Random, 0);
    }
    const TZLT_Pal palette;
    TDarkReason expected = TDarkReason::None;
    const QByteArray samples = IdnDatagrams::StreamSamples(frame.get(), palette, rate, &expected);
    QCOMPARE(expected, reason);

    TFrameDatagrams direct;
    direct.SetFrame(RandomFrame(30000, 4, TCoords::Random, 0).get(), palette, rate);
    QCOMPARE(direct.SetFrame(frame.get(), palette, rate), reason);
    QCOMPARE(direct.Samples(), samples);
}

void TestOutputSamples::sessionSendsChangesOnly()
{
    const TZLT_Pal palette = RandomPalette(3);
    const auto first = RandomFrame(10000, 1, TCoords::Random, 20);
    const auto second = RandomFrame(10000, 2, TCoords::Random, 20);
    TTestClock clock;
    TReceiver receiver;
    TIdnSession session(&clock);
    QCOMPARE(session.SetFrame(first.get(), palette, 30000), TDarkReason::None);
    session.Start(QHostAddress(QHostAddress::LocalHost), receiver.Port(), 0, 30000);
    QCOMPARE(session.FrameCount(), 1);

    // The same samples again, by either path: nothing new is sent.
    session.SetFrame(first.get(), palette, 30000);
    session.SetFrame(IdnDatagrams::FrameSamples(*first, palette));
    QCOMPARE(session.FrameCount(), 1);
    QCOMPARE(session.Frame(), IdnDatagrams::FrameSamples(*first, palette));

    session.SetFrame(second.get(), palette, 30000);
    QCOMPARE(session.FrameCount(), 2);
    session.SetFrame(second.get(), TZLT_Pal(), 30000); // another palette is another frame
    QCOMPARE(session.FrameCount(), 3);
    session.SetFrame(nullptr, palette, 30000);
    QCOMPARE(session.FrameCount(), 4);
    session.SetFrame(IdnDatagrams::DarkSamples());
    QCOMPARE(session.FrameCount(), 4);

    QVERIFY(receiver.WaitFor(size_t(session.DatagramCount())));
    const std::vector<TFrame> frames = Frames(receiver.Datagrams);
    QCOMPARE(frames.size(), size_t(4));
    QVERIFY(Samples(frames[0].Data) == Expected(*first, palette));
    QVERIFY(Samples(frames[1].Data) == Expected(*second, palette));
    QVERIFY(Samples(frames[2].Data) == Expected(*second, TZLT_Pal()));
    QCOMPARE(frames[3].Data, IdnDatagrams::DarkSamples());
}

QTEST_GUILESS_MAIN(TestOutputSamples)
#include "tst_output_samples.moc"
