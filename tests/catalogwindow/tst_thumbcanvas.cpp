// The thumbnail canvas against a plain per-pixel model of its lines: the
// pixels a line sets, what clipping keeps, and how frames are drawn on it.

#include "ThumbCanvas.h"

#include <QImage>
#include <QSet>
#include <QtTest>

#include <cstdint>

namespace {

using PixelSet = QSet<QPair<int, int>>;

// Pixel i of a line from (x0, y0) to (x1, y1), i from 0 up to the longer
// span (end excluded): the longer axis steps by one, the shorter one is
// rounded at the midpoint. Computed for every pixel on its own.
PixelSet ModelLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int width, int height)
{
    PixelSet pixels;
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int64_t n = std::max(adx, ady);
    // Only the steps whose longer-axis coordinate lies in the image can count.
    const int64_t a0 = xMajor ? x0 : y0;
    const int64_t size = xMajor ? width : height;
    const bool forward = (xMajor ? dx : dy) > 0;
    const int64_t first = std::max<int64_t>(0, forward ? -a0 : a0 - (size - 1));
    const int64_t last = std::min<int64_t>(n - 1, forward ? size - 1 - a0 : a0);
    for (int64_t i = first; i <= last; ++i) {
        const int64_t minor = ((xMajor ? ady : adx) * 2 * i + n) / (2 * n);
        int64_t x, y;
        if (xMajor) {
            x = x0 + (dx > 0 ? i : -i);
            y = y0 + (dy >= 0 ? minor : -minor);
        } else {
            y = y0 + (dy > 0 ? i : -i);
            x = x0 + (dx >= 0 ? minor : -minor);
        }
        if (x >= 0 && x < width && y >= 0 && y < height)
            pixels.insert({int(x), int(y)});
    }
    return pixels;
}

PixelSet SetPixels(const QImage& image, QRgb background)
{
    PixelSet pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != background)
                pixels.insert({x, y});
    return pixels;
}

QImage Blank(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(Qt::black));
    return image;
}

class TPenRecorder : public TZLT_Canvas
{
public:
    QStringList Calls;
    void SetPenColor(uint8_t r, uint8_t g, uint8_t b) override
    {
        Calls << QStringLiteral("pen %1,%2,%3").arg(r).arg(g).arg(b);
    }
    void MoveTo(int x, int y) override { Calls << QStringLiteral("move %1,%2").arg(x).arg(y); }
    void LineTo(int x, int y) override { Calls << QStringLiteral("line %1,%2").arg(x).arg(y); }
};

} // namespace

class TestThumbCanvas : public QObject
{
    Q_OBJECT

private slots:
    void lineMatchesModel_data();
    void lineMatchesModel();
    void clippingKeepsPixelsOfWholeLine_data();
    void clippingKeepsPixelsOfWholeLine();
    void endPointIsLeftForNextSegment();
    void penColorAndPosition();
    void originShiftsSurface();
    void frameDrawnInPaletteColors();
    void blankedMoves_data();
    void blankedMoves();
};

void TestThumbCanvas::lineMatchesModel_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    // All inside a 40 x 30 image.
    QTest::newRow("horizontal right") << QPoint(2, 5) << QPoint(30, 5);
    QTest::newRow("horizontal left") << QPoint(30, 5) << QPoint(2, 5);
    QTest::newRow("vertical down") << QPoint(7, 1) << QPoint(7, 28);
    QTest::newRow("vertical up") << QPoint(7, 28) << QPoint(7, 1);
    QTest::newRow("diagonal") << QPoint(0, 0) << QPoint(29, 29);
    QTest::newRow("anti-diagonal") << QPoint(39, 0) << QPoint(10, 29);
    QTest::newRow("shallow") << QPoint(1, 3) << QPoint(38, 11);
    QTest::newRow("shallow back") << QPoint(38, 11) << QPoint(1, 3);
    QTest::newRow("steep") << QPoint(4, 2) << QPoint(9, 27);
    QTest::newRow("steep back") << QPoint(9, 27) << QPoint(4, 2);
    QTest::newRow("half slope") << QPoint(0, 0) << QPoint(10, 5);
    QTest::newRow("one step") << QPoint(5, 5) << QPoint(6, 6);
    QTest::newRow("zero length") << QPoint(5, 5) << QPoint(5, 5);
}

void TestThumbCanvas::lineMatchesModel()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QImage image = Blank(40, 30);
    TThumbCanvas canvas(image);
    canvas.SetPenColor(255, 255, 255);
    canvas.MoveTo(from.x(), from.y());
    canvas.LineTo(to.x(), to.y());
    const PixelSet expected = ModelLine(from.x(), from.y(), to.x(), to.y(), 40, 30);
    QCOMPARE(SetPixels(image, qRgb(0, 0, 0)), expected);
    // Start included, end excluded, one pixel per step of the longer axis.
    const int steps = std::max(std::abs(to.x() - from.x()), std::abs(to.y() - from.y()));
    QCOMPARE(expected.size(), steps);
    if (steps > 0)
        QVERIFY(expected.contains({from.x(), from.y()}));
}

void TestThumbCanvas::clippingKeepsPixelsOfWholeLine_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    // A 16 x 12 image; the lines leave it or pass it by.
    QTest::newRow("enters from left") << QPoint(-20, -3) << QPoint(10, 8);
    QTest::newRow("leaves at right") << QPoint(5, 2) << QPoint(40, 9);
    QTest::newRow("crosses steeply") << QPoint(3, -50) << QPoint(12, 70);
    QTest::newRow("crosses back") << QPoint(30, 20) << QPoint(-14, -9);
    QTest::newRow("grazes a corner") << QPoint(-5, 6) << QPoint(6, -5);
    QTest::newRow("passes above") << QPoint(-10, -1) << QPoint(30, -1);
    QTest::newRow("passes beside") << QPoint(16, -5) << QPoint(16, 20);
    QTest::newRow("far away") << QPoint(-1000, 500) << QPoint(-900, 700);
    QTest::newRow("huge span") << QPoint(-1000000, -700000) << QPoint(1000000, 700000);
    QTest::newRow("beyond the clamp") << QPoint(INT_MIN, 5) << QPoint(INT_MAX, 6);
    QTest::newRow("horizontal through") << QPoint(-7, 4) << QPoint(25, 4);
    QTest::newRow("vertical through") << QPoint(0, -7) << QPoint(0, 25);
}

void TestThumbCanvas::clippingKeepsPixelsOfWholeLine()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QImage image = Blank(16, 12);
    TThumbCanvas canvas(image);
    canvas.SetPenColor(10, 200, 30);
    canvas.MoveTo(from.x(), from.y());
    canvas.LineTo(to.x(), to.y());
    // The canvas clamps coordinates to +-2^28; so does the model.
    const auto clamp = [](int64_t v) {
        return std::clamp<int64_t>(v, -(int64_t(1) << 28), int64_t(1) << 28);
    };
    const PixelSet expected =
        ModelLine(clamp(from.x()), clamp(from.y()), clamp(to.x()), clamp(to.y()), 16, 12);
    QCOMPARE(SetPixels(image, qRgb(0, 0, 0)), expected);
    for (const auto& [x, y] : expected)
        QCOMPARE(image.pixel(x, y), qRgb(10, 200, 30));
}

void TestThumbCanvas::endPointIsLeftForNextSegment()
{
    QImage image = Blank(10, 10);
    TThumbCanvas canvas(image);
    canvas.SetPenColor(255, 0, 0);
    canvas.MoveTo(1, 1);
    canvas.LineTo(4, 1);
    QCOMPARE(SetPixels(image, qRgb(0, 0, 0)), PixelSet({{1, 1}, {2, 1}, {3, 1}}));
    canvas.SetPenColor(0, 0, 255);
    canvas.LineTo(4, 3);
    QCOMPARE(image.pixel(4, 1), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(4, 2), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(4, 3), qRgb(0, 0, 0));
}

void TestThumbCanvas::penColorAndPosition()
{
    QImage image = Blank(8, 8);
    TThumbCanvas canvas(image);
    canvas.MoveTo(2, 3);
    QCOMPARE(canvas.PenPos(), QPoint(2, 3));
    QCOMPARE(SetPixels(image, qRgb(0, 0, 0)), PixelSet()); // a move draws nothing
    canvas.SetPenColor(0x12, 0x34, 0x56);
    canvas.LineTo(-30, 3);
    QCOMPARE(canvas.PenPos(), QPoint(-30, 3));
    QCOMPARE(image.pixel(0, 3), qRgb(0x12, 0x34, 0x56));
    QCOMPARE(image.pixel(2, 3), qRgb(0x12, 0x34, 0x56));
}

void TestThumbCanvas::originShiftsSurface()
{
    // The image stands for the surface's pixels from (100, 50) on.
    QImage shifted = Blank(20, 20);
    TThumbCanvas onCell(shifted, QPoint(100, 50));
    onCell.SetPenColor(255, 255, 0);
    onCell.MoveTo(95, 45);
    onCell.LineTo(130, 62);

    QImage plain = Blank(20, 20);
    TThumbCanvas atZero(plain);
    atZero.SetPenColor(255, 255, 0);
    atZero.MoveTo(-5, -5);
    atZero.LineTo(30, 12);
    QCOMPARE(shifted, plain);
    QVERIFY(!SetPixels(plain, qRgb(0, 0, 0)).isEmpty());
}

void TestThumbCanvas::frameDrawnInPaletteColors()
{
    // Draw moves to the first point, draws into unblanked points and moves
    // dark into blanked ones; the canvas only renders what it is told.
    TZLT_Frame frame;
    frame.Add(TZLT_Point(-32768, 0, 0, 1, 0));        // start, left edge, middle height
    frame.Add(TZLT_Point(0, 0, 0, 4, 0));             // green line to the centre
    frame.Add(TZLT_Point(0, -32768, 0, 0x40 | 1, 0)); // dark move to the top
    frame.Add(TZLT_Point(16384, -32768, 0, 7, 0));    // dark blue line to the right
    TZLT_Pal pal;

    TPenRecorder recorder;
    frame.Draw(recorder, TZLT_Rect{0, 0, 64, 64}, pal);
    QCOMPARE(recorder.Calls.first(), QStringLiteral("move 0,32"));

    QImage image = Blank(64, 64);
    TThumbCanvas canvas(image);
    frame.Draw(canvas, TZLT_Rect{0, 0, 64, 64}, pal);
    const QRgb green = qRgb(pal.GetEntry(4).Red, pal.GetEntry(4).Green, pal.GetEntry(4).Blue);
    const QRgb blue = qRgb(pal.GetEntry(7).Red, pal.GetEntry(7).Green, pal.GetEntry(7).Blue);
    for (int x = 0; x < 32; ++x)
        QCOMPARE(image.pixel(x, 32), green);
    for (int y = 1; y < 32; ++y)
        QCOMPARE(image.pixel(32, y), qRgb(0, 0, 0)); // the blanked move left no trace
    for (int x = 32; x < 48; ++x)
        QCOMPARE(image.pixel(x, 0), blue);
    QCOMPARE(SetPixels(image, qRgb(0, 0, 0)).size(), 32 + 16);
}

void TestThumbCanvas::blankedMoves_data()
{
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("calls");       // "m x y" moves, "r x y" / "b x y" red or blue lines
    QTest::addColumn<QStringList>("picture"); // 10 x 5: . black, g grey, r red, b blue

    QTest::newRow("hidden: moves draw nothing")
        << false << "m 1 1; r 5 1; m 5 3; m 8 3"
        << QStringList{"..........", ".rrrr.....", "..........", "..........", ".........."};
    QTest::newRow("the first move draws nothing")
        << true << "m 2 2"
        << QStringList{"..........", "..........", "..........", "..........", ".........."};
    QTest::newRow("later moves draw grey")
        << true << "m 1 1; m 6 1; m 6 4"
        << QStringList{"..........", ".gggggg...", "......g...", "......g...", ".........."};
    QTest::newRow("under a stroke drawn before")
        << true << "m 0 2; r 9 2; m 9 0; m 4 0; m 4 4"
        << QStringList{"....gggggg", "....g....g", "rrrrrrrrrg", "....g.....", ".........."};
    QTest::newRow("a stroke drawn after covers them")
        << true << "m 0 3; m 9 3; b 2 3"
        << QStringList{"..........", "..........", "..........", "gggbbbbbbb", ".........."};
    QTest::newRow("a line places the pen")
        << true << "r 3 0; m 3 4"
        << QStringList{"rrrg......", "...g......", "...g......", "...g......", ".........."};
}

void TestThumbCanvas::blankedMoves()
{
    QFETCH(bool, shown);
    QFETCH(QString, calls);
    QFETCH(QStringList, picture);
    QImage image = Blank(10, 5);
    TThumbCanvas canvas(image);
    if (shown)
        canvas.ShowBlankedMoves(0xFF505050u, 0xFF000000u);
    for (const QString& call : calls.split(QLatin1Char(';'))) {
        const QStringList words = call.simplified().split(QLatin1Char(' '));
        const int x = words[1].toInt(), y = words[2].toInt();
        if (words[0] == QLatin1String("m")) {
            canvas.MoveTo(x, y);
        } else {
            canvas.SetPenColor(words[0] == QLatin1String("r") ? 255 : 0, 0,
                               words[0] == QLatin1String("b") ? 255 : 0);
            canvas.LineTo(x, y);
        }
    }
    const QHash<QRgb, QChar> names{{qRgb(0, 0, 0), QLatin1Char('.')},
                                   {qRgb(0x50, 0x50, 0x50), QLatin1Char('g')},
                                   {qRgb(255, 0, 0), QLatin1Char('r')},
                                   {qRgb(0, 0, 255), QLatin1Char('b')}};
    QStringList drawn;
    for (int y = 0; y < image.height(); ++y) {
        QString row;
        for (int x = 0; x < image.width(); ++x)
            row += names.value(image.pixel(x, y), QLatin1Char('?'));
        drawn << row;
    }
    QCOMPARE(drawn, picture);
}

QTEST_APPLESS_MAIN(TestThumbCanvas)
#include "tst_thumbcanvas.moc"
