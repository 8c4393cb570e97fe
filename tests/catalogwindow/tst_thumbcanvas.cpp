// The thumbnail canvas against a plain per-pixel model of its lines: the
// pixels a line sets, what clipping keeps, and how frames are drawn on it.

#include "ReferenceCanvas.h"
#include "ThumbCanvas.h"
#include "ThumbCoverage.h"

#include <QImage>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <cmath>
#include <cstdint>
#include <numbers>

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
    void framesMatchReference_data();
    void framesMatchReference();
    void coverageFindsUnsetPixels_data();
    void coverageFindsUnsetPixels();
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
    // The test of one pixel without walking the line agrees.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            QVERIFY2(LineVisits(from.x(), from.y(), to.x(), to.y(), x, y) == expected.contains({x, y}),
                     qPrintable(QStringLiteral("pixel %1, %2").arg(x).arg(y)));
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
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x)
            QVERIFY2(LineVisits(clamp(from.x()), clamp(from.y()), clamp(to.x()), clamp(to.y()), x, y) ==
                         expected.contains({x, y}),
                     qPrintable(QStringLiteral("pixel %1, %2").arg(x).arg(y)));
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

namespace {

enum class TShape { Walk, LongLines, Circles, Extremes, Jumps };

// A frame of count points of the shape; blanked is the chance of a blanked
// point, side the cell it is meant for (walks step a fraction of a pixel to
// a few pixels of it).
std::unique_ptr<TZLT_Frame> RandomFrame(QRandomGenerator& random, TShape shape, int count, int side,
                                        double blanked)
{
    auto frame = std::make_unique<TZLT_Frame>();
    const auto coordinate = [&random] { return int(random.bounded(65536)) - 32768; };
    double x = coordinate(), y = coordinate();
    const double pixel = 65536.0 / std::max(side, 1);
    const double step = pixel * (0.05 + random.bounded(4.0));
    const double radius = 1000 + random.bounded(31000.0);
    const double perTurn = 3 + random.bounded(400.0); // points per turn, rarely whole
    uint8_t colour = uint8_t(random.bounded(64));
    double along = -32768, across = -32768 + pixel / 2;
    const bool columns = random.bounded(2) == 0;
    for (int i = 0; i < count; ++i) {
        switch (shape) {
        case TShape::Walk:
            x = std::clamp(x + (random.bounded(2.0) - 1) * step, -32768.0, 32767.0);
            y = std::clamp(y + (random.bounded(2.0) - 1) * step, -32768.0, 32767.0);
            break;
        case TShape::LongLines:
            x = coordinate();
            y = coordinate();
            break;
        case TShape::Circles: {
            const double angle = 2 * std::numbers::pi * i / perTurn;
            x = std::clamp(radius * std::cos(angle), -32768.0, 32767.0);
            y = std::clamp(radius * std::sin(angle), -32768.0, 32767.0);
            break;
        }
        case TShape::Jumps: // rows of steps under half a pixel, now and then one of 2 to 4 pixels
            along += pixel * (random.bounded(300) == 0 ? 2 + random.bounded(2.0) : 0.45);
            if (along > 32767) {
                along = -32768;
                across = across + pixel > 32767 ? -32768 : across + pixel;
            }
            (columns ? y : x) = along;
            (columns ? x : y) = across;
            break;
        case TShape::Extremes: // the corners and edges, where the far edge lies outside the cell
            x = random.bounded(3) == 0 ? coordinate() : (random.bounded(2) ? 32767 : -32768);
            y = random.bounded(3) == 0 ? coordinate() : (random.bounded(2) ? 32767 : -32768);
            break;
        }
        if (random.bounded(1.0) < 0.02)
            colour = uint8_t(random.bounded(64));
        const bool blank = random.bounded(1.0) < blanked;
        // Bit 7 means nothing to drawing; set it now and then.
        const uint8_t status = uint8_t(colour | (blank ? 0x40 : 0) | (random.bounded(8) == 0 ? 0x80 : 0));
        frame->Add(TZLT_Point(int16_t(std::lround(x)), int16_t(std::lround(y)), 0, status, 0));
    }
    return frame;
}

// Random colours, several of them black like the preview's background and
// one the grey of its blanked moves.
TZLT_Pal RandomPalette(QRandomGenerator& random)
{
    QByteArray bytes(TZLT_Pal::FileSize, '\0');
    for (int entry = 0; entry < TZLT_Pal::EntryCount; ++entry) {
        const int kind = int(random.bounded(8));
        for (int k = 0; k < 3; ++k)
            bytes[entry * 9 + k] = char(kind == 0 ? 0 : kind == 1 ? 0x50 : int(random.bounded(256)));
    }
    TZLT_Pal palette;
    palette.LoadFromBytes(bytes, QStringLiteral("random"));
    return palette;
}

} // namespace

void TestThumbCanvas::framesMatchReference_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("blanked");
    QTest::addColumn<bool>("showMoves");
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("backwards"); // how the canvas should draw the first frame; -1 either way
    // The cell lies anywhere over the image (0), is the image (1), lies
    // inside it (2) or does so three times as wide as high (3).
    QTest::addColumn<int>("placement");

    struct TShapeRow
    {
        const char* name;
        TShape shape;
        double blanked;
    };
    const TShapeRow shapes[] = {
        {"walk", TShape::Walk, 0.0},
        {"walk, some blanked", TShape::Walk, 0.1},
        {"walk, mostly blanked", TShape::Walk, 0.9},
        {"long lines", TShape::LongLines, 0.0},
        {"long lines, half blanked", TShape::LongLines, 0.5},
        {"circles", TShape::Circles, 0.0},
        {"circles, some blanked", TShape::Circles, 0.2},
        {"corners and edges", TShape::Extremes, 0.3},
    };
    const int sides[] = {1, 2, 3, 7, 16, 64, 103, 256, 1024};
    quint32 seed = 20;
    for (const auto& shape : shapes) {
        for (const int side : sides) {
            for (const bool showMoves : {false, true}) {
                // The reference costs the length of every line: fewer long
                // lines in large cells.
                int count = TZLT_Frame::MaxPoints;
                if (shape.shape == TShape::LongLines || shape.shape == TShape::Extremes)
                    count = std::min(count, 4'000'000 / side);
                if (side >= 256 && shape.shape != TShape::Walk)
                    count = std::min(count, 12000);
                // Long steps over cells they overdraw many times are drawn
                // backwards; walks in order, and so is everything with
                // blanked moves shown.
                int backwards = -1;
                if (showMoves || shape.shape == TShape::Walk)
                    backwards = 0;
                else if (shape.shape == TShape::LongLines && side >= 16 && side <= 103)
                    backwards = 1;
                QTest::addRow("%s, %d px, moves %s", shape.name, side, showMoves ? "shown" : "hidden")
                    << int(shape.shape) << side << count << shape.blanked << showMoves << ++seed << backwards << 0;
            }
        }
    }
    // Full frames into thumbnail cells: long lines seldom set every pixel,
    // so lines and pieces of lines over pixels all set are passed over.
    for (const int side : {40, 64, 103}) {
        for (const quint32 run : {1u, 2u, 3u}) {
            QTest::addRow("65,535 long lines, %d px, run %u", side, run)
                << int(TShape::LongLines) << side << TZLT_Frame::MaxPoints << 0.0 << false << ++seed << 1 << 0;
            QTest::addRow("65,535 long lines, a tenth blanked, %d px, run %u", side, run)
                << int(TShape::LongLines) << side << TZLT_Frame::MaxPoints << 0.1 << false << ++seed << 1 << 0;
        }
        QTest::addRow("65,535 points of circles, %d px", side)
            << int(TShape::Circles) << side << TZLT_Frame::MaxPoints << 0.0 << false << ++seed << -1 << 0;
        QTest::addRow("65,535 points of a walk, %d px", side)
            << int(TShape::Walk) << side << TZLT_Frame::MaxPoints << 0.0 << false << ++seed << 0 << 0;
        // Steps are drawn with as many writes as the longest in their batch
        // needs: here that is one step in a few hundred.
        for (const quint32 run : {1u, 2u})
            QTest::addRow("65,535 points of rows with a few jumps, %d px, run %u", side, run)
                << int(TShape::Jumps) << side << TZLT_Frame::MaxPoints << 0.0 << false << ++seed << 0 << 0;
    }
    // Short frames, where the first steps and the end state matter most.
    for (const int count : {1, 2, 3, 5}) {
        for (const bool showMoves : {false, true}) {
            QTest::addRow("%d points, moves %s", count, showMoves ? "shown" : "hidden")
                << int(TShape::LongLines) << 40 << count << 0.3 << showMoves << ++seed << 0 << 0;
        }
    }
    // Long steps into a cell that lies within the image, as thumbnails
    // draw them: the steps' ends tell which can still reach an unset pixel
    // near an edge; points on the far edges land one pixel past the image.
    const TShapeRow fitted[] = {
        {"long lines", TShape::LongLines, 0.0},
        {"long lines, a tenth blanked", TShape::LongLines, 0.1},
        {"long lines, half blanked", TShape::LongLines, 0.5},
        {"corners and edges", TShape::Extremes, 0.0},
    };
    const char* const placements[] = {"", "the image", "inside the image", "a wide cell inside the image"};
    for (const auto& shape : fitted)
        for (const int side : {16, 103, 300})
            for (const int placement : {1, 2, 3})
                QTest::addRow("%s, %d px, %s", shape.name, side, placements[placement])
                    << int(shape.shape) << side << (side > 103 ? 12000 : int(TZLT_Frame::MaxPoints))
                    << shape.blanked << false << ++seed << 1 << placement;
}

// Draws two frames one after the other, then a line and a move of the pen
// by hand, on the canvas and on the reference, into the same picture:
// a cell placed anywhere over it, partly outside it or not at all, on a
// background, on transparency or on stray pixels.
void TestThumbCanvas::framesMatchReference()
{
    QFETCH(int, shape);
    QFETCH(int, side);
    QFETCH(int, count);
    QFETCH(double, blanked);
    QFETCH(bool, showMoves);
    QFETCH(quint32, seed);
    QFETCH(int, backwards);
    QFETCH(int, placement);
    QRandomGenerator random(seed);
    const auto frameA = RandomFrame(random, TShape(shape), count, side, blanked);
    const auto frameB = RandomFrame(random, TShape(shape), std::max(1, count / 8), side, blanked);
    const TZLT_Pal palette = RandomPalette(random);

    const int room = placement == 1 ? 0 : int(random.bounded(1, 24));
    const int width = placement == 0 ? 1 + int(random.bounded(side + 24)) : side + room;
    const int height = placement == 0 ? 1 + int(random.bounded(side + 24)) : side + room;
    const QPoint origin(int(random.bounded(-500, 500)), int(random.bounded(-500, 500)));
    // The cell lies at the image, reaching over any of its edges, or in it.
    const int left = origin.x() + (placement == 0 ? int(random.bounded(-side / 2 - 8, width + 8))
                                                   : int(random.bounded(room + 1)));
    const int top = origin.y() + (placement == 0 ? int(random.bounded(-side / 2 - 8, height + 8))
                                                  : int(random.bounded(room + 1)));
    const bool flipped = placement == 0 && random.bounded(6) == 0; // Right < Left, Bottom < Top
    const int high = placement == 3 ? side / 3 : side;
    const TZLT_Rect rect{left, top, left + (flipped ? -side : side), top + (flipped ? -high : high)};

    constexpr uint32_t Background = 0xFF000000u;
    QImage picture(width, height, QImage::Format_ARGB32_Premultiplied);
    const int fill = int(random.bounded(3));
    picture.fill(fill == 0 ? Qt::transparent : Qt::black);
    if (fill == 2) { // stray pixels, some in the colour of blanked moves
        for (int i = 0; i < width * height / 10; ++i)
            picture.setPixel(int(random.bounded(width)), int(random.bounded(height)),
                             random.bounded(2) ? 0xFF505050u : random.generate() | 0xFF000000u);
    }
    QImage expected = picture.copy();
    QImage drawn = picture.copy();
    QImage drawnWithoutAvx2 = picture.copy(); // the same drawing on any x86-64 processor

    TReferenceCanvas reference(expected, origin);
    TThumbCanvas canvas(drawn, origin);
    TThumbCanvas withoutAvx2(drawnWithoutAvx2, origin);
    if (showMoves) {
        reference.ShowBlankedMoves(0xFF505050u, Background);
        canvas.ShowBlankedMoves(0xFF505050u, Background);
        withoutAvx2.ShowBlankedMoves(0xFF505050u, Background);
    }
    const auto drawFrame = [&](const TZLT_Frame& frame) {
        frame.Draw(reference, rect, palette);
        frame.Draw(canvas, rect, palette);
        TThumbCanvas::AllowAvx2(false);
        frame.Draw(withoutAvx2, rect, palette);
        TThumbCanvas::AllowAvx2(true);
    };
    const auto compare = [&](const char* step) {
        if (drawnWithoutAvx2 != drawn) {
            qWarning("%s: drawn differently without AVX2", step);
            return false;
        }
        if (drawn == expected)
            return true;
        int differ = 0;
        QPoint firstDiffer;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (drawn.pixel(x, y) != expected.pixel(x, y) && differ++ == 0)
                    firstDiffer = QPoint(x, y);
        qWarning("%s: %d pixels differ, the first at (%d, %d): %08x instead of %08x", step, differ,
                 firstDiffer.x(), firstDiffer.y(), drawn.pixel(firstDiffer), expected.pixel(firstDiffer));
        return false;
    };

    drawFrame(*frameA);
    QVERIFY(compare("first frame"));
    if (backwards >= 0)
        QCOMPARE(canvas.DrewBackwards(), backwards == 1);
    QCOMPARE(canvas.PenPos(), reference.PenPos());
    drawFrame(*frameB);
    QVERIFY(compare("second frame"));
    QCOMPARE(canvas.PenPos(), reference.PenPos());
    // The pen keeps the last point's colour; a move after a frame is a
    // blanked move like any other.
    const QPoint through(left + int(random.bounded(-side, side + 1)), top + int(random.bounded(-side, side + 1)));
    for (TZLT_Canvas* each : {static_cast<TZLT_Canvas*>(&reference), static_cast<TZLT_Canvas*>(&canvas),
                              static_cast<TZLT_Canvas*>(&withoutAvx2)}) {
        each->LineTo(through.x(), through.y());
        each->MoveTo(left, top + side);
    }
    QVERIFY(compare("line and move after the frames"));
    QCOMPARE(canvas.PenPos(), reference.PenPos());
}

void TestThumbCanvas::coverageFindsUnsetPixels_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("unsetPerMille"); // of the pixels left unset
    QTest::addColumn<quint32>("seed");
    QTest::newRow("one pixel") << 1 << 1 << 1000 << 1u;
    QTest::newRow("a row, all unset") << 37 << 1 << 1000 << 2u;
    QTest::newRow("a column, half unset") << 1 << 29 << 500 << 3u;
    QTest::newRow("thumbnail, a quarter unset") << 103 << 103 << 250 << 4u;
    QTest::newRow("thumbnail, few unset") << 103 << 103 << 5 << 5u;
    QTest::newRow("thumbnail, none unset") << 103 << 103 << 0 << 6u;
    QTest::newRow("odd sizes, few unset") << 41 << 9 << 30 << 7u;
    QTest::newRow("tiles and a half, most unset") << 20 << 12 << 900 << 8u;
}

// The counts against the pixels themselves, and the listed pixels a line
// sets against the model of the line.
void TestThumbCanvas::coverageFindsUnsetPixels()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, unsetPerMille);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    TThumbCoverage cover;
    cover.Reset(width, height);
    PixelSet unset;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (int(random.bounded(1000)) < unsetPerMille)
                unset.insert({x, y});
            else
                cover.Marks()[y * cover.MarksStride() + x] = 1;
        }
    cover.BuildSums();
    const auto anyIn = [&unset](int x0, int x1, int y0, int y1) {
        for (const auto& [x, y] : unset)
            if (x >= x0 && x <= x1 && y >= y0 && y <= y1)
                return true;
        return false;
    };
    for (int box = 0; box < 300; ++box) {
        const int x0 = int(random.bounded(width)), x1 = x0 + int(random.bounded(width - x0));
        const int y0 = int(random.bounded(height)), y1 = y0 + int(random.bounded(height - y0));
        QCOMPARE(cover.AnyUnset(x0, x1, y0, y1), anyIn(x0, x1, y0, y1));
    }

    QImage image = Blank(width, height);
    auto* bits = reinterpret_cast<uint32_t*>(image.bits());
    const int stride = int(image.bytesPerLine() / 4);
    QImage expected = image.copy();
    cover.ListUnset();
    for (int line = 0; line < 60; ++line) {
        const int x0 = int(random.bounded(-8, width + 8)), y0 = int(random.bounded(-8, height + 8));
        const int x1 = int(random.bounded(-8, width + 8)), y1 = int(random.bounded(-8, height + 8));
        const uint32_t color = 0xFF000000u | (random.generate() & 0xFFFFFFu) | 1u;
        // Half the lines within a box of their own, the rest in the whole.
        const bool own = line % 2 == 0;
        const int lx = own ? std::clamp(std::min(x0, x1), 0, width - 1) : 0;
        const int hx = own ? std::clamp(std::max(x0, x1), 0, width - 1) : width - 1;
        const int ly = own ? std::clamp(std::min(y0, y1), 0, height - 1) : 0;
        const int hy = own ? std::clamp(std::max(y0, y1), 0, height - 1) : height - 1;
        int reached = 0;
        for (const auto& pixel : ModelLine(x0, y0, x1, y1, width, height)) {
            if (unset.remove(pixel)) {
                expected.setPixel(pixel.first, pixel.second, color);
                ++reached;
            }
        }
        QCOMPARE(cover.SetListed(x0, y0, x1, y1, lx, hx, ly, hy, color, bits, stride), reached);
        QCOMPARE(image, expected);
    }
    // What is left unset is still listed and still counted.
    cover.ListUnset();
    cover.BuildSums();
    QCOMPARE(cover.AnyUnset(0, width - 1, 0, height - 1), !unset.isEmpty());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            QCOMPARE(cover.Marks()[y * cover.MarksStride() + x] == 0, unset.contains({x, y}));
}

QTEST_APPLESS_MAIN(TestThumbCanvas)
#include "tst_thumbcanvas.moc"
