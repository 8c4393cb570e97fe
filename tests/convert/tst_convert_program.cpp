// trevasc-convert as a process: every kind of input and output, each
// operation against the frame tools called directly, every error with its
// status and nothing written, a failed write that keeps the old file.

#include "ConvertTestKit.h"
#include "FrameTools.h"
#include "Optimiser.h"
#include "ZLT_Ilda.h"
#include "TrevascVersion.h"
#include "ZLT_PicFolder.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace ConvertTest;
using namespace Qt::Literals::StringLiterals;
using FrameTools::TKind;
using FrameTools::TOperation;
using FrameTools::TPivotKind;
using FrameTools::TValue;

Q_DECLARE_METATYPE(std::vector<TOperation>)

namespace {
// The used slots of the test's catalog.
constexpr int UsedSlots[] = {0, 3, 7, 8};

TOperation Op(TKind kind)
{
    TOperation op;
    op.Kind = kind;
    return op;
}

TOperation Transform(std::function<void(TOperation&)> set, FrameTools::TPivot pivot = {})
{
    TOperation op;
    op.Kind = TKind::Transform;
    op.Pivot = pivot;
    set(op);
    return op;
}

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
    void optimiseGivesTheOptimisersFrame_data();
    void optimiseGivesTheOptimisersFrame();
    void refusesAndWritesNothing_data();
    void refusesAndWritesNothing();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
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
    QTest::newRow("catalog, empty slots included") << QStringList{u"show.cat"_s} << QStringList();
    QTest::newRow("picture file") << QStringList{u"one.pic"_s} << QStringList();
    QTest::newRow("ILDA file") << QStringList{u"three.ild"_s} << QStringList();
    QTest::newRow("ILDA file told by its first bytes") << QStringList{u"three.dat"_s} << QStringList();
    QTest::newRow("folder in name order") << QStringList{u"pics"_s} << QStringList();
    QTest::newRow("all in the order given, cut to a catalog")
        << QStringList{u"one.pic"_s, u"three.ild"_s, u"pics"_s, u"show.cat"_s}
        << QStringList{u"--frames"_s, u"0-32766"_s};
    QTest::newRow("one frame of the list") << QStringList{u"three.ild"_s, u"one.pic"_s}
                                           << QStringList{u"--frames"_s, u"2"_s};
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
    while (expected.Count() < TZLT_Cat::SlotCount)
        expected.Add(std::make_unique<TZLT_Frame>());

    QStringList arguments = options;
    for (const QString& input : inputs)
        arguments << In(input);
    const TRun run = Convert(FWork->path(), arguments << u"out.cat"_s);
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    CompareFrames(CatalogFrames(FWork->filePath(u"out.cat"_s)), expected);
}

void TestConvertProgram::writesEveryKindOfOutput_data()
{
    using ZLT_Ilda::TFormat;
    using ZLT_Ilda::TPaletteSection;
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("format"); // ILDA: its code
    QTest::addColumn<bool>("standard");
    const QStringList ten{u"--frames"_s, u"0-9"_s};
    QTest::newRow("catalog") << u"out.cat"_s << ten << -1 << false;
    QTest::newRow("ILDA, format 4 by default") << u"out.ild"_s << ten << 4 << false;
    QTest::newRow("ILDA format 5") << u"out.ild"_s << (ten + QStringList{u"--ilda-format"_s, u"5"_s}) << 5 << false;
    QTest::newRow("ILDA formats 2 + 0") << u"out.ild"_s << (ten + QStringList{u"--ilda-format=0"_s}) << 0 << false;
    QTest::newRow("ILDA formats 2 + 1") << u"OUT.ILD"_s << (ten + QStringList{u"--ilda-format"_s, u"1"_s}) << 1
                                        << false;
    QTest::newRow("ILDA format 1, standard colours")
        << u"out.ild"_s << (ten + QStringList{u"--ilda-format"_s, u"1-standard"_s}) << 1 << true;
    QTest::newRow("ILDA in a palette of its own")
        << u"out.ild"_s << (ten + QStringList{u"--palette"_s, u"PALETTE"_s}) << 4 << false;
    QTest::newRow("picture file") << u"out.pic"_s << QStringList{u"--frames"_s, u"3-6"_s} << -1 << false;
    QTest::newRow("new folder") << u"out/"_s << ten << -1 << false;
    QTest::newRow("existing folder") << u"dest"_s << ten << -1 << false;
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

void TestConvertProgram::operationsReachTheFrameTools_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<std::vector<TOperation>>("operations");
    const auto pivot = [](TPivotKind kind, TValue x = {}, TValue y = {}) { return FrameTools::TPivot{kind, x, y}; };
    QTest::newRow("mirror x") << QStringList{u"--mirror-x"_s} << std::vector{Op(TKind::MirrorX)};
    QTest::newRow("mirror y") << QStringList{u"--mirror-y"_s} << std::vector{Op(TKind::MirrorY)};
    QTest::newRow("rotate") << QStringList{u"--rotate"_s, u"30"_s}
                            << std::vector{Transform([](TOperation& op) { op.Rotate = 30; })};
    QTest::newRow("rotate, negative, ramped")
        << QStringList{u"--rotate=-90:270"_s} << std::vector{Transform([](TOperation& op) { op.Rotate = {-90, 270}; })};
    QTest::newRow("scale") << QStringList{u"--scale"_s, u"80"_s}
                           << std::vector{Transform([](TOperation& op) { op.ScaleX = op.ScaleY = 80; })};
    QTest::newRow("scale x ramped, y mirrored")
        << QStringList{u"--scale"_s, u"100:10,-50"_s}
        << std::vector{Transform([](TOperation& op) { op.ScaleX = {100, 10}, op.ScaleY = -50; })};
    QTest::newRow("move") << QStringList{u"--move"_s, u"-1000,250.5"_s}
                          << std::vector{Transform([](TOperation& op) { op.MoveX = -1000, op.MoveY = 250.5; })};
    QTest::newRow("about the origin")
        << QStringList{u"--pivot"_s, u"origin"_s, u"--rotate"_s, u"90"_s}
        << std::vector{Transform([](TOperation& op) { op.Rotate = 90; }, pivot(TPivotKind::Origin))};
    QTest::newRow("about the centre of all")
        << QStringList{u"--pivot"_s, u"all"_s, u"--scale"_s, u"50"_s}
        << std::vector{Transform([](TOperation& op) { op.ScaleX = op.ScaleY = 50; }, pivot(TPivotKind::All))};
    QTest::newRow("about a point, ramped, only for later operations")
        << QStringList{u"--rotate"_s, u"10"_s, u"--pivot"_s, u"100:-100,-5000"_s, u"--rotate"_s, u"45"_s,
                       u"--pivot"_s, u"centre"_s, u"--scale"_s, u"90"_s}
        << std::vector{Transform([](TOperation& op) { op.Rotate = 10; }),
                       Transform([](TOperation& op) { op.Rotate = 45; },
                                 pivot(TPivotKind::Point, TValue(100, -100), TValue(-5000))),
                       Transform([](TOperation& op) { op.ScaleX = op.ScaleY = 90; })};
    QTest::newRow("centre") << QStringList{u"--centre"_s} << std::vector{Op(TKind::Centre)};
    QTest::newRow("fit") << QStringList{u"--fit"_s} << std::vector{Op(TKind::Fit)};
    QTest::newRow("reverse") << QStringList{u"--reverse"_s} << std::vector{Op(TKind::Reverse)};
    TOperation colour = Op(TKind::SetColour), replace = Op(TKind::ReplaceColour), gradient = Op(TKind::Gradient);
    colour.ColourA = 5;
    replace.ColourA = 1, replace.ColourB = 2;
    gradient.ColourA = 0, gradient.ColourB = {63, 10};
    QTest::newRow("colour") << QStringList{u"--colour"_s, u"5"_s} << std::vector{colour};
    QTest::newRow("replace colour") << QStringList{u"--replace-colour"_s, u"1,2"_s} << std::vector{replace};
    QTest::newRow("gradient") << QStringList{u"--gradient"_s, u"0,63:10"_s} << std::vector{gradient};
    QTest::newRow("in the order given")
        << QStringList{u"--reverse"_s, u"--rotate"_s, u"90"_s, u"--mirror-x"_s, u"--fit"_s}
        << std::vector{Op(TKind::Reverse), Transform([](TOperation& op) { op.Rotate = 90; }), Op(TKind::MirrorX),
                       Op(TKind::Fit)};
}

void TestConvertProgram::operationsReachTheFrameTools()
{
    QFETCH(QStringList, options);
    QFETCH(std::vector<TOperation>, operations);
    TZLT_FrameList expected;
    Append(expected, FCatalog);
    std::vector<TZLT_Frame*> frames;
    for (int i = 0; i < expected.Count(); ++i)
        frames.push_back(&expected.GetFrame(i));
    FrameTools::Apply(operations, frames);
    while (expected.Count() < TZLT_Cat::SlotCount)
        expected.Add(std::make_unique<TZLT_Frame>());

    const TRun run = Convert(FWork->path(), QStringList{u"--frames"_s, u"0-9"_s} + options +
                                                QStringList{In(u"show.cat"_s), u"out.cat"_s});
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    CompareFrames(CatalogFrames(FWork->filePath(u"out.cat"_s)), expected);
}

void TestConvertProgram::optimiseGivesTheOptimisersFrame_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("minimised");
    QTest::newRow("optimise") << QStringList{u"--optimise"_s} << false;
    QTest::newRow("minimise after optimise") << QStringList{u"--optimise"_s, u"--minimise"_s} << true;
}

// A picture file through the converter: its frame as the optimiser makes
// it with the default profile, and minimised again after that.
void TestConvertProgram::optimiseGivesTheOptimisersFrame()
{
    QFETCH(QStringList, options);
    QFETCH(bool, minimised);
    TZLT_Frame input;
    input.LoadFromPicFile(In(u"one.pic"_s));
    TZLT_Frame expected;
    expected.AllPoints() = Optimised(input.AllPoints(), TScannerProfile());
    QVERIFY(expected.AllPoints() != input.AllPoints());
    if (minimised)
        expected.AllPoints() = Minimised(expected.AllPoints());

    const TRun run = Convert(FWork->path(), options + QStringList{In(u"one.pic"_s), u"out.pic"_s});
    QVERIFY2(run.Status == 0, qPrintable(run.Err));
    QVERIFY(FileBytes(FWork->filePath(u"out.pic"_s)) == expected.ToPicBytes());
}

void TestConvertProgram::refusesAndWritesNothing_data()
{
    QTest::addColumn<QStringList>("arguments"); // IN/ names an input of the test
    QTest::addColumn<QString>("message");
    const QString cat = u"IN/show.cat"_s;
    QTest::newRow("unknown option") << QStringList{u"--frobnicate"_s, cat, u"out.cat"_s}
                                    << u"unknown option '--frobnicate'"_s;
    QTest::newRow("missing value") << QStringList{cat, u"out.cat"_s, u"--rotate"_s} << u"--rotate needs a value"_s;
    QTest::newRow("value of a flag") << QStringList{u"--fit=2"_s, cat, u"out.cat"_s} << u"--fit takes no value"_s;
    QTest::newRow("no number") << QStringList{u"--rotate"_s, u"left"_s, cat, u"out.cat"_s}
                               << u"--rotate: 'left' is not a number"_s;
    QTest::newRow("ramp of three") << QStringList{u"--scale"_s, u"1:2:3"_s, cat, u"out.cat"_s}
                                   << u"--scale: '1:2:3' is not a number or FIRST:LAST"_s;
    QTest::newRow("one value for two") << QStringList{u"--move"_s, u"5"_s, cat, u"out.cat"_s}
                                       << u"--move: '5' is not two values X,Y"_s;
    QTest::newRow("colour beyond the palette") << QStringList{u"--colour"_s, u"64"_s, cat, u"out.cat"_s}
                                               << u"--colour: '64' is no colour index 0..63"_s;
    QTest::newRow("colour ramp beyond the palette") << QStringList{u"--gradient"_s, u"0,1:70"_s, cat, u"out.cat"_s}
                                                    << u"--gradient: '1:70' is no colour index 0..63"_s;
    QTest::newRow("pivot") << QStringList{u"--pivot"_s, u"middle"_s, cat, u"out.cat"_s}
                           << u"--pivot: 'middle' is none of centre, origin, all or X,Y"_s;
    QTest::newRow("ILDA format") << QStringList{u"--ilda-format"_s, u"2"_s, cat, u"out.ild"_s}
                                 << u"--ilda-format: '2' is none of 4, 5, 0, 1, 1-standard"_s;
    QTest::newRow("ILDA format for a catalog") << QStringList{u"--ilda-format"_s, u"5"_s, cat, u"out.cat"_s}
                                               << u"--ilda-format is for an ILDA output"_s;
    QTest::newRow("frames backwards") << QStringList{u"--frames"_s, u"5-2"_s, cat, u"out.cat"_s}
                                      << u"--frames: 5-2 ends before it starts"_s;
    QTest::newRow("frames twice") << QStringList{u"--frames"_s, u"1"_s, u"--frames"_s, u"2"_s, cat, u"out.cat"_s}
                                  << u"--frames is given twice"_s;
    QTest::newRow("frames beyond the list") << QStringList{u"--frames"_s, u"0-40000"_s, cat, u"out.cat"_s}
                                            << u"--frames 0-40000: the inputs hold 32767 frames (0..32766)"_s;
    QTest::newRow("no output") << QStringList{cat} << u"no output given"_s;
    QTest::newRow("nothing at all") << QStringList{u"-q"_s} << u"no input and no output given"_s;
    QTest::newRow("output of no kind") << QStringList{cat, u"out.txt"_s}
                                       << u"the name of the output 'out.txt' tells no kind of file"_s;
    QTest::newRow("missing input") << QStringList{u"IN/gone.cat"_s, u"out.cat"_s} << u"File does not exist: '"_s;
    QTest::newRow("missing input of no kind") << QStringList{u"IN/gone.txt"_s, u"out.cat"_s}
                                              << u"File does not exist: '"_s;
    QTest::newRow("input that is no frame file") << QStringList{u"IN/notes.txt"_s, u"out.cat"_s}
                                                 << u"notes.txt' is no frame file"_s;
    QTest::newRow("damaged picture file") << QStringList{u"IN/short.pic"_s, u"out.cat"_s}
                                          << u"File is too short for a PIC file"_s;
    QTest::newRow("bad palette") << QStringList{u"--palette"_s, u"IN/bad.pal"_s, cat, u"out.ild"_s}
                                 << u"Invalid File : '"_s;
    QTest::newRow("more frames than slots") << QStringList{cat, u"IN/one.pic"_s, u"out.cat"_s}
                                            << u"32768 frames do not fit into the 32767 slots"_s;
    QTest::newRow("picture file of several frames") << QStringList{u"--frames"_s, u"0-3"_s, cat, u"out.pic"_s}
                                                    << u"a picture file holds one frame, but 2 frames are used"_s;
    QTest::newRow("picture file of none") << QStringList{u"--frames"_s, u"1-2"_s, cat, u"out.pic"_s}
                                          << u"but 0 frames are used"_s;
    QTest::newRow("ILDA file of none") << QStringList{u"--frames"_s, u"1-2"_s, cat, u"old.ild"_s}
                                       << u"no frame is used: nothing to write to 'old.ild'"_s;
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

void TestConvertProgram::summaryAndQuiet()
{
    TRun run = Convert(FWork->path(), {In(u"one.pic"_s), In(u"show.cat"_s), u"out.ild"_s});
    QCOMPARE(run.Status, 0);
    QCOMPARE(run.Err, u"trevasc-convert: 2 inputs, 5 frames, 1,117 points -> out.ild (ILDA format 4)\n"_s);
    QCOMPARE(run.Out, QString());

    // Scaled beyond the field: the clamp's count as the frame tools give it.
    TZLT_FrameList frames;
    Append(frames, FCatalog);
    std::vector<TZLT_Frame*> pointers;
    for (int i = 0; i < frames.Count(); ++i)
        pointers.push_back(&frames.GetFrame(i));
    TOperation scale = Transform([](TOperation& op) { op.ScaleX = op.ScaleY = 300; });
    const int clamped = FrameTools::Apply({scale}, pointers);
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
    const std::vector<TOperation> operations{Transform([](TOperation& op) { op.Rotate = 30; }),
                                             Transform([](TOperation& op) { op.ScaleX = 170; }), Op(TKind::Reverse)};
    std::vector<TZLT_Frame*> frames;
    for (int i = 0; i < cat.Frames.Count(); ++i)
        frames.push_back(&cat.Frames.GetFrame(i));
    const int clamped = FrameTools::Apply(operations, frames);
    QVERIFY(clamped > 1000);

    const TRun run = Convert(FWork->path(), {u"--rotate"_s, u"30"_s, u"--scale"_s, u"170,100"_s, u"--reverse"_s,
                                             input, u"out.cat"_s});
    QCOMPARE(run.Status, 0);
    QVERIFY2(run.Err.startsWith(u"trevasc-convert: %1 points lay outside"_s.arg(QLocale(QLocale::English).toString(clamped))),
             qPrintable(run.Err));
    CompareFrames(CatalogFrames(FWork->filePath(u"out.cat"_s)), cat.Frames);
}

QTEST_GUILESS_MAIN(TestConvertProgram)
#include "tst_convert_program.moc"
