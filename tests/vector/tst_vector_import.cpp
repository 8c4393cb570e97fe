// SVG files as frames: every element kind, transforms, the page, colours,
// hidden and filled shapes, curves at tolerance, several files sharing one
// placement, and every kind of bad or hostile input.
#include "VectorTestKit.h"

#include <QDir>

#include <unistd.h>

using namespace Vector;
using namespace VecKit;

Q_DECLARE_METATYPE(Vector::TVectorProblem)

class TestVectorImport : public QObject
{
    Q_OBJECT

private slots:
    void elements_data();
    void elements();
    void page_data();
    void page();
    void colours_data();
    void colours();
    void shown_data();
    void shown();
    void fillAndStroke_data();
    void fillAndStroke();
    void curvesAtTolerance_data();
    void curvesAtTolerance();
    void logo();
    void animationSharesOnePlacement();
    void badInput_data();
    void badInput();
    void hostileInput_data();
    void hostileInput();
    void tooManyPoints_data();
    void tooManyPoints();
    void folder();
};

static const QString Red = QStringLiteral("stroke=\"#ff0000\" fill=\"none\"");

void TestVectorImport::elements_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<double>("aspect"); // width / height of the lit lines, 0: not checked
    QTest::addColumn<int>("runs");      // lit paths, 0: at least one
    QTest::addColumn<bool>("closed");

    QTest::newRow("path") << "<path d=\"M10 10 L90 10 L90 50\" " + Red + "/>" << 2.0 << 1 << false;
    QTest::newRow("line") << "<line x1=\"10\" y1=\"20\" x2=\"90\" y2=\"60\" " + Red + "/>" << 2.0 << 1 << false;
    QTest::newRow("polyline") << "<polyline points=\"10,10 90,10 90,50 10,50\" " + Red + "/>" << 2.0 << 1 << false;
    QTest::newRow("polygon") << "<polygon points=\"10,10 90,10 50,50\" " + Red + "/>" << 2.0 << 1 << true;
    QTest::newRow("rect") << "<rect x=\"10\" y=\"10\" width=\"80\" height=\"40\" " + Red + "/>" << 2.0 << 1 << true;
    QTest::newRow("rounded rect") << "<rect x=\"10\" y=\"10\" width=\"80\" height=\"40\" rx=\"10\" " + Red + "/>"
                                  << 2.0 << 1 << true;
    QTest::newRow("circle") << "<circle cx=\"50\" cy=\"50\" r=\"40\" " + Red + "/>" << 1.0 << 1 << true;
    QTest::newRow("ellipse") << "<ellipse cx=\"50\" cy=\"50\" rx=\"40\" ry=\"20\" " + Red + "/>" << 2.0 << 1 << true;
    QTest::newRow("curves and arc") << "<path d=\"M10 50 Q50 10 90 50 A40 20 0 0 1 10 50 Z\" " + Red + "/>" << 2.0
                                    << 1 << true;
    QTest::newRow("two subpaths") << "<path d=\"M10 10 H90 M10 50 H90\" " + Red + "/>" << 2.0 << 2 << false;
    QTest::newRow("text") << QStringLiteral("<text x=\"10\" y=\"50\" font-size=\"30\" fill=\"red\">Hi</text>") << 0.0
                          << 0 << true;
    QTest::newRow("rotated in a group")
        << "<g transform=\"translate(50 50)\"><g transform=\"rotate(90)\"><rect x=\"-40\" y=\"-20\" width=\"80\" "
           "height=\"40\" " + Red + "/></g></g>"
        << 0.5 << 1 << true;
    QTest::newRow("scaled in a group") << "<g transform=\"scale(2 1)\"><circle cx=\"25\" cy=\"50\" r=\"20\" " + Red +
                                              "/></g>"
                                       << 2.0 << 1 << true;
    QTest::newRow("matrix on the element")
        << "<rect x=\"0\" y=\"0\" width=\"10\" height=\"10\" transform=\"matrix(4 0 0 1 5 5)\" " + Red + "/>" << 4.0
        << 1 << true;
    QTest::newRow("use of a definition")
        << "<defs><rect id=\"r\" width=\"40\" height=\"10\" " + Red +
               "/></defs><use xlink:href=\"#r\" x=\"5\" y=\"5\"/><use xlink:href=\"#r\" x=\"5\" y=\"25\"/>"
        << 40.0 / 30 << 2 << true;
}

void TestVectorImport::elements()
{
    QFETCH(QString, body);
    QFETCH(double, aspect);
    QFETCH(int, runs);
    QFETCH(bool, closed);
    const QString attributes =
        QStringLiteral("xmlns:xlink=\"http://www.w3.org/1999/xlink\" viewBox=\"0 0 100 100\"");
    const TVectorFrame f = ImportOne(Svg(body, attributes));
    QCOMPARE(f.Problem, TVectorProblem::None);
    QVERIFY(f.Frame);
    // The same drawing from its bytes, as a drop or the clipboard gives it.
    const TVectorFrame fromBytes = ImportSvgBytes(Svg(body, attributes).toUtf8(), TZLT_Pal(), Plain());
    QVERIFY(fromBytes.Frame && *fromBytes.Frame == *f.Frame);
    const TBounds b = LitBounds(*f.Frame);
    // Centred, the larger side spanning 95 % of the field.
    QVERIFY2(std::abs(b.CentreX()) <= 1.5 && std::abs(b.CentreY()) <= 1.5,
             qPrintable(QStringLiteral("centre %1 %2").arg(b.CentreX()).arg(b.CentreY())));
    QVERIFY2(std::abs(std::max(b.Width(), b.Height()) - Span) <= 2, qPrintable(QString::number(b.Width())));
    if (aspect > 0)
        QVERIFY2(std::abs(double(b.Width()) / b.Height() / aspect - 1) < 0.01,
                 qPrintable(QStringLiteral("%1 x %2").arg(b.Width()).arg(b.Height())));
    if (runs > 0)
        QCOMPARE(LitRuns(*f.Frame), runs);
    else
        QVERIFY(LitRuns(*f.Frame) >= 2);
    const auto& p = f.Frame->AllPoints();
    if (runs == 1)
        QCOMPARE(p.front().X() == p.back().X() && p.front().Y() == p.back().Y(), closed);
}

void TestVectorImport::page_data()
{
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QRect>("expected"); // lit bounds in the field: left, top, width, height

    const QRect leftHalf(-31130, 0, 31130, 0);
    const QString line = "<line x1=\"0\" y1=\"50\" x2=\"100\" y2=\"50\" " + Red + "/>";
    QTest::newRow("viewBox") << "viewBox=\"0 0 200 100\"" << line << leftHalf;
    QTest::newRow("viewBox with units") << "width=\"200mm\" height=\"100mm\" viewBox=\"0 0 200 100\"" << line
                                        << leftHalf;
    QTest::newRow("width and height") << "width=\"200\" height=\"100\"" << line << leftHalf;
    QTest::newRow("viewBox away from 0")
        << "viewBox=\"100 100 200 100\""
        << "<line x1=\"100\" y1=\"100\" x2=\"300\" y2=\"200\" " + Red + "/>" << QRect(-31130, -15565, 62260, 31130);
    QTest::newRow("tall page") << "viewBox=\"0 0 50 100\""
                               << "<line x1=\"25\" y1=\"0\" x2=\"25\" y2=\"50\" " + Red + "/>"
                               << QRect(0, -31130, 0, 31130);
}

void TestVectorImport::page()
{
    QFETCH(QString, attributes);
    QFETCH(QString, body);
    QFETCH(QRect, expected);
    TVectorOptions options = Plain();
    options.UsePage = true;
    const TVectorFrame f = ImportOne(Svg(body, attributes), options);
    QCOMPARE(f.Problem, TVectorProblem::None);
    const TBounds b = LitBounds(*f.Frame);
    const QString got = QStringLiteral("%1 %2 %3 %4").arg(b.Left).arg(b.Top).arg(b.Width()).arg(b.Height());
    QVERIFY2(std::abs(b.Left - expected.left()) <= 2 && std::abs(b.Top - expected.top()) <= 2 &&
                 std::abs(b.Width() - expected.width()) <= 2 && std::abs(b.Height() - expected.height()) <= 2,
             qPrintable(got));
}

static TZLT_Pal TiePalette()
{
    // Far green everywhere but two entries as far from purple as each other.
    QByteArray bytes;
    for (int i = 0; i < TZLT_Pal::EntryCount; ++i) {
        const uint8_t rgb[3] = {uint8_t(i == 3 ? 200 : 0), uint8_t(i == 3 || i == 7 ? 0 : 255),
                                uint8_t(i == 7 ? 200 : 0)};
        bytes.append(reinterpret_cast<const char*>(rgb), 3);
        bytes.append(6, '\0');
    }
    TZLT_Pal palette;
    palette.LoadFromBytes(bytes, QStringLiteral("tie"));
    return palette;
}

void TestVectorImport::colours_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("blackAs");
    QTest::addColumn<bool>("tiePalette");
    QTest::addColumn<QList<int>>("expected"); // the colours of the lit lines

    const QString shape = QStringLiteral("<rect x=\"10\" y=\"10\" width=\"80\" height=\"40\" fill=\"none\" %1/>");
    const int white = TVectorOptions::PaletteWhite;
    QTest::newRow("red") << shape.arg("stroke=\"#ff0000\"") << white << false << QList<int>{1};
    QTest::newRow("near red") << shape.arg("stroke=\"rgb(250,5,5)\"") << white << false << QList<int>{1};
    QTest::newRow("blue") << shape.arg("stroke=\"#0000ff\"") << white << false << QList<int>{18};
    QTest::newRow("orange by name") << shape.arg("stroke=\"orange\"") << white << false << QList<int>{2};
    QTest::newRow("style attribute") << shape.arg("style=\"stroke:#00ff00\"") << white << false << QList<int>{4};
    QTest::newRow("white") << shape.arg("stroke=\"white\"") << white << false << QList<int>{0};
    QTest::newRow("black as white") << shape.arg("stroke=\"black\"") << white << false << QList<int>{0};
    QTest::newRow("black as an index") << shape.arg("stroke=\"#000\"") << 9 << false << QList<int>{9};
    QTest::newRow("black blanked") << shape.arg("stroke=\"black\"") << int(TVectorOptions::Blanked) << false
                                   << QList<int>{};
    QTest::newRow("currentColor as black") << "<g color=\"#00ffff\">" + shape.arg("stroke=\"currentColor\"") + "</g>"
                                           << 7 << false << QList<int>{7};
    QTest::newRow("currentColor in a style") << "<g style=\"color:red\">" + shape.arg("style=\"stroke:currentColor\"") +
                                                    "</g><circle r=\"3\" cx=\"50\" cy=\"80\" stroke=\"red\"/>"
                                             << 9 << false << QList<int>{1, 9};
    QTest::newRow("currentColor unset") << shape.arg("stroke=\"currentColor\"") << 7 << false << QList<int>{7};
    QTest::newRow("gradient takes its first stop")
        << "<defs><linearGradient id=\"g\"><stop offset=\"0\" stop-color=\"#00ff00\"/><stop offset=\"1\" "
           "stop-color=\"#0000ff\"/></linearGradient></defs>" +
               shape.arg("stroke=\"url(#g)\"")
        << white << false << QList<int>{4};
    QTest::newRow("two colours") << shape.arg("stroke=\"red\"") + "<circle cx=\"50\" cy=\"80\" r=\"5\" fill=\"none\" "
                                                                  "stroke=\"#00ff00\"/>"
                                 << white << false << QList<int>{1, 4};
    QTest::newRow("tie takes the lower index") << shape.arg("stroke=\"#640064\"") << white << true << QList<int>{3};
    QTest::newRow("white in a palette without white") << shape.arg("stroke=\"black\"") << white << true
                                                      << QList<int>{0};
}

void TestVectorImport::colours()
{
    QFETCH(QString, body);
    QFETCH(int, blackAs);
    QFETCH(bool, tiePalette);
    QFETCH(QList<int>, expected);
    TVectorOptions options = Plain();
    options.BlackAs = blackAs;
    const TVectorFrame f = ImportOne(Svg(body), options, tiePalette ? TiePalette() : TZLT_Pal());
    QCOMPARE(f.Problem, TVectorProblem::None);
    const std::set<int> colours = LitColours(*f.Frame);
    QCOMPARE(QList<int>(colours.begin(), colours.end()), expected);
    QVERIFY(f.Frame->Count() > 0);
}

void TestVectorImport::shown_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("runs");

    const QString seen = "<rect x=\"10\" y=\"10\" width=\"80\" height=\"40\" " + Red + "/>";
    const QString circle = QStringLiteral("<circle cx=\"50\" cy=\"70\" r=\"10\" stroke=\"red\" fill=\"none\" %1/>");
    QTest::newRow("both shown") << seen + circle.arg("") << 2;
    QTest::newRow("visibility hidden") << seen + circle.arg("visibility=\"hidden\"") << 1;
    QTest::newRow("display none") << seen + circle.arg("display=\"none\"") << 1;
    QTest::newRow("in a hidden group") << seen + "<g display=\"none\">" + circle.arg("") + "</g>" << 1;
    QTest::newRow("opacity 0") << seen + circle.arg("opacity=\"0\"") << 1;
    QTest::newRow("stroke-opacity 0") << seen + circle.arg("stroke-opacity=\"0\"") << 1;
    QTest::newRow("neither fill nor stroke") << seen + "<circle cx=\"50\" cy=\"70\" r=\"10\" fill=\"none\"/>" << 1;
    QTest::newRow("in defs only") << seen + "<defs>" + circle.arg("") + "</defs>" << 1;
}

void TestVectorImport::shown()
{
    QFETCH(QString, body);
    QFETCH(int, runs);
    const TVectorFrame f = ImportOne(Svg(body));
    QCOMPARE(f.Problem, TVectorProblem::None);
    QCOMPARE(LitRuns(*f.Frame), runs);
}

void TestVectorImport::fillAndStroke_data()
{
    QTest::addColumn<QString>("shape");
    QTest::addColumn<int>("colour");
    QTest::addColumn<bool>("closed");

    const QString rect = QStringLiteral("<rect x=\"10\" y=\"10\" width=\"80\" height=\"40\" %1/>");
    const QString poly = QStringLiteral("<polyline points=\"10,10 90,10 90,50\" %1/>");
    QTest::newRow("rect filled") << rect.arg("fill=\"#0000ff\"") << 18 << true;
    QTest::newRow("rect filled by default") << rect.arg("") << 0 << true; // black, as white
    QTest::newRow("rect stroked") << rect.arg("fill=\"none\" stroke=\"red\"") << 1 << true;
    QTest::newRow("rect both") << rect.arg("fill=\"#0000ff\" stroke=\"red\"") << 1 << true;
    QTest::newRow("polyline filled: its outline") << poly.arg("fill=\"#00ff00\"") << 4 << true;
    QTest::newRow("polyline stroked") << poly.arg("fill=\"none\" stroke=\"red\"") << 1 << false;
    QTest::newRow("polyline both") << poly.arg("fill=\"#00ff00\" stroke=\"red\"") << 1 << false;
}

void TestVectorImport::fillAndStroke()
{
    QFETCH(QString, shape);
    QFETCH(int, colour);
    QFETCH(bool, closed);
    const TVectorFrame f = ImportOne(Svg(shape));
    QCOMPARE(f.Problem, TVectorProblem::None);
    // One line, not one per fill and stroke.
    QCOMPARE(LitRuns(*f.Frame), 1);
    QCOMPARE(LitColours(*f.Frame), std::set<int>{colour});
    const auto& p = f.Frame->AllPoints();
    QCOMPARE(p.front().X() == p.back().X() && p.front().Y() == p.back().Y(), closed);
    QCOMPARE(f.Frame->Count(), closed ? (shape.startsWith("<rect") ? 5 : 4) : 3);
}

void TestVectorImport::curvesAtTolerance_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<double>("radius"); // of the circle in the field
    QTest::addColumn<bool>("optimise");

    QTest::newRow("circle") << "<circle cx=\"50\" cy=\"50\" r=\"40\" " + Red + "/>" << Span / 2 << false;
    QTest::newRow("circle optimised") << "<circle cx=\"50\" cy=\"50\" r=\"40\" " + Red + "/>" << Span / 2 << true;
    QTest::newRow("circle scaled up by a group")
        << "<g transform=\"translate(50 50) scale(40)\"><circle r=\"1\" " + Red + "/></g>" << Span / 2 << false;
    // Qt's renderer makes cubic curves of an arc, off the true arc by up to
    // 0.03 % of its radius: at half the field's size that leaves room.
    QTest::newRow("arc path") << "<path d=\"M30 50 A20 20 0 1 1 70 50 A20 20 0 1 1 30 50\" " + Red +
                                     "/><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\" " + Red + "/>"
                              << Span / 4 << false;
    // A small circle centred in a square that sets the extent.
    QTest::newRow("small circle") << "<circle cx=\"50\" cy=\"50\" r=\"2\" " + Red +
                                         "/><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\" " + Red + "/>"
                                  << Span * 2 / 80 << false;
    QTest::newRow("rotated circle in a square")
        << "<g transform=\"rotate(30 50 50)\"><circle cx=\"50\" cy=\"50\" r=\"30\" " + Red +
               "/></g><rect x=\"10\" y=\"10\" width=\"80\" height=\"80\" " + Red + "/>"
        << Span * 30 / 80 << false;
}

void TestVectorImport::curvesAtTolerance()
{
    QFETCH(QString, body);
    QFETCH(double, radius);
    QFETCH(bool, optimise);
    TVectorOptions options = Plain();
    options.Optimise = optimise;
    const TVectorFrame f = ImportOne(Svg(body), options);
    QCOMPARE(f.Problem, TVectorProblem::None);
    int checked = 0;
    double worst = 0;
    for (const TSegment& s : LitSegments(*f.Frame)) {
        const double length = std::hypot(s.B.x() - s.A.x(), s.B.y() - s.A.y());
        if (length < 1 || std::hypot(s.A.x(), s.A.y()) > 1.5 * radius)
            continue; // a held point, or the square around the circle
        // Points along the line, not only its ends: the chord must stay near the curve.
        for (double t = 0; t <= 1; t += 0.125) {
            const QPointF p = s.A + t * (s.B - s.A);
            worst = std::max(worst, std::abs(std::hypot(p.x(), p.y()) - radius));
        }
        ++checked;
    }
    // The optimiser then drops points within its own tolerance of a line.
    const double allowed = optimise ? FlatteningTolerance + MinimiseTolerance : FlatteningTolerance;
    QVERIFY2(worst <= allowed, qPrintable(QString::number(worst)));
    QVERIFY(checked >= 8);
    // Not flattened far finer than needed either.
    if (!optimise)
        QVERIFY2(checked <= 600, qPrintable(QString::number(checked)));
}

void TestVectorImport::logo()
{
    // Like a designer's export: groups, styles, a gradient, text, a hidden layer.
    const QString body = QStringLiteral(
        "<defs><linearGradient id=\"sun\"><stop offset=\"0\" stop-color=\"#ffff00\"/>"
        "<stop offset=\"1\" stop-color=\"#ff8000\"/></linearGradient></defs>"
        "<g id=\"layer1\" transform=\"translate(0 10)\">"
        "<circle cx=\"50\" cy=\"40\" r=\"25\" fill=\"url(#sun)\" stroke=\"#ff0000\" stroke-width=\"3\"/>"
        "<path d=\"M5 80 C30 60 70 100 95 80\" style=\"fill:none;stroke:#0000ff;stroke-width:2\"/>"
        "<text x=\"50\" y=\"95\" font-size=\"10\" text-anchor=\"middle\" fill=\"#0000ff\">SUN</text>"
        "</g><g id=\"guides\" style=\"display:none\"><rect width=\"100\" height=\"100\" stroke=\"#00ff00\"/></g>");
    TVectorOptions options; // optimised
    const TVectorFrame f = ImportOne(Svg(body, "width=\"100mm\" height=\"110mm\" viewBox=\"0 0 100 110\""), options);
    QCOMPARE(f.Problem, TVectorProblem::None);
    QVERIFY(f.Frame->Count() <= TZLT_Frame::MaxPoints);
    QCOMPARE(LitColours(*f.Frame), (std::set<int>{1, 18}));
    // The sun, the wave and three letters' outlines at least.
    QVERIFY(LitRuns(*f.Frame) >= 5);
    // Optimised: an optimised frame optimises to itself.
    TZLT_Frame again;
    again.AllPoints() = f.Frame->AllPoints();
    QVERIFY(!Optimise(again, options.Scanner).Changed);
}

void TestVectorImport::animationSharesOnePlacement()
{
    QTemporaryDir dir;
    QStringList files;
    for (int cx : {20, 50, 80}) {
        files << WriteFile(dir, QStringLiteral("f%1.svg").arg(cx),
                           Svg(QStringLiteral("<circle cx=\"%1\" cy=\"50\" r=\"10\" %2/>").arg(cx).arg(Red)).toUtf8());
        if (cx == 20)
            files << WriteFile(dir, QStringLiteral("broken.svg"), "<svg");
    }
    const std::vector<TVectorFrame> frames = ImportSvgFiles(files, TZLT_Pal(), Plain());
    QCOMPARE(frames.size(), size_t(4));
    QCOMPARE(frames[1].Problem, TVectorProblem::NotSvg);
    QVERIFY(!frames[1].Frame);
    QCOMPARE(frames[1].Source, files[1]);
    // The union is 80 wide: each circle a quarter of it, in its own place.
    const double expectedCentre[] = {-0.375 * Span, 0, 0.375 * Span};
    const int used[] = {0, 2, 3};
    for (int k = 0; k < 3; ++k) {
        const TVectorFrame& f = frames[size_t(used[k])];
        QCOMPARE(f.Problem, TVectorProblem::None);
        QCOMPARE(f.Source, files[used[k]]);
        const TBounds b = LitBounds(*f.Frame);
        QVERIFY2(std::abs(b.CentreX() - expectedCentre[k]) <= FlatteningTolerance,
                 qPrintable(QString::number(b.CentreX())));
        QVERIFY(std::abs(b.CentreY()) <= FlatteningTolerance);
        QVERIFY2(std::abs(b.Width() - Span / 4) <= FlatteningTolerance, qPrintable(QString::number(b.Width())));
    }
}

void TestVectorImport::badInput_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "<missing>", "<folder>", "<unreadable>", "<huge>" for those
    QTest::addColumn<TVectorProblem>("problem");

    const QByteArray head = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 10 10\">";
    QTest::newRow("missing") << QByteArray("<missing>") << TVectorProblem::Missing;
    QTest::newRow("a folder") << QByteArray("<folder>") << TVectorProblem::NotSvg;
    QTest::newRow("unreadable") << QByteArray("<unreadable>") << TVectorProblem::Unreadable;
    QTest::newRow("over 64 MB") << QByteArray("<huge>") << TVectorProblem::TooLarge;
    QTest::newRow("empty") << QByteArray() << TVectorProblem::NotSvg;
    QTest::newRow("plain text") << QByteArray("just words\n") << TVectorProblem::NotSvg;
    QTest::newRow("a PNG") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << TVectorProblem::NotSvg;
    QTest::newRow("other XML") << QByteArray("<html><body><p>hi</p></body></html>") << TVectorProblem::NotSvg;
    QTest::newRow("tag left open") << head + "<g><rect width=\"5\" height=\"5\" stroke=\"red\"></g></svg>"
                                   << TVectorProblem::Malformed;
    QTest::newRow("cut off") << head + "<rect width=\"5\" height=\"5\" stroke=\"red\"/>" << TVectorProblem::Malformed;
    QTest::newRow("two roots") << head + "</svg><svg/>" << TVectorProblem::Malformed;
    QTest::newRow("bad attribute quoting") << head + "<rect width=5/></svg>" << TVectorProblem::Malformed;
    QTest::newRow("nothing in it") << head + "</svg>" << TVectorProblem::DrawsNothing;
    QTest::newRow("only definitions") << head + "<defs><rect width=\"5\" height=\"5\" stroke=\"red\"/></defs></svg>"
                                      << TVectorProblem::DrawsNothing;
    QTest::newRow("only hidden") << head + "<rect width=\"5\" height=\"5\" stroke=\"red\" display=\"none\"/></svg>"
                                 << TVectorProblem::DrawsNothing;
    QTest::newRow("only a picture")
        << head + "<image width=\"5\" height=\"5\" xlink:href=\"data:image/png;base64,AAAA\" "
                  "xmlns:xlink=\"http://www.w3.org/1999/xlink\"/></svg>"
        << TVectorProblem::DrawsNothing;
    QTest::newRow("entity expansion")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaa\">"
                      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
                      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
                      "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
                      "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\"><text>&i;</text></svg>")
        << TVectorProblem::Malformed;
    QByteArray deep = head;
    for (int i = 0; i < 10000; ++i)
        deep += "<g>";
    deep += "<rect width=\"5\" height=\"5\" stroke=\"red\"/>";
    for (int i = 0; i < 10000; ++i)
        deep += "</g>";
    QTest::newRow("10,000 deep") << deep + "</svg>" << TVectorProblem::TooLarge;
}

void TestVectorImport::badInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(TVectorProblem, problem);
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("bad.svg"));
    if (bytes == "<folder>") {
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("bad.svg")));
    } else if (bytes == "<huge>") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(f.resize(MaxFileBytes + 1)); // sparse: nothing written
    } else if (bytes == "<unreadable>") {
        if (geteuid() == 0)
            QSKIP("root reads any file");
        WriteFile(dir, QStringLiteral("bad.svg"), Svg("<rect width=\"5\" height=\"5\" stroke=\"red\"/>").toUtf8());
        QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
    } else if (bytes != "<missing>") {
        WriteFile(dir, QStringLiteral("bad.svg"), bytes);
    }
    // A good file after the bad one is still imported.
    const QString good = WriteFile(dir, QStringLiteral("good.svg"), Svg("<line x2=\"9\" " + Red + "/>").toUtf8());
    const std::vector<TVectorFrame> frames = ImportSvgFiles({file, good}, TZLT_Pal(), TVectorOptions());
    QCOMPARE(frames.size(), size_t(2));
    QCOMPARE(frames[0].Problem, problem);
    QVERIFY(!frames[0].Frame);
    QCOMPARE(frames[0].Source, file);
    if (problem == TVectorProblem::Malformed)
        QVERIFY2(frames[0].Detail.contains(QLatin1String("line")), qPrintable(frames[0].Detail));
    QVERIFY(!ProblemText(problem).isEmpty());
    QCOMPARE(frames[1].Problem, TVectorProblem::None);
    QVERIFY(frames[1].Frame && frames[1].Frame->Count() > 0);
}

void TestVectorImport::hostileInput_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("attributes");
    QTest::addColumn<bool>("usePage");

    const QString box = QStringLiteral("viewBox=\"0 0 100 100\"");
    const QString normal = "<line x1=\"10\" y1=\"10\" x2=\"90\" y2=\"90\" " + Red + "/>";
    QTest::newRow("1e300 line") << normal + "<line x2=\"1e300\" y2=\"-1e300\" " + Red + "/>" << box << false;
    QTest::newRow("1e300 circle") << "<circle cx=\"1e300\" r=\"1e300\" " + Red + "/>" << box << false;
    QTest::newRow("1e300 scale") << "<g transform=\"scale(1e300)\">" + normal + "</g>" << box << false;
    QTest::newRow("scaled past infinity") << "<g transform=\"scale(1e300)\"><g transform=\"scale(1e300)\">" + normal +
                                                 "</g></g>"
                                          << box << false;
    QTest::newRow("NaN coordinates") << normal + "<line x1=\"NaN\" y1=\"nan\" x2=\"5\" y2=\"5\" " + Red + "/>" << box
                                     << false;
    QTest::newRow("NaN in a path") << normal + "<path d=\"M 1 1 L nan 3 L inf 4 C 1 1 nan 2 3 3\" " + Red + "/>"
                                   << box << false;
    QTest::newRow("infinite viewBox") << normal << "viewBox=\"0 0 1e400 1e400\"" << true;
    QTest::newRow("tiny page") << "<circle cx=\"50\" cy=\"50\" r=\"40\" " + Red + "/>" << "viewBox=\"0 0 1e-9 1e-9\""
                               << true;
    QTest::newRow("negative sizes") << "<rect width=\"-5\" height=\"-5\" " + Red + "/>" + normal
                                    << "width=\"-10\" height=\"-10\"" << true;
    // Control points far out: the extent is the curve's, not theirs, and holds all of it.
    QTest::newRow("control points far out")
        << "<g transform=\"rotate(30 50 50) scale(0.8)\"><path d=\"M1 1Q50510 0 90 50 T 10 55 C 20 90 80 90 90 50 "
           "A40 20 30 1 0 10 50\" " + Red + "/></g>"
        << box << false;
    QTest::newRow("huge stroke width") << "<line x2=\"50\" stroke=\"red\" stroke-width=\"1e300\"/>" << box << false;
}

void TestVectorImport::hostileInput()
{
    QFETCH(QString, body);
    QFETCH(QString, attributes);
    QFETCH(bool, usePage);
    TVectorOptions options;
    options.UsePage = usePage;
    const TVectorFrame f = ImportOne(Svg(body, attributes), options);
    QVERIFY2(f.Problem == TVectorProblem::None || f.Problem == TVectorProblem::DrawsNothing ||
                 f.Problem == TVectorProblem::TooManyPoints || f.Problem == TVectorProblem::Malformed,
             qPrintable(ProblemText(f.Problem)));
    QCOMPARE(bool(f.Frame), f.Problem == TVectorProblem::None);
    if (!f.Frame)
        return;
    QVERIFY(f.Frame->Count() <= TZLT_Frame::MaxPoints);
    if (!usePage)
        for (const TZLT_Point& p : f.Frame->AllPoints())
            QVERIFY2(std::abs(p.X()) <= Span / 2 + 1 && std::abs(p.Y()) <= Span / 2 + 1,
                     qPrintable(QStringLiteral("%1 %2").arg(p.X()).arg(p.Y())));
}

// Circles in a grid, or around one centre growing outward.
static QString Circles(int count, bool concentric)
{
    QString body;
    const int perRow = int(std::ceil(std::sqrt(count)));
    for (int i = 0; i < count; ++i) {
        if (concentric)
            body += QStringLiteral("<circle cx=\"500\" cy=\"500\" r=\"%1\"/>").arg(100 + 400.0 * i / count);
        else
            body += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"1\"/>")
                        .arg(1000.0 * (i % perRow + 0.5) / perRow)
                        .arg(1000.0 * (i / perRow + 0.5) / perRow);
    }
    return Svg("<g stroke=\"red\" fill=\"none\">" + body + "</g>", "viewBox=\"0 0 1000 1000\"");
}

void TestVectorImport::tooManyPoints_data()
{
    QTest::addColumn<QString>("svg");
    QTest::addColumn<int>("circles");
    QTest::addColumn<bool>("optimise");
    QTest::addColumn<TVectorProblem>("problem");
    QTest::addColumn<bool>("coarser");

    QTest::newRow("fits") << Circles(400, false) << 400 << true << TVectorProblem::None << false;
    // Over 100,000 points within 8 units, under 65,535 within 32.
    QTest::newRow("fits only coarser") << Circles(800, true) << 800 << false << TVectorProblem::None << true;
    QTest::newRow("never fits") << Circles(30000, false) << 30000 << true << TVectorProblem::TooManyPoints << false;
}

void TestVectorImport::tooManyPoints()
{
    QFETCH(QString, svg);
    QFETCH(int, circles);
    QFETCH(bool, optimise);
    QFETCH(TVectorProblem, problem);
    QFETCH(bool, coarser);
    TVectorOptions options;
    options.Optimise = optimise;
    const TVectorFrame f = ImportOne(svg, options);
    QCOMPARE(f.Problem, problem);
    QCOMPARE(bool(f.Frame), problem == TVectorProblem::None);
    if (f.Frame) {
        QVERIFY(f.Frame->Count() <= TZLT_Frame::MaxPoints);
        QCOMPARE(LitRuns(*f.Frame), circles);
        QCOMPARE(f.Detail.contains(QLatin1String("within")), coarser);
    }
}

void TestVectorImport::folder()
{
    QTemporaryDir dir;
    for (const char* name : {"b.svg", "A.SVG", "c.svg.txt", "d.Svg", "e.png"})
        WriteFile(dir, QString::fromLatin1(name), Svg("<line x2=\"9\" " + Red + "/>").toUtf8());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub.svg")));
    QStringList names;
    for (const QString& file : SvgFilesIn(dir.path()))
        names << QFileInfo(file).fileName();
    QCOMPARE(names, (QStringList{"A.SVG", "b.svg", "d.Svg"}));
    QVERIFY(SvgFilesIn(dir.filePath(QStringLiteral("none"))).isEmpty());
}

QTEST_MAIN(TestVectorImport)
#include "tst_vector_import.moc"
