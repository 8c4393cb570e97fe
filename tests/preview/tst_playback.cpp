// Playback on a clock the test moves: the order of the frames, looping and
// ending, frames skipped when the player falls behind, and when it asks to
// be woken.

#include "Playback.h"
#include "TestClock.h"

#include <QtTest>

constexpr int64_t Ms = TTestClock::Ms;

class TestPlayback : public QObject
{
    Q_OBJECT

private slots:
    void runs_data();
    void runs();
    void wakesFollowTheClock();
};

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

    const QList<int> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    QTest::newRow("loop wraps") << QList<int>{2, 5, 9} << 10 << true << QList<int>(7, 100)
                                << QList<int>{5, 9, 2, 5, 9, 2, 5} << 8 << 0 << true;
    QTest::newRow("no loop: ends on the last") << QList<int>{2, 5, 9} << 10 << false << QList<int>(4, 100)
                                               << QList<int>{5, 9, 9, 9} << 3 << 0 << false;
    QTest::newRow("late frames skipped")
        << ten << 10 << true << QList<int>{100, 250, 1000} << QList<int>{1, 3, 3} << 4 << 10 << true;
    QTest::newRow("late past the end, no loop")
        << ten.mid(0, 5) << 10 << false << QList<int>{1000} << QList<int>{4} << 2 << 3 << false;
    QTest::newRow("a wake before its time shows nothing")
        << ten.mid(0, 3) << 3 << true << QList<int>{300, 40} << QList<int>{0, 1} << 2 << 0 << true;
    QTest::newRow("100 per second") << ten.mid(0, 5) << 100 << true << QList<int>(6, 10)
                                    << QList<int>{1, 2, 3, 4, 0, 1} << 7 << 0 << true;
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

    TTestClock clock;
    TPlayback playback(&clock);
    playback.SetRange(std::vector<int>(range.begin(), range.end()));
    playback.SetRate(rate);
    playback.SetLoop(loop);
    playback.Play();
    QCOMPARE(playback.CurrentSlot(), range.first());
    QList<int> seen;
    for (int ms : steps) {
        clock.Advance(ms * Ms);
        seen << playback.CurrentSlot();
    }
    QCOMPARE(seen, current);
    QCOMPARE(playback.ShownCount(), shown);
    QCOMPARE(playback.SkippedCount(), skipped);
    QCOMPARE(playback.Playing(), playing);
    QCOMPARE(clock.Due >= 0, playing); // a stopped playback asks for no wake
}

void TestPlayback::wakesFollowTheClock()
{
    TTestClock clock;
    TPlayback playback(&clock);
    playback.SetRange({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    playback.SetRate(25);
    clock.Now = 5 * Ms;
    playback.Play();
    QCOMPARE(clock.Due, 45 * Ms);
    // A late wake does not push the later frames back.
    clock.Advance(47 * Ms);
    QCOMPARE(clock.Due, 85 * Ms);
    // A player that keeps up shows every frame at its time.
    clock.RunUntil(1005 * Ms);
    QCOMPARE(playback.Position(), 25 % 10);
    QCOMPARE(playback.ShownCount(), 26);
    QCOMPARE(playback.SkippedCount(), 0);
    // Another rate or a seek times anew from the frame shown.
    clock.Advance(20 * Ms);
    playback.SetRate(10);
    QCOMPARE(clock.Due, 1125 * Ms);
    playback.Seek(8);
    clock.Advance(100 * Ms);
    QCOMPARE(playback.Position(), 9);
    playback.Pause();
    QCOMPARE(clock.Due, -1);
}

QTEST_GUILESS_MAIN(TestPlayback)
#include "tst_playback.moc"
