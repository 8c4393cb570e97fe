// The frame tools' arithmetic against a plain reference written from the
// definitions, for random frames and values.

#include "FrameTools.h"
#include "OptimiseTestKit.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace FrameTools;
using OptKit::FrameOf;
using OptKit::TPoints;

namespace {

// Random points within a square of side 2 * spread around a random centre.
TPoints RandomPoints(QRandomGenerator& random, int count, int spread)
{
    const int cx = random.bounded(-32768, 32768), cy = random.bounded(-32768, 32768);
    TPoints points;
    for (int i = 0; i < count; ++i) {
        const auto coordinate = [&](int c) {
            return int16_t(std::clamp(c + random.bounded(-spread, spread + 1), -32768, 32767));
        };
        points.emplace_back(coordinate(cx), coordinate(cy), int16_t(random.bounded(-32768, 32768)),
                            uint8_t(random.bounded(256)), uint8_t(random.bounded(256)));
    }
    return points;
}

// --- the reference ---------------------------------------------------------

struct TRefExtent
{
    int MinX = 32767, MaxX = -32768, MinY = 32767, MaxY = -32768;
};

TRefExtent RefExtent(const std::vector<TPoints>& frames)
{
    TRefExtent e;
    for (const TPoints& f : frames)
        for (const TZLT_Point& p : f) {
            e.MinX = std::min<int>(e.MinX, p.X());
            e.MaxX = std::max<int>(e.MaxX, p.X());
            e.MinY = std::min<int>(e.MinY, p.Y());
            e.MaxY = std::max<int>(e.MaxY, p.Y());
        }
    return e;
}

TZLT_Point Moved(const TZLT_Point& p, int x, int y)
{
    return TZLT_Point(int16_t(x), int16_t(y), p.Z(), p.Status(), p.Aux());
}

TZLT_Point Recoloured(const TZLT_Point& p, int colour)
{
    return TZLT_Point(p.X(), p.Y(), p.Z(), uint8_t((p.Status() & 0xC0) | colour), p.Aux());
}

int RefField(double v, int& clamped)
{
    const double r = std::round(v);
    if (r < -32768 || r > 32767 || std::isnan(r)) {
        ++clamped;
        return r > 0 ? 32767 : -32768;
    }
    return int(r);
}

// One frame through the transform's formula; clamps counted per coordinate
// and turned into points by the caller.
TPoints RefTransform(const TPoints& f, double mx, double my, double sx, double sy, double deg, double px,
                     double py, int& clamped)
{
    double c = std::cos(deg * M_PI / 180), s = std::sin(deg * M_PI / 180);
    if (std::fmod(deg, 90) == 0) {
        const int quarter = int(std::fmod(std::fmod(deg, 360) + 360, 360) / 90);
        c = std::array{1, 0, -1, 0}[quarter];
        s = std::array{0, 1, 0, -1}[quarter];
    }
    TPoints out;
    for (const TZLT_Point& p : f) {
        const double dx = (p.X() - px) * sx / 100, dy = (p.Y() - py) * sy / 100;
        int hits = 0;
        const int x = RefField(px + dx * c + dy * s + mx, hits);
        const int y = RefField(py - dx * s + dy * c + my, hits);
        clamped += hits > 0 ? 1 : 0;
        out.push_back(Moved(p, x, y));
    }
    return out;
}

double RefRamp(const TValue& v, int k, int n)
{
    return n < 2 ? v.First : v.First + (v.Last - v.First) * k / (n - 1);
}

int RefColour(const TValue& v, int k, int n)
{
    return std::clamp(int(std::round(RefRamp(v, k, n))), 0, 63);
}

TPoints RefOne(const TOperation& op, const TPoints& f, int k, int n, double ax, double ay, int& clamped)
{
    const TRefExtent e = RefExtent({f});
    const double cx = (e.MinX + e.MaxX) / 2.0, cy = (e.MinY + e.MaxY) / 2.0;
    TPoints out;
    switch (op.Kind) {
    case TKind::MirrorX:
        for (const TZLT_Point& p : f)
            out.push_back(Moved(p, e.MinX + e.MaxX - p.X(), p.Y()));
        return out;
    case TKind::MirrorY:
        for (const TZLT_Point& p : f)
            out.push_back(Moved(p, p.X(), e.MinY + e.MaxY - p.Y()));
        return out;
    case TKind::RotateLeft:
    case TKind::RotateRight:
        return RefTransform(f, 0, 0, 100, 100, op.Kind == TKind::RotateLeft ? 90 : -90, cx, cy, clamped);
    case TKind::Centre:
    case TKind::Fit: {
        const int fx = int(std::floor(cx)), fy = int(std::floor(cy));
        int largest = 0;
        for (const TZLT_Point& p : f)
            largest = std::max({largest, std::abs(p.X() - fx), std::abs(p.Y() - fy)});
        for (const TZLT_Point& p : f) {
            int hits = 0;
            if (op.Kind == TKind::Centre || largest == 0) {
                out.push_back(Moved(p, RefField(p.X() - fx, hits), RefField(p.Y() - fy, hits)));
                clamped += hits > 0 ? 1 : 0;
            } else {
                out.push_back(Moved(p, int(std::round((p.X() - fx) * 32767.0 / largest)),
                                    int(std::round((p.Y() - fy) * 32767.0 / largest))));
            }
        }
        return out;
    }
    case TKind::Reverse: {
        const size_t m = f.size();
        for (size_t j = 0; j < m; ++j) {
            const TZLT_Point& at = f[m - 1 - j];
            const uint8_t status = j == 0 ? f[0].Status() : f[m - j].Status();
            out.emplace_back(at.X(), at.Y(), at.Z(), status, at.Aux());
        }
        return out;
    }
    case TKind::Transform: {
        double px = 0, py = 0;
        if (op.Pivot.Kind == TPivotKind::Centre)
            px = cx, py = cy;
        else if (op.Pivot.Kind == TPivotKind::All)
            px = ax, py = ay;
        else if (op.Pivot.Kind == TPivotKind::Point)
            px = RefRamp(op.Pivot.X, k, n), py = RefRamp(op.Pivot.Y, k, n);
        return RefTransform(f, RefRamp(op.MoveX, k, n), RefRamp(op.MoveY, k, n), RefRamp(op.ScaleX, k, n),
                            RefRamp(op.ScaleY, k, n), RefRamp(op.Rotate, k, n), px, py, clamped);
    }
    case TKind::SetColour:
    case TKind::ReplaceColour:
    case TKind::Gradient: {
        const int a = RefColour(op.ColourA, k, n), b = RefColour(op.ColourB, k, n);
        int lit = 0;
        for (const TZLT_Point& p : f)
            lit += p.Blanked() ? 0 : 1;
        int i = 0;
        for (const TZLT_Point& p : f) {
            if (p.Blanked()) {
                out.push_back(p);
                continue;
            }
            if (op.Kind == TKind::SetColour)
                out.push_back(Recoloured(p, a));
            else if (op.Kind == TKind::ReplaceColour)
                out.push_back(p.ColorIndex() == a ? Recoloured(p, b) : p);
            else
                out.push_back(Recoloured(p, lit == 1 ? a : a + int(std::round(double(b - a) * i / (lit - 1)))));
            ++i;
        }
        return out;
    }
    }
    return out;
}

std::vector<TPoints> RefApply(const std::vector<TOperation>& ops, std::vector<TPoints> frames, int& clamped)
{
    int n = 0;
    for (const TPoints& f : frames)
        n += f.empty() ? 0 : 1;
    for (const TOperation& op : ops) {
        const TRefExtent all = RefExtent(frames);
        int k = 0;
        for (TPoints& f : frames)
            if (!f.empty())
                f = RefOne(op, f, k++, n, (all.MinX + all.MaxX) / 2.0, (all.MinY + all.MaxY) / 2.0, clamped);
    }
    return frames;
}

TOperation Op(TKind kind)
{
    TOperation op;
    op.Kind = kind;
    return op;
}

TOperation Transformed(double mx, double my, double sx, double sy, double deg,
                       TPivotKind pivot = TPivotKind::Centre)
{
    TOperation op = Op(TKind::Transform);
    op.MoveX = mx, op.MoveY = my, op.ScaleX = sx, op.ScaleY = sy, op.Rotate = deg;
    op.Pivot.Kind = pivot;
    return op;
}

TOperation Colours(TKind kind, TValue a, TValue b = 0)
{
    TOperation op = Op(kind);
    op.ColourA = a, op.ColourB = b;
    return op;
}

// The segments a frame draws: from each point to the next and from the
// last back to the first, with the status of the point each ends at.
std::vector<std::tuple<int, int, int, int, int>> Segments(const TPoints& f)
{
    std::vector<std::tuple<int, int, int, int, int>> segments;
    for (size_t i = 0; i < f.size(); ++i) {
        const TZLT_Point& a = f[(i + f.size() - 1) % f.size()];
        const TZLT_Point& b = f[i];
        std::pair<int, int> from{a.X(), a.Y()}, to{b.X(), b.Y()};
        if (to < from)
            std::swap(from, to);
        segments.emplace_back(from.first, from.second, to.first, to.second, b.Status());
    }
    std::sort(segments.begin(), segments.end());
    return segments;
}

} // namespace

Q_DECLARE_METATYPE(std::vector<TOperation>)
Q_DECLARE_METATYPE(TOperation)
Q_DECLARE_METATYPE(TPoints)

class TestFrameTools : public QObject
{
    Q_OBJECT

private slots:
    void Operations_data();
    void Operations();
    void ReverseKeepsThePicture();
    void FixedResults_data();
    void FixedResults();
};


void TestFrameTools::Operations_data()
{
    QTest::addColumn<std::vector<TOperation>>("ops");
    QTest::addColumn<int>("spread"); // of the random frames' points

    const auto row = [](const char* name, std::vector<TOperation> ops, int spread = 5000) {
        QTest::newRow(name) << ops << spread;
    };
    row("mirror x", {Op(TKind::MirrorX)}, 40000);
    row("mirror y", {Op(TKind::MirrorY)}, 40000);
    row("rotate left", {Op(TKind::RotateLeft)});
    row("rotate right", {Op(TKind::RotateRight)});
    row("rotate left, clamped", {Op(TKind::RotateLeft)}, 40000);
    row("centre", {Op(TKind::Centre)});
    row("centre, whole field", {Op(TKind::Centre)}, 70000);
    row("fit", {Op(TKind::Fit)});
    row("fit, whole field", {Op(TKind::Fit)}, 70000);
    row("reverse", {Op(TKind::Reverse)});
    row("move by halves", {Transformed(0.5, -0.5, 100, 100, 0)});
    row("scale about the centre", {Transformed(0, 0, 80, 125, 0)});
    row("scale, negative mirrors", {Transformed(0, 0, -100, 50, 0)});
    row("rotate 30 about the centre", {Transformed(0, 0, 100, 100, 30)});
    row("rotate 450 about the origin", {Transformed(0, 0, 100, 100, 450, TPivotKind::Origin)});
    row("rotate -270, scaled", {Transformed(7, 9, 50, 50, -270)});
    row("about all frames", {Transformed(100, 0, 70, 70, 45, TPivotKind::All)});
    row("scale 400: clamped", {Transformed(0, 0, 400, 400, 10, TPivotKind::Origin)});
    row("move past the edge", {Transformed(60000, -60000, 100, 100, 0)}, 40000);
    {
        TOperation about = Transformed(0, 0, 50, 50, 90, TPivotKind::Point);
        about.Pivot.X = 1000.5, about.Pivot.Y = -2000;
        row("about a point", {about});
    }
    {
        TOperation grow = Transformed(0, 0, 100, 100, 0);
        grow.ScaleX = TValue(100, 10), grow.ScaleY = TValue(100, 10), grow.Rotate = TValue(0, 360);
        row("ramp: shrink and spin", {grow});
        TOperation fly = Transformed(0, 0, 100, 100, 0, TPivotKind::Point);
        fly.MoveX = TValue(-30000, 0), fly.MoveY = TValue(3.5, -3.5);
        fly.Pivot.X = TValue(0, 500), fly.Rotate = TValue(-45, 45);
        row("ramp: fly in about a moving point", {fly});
    }
    row("set colour", {Colours(TKind::SetColour, 17)});
    row("replace colour", {Colours(TKind::ReplaceColour, 3, 60)});
    row("gradient up", {Colours(TKind::Gradient, 0, 63)});
    row("gradient down", {Colours(TKind::Gradient, 40, 1)});
    row("ramp: colour", {Colours(TKind::Gradient, TValue(0, 63), TValue(63, 0))});
    row("in order, the centre of all taken afresh",
        {Transformed(20000, 0, 100, 100, 0), Transformed(0, 0, 100, 100, 90, TPivotKind::All),
         Op(TKind::Reverse), Op(TKind::MirrorY), Op(TKind::Fit), Colours(TKind::Gradient, 5, 9)});
    row("no operation", {});
}

// Every operation on random frames (an empty one and a one-point one among
// them, and one on the field's corners) equals the reference, in place and
// as copies, with the same count of clamped points.
void TestFrameTools::Operations()
{
    QFETCH(std::vector<TOperation>, ops);
    QFETCH(int, spread);
    for (quint32 seed = 1; seed <= 20; ++seed) {
        QRandomGenerator random(seed);
        std::vector<TPoints> frames;
        for (int i = 0; i < 6; ++i)
            frames.push_back(RandomPoints(random, random.bounded(2, 300), spread));
        frames.insert(frames.begin() + 2, TPoints{});
        frames.push_back(RandomPoints(random, 1, spread));
        frames.push_back({TZLT_Point(-32768, -32768, -32768, 0x80, 255), TZLT_Point(32767, 32767, 5, 0x41, 0),
                          TZLT_Point(-32768, 32767, 0, 0x3F, 1)});

        int expectedClamped = 0;
        const std::vector<TPoints> expected = RefApply(ops, frames, expectedClamped);

        std::vector<std::unique_ptr<TZLT_Frame>> owned;
        std::vector<const TZLT_Frame*> sources;
        std::vector<TZLT_Frame*> inPlace;
        for (const TPoints& f : frames) {
            owned.push_back(FrameOf(f));
            sources.push_back(owned.back().get());
        }
        int clamped = -1;
        const auto copies = Applied(ops, sources, &clamped);
        QCOMPARE(clamped, expectedClamped);
        for (size_t i = 0; i < frames.size(); ++i) {
            QCOMPARE(owned[i]->AllPoints(), frames[i]); // the sources stay
            QCOMPARE(copies[i]->AllPoints(), expected[i]);
            inPlace.push_back(owned[i].get());
        }
        // The live preview's shortcut gives the first frame the same points.
        QCOMPARE(FirstApplied(ops, sources)->AllPoints(), expected[0]);
        QCOMPARE(FirstApplied(ops, sources, nullptr, CentreOfAll(sources))->AllPoints(), expected[0]);
        QCOMPARE(Apply(ops, inPlace), expectedClamped);
        for (size_t i = 0; i < frames.size(); ++i)
            QCOMPARE(owned[i]->AllPoints(), expected[i]);
    }
}

void TestFrameTools::ReverseKeepsThePicture()
{
    for (quint32 seed = 1; seed <= 200; ++seed) {
        QRandomGenerator random(seed);
        const TPoints points = RandomPoints(random, random.bounded(1, 40), 50);
        auto frame = FrameOf(points);
        Reverse(*frame);
        QCOMPARE(Segments(frame->AllPoints()), Segments(points));
        Reverse(*frame);
        QCOMPARE(frame->AllPoints(), points);
    }
}

// Results worked out by hand: directions as the user sees them (Y grows
// downward), halves, and the edge of the field.
void TestFrameTools::FixedResults_data()
{
    QTest::addColumn<TOperation>("op");
    QTest::addColumn<TPoints>("points");
    QTest::addColumn<TPoints>("expected");
    QTest::addColumn<int>("clamped");
    using TXY = std::initializer_list<std::pair<int, int>>;
    const auto row = [](const char* name, const TOperation& op, TXY points, TXY expected, int clamped = 0) {
        const auto pts = [](TXY xy) {
            TPoints points;
            for (auto [x, y] : xy)
                points.emplace_back(int16_t(x), int16_t(y), 0, 0, 0);
            return points;
        };
        QTest::newRow(name) << op << pts(points) << pts(expected) << clamped;
    };
    row("left: the right end goes up", Op(TKind::RotateLeft), {{10, 0}, {0, 0}}, {{5, -5}, {5, 5}});
    row("right: the right end goes down", Op(TKind::RotateRight), {{10, 0}, {0, 0}}, {{5, 5}, {5, -5}});
    row("left about a half centre", Op(TKind::RotateLeft), {{1, 0}, {0, 0}}, {{1, -1}, {1, 1}});
    row("move 0.5: halves away from zero", Transformed(0.5, -0.5, 100, 100, 0), {{0, 0}, {-1, 1}}, {{1, -1}, {-1, 1}});
    row("centre: floor of the half", Op(TKind::Centre), {{-3, 10}, {0, 13}}, {{-1, -1}, {2, 2}});
    row("centre of the whole field", Op(TKind::Centre), {{-32768, 0}, {32767, 0}}, {{-32767, 0}, {32767, 0}}, 1);
    row("fit", Op(TKind::Fit), {{100, 100}, {300, 200}}, {{-32767, -16384}, {32767, 16384}});
    row("fit: one point goes to the origin", Op(TKind::Fit), {{-32768, 77}}, {{0, 0}});
    row("mirror of -32768", Op(TKind::MirrorX), {{-32768, 1}, {32767, 2}, {0, 3}}, {{32767, 1}, {-32768, 2}, {-1, 3}});
    row("clamped at both edges", Transformed(0, 0, 200, 200, 0, TPivotKind::Origin),
        {{20000, 0}, {-20000, -20000}, {100, 100}}, {{32767, 0}, {-32768, -32768}, {200, 200}}, 2);
}

void TestFrameTools::FixedResults()
{
    QFETCH(TOperation, op);
    QFETCH(TPoints, points);
    QFETCH(TPoints, expected);
    QFETCH(int, clamped);
    auto frame = FrameOf(points);
    QCOMPARE(Apply({op}, {frame.get()}), clamped);
    QCOMPARE(frame->AllPoints(), expected);
}

QTEST_APPLESS_MAIN(TestFrameTools)
#include "tst_frames_tools.moc"
