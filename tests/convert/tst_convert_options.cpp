// The converter's command line without a process: where names and values
// go, and the counts of the summary.

#include "ConvertOptions.h"
#include "ConvertTestKit.h"
#include "Converter.h"

using namespace ConvertTest;
using namespace Qt::Literals::StringLiterals;
using FrameTools::TKind;
using FrameTools::TOperation;
using FrameTools::TPivotKind;

Q_DECLARE_METATYPE(std::vector<TOperation>)

class TestConvertOptions : public QObject
{
    Q_OBJECT

private slots:
    void namesAndValues_data();
    void namesAndValues();
    void counts_data();
    void counts();
    void scanner_data();
    void scanner();
    void vectorInputs_data();
    void vectorInputs();
};

void TestConvertOptions::namesAndValues_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("kind"); // TOutputKind
    QTest::addColumn<std::vector<TOperation>>("operations");
    const auto row = [](const char* name, const QString& arguments, const QString& inputs, const QString& output,
                        TOutputKind kind, std::vector<TOperation> operations = {}) {
        QTest::newRow(name) << Args(arguments) << Args(inputs) << output << int(kind) << operations;
    };
    // Options alone, before an input and an output catalog.
    const auto ops = [&](const char* name, const QString& options, std::vector<TOperation> operations) {
        row(name, options + u" a.cat b.cat"_s, u"a.cat"_s, u"b.cat"_s, TOutputKind::Catalog, operations);
    };
    using TOp = TOperation;
    row("options between names", u"a.cat --rotate -90 b.pic -q out.ILD"_s, u"a.cat b.pic"_s, u"out.ILD"_s,
        TOutputKind::Ilda, {TOp{.Rotate = -90}});
    row("value after =", u"--rotate=0:360 a.cat x.pic"_s, u"a.cat"_s, u"x.pic"_s, TOutputKind::Picture,
        {TOp{.Rotate = {0, 360}}});
    row("names after --", u"--fit -- -odd.pic --reverse o/"_s, u"-odd.pic --reverse"_s, u"o/"_s, TOutputKind::Folder,
        {TOp{.Kind = TKind::Fit}});
    row("a lone dash is a name", u"- out.cat"_s, u"-"_s, u"out.cat"_s, TOutputKind::Catalog);
    row("an existing folder", u"a.cat /tmp"_s, u"a.cat"_s, u"/tmp"_s, TOutputKind::Folder);
    ops("mirror x", u"--mirror-x"_s, {TOp{.Kind = TKind::MirrorX}});
    ops("mirror y", u"--mirror-y"_s, {TOp{.Kind = TKind::MirrorY}});
    ops("scale", u"--scale 80"_s, {TOp{.ScaleX = 80, .ScaleY = 80}});
    ops("scale as exponent", u"--scale 1e2:5e1"_s, {TOp{.ScaleX = {100, 50}, .ScaleY = {100, 50}}});
    ops("scale x ramped, y mirrored", u"--scale 100:10,-50"_s, {TOp{.ScaleX = {100, 10}, .ScaleY = -50}});
    ops("move", u"--move -1000,250.5"_s, {TOp{.MoveX = -1000, .MoveY = 250.5}});
    ops("about the origin", u"--pivot origin --rotate 90"_s, {TOp{.Rotate = 90, .Pivot = {TPivotKind::Origin}}});
    ops("about the centre of all", u"--pivot all --scale 50"_s,
        {TOp{.ScaleX = 50, .ScaleY = 50, .Pivot = {TPivotKind::All}}});
    ops("about a point, ramped, only for later operations",
        u"--rotate 10 --pivot 100:-100,-5000 --rotate 45 --pivot centre --scale 90"_s,
        {TOp{.Rotate = 10}, TOp{.Rotate = 45, .Pivot = {TPivotKind::Point, {100, -100}, -5000}},
         TOp{.ScaleX = 90, .ScaleY = 90}});
    ops("centre", u"--centre"_s, {TOp{.Kind = TKind::Centre}});
    ops("reverse", u"--reverse"_s, {TOp{.Kind = TKind::Reverse}});
    ops("colour", u"--colour 5"_s, {TOp{.Kind = TKind::SetColour, .ColourA = 5}});
    ops("colour ramp", u"--colour 2:40"_s, {TOp{.Kind = TKind::SetColour, .ColourA = {2, 40}}});
    ops("replace colour", u"--replace-colour 1,2"_s, {TOp{.Kind = TKind::ReplaceColour, .ColourA = 1, .ColourB = 2}});
    ops("gradient", u"--gradient 0,63:10"_s, {TOp{.Kind = TKind::Gradient, .ColourA = 0, .ColourB = {63, 10}}});
    ops("optimise, minimise", u"--optimise --minimise"_s, {TOp{.Kind = TKind::Optimise}, TOp{.Kind = TKind::Minimise}});
    ops("in the order given", u"--reverse --rotate 90 --mirror-x --fit"_s,
        {TOp{.Kind = TKind::Reverse}, TOp{.Rotate = 90}, TOp{.Kind = TKind::MirrorX}, TOp{.Kind = TKind::Fit}});
}

void TestConvertOptions::namesAndValues()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, inputs);
    QFETCH(QString, output);
    QFETCH(int, kind);
    QFETCH(std::vector<TOperation>, operations);
    const TConvertJob job = ConvertOptions::Parse(arguments);
    QCOMPARE(job.Inputs, inputs);
    QCOMPARE(job.Output, output);
    QCOMPARE(int(job.OutputKind), kind);
    QCOMPARE(job.Quiet, arguments.contains(u"-q"_s));
    QCOMPARE(job.Operations.size(), operations.size());
    for (size_t i = 0; i < operations.size(); ++i)
        QVERIFY2(job.Operations[i] == operations[i], qPrintable(QString::number(i)));
}

void TestConvertOptions::counts_data()
{
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << qint64(1) << u"1 point"_s;
    QTest::newRow("none") << qint64(0) << u"0 points"_s;
    QTest::newRow("thousands") << qint64(1240) << u"1,240 points"_s;
    QTest::newRow("below a million") << qint64(999999) << u"999,999 points"_s;
    QTest::newRow("millions") << qint64(1234567) << u"1.2 M points"_s;
    QTest::newRow("rounded up") << qint64(1250001) << u"1.3 M points"_s;
    QTest::newRow("thousands of millions") << qint64(2345600000) << u"2,345.6 M points"_s;
}

void TestConvertOptions::counts()
{
    QFETCH(qint64, count);
    QFETCH(QString, text);
    QCOMPARE(Converter::Count(count, u"point"_s, u"points"_s), text);
}

void TestConvertOptions::scanner_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("profile"); // rate lit blank reversal corner anchor wait keep delay, or the error
    QTest::newRow("defaults for keys not given") << u"lit-step=500"_s << u"30000 500 2000 300 25 66 133 0 0"_s;
    QTest::newRow("every key") << u"rate=60000,lit-step=1,blank-step=65535,reversal-us=0,corner-angle=12.5,"
                                  "anchor-us=10,wait-us=20,keep-order=1,colour-delay-us=150"_s
                               << u"60000 1 65535 0 12.5 10 20 1 150"_s;
    QTest::newRow("unknown key") << u"speed=3"_s << u"--scanner: unknown key 'speed'"_s;
    QTest::newRow("rate out of range") << u"rate=500"_s << u"--scanner: rate must be a whole number 1000..100000"_s;
    QTest::newRow("no value") << u"rate"_s << u"--scanner: 'rate' is not KEY=VALUE"_s;
    QTest::newRow("keep-order not 0 or 1") << u"keep-order=2"_s << u"--scanner: keep-order must be 0 or 1"_s;
}

// --scanner sets the profile of every --optimise, before or after it.
void TestConvertOptions::scanner()
{
    QFETCH(QString, value);
    QFETCH(QString, profile);
    try {
        const TConvertJob job =
            ConvertOptions::Parse({u"--optimise"_s, u"--scanner"_s, value, u"--optimise"_s, u"a.cat"_s, u"b.cat"_s});
        QCOMPARE(job.Operations.size(), size_t(2));
        for (const FrameTools::TOperation& op : job.Operations) {
            const TScannerProfile& p = op.Scanner;
            QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8 %9")
                         .arg(p.PointRate).arg(p.LitStep).arg(p.BlankedStep).arg(p.ReversalUs).arg(p.CornerAngle)
                         .arg(p.AnchorUs).arg(p.WaitUs).arg(int(p.KeepOrder)).arg(p.ColourDelayUs),
                     profile);
        }
    } catch (const EConvertUsage& e) {
        QVERIFY2(e.Message().startsWith(profile), qPrintable(e.Message()));
    }
}

void TestConvertOptions::vectorInputs_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("job"); // page optimise black-as inputs | each text: before font text; or the error
    const auto row = [](const char* name, const QString& arguments, const QString& job) {
        QTest::newRow(name) << Args(arguments) << job;
    };
    row("defaults", u"a.svg b.cat"_s, u"0 1 -2 a.svg"_s);
    row("page, as drawn, black in 5", u"--page --no-optimise --black-as 5 a.svg b.cat"_s, u"1 0 5 a.svg"_s);
    row("black blanked", u"--black-as=blank a.svg b.cat"_s, u"0 1 -1 a.svg"_s);
    row("black beyond the palette", u"--black-as 64 a.svg b.cat"_s,
        u"--black-as: '64' is no colour index 0..63 and not blank"_s);
    row("black as a name", u"--black-as red a.svg b.cat"_s, u"--black-as: 'red' is no colour index"_s);
    row("text alone", u"--text Hi b.ild"_s, u"0 1 -2  | 0 futural Hi"_s);
    row("text in its font, lines", u"--font scripts --text A\\nB a.svg b.cat"_s, u"0 1 -2 a.svg | 0 scripts A\nB"_s);
    row("texts between inputs", u"a.svg --text X --font=timesr b.svg --text=Y c.cat"_s,
        u"0 1 -2 a.svg b.svg | 1 futural X | 2 timesr Y"_s);
    row("text after the output", u"a.svg b.cat --text Z"_s, u"0 1 -2 a.svg | 1 futural Z"_s);
    row("no output for a text", u"--text Hi"_s, u"no output given"_s);
}

void TestConvertOptions::vectorInputs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, job);
    try {
        const TConvertJob j = ConvertOptions::Parse(arguments);
        QString got = QStringLiteral("%1 %2 %3 %4")
                          .arg(int(j.Vector.UsePage))
                          .arg(int(j.Vector.Optimise))
                          .arg(j.Vector.BlackAs)
                          .arg(j.Inputs.join(u' '));
        for (const TConvertText& t : j.Texts)
            got += QStringLiteral(" | %1 %2 %3").arg(t.Before).arg(t.Font, t.Text);
        QCOMPARE(got, job);
    } catch (const EConvertUsage& e) {
        QVERIFY2(e.Message().startsWith(job), qPrintable(e.Message()));
    }
}

QTEST_GUILESS_MAIN(TestConvertOptions)
#include "tst_convert_options.moc"
