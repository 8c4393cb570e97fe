// The optimiser's properties over random frames of every kind, each checked
// by a plain reference of its own (OptimiseTestKit.h).

#include "OptimiseTestKit.h"
#include "Optimiser.h"

#include <QTest>

#include <cmath>
#include <random>

using namespace OptKit;

Q_DECLARE_METATYPE(TScannerProfile)

namespace {
const char* const KindNames[] = {"lines", "polygons", "circles", "curves", "scribble", "many small paths", "one dot"};
constexpr int Kinds = 7;

TScannerProfile Profile(int which)
{
    TScannerProfile p;
    switch (which) {
    case 1: // keep the order
        p.KeepOrder = true;
        break;
    case 2: // small steps, long holds, a fast scanner
        p.PointRate = 60000, p.LitStep = 200, p.BlankedStep = 700, p.ReversalUs = 500, p.CornerAngle = 10;
        break;
    case 3: // no anchors, waits or corners
        p.AnchorUs = 0, p.WaitUs = 0, p.ReversalUs = 0, p.LitStep = 3000, p.BlankedStep = 65535;
        break;
    }
    return p;
}
const char* const ProfileNames[] = {"defaults", "keep order", "small steps", "no dwell"};

TPoints RandomFrame(int kind, QRandomGenerator& rng, std::vector<TSimplePath>* paths = nullptr)
{
    std::vector<TSimplePath> made = RandomPaths(kind, rng);
    if (paths)
        *paths = made;
    return FramePoints(made, rng);
}
} // namespace

class TestOptimise : public QObject
{
    Q_OBJECT

private slots:
    void microsecondsToPoints_data();
    void microsecondsToPoints();
    void properties_data();
    void properties();
    void orderIndependent();
    void colourDelay_data();
    void colourDelay();
    void framesWithoutLines_data();
    void framesWithoutLines();
    void tooLong();
};

void TestOptimise::microsecondsToPoints_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("us");
    QTest::addColumn<int>("points");
    QTest::newRow("anchors at 30k") << 30000 << 66 << 2;
    QTest::newRow("waits at 30k") << 30000 << 133 << 4;
    QTest::newRow("reversal at 30k") << 30000 << 300 << 9;
    QTest::newRow("exactly 3 points") << 30000 << 100 << 3;
    QTest::newRow("a part of a point is one") << 30000 << 1 << 1;
    QTest::newRow("nothing") << 30000 << 0 << 0;
    QTest::newRow("1.1 points at 100k") << 100000 << 11 << 2;
    QTest::newRow("1 point at 100k") << 100000 << 10 << 1;
    QTest::newRow("slowest rate") << 1000 << 1999 << 2;
}

void TestOptimise::microsecondsToPoints()
{
    QFETCH(int, rate);
    QFETCH(int, us);
    QFETCH(int, points);
    TScannerProfile p;
    p.PointRate = rate;
    QCOMPARE(p.Points(us), points);
    p.AnchorUs = us;
    QCOMPARE(p.AnchorPoints(), points);
}

void TestOptimise::properties_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("profile");
    for (int k = 0; k < Kinds; ++k)
        for (int p = 0; p < 4; ++p)
            QTest::addRow("%s, %s", KindNames[k], ProfileNames[p]) << k << p;
}

// Properties 1-6 of each optimised frame, also for frames optimised before,
// and of the frame minimised again.
void TestOptimise::properties()
{
    QFETCH(int, kind);
    QFETCH(int, profile);
    const TScannerProfile prof = Profile(profile);
    const int a = prof.AnchorPoints(), w = prof.WaitPoints(), reversal = prof.ReversalPoints();
    QRandomGenerator rng(quint32(1000 * kind + profile));
    for (int round = 0; round < 12; ++round) {
        TPoints in = RandomFrame(kind, rng);
        if (round % 4 == 3)
            in = Optimised(in, Profile(0)); // already optimised, perhaps with another profile
        TOptimiseResult r;
        const TPoints out = Optimised(in, prof, &r);
        QVERIFY(!r.TooLong);
        QCOMPARE(r.PointsAfter, qint64(out.size()));

        // 1: the same lit picture, within the tolerance of minimising.
        QVERIFY2(PictureDistance(in, out) <= MinimiseTolerance + 1, qPrintable(QString::number(PictureDistance(in, out))));
        // 2: optimising again, also after minimising, gives it back.
        QVERIFY(Optimised(out, prof) == out);
        const TPoints minimised = Minimised(out);
        QVERIFY(Optimised(minimised, prof) == out);
        // Minimise keeps the lit picture and removes what optimising added.
        QVERIFY(minimised.size() <= Minimised(in).size() + 1);
        QVERIFY(PictureDistance(minimised, out) <= MinimiseTolerance + 1);
        QVERIFY(Minimised(minimised) == minimised);
        QVERIFY(std::adjacent_find(minimised.begin(), minimised.end()) == minimised.end());
        // 3: steps.
        for (size_t i = 0; i < out.size(); ++i) {
            const size_t from = i == 0 ? out.size() - 1 : i - 1;
            QVERIFY(Cheb(out[from], out[i]) <= (Lit(out, i) ? prof.LitStep : prof.BlankedStep));
        }
        const auto runs = Runs(out);
        QCOMPARE(runs.size(), Runs(in).size());
        const size_t n = out.size();
        for (size_t r = 0; r < runs.size(); ++r) {
            const auto [first, last] = runs[r];
            // 4: corners held by their turn (the split points are rounded to
            // whole units, so the turn measured here may be half a degree off).
            std::vector<std::pair<size_t, size_t>> places; // [first, last] of each place
            for (size_t i = first; i <= last; ++i) {
                if (places.empty() || out[i].X() != out[places.back().first].X() || out[i].Y() != out[places.back().first].Y())
                    places.push_back({i, i});
                places.back().second = i;
            }
            for (size_t k = 1; k + 1 < places.size(); ++k) {
                const TZLT_Point &u = out[places[k - 1].first], &v = out[places[k].first], &x = out[places[k + 1].first];
                const double ux = v.X() - u.X(), uy = v.Y() - u.Y(), wx = x.X() - v.X(), wy = x.Y() - v.Y();
                const double angle = std::atan2(std::abs(ux * wy - uy * wx), ux * wx + uy * wy) * 180 / M_PI;
                if (angle >= prof.CornerAngle + 0.5) {
                    const int need = int(std::ceil(reversal * (angle - 0.5) / 180));
                    QVERIFY(int(places[k].second - places[k].first + 1) >= need);
                }
            }
            // 5: anchors lit at both ends, waits blanked around each move.
            for (int k = 0; k < a; ++k) {
                QVERIFY(out[first + k].X() == out[first - 1].X() && out[first + k].Y() == out[first - 1].Y());
                QVERIFY(Lit(out, first + k) && Lit(out, last - k));
                QVERIFY(out[last - k].X() == out[last].X() && out[last - k].Y() == out[last].Y());
            }
            for (int k = 1; k <= w; ++k) {
                const TZLT_Point& after = out[(last + k) % n];
                const TZLT_Point& before = out[(first - k + n) % n];
                QVERIFY(after.Blanked() || (last + k) % n == 0);
                QVERIFY(after.X() == out[last].X() && after.Y() == out[last].Y());
                QVERIFY(before.Blanked() || (first - k + n) % n == 0);
                QVERIFY(before.X() == out[first].X() && before.Y() == out[first].Y());
            }
        }
        // 6: travel no longer than as drawn nor 5 % above the greedy order;
        // kept order: the same paths in the same order and direction.
        const auto inEnds = PathEnds(in), outEnds = PathEnds(out);
        QVERIFY(Travel(outEnds) <= Travel(inEnds));
        if (prof.KeepOrder) {
            for (size_t i = 0; i < inEnds.size(); ++i) {
                QCOMPARE(outEnds[i].Start.X(), inEnds[i].Start.X());
                QCOMPARE(outEnds[i].End.Y(), inEnds[i].End.Y());
            }
        } else {
            QVERIFY2(double(Travel(outEnds)) <= 1.05 * double(GreedyTravel(inEnds)),
                     qPrintable(QString("%1 > %2").arg(Travel(outEnds)).arg(GreedyTravel(inEnds))));
        }
    }
}

// The order depends on the paths only: shuffled, the same frame comes out.
void TestOptimise::orderIndependent()
{
    QRandomGenerator rng(77);
    for (int kind : {0, 1, 5}) {
        for (int round = 0; round < 4; ++round) {
            std::vector<TSimplePath> paths;
            RandomFrame(kind, rng, &paths);
            QRandomGenerator copy = rng;
            const TPoints out = Optimised(FramePoints(paths, rng), TScannerProfile());
            std::shuffle(paths.begin(), paths.end(), std::mt19937(round));
            for (TSimplePath& p : paths)
                if (rng.bounded(2) && p.Places.front() != p.Places.back()) {
                    std::reverse(p.Places.begin(), p.Places.end());
                    std::reverse(p.Colours.begin(), p.Colours.end());
                }
            if (paths.size() > 1)
                QVERIFY(Optimised(FramePoints(paths, copy), TScannerProfile()) == out);
        }
    }
}

void TestOptimise::colourDelay_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("delayUs");
    QTest::newRow("curves, 3 points") << 3 << 100;
    QTest::newRow("scribble, 6 points") << 4 << 200;
    QTest::newRow("small paths, 1 point") << 5 << 10;
}

// 8: shifted back by d points the frame is an optimised one of the same
// picture; the d points after each path's last lit point stay lit in its
// colour where the path ended.
void TestOptimise::colourDelay()
{
    QFETCH(int, kind);
    QFETCH(int, delayUs);
    QRandomGenerator rng(quint32(kind + delayUs));
    TScannerProfile prof;
    prof.ColourDelayUs = delayUs;
    const int d = prof.ColourDelayPoints();
    for (int round = 0; round < 6; ++round) {
        const TPoints in = RandomFrame(kind, rng);
        const TPoints out = Optimised(in, prof);
        const size_t n = out.size();
        TPoints back = out;
        for (size_t i = 0; i < n; ++i)
            back[i] = TZLT_Point(out[i].X(), out[i].Y(), out[i].Z(), out[(i + d) % n].Status(), out[i].Aux());
        QVERIFY(PictureDistance(in, back) <= MinimiseTolerance + 1);
        for (auto [first, last] : Runs(back)) {
            for (int k = 1; k <= d; ++k) {
                const TZLT_Point& p = out[(last + k) % n];
                QVERIFY(!p.Blanked());
                QCOMPARE(p.ColorIndex(), back[last].ColorIndex());
                QVERIFY(p.X() == back[last].X() && p.Y() == back[last].Y());
            }
            for (size_t i = first + d; i <= last; ++i)
                QCOMPARE(out[i].ColorIndex(), back[i - d].ColorIndex());
        }
        for (size_t i = 0; i < n; ++i)
            QVERIFY(Cheb(out[i == 0 ? n - 1 : i - 1], out[i]) <= (Lit(out, i) ? prof.LitStep : prof.BlankedStep));
    }
    prof.ColourDelayUs = 0;
    const TPoints in = RandomFrame(3, rng);
    QVERIFY(Optimised(in, prof) == Optimised(Optimised(in, prof), prof));
}

void TestOptimise::framesWithoutLines_data()
{
    QTest::addColumn<QList<int>>("statuses"); // per point at x = 100 * i
    QTest::addColumn<int>("minimised");
    QTest::newRow("one lit point") << QList<int>{5} << 1;
    QTest::newRow("one blanked point") << QList<int>{0x40} << 1;
    QTest::newRow("blanked only") << QList<int>{0x40, 0x40, 0x41, 0x40} << 4;
}

// No lines: nothing to draw better; only repeats go.
void TestOptimise::framesWithoutLines()
{
    QFETCH(QList<int>, statuses);
    QFETCH(int, minimised);
    TPoints in;
    for (int i = 0; i < statuses.size(); ++i)
        in.push_back(Pt(100 * i, 0, uint8_t(statuses[i])));
    if (in.size() > 1)
        in.push_back(in.back()); // a repeat goes
    QCOMPARE(int(Minimised(in).size()), minimised);
    QVERIFY(Optimised(in, TScannerProfile()) == Minimised(in));
    QVERIFY(Optimised(Optimised(in, TScannerProfile()), TScannerProfile()) == Minimised(in));
}

// 7: a frame beyond 65535 points is left as it was, with the number it needed.
void TestOptimise::tooLong()
{
    TScannerProfile prof;
    prof.LitStep = 10;
    TZLT_Frame frame;
    for (int i = 0; i < 12; ++i) {
        frame.Add(Pt(-30000, i * 100, 0x40));
        frame.Add(Pt(30000, i * 100, 3)); // 6000 steps of 10
    }
    const TPoints before = frame.AllPoints();
    TOptimiseResult r = Optimise(frame, prof);
    QVERIFY(r.TooLong && !r.Changed);
    QVERIFY(frame.AllPoints() == before);
    QVERIFY(r.Needed > 12 * 6000 && r.Needed < 12 * 6000 + 12 * 100);
    // With room to spare it is optimised, and the count is the frame's.
    frame.AllPoints().resize(2 * 10);
    r = Optimise(frame, prof);
    QVERIFY(!r.TooLong && r.Changed);
    QCOMPARE(r.Needed, qint64(frame.Count()));
    QVERIFY(frame.Count() > 10 * 6000 && frame.Count() <= TZLT_Frame::MaxPoints);
}

QTEST_GUILESS_MAIN(TestOptimise)
#include "tst_frames_optimise.moc"
