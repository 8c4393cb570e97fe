// Paths in ILDA units as the points of a frame.
#include "FramePaths.h"

#include <QTest>

using TPath = TFramePath;
using TPts = QList<QList<int>>; // x, y, colour, blanked

class TestFramePaths : public QObject
{
    Q_OBJECT

private slots:
    void points_data();
    void points();
    void tooManyForAFrame();
};

void TestFramePaths::points_data()
{
    QTest::addColumn<std::vector<TFramePath>>("paths");
    QTest::addColumn<TPts>("expected");

    QTest::newRow("nothing") << std::vector<TPath>{} << TPts{};
    QTest::newRow("empty path") << std::vector<TPath>{{{}, 3, true}} << TPts{};
    QTest::newRow("open line") << std::vector<TPath>{{{{0, 0}, {100, -50}}, 3, false}}
                               << TPts{{0, 0, 0, 1}, {100, -50, 3, 0}};
    QTest::newRow("closed triangle") << std::vector<TPath>{{{{0, 0}, {10, 0}, {0, 10}}, 5, true}}
                                     << TPts{{0, 0, 0, 1}, {10, 0, 5, 0}, {0, 10, 5, 0}, {0, 0, 5, 0}};
    QTest::newRow("closed line stays a line") << std::vector<TPath>{{{{0, 0}, {10, 0}}, 5, true}}
                                              << TPts{{0, 0, 0, 1}, {10, 0, 5, 0}};
    QTest::newRow("a dot lit where it is") << std::vector<TPath>{{{{7, 8}}, 2, false}}
                                           << TPts{{7, 8, 0, 1}, {7, 8, 2, 0}};
    QTest::newRow("blanked path") << std::vector<TPath>{{{{1, 1}, {2, 2}}, -1, false}}
                                  << TPts{{1, 1, 0, 1}, {2, 2, 0, 1}};
    QTest::newRow("two paths, a move between")
        << std::vector<TPath>{{{{0, 0}, {5, 0}}, 1, false}, {{{9, 9}, {9, 0}}, 63, false}}
        << TPts{{0, 0, 0, 1}, {5, 0, 1, 0}, {9, 9, 0, 1}, {9, 0, 63, 0}};
    QTest::newRow("moved to the field's edge") << std::vector<TPath>{{{{-40000, 40000}, {32767, -32768}}, 1, false}}
                                               << TPts{{-32768, 32767, 0, 1}, {32767, -32768, 1, 0}};
}

void TestFramePaths::points()
{
    QFETCH(std::vector<TFramePath>, paths);
    QFETCH(TPts, expected);
    const std::unique_ptr<TZLT_Frame> frame = FrameFromPaths(paths);
    QVERIFY(frame);
    TPts got;
    for (const TZLT_Point& p : frame->AllPoints()) {
        QCOMPARE(p.Z(), int16_t(0));
        got << QList<int>{p.X(), p.Y(), p.ColorIndex(), p.Blanked() ? 1 : 0};
    }
    QCOMPARE(got, expected);
    QVERIFY(frame->AllPoints() == PointsFromPaths(paths));
}

void TestFramePaths::tooManyForAFrame()
{
    TFramePath path;
    for (int i = 0; i <= TZLT_Frame::MaxPoints; ++i)
        path.Points.emplace_back(i % 1000, i / 1000);
    // The first point is the blanked move onto it: one point each.
    const std::vector<TFramePath> paths{path};
    QCOMPARE(PointsFromPaths(paths).size(), size_t(TZLT_Frame::MaxPoints) + 1);
    QVERIFY(!FrameFromPaths(paths));
    path.Points.pop_back();
    QVERIFY(FrameFromPaths({path}));
}

QTEST_APPLESS_MAIN(TestFramePaths)
#include "tst_frames_paths.moc"
