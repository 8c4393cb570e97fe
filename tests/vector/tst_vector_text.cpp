// Text frames in Hershey fonts: a font of plain bars with known measures for
// the layout, the fonts Debian installs for real glyphs, the font reader.
#include "HersheyFont.h"
#include "VectorTestKit.h"

#include <QDir>

using namespace Vector;
using namespace VecKit;

Q_DECLARE_METATYPE(Vector::TVectorProblem)
Q_DECLARE_METATYPE(Vector::TTextAlign)

class TestVectorText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void layout_data();
    void layout();
    void problems_data();
    void problems();
    void installedFonts_data();
    void installedFonts();
    void fontFile_data();
    void fontFile();

private:
    QTemporaryDir FBars;
    void UseBars() { qputenv("TREVASC_HERSHEY_DIR", FBars.path().toLocal8Bit()); }
};

// Every character a bar from the capitals' top (-12) to the baseline (9),
// 10 units wide: easy to measure.
void TestVectorText::initTestCase()
{
    QByteArray font;
    for (int c = 32; c < 127; ++c)
        font += c == 32 ? QByteArray("12345  1MW\n") : QByteArray("12345  3MWRFR[\n");
    WriteFile(FBars, QStringLiteral("bars.jhf"), font);
}

void TestVectorText::cleanup()
{
    qunsetenv("TREVASC_HERSHEY_DIR");
}

void TestVectorText::layout_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("size");
    QTest::addColumn<TTextAlign>("align");
    QTest::addColumn<QList<QPoint>>("bars"); // each bar's x and its top in units of a capital height / 21

    const auto c = TTextAlign::Centre;
    QTest::newRow("one letter") << "H" << 10.0 << c << QList<QPoint>{{0, -105}};
    QTest::newRow("two letters") << "HH" << 10.0 << c << QList<QPoint>{{-50, -105}, {50, -105}};
    QTest::newRow("twice the size") << "H" << 20.0 << c << QList<QPoint>{{0, -105}};
    // Lines 1.6 capital heights apart, the block centred: tops at -27.3 and 6.3.
    QTest::newRow("two lines") << "H\nH" << 10.0 << c << QList<QPoint>{{0, -273}, {0, 63}};
    QTest::newRow("left") << "HHH\nH" << 10.0 << TTextAlign::Left
                          << QList<QPoint>{{-100, -273}, {0, -273}, {100, -273}, {-100, 63}};
    QTest::newRow("centre") << "HHH\nH" << 10.0 << c << QList<QPoint>{{-100, -273}, {0, -273}, {100, -273}, {0, 63}};
    QTest::newRow("right") << "HHH\nH" << 10.0 << TTextAlign::Right
                           << QList<QPoint>{{-100, -273}, {0, -273}, {100, -273}, {100, 63}};
    QTest::newRow("space between") << "H H" << 10.0 << c << QList<QPoint>{{-100, -105}, {100, -105}};
    QTest::newRow("an empty line kept") << "H\n\nH" << 10.0 << c << QList<QPoint>{{0, -441}, {0, 231}};
    QTest::newRow("unknown character skipped") << QString::fromUtf8("H\u20acH") << 10.0 << c
                                                << QList<QPoint>{{-50, -105}, {50, -105}};
}

void TestVectorText::layout()
{
    QFETCH(QString, text);
    QFETCH(double, size);
    QFETCH(TTextAlign, align);
    QFETCH(QList<QPoint>, bars);
    UseBars();
    TTextOptions t;
    t.Text = text;
    t.Font = QStringLiteral("bars");
    t.Size = size;
    t.Align = align;
    t.Colour = 9;
    const TVectorFrame f = TextFrame(t, TZLT_Pal(), Plain());
    QCOMPARE(f.Problem, TVectorProblem::None);
    QCOMPARE(f.Source, text);
    // A capital is size % of the field high; bars as the rows give them.
    const double unit = size / 100 * 65536 / 210;
    const std::vector<TSegment> segments = LitSegments(*f.Frame);
    QCOMPARE(int(segments.size()), int(bars.size()));
    for (size_t i = 0; i < segments.size(); ++i) {
        const TSegment& s = segments[i];
        const QString got = QStringLiteral("bar %1 at %2 from %3 to %4").arg(i).arg(s.A.x()).arg(s.A.y()).arg(s.B.y());
        QVERIFY2(std::abs(s.A.x() - bars[qsizetype(i)].x() * unit) <= 1 && s.A.x() == s.B.x(), qPrintable(got));
        QVERIFY2(std::abs(s.A.y() - bars[qsizetype(i)].y() * unit) <= 1, qPrintable(got));
        QVERIFY2(std::abs(s.B.y() - s.A.y() - 210 * unit) <= 1, qPrintable(got));
        QCOMPARE(s.Colour, 9);
    }
}

void TestVectorText::problems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("font");
    QTest::addColumn<bool>("fontsThere");
    QTest::addColumn<TVectorProblem>("problem");

    QTest::newRow("no text") << "" << "bars" << true << TVectorProblem::EmptyText;
    QTest::newRow("only blanks") << " \n\t " << "bars" << true << TVectorProblem::EmptyText;
    QTest::newRow("no character in the font") << QString::fromUtf8("\u20ac\u00e4") << "bars" << true
                                              << TVectorProblem::EmptyText;
    QTest::newRow("fonts not installed") << "Hi" << "bars" << false << TVectorProblem::FontsMissing;
    QTest::newRow("no such font") << "Hi" << "nosuch" << true << TVectorProblem::FontsMissing;
    QTest::newRow("a path for a name") << "Hi" << "../bars" << true << TVectorProblem::FontsMissing;
    QTest::newRow("fine") << "Hi" << "bars" << true << TVectorProblem::None;
}

void TestVectorText::problems()
{
    QFETCH(QString, text);
    QFETCH(QString, font);
    QFETCH(bool, fontsThere);
    QFETCH(TVectorProblem, problem);
    QTemporaryDir empty;
    if (fontsThere)
        UseBars();
    else
        qputenv("TREVASC_HERSHEY_DIR", empty.path().toLocal8Bit());
    TTextOptions t;
    t.Text = text;
    t.Font = font;
    const TVectorFrame f = TextFrame(t, TZLT_Pal(), TVectorOptions());
    QCOMPARE(f.Problem, problem);
    QCOMPARE(bool(f.Frame), problem == TVectorProblem::None);
    QCOMPARE(HersheyFontNames().isEmpty(), !fontsThere);
    QVERIFY(!ProblemText(problem).isEmpty() || problem == TVectorProblem::None);
}

void TestVectorText::installedFonts_data()
{
    QTest::addColumn<QString>("font");
    QTest::addColumn<QString>("other");
    QTest::newRow("futural") << "futural" << "scripts";
    QTest::newRow("scripts") << "scripts" << "futural";
    QTest::newRow("timesr") << "timesr" << "gothiceng";
}

void TestVectorText::installedFonts()
{
    QFETCH(QString, font);
    QFETCH(QString, other);
    const QStringList names = HersheyFontNames();
    if (names.isEmpty())
        QFAIL("hershey-fonts-data is not installed (scripts/deps.sh)");
    QVERIFY(names.contains(font));
    QVERIFY(std::is_sorted(names.begin(), names.end()));
    TTextOptions t;
    t.Text = QStringLiteral("Laser\nShow 2026");
    t.Font = font;
    t.Colour = TVectorOptions::PaletteWhite;
    const TVectorOptions options; // optimised
    const TVectorFrame f = TextFrame(t, TZLT_Pal(), options);
    QCOMPARE(f.Problem, TVectorProblem::None);
    QVERIFY(LitRuns(*f.Frame) >= 9);
    QCOMPARE(LitColours(*f.Frame), std::set<int>{0});
    // Capital height 10 % of the field: 'L' reaches the top of the block.
    const TBounds b = LitBounds(*f.Frame);
    QVERIFY2(std::abs(b.CentreX()) < 4000 && b.Height() > 6553 && b.Height() < 3 * 6553,
             qPrintable(QStringLiteral("%1 %2").arg(b.CentreX()).arg(b.Height())));
    TZLT_Frame again;
    again.AllPoints() = f.Frame->AllPoints();
    QVERIFY(!Optimise(again, options.Scanner).Changed);
    t.Font = other;
    const TVectorFrame g = TextFrame(t, TZLT_Pal(), options);
    QCOMPARE(g.Problem, TVectorProblem::None);
    QVERIFY(!(*g.Frame == *f.Frame));
}

void TestVectorText::fontFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<int>("glyphs");
    QTest::addColumn<int>("strokesOfSecond"); // of '!'
    QTest::addColumn<int>("pointsOfSecond");

    QTest::newRow("pen lifted") << QByteArray("12345  1JZ\n12345  6MWRFRT RRYQZ\n") << true << 2 << 2 << 4;
    QTest::newRow("glyph over two lines") << QByteArray("12345  1JZ\n12345  6MWRFRT\n RRYQZ\n") << true << 2 << 2 << 4;
    QTest::newRow("blank lines and CR") << QByteArray("12345  1JZ\r\n\r\n12345  3MWRFR[\r\n") << true << 2 << 1 << 2;
    QTest::newRow("no count") << QByteArray("12345abcJZ\n") << false << 0 << 0 << 0;
    QTest::newRow("ends early") << QByteArray("12345  1JZ\n12345  9MWRFRT\n") << false << 0 << 0 << 0;
    QTest::newRow("empty") << QByteArray() << false << 0 << 0 << 0;
}

void TestVectorText::fontFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    QFETCH(int, glyphs);
    QFETCH(int, strokesOfSecond);
    QFETCH(int, pointsOfSecond);
    THersheyFont font;
    QString detail;
    QCOMPARE(font.LoadFromBytes(bytes, detail), loads);
    QCOMPARE(detail.isEmpty(), loads);
    if (!loads)
        return;
    QCOMPARE(font.Count(), glyphs);
    const THersheyGlyph* g = font.Glyph(QLatin1Char('!'));
    QVERIFY(g);
    QCOMPARE(g->Left, -5);
    QCOMPARE(g->Right, 5);
    QCOMPARE(int(g->Strokes.size()), strokesOfSecond);
    int points = 0;
    for (const auto& s : g->Strokes)
        points += int(s.size());
    QCOMPARE(points, pointsOfSecond);
    QCOMPARE(g->Strokes[0][0], QPoint(0, -12));
    QVERIFY(!font.Glyph(QLatin1Char('"')));
}

QTEST_MAIN(TestVectorText)
#include "tst_vector_text.moc"
