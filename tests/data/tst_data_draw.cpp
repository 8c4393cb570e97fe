// Drawing a frame into a rectangle: positions, rounding, colours, blanking.

#include "DataTestSupport.h"

#include <QObject>
#include <QStringList>
#include <QTest>

using namespace DataTest;

// Records every canvas call as text: "pen r g b", "move x y", "line x y".
class RecordingCanvas : public TZLT_Canvas
{
public:
    void SetPenColor(uint8_t red, uint8_t green, uint8_t blue) override
    {
        Calls << QStringLiteral("pen %1 %2 %3").arg(red).arg(green).arg(blue);
    }
    void MoveTo(int x, int y) override { Calls << QStringLiteral("move %1 %2").arg(x).arg(y); }
    void LineTo(int x, int y) override { Calls << QStringLiteral("line %1 %2").arg(x).arg(y); }
    QStringList Calls;
};

// Entry i is (i, 100 + i, 200 - i), so every colour index is told apart.
static TZLT_Pal DistinctPalette()
{
    QByteArray bytes;
    for (int i = 0; i < 64; ++i)
        bytes.append(char(i)).append(char(100 + i)).append(char(200 - i)).append(6, '\0');
    TZLT_Pal pal;
    pal.LoadFromBytes(bytes, QStringLiteral("distinct"));
    return pal;
}

static QString Pen(int index)
{
    return QStringLiteral("pen %1 %2 %3").arg(index).arg(100 + index).arg(200 - index);
}

class TestDraw : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallMessageTrap(); }
    void cleanup() { CheckNoMessages(); }

    void position_data();
    void position();
    void emptyFrameDrawsNothing();
    void onePointMovesAndSetsTheColour();
    void colourAndBlankingPerPoint();
    void blankedPointsOnlyMove();
    void statusBitsBeyondTheColour();
    void defaultPaletteColours();
    void drawingChangesNothing();
};

void TestDraw::position_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("bottom");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("expectedX");
    QTest::addColumn<int>("expectedY");
    QTest::newRow("68: middle, top") << 10 << 20 << 78 << 88 << 0 << -32768 << 44 << 20;
    QTest::newRow("68: far corner") << 10 << 20 << 78 << 88 << 32767 << 32767 << 78 << 88;
    QTest::newRow("68: near corner") << 10 << 20 << 78 << 88 << -32768 << -32768 << 10 << 20;
    QTest::newRow("68: -1") << 10 << 20 << 78 << 88 << -1 << -1 << 44 << 54;
    // Products exactly halfway go to the even integer.
    QTest::newRow("65: 32.5 gives 32") << 0 << 0 << 65 << 65 << 0 << 0 << 32 << 32;
    QTest::newRow("67: 33.5 gives 34") << 0 << 0 << 67 << 67 << 0 << 0 << 34 << 34;
    QTest::newRow("65 offset") << 5 << 7 << 70 << 74 << 0 << 0 << 37 << 41;
    QTest::newRow("3: 0.75 rounds up") << 0 << 0 << 3 << 3 << -16384 << -16384 << 1 << 1;
    QTest::newRow("3: 2.25 rounds down") << 0 << 0 << 3 << 3 << 16384 << 16384 << 2 << 2;
    QTest::newRow("1: 0.5 gives 0") << 0 << 0 << 1 << 1 << 0 << 0 << 0 << 0;
    QTest::newRow("1: just past 0.5") << 0 << 0 << 1 << 1 << 1 << 1 << 1 << 1;
    // Width and height scale independently.
    QTest::newRow("wide") << 0 << 0 << 200 << 10 << 32767 << 32767 << 200 << 10;
    // Reversed rectangles are drawn right of Left and below Top.
    QTest::newRow("right < left") << 100 << 20 << 32 << 88 << 32767 << 0 << 168 << 54;
    QTest::newRow("bottom < top") << 10 << 100 << 78 << 32 << 0 << 32767 << 44 << 168;
    QTest::newRow("zero size") << 7 << 9 << 7 << 9 << 32767 << -32768 << 7 << 9;
    QTest::newRow("zero size, middle") << 7 << 9 << 7 << 9 << 0 << 0 << 7 << 9;
    QTest::newRow("negative origin") << -50 << -60 << -18 << -28 << 0 << 0 << -34 << -44;
    QTest::newRow("large") << 0 << 0 << 100000 << 30000 << 32767 << 16384 << 99998 << 22500;
}

void TestDraw::position()
{
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, right);
    QFETCH(int, bottom);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, expectedX);
    QFETCH(int, expectedY);
    const TZLT_Pal pal = DistinctPalette();
    // As the first point (a move) and as a later one (a line).
    auto frame = MakeFrame({{int16_t(x), int16_t(y), 123, 1, 0}, {int16_t(x), int16_t(y), -5, 2, 0}});
    RecordingCanvas canvas;
    frame->Draw(canvas, TZLT_Rect{left, top, right, bottom}, pal);
    QCOMPARE(canvas.Calls, QStringList({QStringLiteral("move %1 %2").arg(expectedX).arg(expectedY), Pen(1),
                                        Pen(2), QStringLiteral("line %1 %2").arg(expectedX).arg(expectedY)}));
}

void TestDraw::emptyFrameDrawsNothing()
{
    RecordingCanvas canvas;
    TZLT_Frame().Draw(canvas, TZLT_Rect{0, 0, 64, 64}, DistinctPalette());
    QVERIFY(canvas.Calls.isEmpty());
}

void TestDraw::onePointMovesAndSetsTheColour()
{
    RecordingCanvas canvas;
    // The first point is reached by a move whatever its status says.
    MakeFrame({{0, 0, 0, 5, 0}})->Draw(canvas, TZLT_Rect{0, 0, 64, 64}, DistinctPalette());
    QCOMPARE(canvas.Calls, QStringList({"move 32 32", Pen(5)}));
}

void TestDraw::colourAndBlankingPerPoint()
{
    RecordingCanvas canvas;
    auto frame = MakeFrame({{-32768, -32768, 0, 3, 0},
                            {0, -32768, 0, 10, 0},
                            {0, 0, 0, 64 + 20, 0},
                            {-32768, 0, 0, 63, 0},
                            {-32768, -32768, 0, 0, 0}});
    frame->Draw(canvas, TZLT_Rect{0, 0, 64, 64}, DistinctPalette());
    // The pen colour is set before every step, blanked ones included.
    QCOMPARE(canvas.Calls, QStringList({"move 0 0", Pen(3), Pen(10), "line 32 0", Pen(20), "move 32 32",
                                        Pen(63), "line 0 32", Pen(0), "line 0 0"}));
}

void TestDraw::blankedPointsOnlyMove()
{
    RecordingCanvas canvas;
    auto frame =
        MakeFrame({{0, 0, 0, 1, 0}, {100, 100, 0, 65, 0}, {200, 200, 0, 127, 0}, {300, 300, 0, 255, 0}});
    frame->Draw(canvas, TZLT_Rect{0, 0, 0, 0}, DistinctPalette());
    for (const QString& call : canvas.Calls)
        QVERIFY2(!call.startsWith(QLatin1String("line")), qPrintable(call));
    QCOMPARE(canvas.Calls.count(QStringLiteral("move 0 0")), 4);
}

void TestDraw::statusBitsBeyondTheColour()
{
    RecordingCanvas canvas;
    // 70 = blanked + colour 6; 134 = bit 7 + colour 6, drawn.
    auto frame = MakeFrame({{0, 0, 0, 0, 0}, {32767, 0, 0, 70, 0}, {0, 32767, 0, 134, 0}});
    frame->Draw(canvas, TZLT_Rect{0, 0, 64, 64}, DistinctPalette());
    QCOMPARE(canvas.Calls, QStringList({"move 32 32", Pen(0), Pen(6), "move 64 32", Pen(6), "line 32 64"}));
}

void TestDraw::defaultPaletteColours()
{
    RecordingCanvas canvas;
    auto frame = MakeFrame({{0, 0, 0, 7, 0}, {1, 1, 0, 54, 0}, {2, 2, 0, 4, 0}});
    frame->Draw(canvas, TZLT_Rect{0, 0, 64, 64}, TZLT_Pal());
    QCOMPARE(canvas.Calls, QStringList({"move 32 32", "pen 0 0 160", "pen 255 0 255", "line 32 32",
                                        "pen 0 255 0", "line 32 32"}));
}

void TestDraw::drawingChangesNothing()
{
    auto frame = MakeFrame({{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}});
    const auto before = frame->Clone();
    const TZLT_Pal pal = DistinctPalette();
    RecordingCanvas canvas;
    frame->Draw(canvas, TZLT_Rect{0, 0, 64, 64}, pal);
    QVERIFY(*frame == *before);
    QVERIFY(pal == DistinctPalette());
}

QTEST_GUILESS_MAIN(TestDraw)
#include "tst_data_draw.moc"
