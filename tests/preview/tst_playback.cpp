// Playback on a clock the test moves: the order of the frames, looping and
// ending, frames skipped when the player falls behind, when it asks to be
// woken, and how a changed range keeps the frame shown.

#include "Playback.h"
#include "TestClock.h"

#include <QtTest>

#include <vector>

namespace {

constexpr int64_t Ms = TTestClock::Ms;

std::vector<int> Vector(const QList<int>& list)
{
    return std::vector<int>(list.begin(), list.end());
}

QList<int> Iota(int count)
{
    QList<int> list;
    for (int i = 0; i < count; ++i)
        list << i;
    return list;
}

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void runs_data();
    void runs();
    void wakesFollowTheClock();
    void rateChangeGoesOnFromTheFrameShown();
    void changedRange_data();
    void changedRange();
    void controls();

private:
    TTestClock FClock;
    std::unique_ptr<TPlayback> FPlayback;
};

void TestPlayback::init()
{
    FClock = TTestClock();
    FPlayback = std::make_unique<TPlayback>(&FClock);
}

void TestPlayback::cleanup()
{
    FPlayback.reset();
}

void TestPlayback::runs_data()
{
    QTest::addColumn<QList<int>>("range");
    QTest::addColumn<int>("rate");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<QList<int>>("steps");   // ms the clock moves on, one wake each
    QTest::addColumn<QList<int>>("current"); // the slot after each step
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("skipped");
    QTest::addColumn<bool>("playing");

    const QList<int> ten(7, 100);
    QTest::newRow("loop wraps") << QList<int>{2, 5, 9} << 10 << true << ten << QList<int>{5, 9, 2, 5, 9, 2, 5}
                                << 8 << 0 << true;
    QTest::newRow("no loop ends on the last") << QList<int>{2, 5, 9} << 10 << false << QList<int>(4, 100)
                                              << QList<int>{5, 9, 9, 9} << 3 << 0 << false;
    QTest::newRow("late frames skipped")
        << Iota(10) << 10 << true << QList<int>{100, 250, 1000} << QList<int>{1, 3, 3} << 4 << 10 << true;
    QTest::newRow("late past the end without loop")
        << Iota(5) << 10 << false << QList<int>{1000} << QList<int>{4} << 2 << 3 << false;
    QTest::newRow("a wake before its time shows nothing")
        << Iota(3) << 3 << true << QList<int>{300, 40} << QList<int>{0, 1} << 2 << 0 << true;
    QTest::newRow("100 per second") << Iota(5) << 100 << true << QList<int>(6, 10)
                                    << QList<int>{1, 2, 3, 4, 0, 1} << 7 << 0 << true;
    QTest::newRow("1 per second") << QList<int>{7, 8} << 1 << true << QList<int>{999, 1} << QList<int>{7, 8}
                                  << 2 << 0 << true;
    QTest::newRow("one frame looping")
        << QList<int>{4} << 10 << true << QList<int>(3, 100) << QList<int>{4, 4, 4} << 4 << 0 << true;
}

void TestPlayback::runs()
{
    QFETCH(QList<int>, range);
    QFETCH(int, rate);
    QFETCH(bool, loop);
    QFETCH(QList<int>, steps);
    QFETCH(QList<int>, current);
    QFETCH(int, shown);
    QFETCH(int, skipped);
    QFETCH(bool, playing);

    FPlayback->SetRange(Vector(range));
    FPlayback->SetRate(rate);
    FPlayback->SetLoop(loop);
    QSignalSpy ended(FPlayback.get(), &TPlayback::PlayingChanged);
    FPlayback->Play();
    QVERIFY(FPlayback->Playing());
    QCOMPARE(FPlayback->CurrentSlot(), range.first());

    QList<int> seen;
    for (int ms : steps) {
        FClock.Advance(ms * Ms);
        seen << FPlayback->CurrentSlot();
    }
    QCOMPARE(seen, current);
    QCOMPARE(FPlayback->ShownCount(), shown);
    QCOMPARE(FPlayback->SkippedCount(), skipped);
    QCOMPARE(FPlayback->Playing(), playing);
    QCOMPARE(ended.count(), playing ? 1 : 2);
    // A stopped playback asks for no more wakes.
    QCOMPARE(FClock.Due >= 0, playing);
}

void TestPlayback::wakesFollowTheClock()
{
    FPlayback->SetRange(Vector(Iota(20)));
    FPlayback->SetRate(25);
    FClock.Now = 5 * Ms;
    FPlayback->Play();
    QCOMPARE(FClock.Due, 45 * Ms);
    // A late wake does not push the later frames back.
    FClock.Advance(47 * Ms);
    QCOMPARE(FPlayback->Position(), 1);
    QCOMPARE(FClock.Due, 85 * Ms);
    FClock.Advance(38 * Ms);
    QCOMPARE(FPlayback->Position(), 2);
    QCOMPARE(FClock.Due, 125 * Ms);
    // A player that keeps up shows every frame at its time.
    FClock.RunUntil(5 * Ms + 1000 * Ms);
    QCOMPARE(FPlayback->Position(), 25 % 20);
    QCOMPARE(FPlayback->SkippedCount(), 0);
    QCOMPARE(FPlayback->ShownCount(), 26);
}

void TestPlayback::rateChangeGoesOnFromTheFrameShown()
{
    FPlayback->SetRange(Vector(Iota(50)));
    FPlayback->SetRate(10);
    FPlayback->Play();
    FClock.Advance(250 * Ms);
    QCOMPARE(FPlayback->Position(), 2);
    FPlayback->SetRate(20);
    QCOMPARE(FClock.Due, 300 * Ms);
    FClock.Advance(50 * Ms);
    QCOMPARE(FPlayback->Position(), 3);
    FPlayback->SetRate(0);
    QCOMPARE(FPlayback->Rate(), TPlayback::MinRate);
    FPlayback->SetRate(1000);
    QCOMPARE(FPlayback->Rate(), TPlayback::MaxRate);
}

void TestPlayback::changedRange_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("position");
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<int>("keep");
    QTest::addColumn<int>("slot");
    QTest::addColumn<bool>("playing");

    QTest::newRow("frame kept") << QList<int>{1, 4, 6, 9} << 2 << QList<int>{1, 2, 6, 9} << 6 << 6 << true;
    QTest::newRow("gone: the next one")
        << QList<int>{1, 4, 6, 9} << 2 << QList<int>{1, 4, 9} << 6 << 9 << true;
    QTest::newRow("gone at the end: the last")
        << QList<int>{1, 4, 6} << 2 << QList<int>{1, 4} << 6 << 4 << true;
    QTest::newRow("nothing kept: the first")
        << QList<int>{1, 4, 6} << 2 << QList<int>{3, 5} << -1 << 3 << true;
    QTest::newRow("empty: pauses") << QList<int>{1, 4, 6} << 1 << QList<int>{} << 4 << -1 << false;
}

void TestPlayback::changedRange()
{
    QFETCH(QList<int>, before);
    QFETCH(int, position);
    QFETCH(QList<int>, after);
    QFETCH(int, keep);
    QFETCH(int, slot);
    QFETCH(bool, playing);

    FPlayback->SetRange(Vector(before));
    FPlayback->SetRate(10);
    FPlayback->Seek(position);
    FPlayback->Play();
    FClock.Advance(30 * Ms);
    FPlayback->SetRange(Vector(after), keep);
    QCOMPARE(FPlayback->CurrentSlot(), slot);
    QCOMPARE(FPlayback->Playing(), playing);
    if (!playing)
        return;
    // Timing starts anew from the kept frame: its full time, then the next.
    QCOMPARE(FClock.Due, 130 * Ms);
    FClock.Advance(100 * Ms);
    QCOMPARE(FPlayback->Position(), (after.indexOf(slot) + 1) % int(after.size()));
}

void TestPlayback::controls()
{
    // Nothing to play.
    FPlayback->Play();
    QVERIFY(!FPlayback->Playing());
    QCOMPARE(FPlayback->Position(), -1);

    FPlayback->SetRange({3, 4, 5});
    FPlayback->SetLoop(false);
    FPlayback->Seek(9);
    QCOMPARE(FPlayback->Position(), 2);
    // At the last frame without looping, Play starts from the first.
    FPlayback->Play();
    QCOMPARE(FPlayback->Position(), 0);
    QVERIFY(FPlayback->Playing());
    // Seeking while playing restarts the timing there.
    FClock.Advance(10 * Ms);
    FPlayback->Seek(1);
    QCOMPARE(FClock.Due, 10 * Ms + 40 * Ms);
    FPlayback->Pause();
    QVERIFY(!FPlayback->Playing());
    QCOMPARE(FClock.Due, -1);
    QCOMPARE(FPlayback->CurrentSlot(), 4);
    // Play goes on from the paused frame.
    FPlayback->Play();
    QCOMPARE(FPlayback->CurrentSlot(), 4);
    FPlayback->Stop();
    QVERIFY(!FPlayback->Playing());
    QVERIFY(FPlayback->Range().empty());
    QCOMPARE(FPlayback->CurrentSlot(), -1);
    QCOMPARE(FClock.Due, -1);
}

QTEST_GUILESS_MAIN(TestPlayback)
#include "tst_playback.moc"
