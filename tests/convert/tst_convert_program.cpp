// trevasc-convert as a process: every kind of input and output, each
// operation against the frame tools called directly, every error with its
// status and nothing written, a failed write that keeps the old file.

#include "ConvertTestKit.h"
#include "FrameTools.h"
#include "ZLT_Ilda.h"
#include "TrevascVersion.h"
#include "ZLT_PicFolder.h"
#include "VectorImport.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace ConvertTest;
using namespace Qt::Literals::StringLiterals;
using FrameTools::TKind;
using FrameTools::TOperation;
using FrameTools::TPivotKind;

Q_DECLARE_METATYPE(std::vector<TOperation>)

namespace {
// The used slots of the test's catalog.
constexpr int UsedSlots[] = {0, 3, 7, 8};

void CompareFrames(const TZLT_FrameList& actual, const TZLT_FrameList& expected)
{
    QCOMPARE(actual.Count(), expected.Count());
    for (int i = 0; i < actual.Count(); ++i)
        QVERIFY2(actual.GetFrame(i) == expected.GetFrame(i), qPrintable(QStringLiteral("frame %1").arg(i)));
}

void Append(TZLT_FrameList& to, const TZLT_FrameList& from)
{
    for (int i = 0; i < from.Count(); ++i)
        to.Add(from.GetFrame(i).Clone());
}

// Empty slots after the frames, as a catalog file holds them.
void Pad(TZLT_FrameList& frames)
{
    while (frames.Count() < TZLT_Cat::SlotCount)
        frames.Add(std::make_unique<TZLT_Frame>());
}
} // namespace

class TestConvertProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void readsEveryKindOfInput_data();
    void readsEveryKindOfInput();
    void writesEveryKindOfOutput_data();
    void writesEveryKindOfOutput();
    void operationsReachTheFrameTools_data();
    void operationsReachTheFrameTools();
    void refusesAndWritesNothing_data();
    void refusesAndWritesNothing();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void vectorInputs_data();
    void vectorInputs();
    void summaryAndQuiet();
    void manyPointsAtOnce();

private:
    QString In(const QString& name) const { return FInputs.filePath(name); }
    QTemporaryDir FInputs;
    QTemporaryDir* FWork = nullptr;
    std::unique_ptr<QTemporaryDir> FWorkDir;
    TZLT_FrameList FCatalog; // the catalog's slots 0..9
};

void TestConvertProgram::initTestCase()
{
    QVERIFY(FInputs.isValid());
    QRandomGenerator random(26);
    TZLT_Cat cat;
    for (const int slot : UsedSlots)
        cat.Frames.SetFrame(slot, RandomFrame(random, 50 + slot * 30));
    cat.SaveToFile(In(QStringLiteral("show.cat")));
    for (int slot = 0; slot < 10; ++slot)
        FCatalog.Add(cat.Frames.GetFrame(slot).Clone());
    RandomFrame(random, 377)->SaveToPicFile(In(QStringLiteral("one.pic")));
    TZLT_FrameList ilda;
    for (int i = 0; i < 3; ++i)
        ilda.Add(RandomFrame(random, 20 + i));
    ZLT_Ilda::WriteFile(In(QStringLiteral("three.ild")), ilda, 0, 3, TZLT_Pal(), ZLT_Ilda::TFormat::TrueColor3D);
    QVERIFY(QFile::copy(In(QStringLiteral("three.ild")), In(QStringLiteral("three.dat"))));
    // A folder whose names sort otherwise by their bytes than by the locale, case aside.
    QVERIFY(QDir(FInputs.path()).mkdir(QStringLiteral("pics")));
    for (const char* name : {"B.pic", "a.pic", "c.PIC"})
        RandomFrame(random, 10)->SaveToPicFile(In(QStringLiteral("pics/") + QLatin1String(name)));
    WriteFile(In(QStringLiteral("notes.txt")), "a shopping list");
    WriteFile(In(QStringLiteral("short.pic")), "abc");
    WriteFile(In(QStringLiteral("bad.pal")), "not a palette");
    // Drawings: two of a little animation, a folder of three, one of a black line.
    const auto svg = [](const QString& body) {
        return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 100\">%1</svg>")
            .arg(body)
            .toUtf8();
    };
    WriteFile(In(u"left.svg"_s), svg(u"<circle cx=\"20\" cy=\"50\" r=\"10\" stroke=\"red\" fill=\"none\"/>"_s));
    WriteFile(In(u"right.svg"_s), svg(u"<rect x=\"70\" y=\"30\" width=\"20\" height=\"40\" fill=\"blue\"/>"_s));
    WriteFile(In(u"black.svg"_s), svg(u"<path d=\"M10 10 C40 90 60 -50 90 90\" stroke=\"black\" fill=\"none\"/>"_s));
    WriteFile(In(u"fake.svg"_s), "a shopping list");
    WriteFile(In(u"empty.svg"_s), svg(QString()));
    QVERIFY(QDir(FInputs.path()).mkdir(u"svgs"_s));
    for (const int x : {30, 10, 20})
        WriteFile(In(QStringLiteral("svgs/%1.SVG").arg(x)),
                  svg(QStringLiteral("<line x1=\"%1\" y1=\"0\" x2=\"%1\" y2=\"50\" stroke=\"#00ff00\"/>").arg(x)));
    QByteArray palette(TZLT_Pal::FileSize, Qt::Uninitialized);
    for (char& byte : palette)
        byte = char(random.bounded(256));
    WriteFile(In(QStringLiteral("own.pal")), palette);
}

void TestConvertProgram::init()
{
    FWorkDir = std::make_unique<QTemporaryDir>();
    QVERIFY(FWorkDir->isValid());
    FWork = FWorkDir.get();
}

void TestConvertProgram::readsEveryKindOfInput_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QStringList>("options");
    const auto row = [](const char* name, const QString& inputs, const QString& options = {}) {
        QTest::newRow(name) << Args(inputs) << Args(options);
    };
    row("catalog, empty slots included", u"show.cat"_s);
    row("picture file", u"one.pic"_s);
    row("ILDA file", u"three.ild"_s);
    row("ILDA file told by its first bytes", u"three.dat"_s);
    row("folder in name order", u"pics"_s);
    row("all in the order given, cut to a catalog", u"one.pic three.ild pics show.cat"_s, u"--frames 0-32766"_s);
    row("one frame of the list", u"three.ild one.pic"_s, u"--frames 2"_s);
}

void TestConvertProgram::readsEveryKindOfInput()
{
    QFETCH(QStringList, inputs);
    QFETCH(QStringList, options);
    TZLT_FrameList expected;
    for (const QString& input : inputs) {
        if (input.endsWith(u".cat"_s)) {
            Append(expected, CatalogFrames(In(input)));
        } else if (input.endsWith(u".pic"_s)) {
            auto frame = std::make_unique<TZLT_Frame>();
            frame->LoadFromPicFile(In(input));
            expected.Add(std::move(frame));
        } else if (input == u"pics"_s) {
            for (const char* name : {"a.pic", "B.pic", "c.PIC"}) {
                auto frame = std::make_unique<TZLT_Frame>();
                frame->LoadFromPicFile(In(u"pics/"_s + QLatin1String(name)));
                expected.Add(std::move(frame));
            }
        } else {
            Append(expected, ZLT_Ilda::ReadFile(In(input), TZLT_Pal()).Frames);
        }
    }
    if (options.size() == 2) {
        const QStringList range = options[1].split(u'-');
        expected.Truncate(range.last().toInt() + 1);
        for (int i = range.first().toInt() - 1; i >= 0; --i)
            expected.Delete(i);
    }
    Pad(expected);

    QStringList arguments = options;
    for (const QString& input : inputs)
        arguments << In(input);
    const TRun run = Convert(FWork->path(), arguments << u"out.cat"_s);
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    CompareFrames(CatalogFrames(FWork->filePath(u"out.cat"_s)), expected);
}

void TestConvertProgram::writesEveryKindOfOutput_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("format"); // ILDA: its code
    QTest::addColumn<bool>("standard");
    const auto row = [](const char* name, const QString& output, const QString& options, int format = -1,
                        bool standard = false) {
        QTest::newRow(name) << output << Args(u"--frames 0-9 "_s + options) << format << standard;
    };
    row("catalog", u"out.cat"_s, {});
    row("ILDA, format 4 by default", u"out.ild"_s, {}, 4);
    row("ILDA format 5", u"out.ild"_s, u"--ilda-format 5"_s, 5);
    row("ILDA formats 2 + 0", u"out.ild"_s, u"--ilda-format=0"_s, 0);
    row("ILDA formats 2 + 1", u"OUT.ILD"_s, u"--ilda-format 1"_s, 1);
    row("ILDA format 1, standard colours", u"out.ild"_s, u"--ilda-format 1-standard"_s, 1, true);
    row("ILDA in a palette of its own", u"out.ild"_s, u"--palette PALETTE"_s, 4);
    QTest::newRow("picture file") << u"out.pic"_s << Args(u"--frames 3-6"_s) << -1 << false;
    row("new folder", u"out/"_s, {});
    row("existing folder", u"dest"_s, {});
}

void TestConvertProgram::writesEveryKindOfOutput()
{
    QFETCH(QString, output);
    QFETCH(QStringList, options);
    QFETCH(int, format);
    QFETCH(bool, standard);
    QVERIFY(QDir(FWork->path()).mkdir(u"dest"_s));
    TZLT_Pal palette;
    if (options.contains(u"PALETTE"_s)) {
        options.replaceInStrings(u"PALETTE"_s, In(u"own.pal"_s));
        palette.LoadFromFile(In(u"own.pal"_s));
    }
    const TRun run = Convert(FWork->path(), options << In(u"show.cat"_s) << output);
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    const QString written = FWork->filePath(output);

    if (output.endsWith(u".cat"_s)) {
        TZLT_Cat cat;
        for (int i = 0; i < FCatalog.Count(); ++i)
            cat.Frames.SetFrame(i, FCatalog.GetFrame(i).Clone());
        QVERIFY(FileBytes(written) == cat.ToBytes());
    } else if (format >= 0) {
        QVERIFY(FileBytes(written) == ZLT_Ilda::WriteBytes(FCatalog, 0, FCatalog.Count(), palette,
                                                           ZLT_Ilda::TFormat(format),
                                                           standard ? ZLT_Ilda::TPaletteSection::Standard
                                                                    : ZLT_Ilda::TPaletteSection::Included));
    } else if (output.endsWith(u".pic"_s)) {
        QVERIFY(FileBytes(written) == FCatalog.GetFrame(3).ToPicBytes());
    } else {
        QStringList expected;
        for (const int slot : UsedSlots) {
            expected << ZLT_PicFolder::FileName(slot);
            QVERIFY(FileBytes(QDir(written).filePath(expected.last())) == FCatalog.GetFrame(slot).ToPicBytes());
        }
        QCOMPARE(QDir(written).entryList(QDir::Files | QDir::Hidden), expected);
    }
}

// What each option makes of the job is tested on the command line alone;
// here the frames come out as the frame tools make them, in the order given.
void TestConvertProgram::operationsReachTheFrameTools_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<std::vector<TOperation>>("operations");
    using TOp = TOperation;
    QTest::newRow("in the order given")
        << Args(u"--reverse --rotate 90 --mirror-x --fit --colour 5"_s)
        << std::vector<TOp>{{.Kind = TKind::Reverse}, {.Rotate = 90}, {.Kind = TKind::MirrorX}, {.Kind = TKind::Fit},
                            {.Kind = TKind::SetColour, .ColourA = 5}};
    QTest::newRow("ramps about a point")
        << Args(u"--pivot 100:-100,-5000 --rotate -90:270 --gradient 0,63:10"_s)
        << std::vector<TOp>{{.Rotate = {-90, 270}, .Pivot = {TPivotKind::Point, {100, -100}, -5000}},
                            {.Kind = TKind::Gradient, .ColourB = {63, 10}}};
    QTest::newRow("about the centre of all")
        << Args(u"--pivot all --scale 50 --move -1000,250.5"_s)
        << std::vector<TOp>{{.ScaleX = 50, .ScaleY = 50, .Pivot = {TPivotKind::All}},
                            {.MoveX = -1000, .MoveY = 250.5, .Pivot = {TPivotKind::All}}};
    QTest::newRow("optimise") << Args(u"--optimise"_s) << std::vector<TOp>{{.Kind = TKind::Optimise}};
    QTest::newRow("minimise after optimise")
        << Args(u"--optimise --minimise"_s) << std::vector<TOp>{{.Kind = TKind::Optimise}, {.Kind = TKind::Minimise}};
}

void TestConvertProgram::operationsReachTheFrameTools()
{
    QFETCH(QStringList, options);
    QFETCH(std::vector<TOperation>, operations);
    TZLT_FrameList expected;
    Append(expected, FCatalog);
    ApplyTo(expected, operations);
    for (const int slot : UsedSlots)
        QVERIFY(!(expected.GetFrame(slot) == FCatalog.GetFrame(slot)));
    Pad(expected);

    const TRun run = Convert(FWork->path(), QStringList{u"--frames"_s, u"0-9"_s} + options +
                                                QStringList{In(u"show.cat"_s), u"out.cat"_s});
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    CompareFrames(CatalogFrames(FWork->filePath(u"out.cat"_s)), expected);
}

void TestConvertProgram::refusesAndWritesNothing_data()
{
    QTest::addColumn<QStringList>("arguments"); // IN/ names an input of the test
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, const QString& arguments, const QString& message) {
        QTest::newRow(name) << Args(arguments) << message;
    };
    row("unknown option", u"--frobnicate IN/show.cat out.cat"_s, u"unknown option '--frobnicate'"_s);
    row("missing value", u"IN/show.cat out.cat --rotate"_s, u"--rotate needs a value"_s);
    row("value of a flag", u"--fit=2 IN/show.cat out.cat"_s, u"--fit takes no value"_s);
    row("no number", u"--rotate left IN/show.cat out.cat"_s, u"--rotate: 'left' is not a number"_s);
    row("ramp of three", u"--scale 1:2:3 IN/show.cat out.cat"_s, u"--scale: '1:2:3' is not a number or FIRST:LAST"_s);
    row("one value for two", u"--move 5 IN/show.cat out.cat"_s, u"--move: '5' is not two values X,Y"_s);
    row("colour beyond the palette", u"--colour 64 IN/show.cat out.cat"_s, u"--colour: '64' is no colour index 0..63"_s);
    row("colour ramp beyond the palette", u"--gradient 0,1:70 IN/show.cat out.cat"_s,
        u"--gradient: '1:70' is no colour index 0..63"_s);
    row("pivot", u"--pivot middle IN/show.cat out.cat"_s, u"--pivot: 'middle' is none of centre, origin, all or X,Y"_s);
    row("ILDA format", u"--ilda-format 2 IN/show.cat out.ild"_s,
        u"--ilda-format: '2' is none of 4, 5, 0, 1, 1-standard"_s);
    row("ILDA format for a catalog", u"--ilda-format 5 IN/show.cat out.cat"_s, u"--ilda-format is for an ILDA output"_s);
    row("frames backwards", u"--frames 5-2 IN/show.cat out.cat"_s, u"--frames: 5-2 ends before it starts"_s);
    row("frames twice", u"--frames 1 --frames 2 IN/show.cat out.cat"_s, u"--frames is given twice"_s);
    row("frames beyond the list", u"--frames 0-40000 IN/show.cat out.cat"_s,
        u"--frames 0-40000: the inputs hold 32767 frames (0..32766)"_s);
    row("no output", u"IN/show.cat"_s, u"no output given"_s);
    row("nothing at all", u"-q"_s, u"no input and no output given"_s);
    row("output of no kind", u"IN/show.cat out.txt"_s, u"the name of the output 'out.txt' tells no kind of file"_s);
    row("missing input", u"IN/gone.cat out.cat"_s, u"File does not exist: '"_s);
    row("missing input of no kind", u"IN/gone.txt out.cat"_s, u"File does not exist: '"_s);
    row("input that is no frame file", u"IN/notes.txt out.cat"_s, u"notes.txt' is no frame file"_s);
    row("damaged picture file", u"IN/short.pic out.cat"_s, u"File is too short for a PIC file"_s);
    row("bad palette", u"--palette IN/bad.pal IN/show.cat out.ild"_s, u"Invalid File : '"_s);
    row("more frames than slots", u"IN/show.cat IN/one.pic out.cat"_s, u"32768 frames do not fit into the 32767 slots"_s);
    row("picture file of several frames", u"--frames 0-3 IN/show.cat out.pic"_s,
        u"a picture file holds one frame, but 2 frames are used"_s);
    row("picture file of none", u"--frames 1-2 IN/show.cat out.pic"_s, u"but 0 frames are used"_s);
    row("ILDA file of none", u"--frames 1-2 IN/show.cat old.ild"_s, u"no frame is used: nothing to write to 'old.ild'"_s);
    row("SVG that is none", u"IN/left.svg IN/fake.svg out.cat"_s, u"fake.svg': not an SVG file"_s);
    row("missing SVG", u"IN/gone.svg out.cat"_s, u"gone.svg': no such file"_s);
    row("SVG that draws nothing", u"IN/empty.svg out.cat"_s, u"empty.svg': draws nothing"_s);
    row("black as no colour", u"--black-as x IN/left.svg out.cat"_s,
        u"--black-as: 'x' is no colour index 0..63 and not blank"_s);
    row("text in no font", u"--font nosuch --text Hi out.cat"_s, u"the Hershey font is not installed"_s);
    QTest::newRow("empty text") << QStringList{u"--text"_s, u""_s, u"out.cat"_s} << u"no text"_s;
}

void TestConvertProgram::refusesAndWritesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    WriteFile(FWork->filePath(u"old.ild"_s), "the file before");
    const QStringList before = Listing(FWork->path());
    arguments.replaceInStrings(QRegularExpression(u"^IN/"_s), FInputs.path() + u'/');
    const TRun run = Convert(FWork->path(), arguments);
    QCOMPARE(run.Status, 2);
    QVERIFY2(run.Err.startsWith(u"trevasc-convert: "_s) && run.Err.contains(message) && run.Err.count(u'\n') == 1,
             qPrintable(run.Err));
    QCOMPARE(Listing(FWork->path()), before);
}

void TestConvertProgram::failedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("old"); // the file that must stay as it was
    QTest::newRow("catalog") << u"out.cat"_s << u"out.cat"_s;
    QTest::newRow("ILDA file") << u"out.ild"_s << u"out.ild"_s;
    QTest::newRow("picture file") << u"out.pic"_s << u"out.pic"_s;
    QTest::newRow("folder") << u"dest/"_s << u"dest/00000.pic"_s;
}

void TestConvertProgram::failedWriteKeepsTheOldFile()
{
    QFETCH(QString, output);
    QFETCH(QString, old);
    QVERIFY(QDir(FWork->path()).mkdir(u"dest"_s));
    WriteFile(FWork->filePath(old), "the file before");
    const QStringList before = Listing(FWork->path());
    // The system refuses every byte beyond the first 64 of a file.
    const QString frames = output.endsWith(u".pic"_s) ? u"3"_s : u"0-9"_s;
    const TRun run =
        Convert(FWork->path(), {u"--frames"_s, frames, u"--mirror-x"_s, In(u"show.cat"_s), output}, 64);
    QCOMPARE(run.Status, 1);
    QVERIFY2(run.Err.startsWith(u"trevasc-convert: Cannot write file '"_s) && run.Err.contains(u"File too large"_s),
             qPrintable(run.Err));
    QCOMPARE(Listing(FWork->path()), before);
}

// Each frame as the vector library makes it with the options the command
// line gives: the options reach it, and the inputs go together as given.
void TestConvertProgram::vectorInputs_data()
{
    QTest::addColumn<QStringList>("arguments"); // IN/ names an input of the test
    QTest::addColumn<QList<QStringList>>("groups"); // imported together; "text:FONT:TEXT" a text
    QTest::addColumn<int>("blackAs");
    QTest::addColumn<bool>("page");
    QTest::addColumn<bool>("optimise");
    QTest::addColumn<int>("litStep");

    const auto row = [](const char* name, const QString& arguments, const QList<QStringList>& groups,
                        int blackAs = Vector::TVectorOptions::PaletteWhite, bool page = false, bool optimise = true,
                        int litStep = 640) {
        QTest::newRow(name) << Args(arguments) << groups << blackAs << page << optimise << litStep;
    };
    const int white = Vector::TVectorOptions::PaletteWhite;
    using G = QList<QStringList>;
    row("one drawing", u"IN/left.svg"_s, G{{u"left.svg"_s}});
    row("two in one placement", u"IN/left.svg IN/right.svg"_s, G{{u"left.svg"_s, u"right.svg"_s}});
    row("a folder in name order", u"IN/svgs"_s, G{{u"svgs/10.SVG"_s, u"svgs/20.SVG"_s, u"svgs/30.SVG"_s}});
    row("the page", u"--page IN/left.svg"_s, G{{u"left.svg"_s}}, white, true);
    row("not optimised", u"--no-optimise IN/black.svg"_s, G{{u"black.svg"_s}}, white, false, false);
    row("black as 9", u"--black-as 9 IN/black.svg"_s, G{{u"black.svg"_s}}, 9);
    row("black blanked", u"--black-as blank IN/black.svg"_s, G{{u"black.svg"_s}}, Vector::TVectorOptions::Blanked);
    row("for the scanner given", u"--scanner lit-step=100 IN/left.svg"_s, G{{u"left.svg"_s}}, white, false, true, 100);
    row("text", u"--text Hi"_s, G{{u"text:futural:Hi"_s}});
    row("text in a font, two lines", u"--font scripts --text A\\nB"_s, G{{u"text:scripts:A\nB"_s}});
    row("a text parts drawings", u"IN/left.svg --text Hi IN/right.svg IN/one.pic"_s,
        G{{u"left.svg"_s}, {u"text:futural:Hi"_s}, {u"right.svg"_s}, {u"one.pic"_s}});
}

void TestConvertProgram::vectorInputs()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QStringList>, groups);
    QFETCH(int, blackAs);
    QFETCH(bool, page);
    QFETCH(bool, optimise);
    QFETCH(int, litStep);
    Vector::TVectorOptions options;
    options.BlackAs = blackAs;
    options.UsePage = page;
    options.Optimise = optimise;
    options.Scanner.LitStep = litStep;
    TZLT_FrameList expected;
    for (const QStringList& group : groups) {
        if (group[0].startsWith(u"text:"_s)) {
            Vector::TTextOptions text;
            text.Font = group[0].section(u':', 1, 1);
            text.Text = group[0].section(u':', 2);
            text.Colour = Vector::TVectorOptions::PaletteWhite;
            Vector::TVectorFrame f = Vector::TextFrame(text, TZLT_Pal(), options);
            QVERIFY(f.Frame);
            expected.Add(std::move(f.Frame));
        } else if (group[0].endsWith(u".pic"_s)) {
            auto frame = std::make_unique<TZLT_Frame>();
            frame->LoadFromPicFile(In(group[0]));
            expected.Add(std::move(frame));
        } else {
            QStringList files;
            for (const QString& name : group)
                files << In(name);
            for (Vector::TVectorFrame& f : Vector::ImportSvgFiles(files, TZLT_Pal(), options)) {
                QVERIFY2(f.Frame, qPrintable(f.Source));
                expected.Add(std::move(f.Frame));
            }
        }
    }
    const int used = expected.Count();
    Pad(expected);
    arguments.replaceInStrings(QRegularExpression(u"^IN/"_s), FInputs.path() + u'/');
    const TRun run = Convert(FWork->path(), arguments << u"out.cat"_s);
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    QVERIFY2(run.Err.contains(QStringLiteral("%1 frames").arg(used)) || used == 1, qPrintable(run.Err));
    CompareFrames(CatalogFrames(FWork->filePath(u"out.cat"_s)), expected);
}

void TestConvertProgram::summaryAndQuiet()
{
    TRun run = Convert(FWork->path(), {In(u"one.pic"_s), In(u"show.cat"_s), u"out.ild"_s});
    QCOMPARE(run.Status, 0);
    QCOMPARE(run.Err, u"trevasc-convert: 2 inputs, 5 frames, 1,117 points -> out.ild (ILDA format 4)\n"_s);
    QCOMPARE(run.Out, QString());

    // Scaled beyond the field: the clamp's count as the frame tools give it.
    TZLT_FrameList frames;
    Append(frames, FCatalog);
    const int clamped = ApplyTo(frames, {{.ScaleX = 300, .ScaleY = 300}});
    QVERIFY(clamped > 100);
    const QStringList scaled{u"--frames"_s, u"0-9"_s, u"--scale"_s, u"300"_s, In(u"show.cat"_s), u"dest/"_s};
    run = Convert(FWork->path(), scaled);
    QCOMPARE(run.Status, 0);
    QCOMPARE(run.Err.split(u'\n').first(),
             u"trevasc-convert: %1 points lay outside the field and were moved to its edge"_s.arg(
                 QLocale(QLocale::English).toString(clamped)));
    run = Convert(FWork->path(), QStringList{u"-q"_s} + scaled);
    QCOMPARE(run.Status, 0);
    QCOMPARE(run.Err, QString());

    // An ILDA file cut short inside its last frame: the frames before it, and the reading's warning.
    const QString cut = FWork->filePath(u"cut.ild"_s);
    WriteFile(cut, FileBytes(In(u"three.ild"_s)).chopped(40));
    run = Convert(FWork->path(), {cut, u"out.cat"_s});
    QCOMPARE(run.Status, 0);
    const QStringList lines = run.Err.split(u'\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith(u"trevasc-convert: "_s) && lines[0].contains(cut), qPrintable(run.Err));
    QVERIFY2(lines[1].startsWith(u"trevasc-convert: 1 input, 2 frames, 41 points -> out.cat (catalog)"_s),
             qPrintable(run.Err));

    run = Convert(FWork->path(), {u"--version"_s});
    QCOMPARE(run.Out, u"trevasc-convert " TREVASC_VERSION "\n"_s);
    run = Convert(FWork->path(), {u"--help"_s});
    QVERIFY2(run.Out.startsWith(u"Usage: trevasc-convert [OPTION]... INPUT... OUTPUT\n"_s), qPrintable(run.Out));
    QCOMPARE(run.Status, 0);
}

// A million points are worked on in parts at once (on a machine of
// several cores): the same frames and clamp count as in one piece.
void TestConvertProgram::manyPointsAtOnce()
{
    QRandomGenerator random(2611);
    TZLT_Cat cat;
    for (int slot = 0; slot < 300; ++slot)
        cat.Frames.SetFrame(slot, RandomFrame(random, slot % 7 == 0 ? 0 : 3000 + slot * 7));
    const QString input = FWork->filePath(u"many.cat"_s);
    cat.SaveToFile(input);
    const int clamped = ApplyTo(cat.Frames, {{.Rotate = 30}, {.ScaleX = 170}, {.Kind = TKind::Reverse}});
    QVERIFY(clamped > 1000);

    const TRun run = Convert(FWork->path(), {u"--rotate"_s, u"30"_s, u"--scale"_s, u"170,100"_s, u"--reverse"_s,
                                             input, u"out.cat"_s});
    QCOMPARE(run.Status, 0);
    QVERIFY2(run.Err.startsWith(u"trevasc-convert: %1 points lay outside"_s.arg(QLocale(QLocale::English).toString(clamped))),
             qPrintable(run.Err));
    CompareFrames(CatalogFrames(FWork->filePath(u"out.cat"_s)), cat.Frames);
}

QTEST_MAIN(TestConvertProgram)
#include "tst_convert_program.moc"
