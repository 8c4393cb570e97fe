// ILDA files: every format read, palettes and colour mapping, damage and
// limits, the written layout, round trips, atomic writing, progress and cancel.

#include "DataTestSupport.h"

#include "ZLT_Files.h"
#include "ZLT_Ilda.h"

#include <QDir>
#include <QObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

using namespace DataTest;
using namespace ZLT_Ilda;

namespace {

// Builders of sections in the file's own byte order (big-endian).
QByteArray Be16(int v)
{
    return QByteArray(1, char(v >> 8)) + char(v);
}

QByteArray Header(int format, int records, const char* magic = "ILDA")
{
    return QByteArray(magic, 4) + QByteArray(3, 0) + char(format) + QByteArray(16, 0) + Be16(records) +
           QByteArray(6, 0);
}

QByteArray End()
{
    return Header(0, 0);
}

// One point record; for formats 4 and 5 c0, c1, c2 are blue, green, red.
QByteArray Rec(int format, int x, int y, int z, int status, int c0, int c1 = 0, int c2 = 0)
{
    QByteArray r = Be16(x) + Be16(y);
    if (format == 0 || format == 4)
        r += Be16(z);
    r += char(status);
    r += char(c0);
    if (format >= 4)
        r += QByteArray(1, char(c1)) + char(c2);
    return r;
}

QByteArray Section(int format, const QList<QByteArray>& records)
{
    return Header(format, int(records.size())) + records.join();
}

struct Rgb
{
    int R, G, B;
};

QByteArray PaletteSection(const QList<Rgb>& colours)
{
    QByteArray s = Header(2, int(colours.size()));
    for (const Rgb& c : colours)
        s += QByteArray(1, char(c.R)) + char(c.G) + char(c.B);
    return s;
}

// A target palette: grey everywhere but at the given indices.
TZLT_Pal Pal(std::initializer_list<std::pair<int, Rgb>> entries)
{
    QByteArray bytes;
    for (int i = 0; i < 64; ++i)
        bytes += QByteArray(1, char(128)) + char(128) + char(128) + QByteArray(6, 0);
    for (const auto& [i, c] : entries) {
        bytes[9 * i] = char(c.R);
        bytes[9 * i + 1] = char(c.G);
        bytes[9 * i + 2] = char(c.B);
    }
    TZLT_Pal pal;
    pal.LoadFromBytes(bytes, QStringLiteral("test"));
    return pal;
}

// A palette that shows whether a colour read is exactly c: c at index at,
// its six neighbours one step off at the next indices, grey elsewhere.
TZLT_Pal Probe(int at, Rgb c)
{
    QByteArray bytes(576, char(128));
    const auto put = [&](int i, int r, int g, int b) {
        if (r >= 0 && g >= 0 && b >= 0 && r < 256 && g < 256 && b < 256)
            bytes.replace(9 * i, 3, QByteArray(1, char(r)) + char(g) + char(b));
    };
    put(at, c.R, c.G, c.B);
    const int steps[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int k = 0; k < 6; ++k)
        put((at + 1 + k) % 64, c.R + steps[k][0], c.G + steps[k][1], c.B + steps[k][2]);
    TZLT_Pal pal;
    pal.LoadFromBytes(bytes, QStringLiteral("probe"));
    return pal;
}

// "X Y Z Status Aux" of every point, frames separated by "|".
QStringList Describe(const TZLT_FrameList& frames, int count = -1)
{
    QStringList out;
    for (int f = 0; f < (count < 0 ? frames.Count() : count); ++f) {
        if (f > 0)
            out << QStringLiteral("|");
        for (const TZLT_Point& p : frames.GetFrame(f).AllPoints())
            out << QStringLiteral("%1 %2 %3 %4 %5")
                       .arg(p.X())
                       .arg(p.Y())
                       .arg(p.Z())
                       .arg(p.Status())
                       .arg(p.Aux());
    }
    return out;
}

QList<int> Statuses(const TZLT_FrameList& frames)
{
    QList<int> out;
    for (int f = 0; f < frames.Count(); ++f)
        for (const TZLT_Point& p : frames.GetFrame(f).AllPoints())
            out << p.Status();
    return out;
}

const QString Name = QStringLiteral("show.ild");

TReadResult Read(const QByteArray& data, const TZLT_Pal& pal = TZLT_Pal())
{
    return ReadBytes(data, pal, Name);
}

// A list of random frames, every fourth one empty.
TZLT_FrameList RandomFrames(quint32 seed, int frames, int points)
{
    QRandomGenerator random(seed);
    TZLT_FrameList list;
    for (int f = 0; f < frames; ++f) {
        auto frame = std::make_unique<TZLT_Frame>();
        for (int i = 0; f % 4 != 3 && i < points; ++i)
            frame->Add(TZLT_Point(int16_t(random.bounded(65536)), int16_t(random.bounded(65536)),
                                  int16_t(random.bounded(65536)), uint8_t(random.bounded(256)),
                                  uint8_t(random.bounded(256))));
        list.Add(std::move(frame));
    }
    return list;
}

} // namespace

Q_DECLARE_METATYPE(TZLT_Pal)
Q_DECLARE_METATYPE(TFormat)
Q_DECLARE_METATYPE(TPaletteSection)

class TestIlda : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { CheckNoMessages(); }

    void formats_data();
    void formats();
    void colours_data();
    void colours();
    void nearestOfAll_data();
    void nearestOfAll();
    void damage_data();
    void damage();
    void cutAtEveryOffset();
    void frameCap_data();
    void frameCap();
    void missingFileOrDirectory();
    void writtenLayout_data();
    void writtenLayout();
    void writeRefuses();
    void standardColours_data();
    void standardColours();
    void roundTrips_data();
    void roundTrips();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void progressAndCancel_data();
    void progressAndCancel();

private:
    QTemporaryDir FDir;
};

void TestIlda::initTestCase()
{
    InstallMessageTrap();
    QVERIFY(FDir.isValid());
}

void TestIlda::formats_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("points");
    // Y becomes -1 - Y; bit 7 and the status bits 0-5 are dropped; an
    // indexed point keeps its index where the palette has its colour.
    const QStringList in3D = {"100 -201 -300 88 0", "-32768 32767 32767 40 0"};
    const QStringList in2D = {"100 -201 0 88 0", "-32768 32767 0 40 0"};
    QTest::newRow("0") << Section(0,
                                  {Rec(0, 100, 200, -300, 0x40, 24), Rec(0, -32768, -32768, 32767, 0xBF, 40)})
                       << in3D;
    QTest::newRow("1") << Section(1, {Rec(1, 100, 200, 0, 0xC0, 24), Rec(1, -32768, -32768, 0, 0x3F, 40)})
                       << in2D;
    QTest::newRow("4, blue-green-red") << Section(4, {Rec(4, 100, 200, -300, 0x40, 0, 255, 0),
                                                      Rec(4, -32768, -32768, 32767, 0x80, 255, 0, 0)}) +
                                              End()
                                       << in3D;
    QTest::newRow("5, blue-green-red")
        << Section(5, {Rec(5, 100, 200, 0, 0x40, 0, 255, 0), Rec(5, -32768, -32768, 0, 0, 255, 0, 0)})
        << in2D;
    QTest::newRow("frames end at the end header")
        << Section(5, {Rec(5, 1, 1, 0, 0, 0, 255, 0)}) + Section(1, {Rec(1, 2, 2, 0, 0, 40)}) + End() +
               Section(1, {Rec(1, 3, 3, 0, 0, 40)}) + "junk"
        << QStringList{"1 -2 0 24 0", "|", "2 -3 0 40 0"};
    QTest::newRow("an end header of any format code")
        << Section(1, {Rec(1, 1, 1, 0, 0, 24)}) + Header(9, 0) + "x" << QStringList{"1 -2 0 24 0"};
}

void TestIlda::formats()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, points);
    const TReadResult result = Read(file, Pal({{8, {255, 128, 0}}, {24, {0, 255, 0}}, {40, {0, 0, 255}}}));
    QCOMPARE(Describe(result.Frames), points);
    QCOMPARE(result.Warning, QString());
    for (int f = 0; f < result.Frames.Count(); ++f) // allocated exactly
        QCOMPARE(result.Frames.GetFrame(f).AllPoints().capacity(),
                 result.Frames.GetFrame(f).AllPoints().size());
}

void TestIlda::colours_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<TZLT_Pal>("palette");
    QTest::addColumn<QList<int>>("statuses");
    const auto f1 = [](int index, int status = 0) { return Rec(1, 0, 0, 0, status, index); };
    const auto f5 = [](Rgb c, int status = 0) { return Rec(5, 0, 0, 0, status, c.B, c.G, c.R); };
    const Rgb a{10, 20, 30}, b{200, 100, 50};
    QTest::newRow("palette section") << PaletteSection({a, b}) + Section(1, {f1(0), f1(1)})
                                     << Pal({{5, a}, {6, b}}) << QList<int>{5, 6};
    QTest::newRow("palettes hold from their section on")
        << Section(1, {f1(0)}) + PaletteSection({a}) + Section(0, {Rec(0, 0, 0, 0, 0, 0)}) +
               PaletteSection({b}) + Section(1, {f1(0)})
        << Pal({{3, {255, 0, 0}}, {5, a}, {6, b}}) << QList<int>{3, 5, 6};
    QTest::newRow("past a short palette: the default colour")
        << PaletteSection({a}) + Section(1, {f1(0), f1(24)}) << Pal({{5, a}, {7, {0, 255, 0}}})
        << QList<int>{5, 7};
    QTest::newRow("past every palette: black, so blanked")
        << Section(1, {f1(64), f1(255)}) + PaletteSection({a}) + Section(1, {f1(63), f1(64)})
        << Pal({{9, {0, 0, 0}}, {7, {255, 32, 32}}}) << QList<int>{9 | 64, 9 | 64, 7, 9 | 64};
    QList<Rgb> wide;
    for (int i = 0; i < 300; ++i)
        wide << Rgb{i % 256, 255 - i % 256, i < 256 ? 7 : 99}; // past 256: unreachable
    QTest::newRow("a 256-colour palette")
        << PaletteSection(wide) + Section(1, {f1(11), f1(200), f1(255)})
        << Pal({{14, {11, 244, 7}}, {12, {200, 55, 7}}, {13, {255, 0, 7}}}) << QList<int>{14, 12, 13};
    QTest::newRow("an index keeps its place where its colour is")
        << Section(1, {f1(24)}) + Section(5, {f5({0, 255, 0})}) << Pal({{10, {0, 255, 0}}, {24, {0, 255, 0}}})
        << QList<int>{24, 10};
    QTest::newRow("an index moves where its colour is not")
        << Section(1, {f1(24)}) << Pal({{10, {0, 255, 0}}, {24, {0, 254, 0}}}) << QList<int>{10};
    QTest::newRow("nearest colour, the lowest index on a tie")
        << Section(5, {f5({100, 100, 100}), f5({101, 100, 100}), f5({99, 100, 100})})
        << Pal({{3, {90, 100, 100}}, {4, {110, 100, 100}}, {5, {100, 100, 111}}, {6, {90, 100, 100}}})
        << QList<int>{3, 4, 3};
    // The standard's default palette, where no palette section comes first.
    const int defaults[][4] = {
        {0, 255, 0, 0},      {5, 255, 80, 0},   {15, 255, 240, 0},  {16, 255, 255, 0},   {17, 224, 255, 0},
        {23, 32, 255, 0},    {24, 0, 255, 0},   {25, 0, 255, 36},   {28, 0, 255, 146},   {31, 0, 255, 255},
        {32, 0, 227, 255},   {36, 0, 113, 255}, {39, 0, 28, 255},   {40, 0, 0, 255},     {41, 32, 0, 255},
        {47, 224, 0, 255},   {48, 255, 0, 255}, {49, 255, 32, 255}, {55, 255, 224, 255}, {56, 255, 255, 255},
        {57, 255, 224, 224}, {63, 255, 32, 32}};
    for (const auto& [index, r, g, b] : defaults) // found at another index, so only by its exact colour
        QTest::addRow("default colour %d", index)
            << Section(1, {f1(index)}) << Probe((index + 32) % 64, {r, g, b})
            << QList<int>{(index + 32) % 64};
    QTest::newRow("black means blanked, whatever the bit")
        << PaletteSection({{0, 0, 0}, a}) + Section(1, {f1(0), f1(1), f1(1, 0x40)}) +
               Section(5, {f5({0, 0, 0}), f5({0, 0, 0}, 0x40), f5({0, 0, 1})})
        << Pal({{2, {0, 0, 1}}, {5, a}}) << QList<int>{2 | 64, 5, 5 | 64, 2 | 64, 2 | 64, 2};
}

void TestIlda::colours()
{
    QFETCH(QByteArray, file);
    QFETCH(TZLT_Pal, palette);
    QFETCH(QList<int>, statuses);
    QCOMPARE(Statuses(Read(file, palette).Frames), statuses);
}

void TestIlda::nearestOfAll_data()
{
    QTest::addColumn<QByteArray>("palette");
    QRandomGenerator random(11);
    QByteArray randomPal(576, 0), lattice(576, 0), few(576, 0);
    for (char& c : randomPal)
        c = char(random.bounded(256));
    // Colours on and beside the edges of 16-wide steps, where ties are many.
    const int edges[] = {0, 15, 16, 31, 32, 47, 48, 255};
    for (int i = 0; i < 64; ++i)
        lattice.replace(9 * i, 3,
                        QByteArray(1, char(edges[i % 8])) + char(edges[i / 8]) + char(edges[(i * 3) % 8]));
    // Two colours, alternating, as far from (31, 31, 31) as each other: the
    // lower index wins there, though the other is nearer to the rest of
    // that corner's neighbourhood.
    for (int i = 0; i < 64; ++i)
        few.replace(9 * i, 3, QByteArray(3, char(i % 2 ? 8 : 54)));
    QTest::newRow("random") << randomPal;
    QTest::newRow("lattice") << lattice;
    QTest::newRow("two colours") << few;
}

void TestIlda::nearestOfAll()
{
    QFETCH(QByteArray, palette);
    TZLT_Pal pal;
    pal.LoadFromBytes(palette, QStringLiteral("test"));
    // Every colour made of these values, and random ones.
    const int values[] = {0,  1,  7,  8,  15,  16,  17,  23,  24,  31, 32,
                          33, 47, 48, 64, 127, 128, 200, 240, 254, 255};
    QList<Rgb> colours;
    for (int r : values)
        for (int g : values)
            for (int b : values)
                colours << Rgb{r, g, b};
    QRandomGenerator random(12);
    for (int i = 0; i < 5000; ++i)
        colours << Rgb{int(random.bounded(256)), int(random.bounded(256)), int(random.bounded(256))};
    QByteArray file;
    QList<int> expected;
    for (qsizetype at = 0; at < colours.size(); at += 60000) {
        QList<QByteArray> records;
        for (qsizetype i = at; i < std::min(at + 60000, colours.size()); ++i) {
            const Rgb& c = colours[i];
            records << Rec(5, 0, 0, 0, 0, c.B, c.G, c.R);
            int best = 0, bestDistance = INT_MAX;
            for (int k = 0; k < 64; ++k) {
                const TZLT_PalEntry& e = pal.GetEntry(k);
                const int d = (e.Red - c.R) * (e.Red - c.R) + (e.Green - c.G) * (e.Green - c.G) +
                              (e.Blue - c.B) * (e.Blue - c.B);
                if (d < bestDistance) {
                    bestDistance = d;
                    best = k;
                }
            }
            expected << (best | (c.R + c.G + c.B == 0 ? 64 : 0));
        }
        file += Section(5, records);
    }
    QCOMPARE(Statuses(Read(file, pal).Frames), expected);
}

void TestIlda::damage_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("section"); // 0: nothing usable, EZLT_Ilda_Load
    QTest::addColumn<QString>("why");
    QTest::addColumn<QString>("warum"); // the same in German
    const QByteArray one = Section(1, {Rec(1, 1, 2, 0, 0, 3)});
    const QByteArray pal = PaletteSection({{1, 2, 3}});
    QTest::newRow("bad magic in the second section")
        << one + Section(1, {Rec(1, 1, 2, 0, 0, 3)}).replace(3, 1, "B") << 1 << 2 << "\"ILDA\"" << "beginnt nicht mit \"ILDA\"";
    QTest::newRow("format code 3") << one + pal + Header(3, 1) + "abc" << 1 << 3 << "format code 3" << "Formatcode 3";
    QTest::newRow("format code 6") << one + one + Header(6, 1) + QByteArray(100, 0) << 2 << 3
                                   << "format code 6" << "Formatcode 6";
    QTest::newRow("records cut short") << one + one.left(one.size() - 1) << 1 << 2 << "ends inside" << "endet innerhalb";
    QTest::newRow("header cut short") << one + one + one.left(20) << 2 << 3 << "ends inside" << "endet innerhalb";
    QTest::newRow("stray bytes after a section") << one + "xyz" << 1 << 2 << "\"ILDA\"" << "beginnt nicht mit \"ILDA\"";
    QTest::newRow("empty") << QByteArray() << 0 << 0 << "Not an ILDA" << "Keine ILDA Datei";
    QTest::newRow("3 bytes") << QByteArray("ILD") << 0 << 0 << "Not an ILDA" << "Keine ILDA Datei";
    QTest::newRow("another format") << QByteArray("PK\3\4") + one << 0 << 0 << "Not an ILDA" << "Keine ILDA Datei";
    QTest::newRow("only a palette") << pal + End() << 0 << 0 << "No frame" << "Kein Frame in der ILDA Datei";
    QTest::newRow("only the end") << End() << 0 << 0 << "No frame" << "Kein Frame in der ILDA Datei";
    QTest::newRow("first frame cut") << pal + one.left(36) << 0 << 0 << "section 2" << "bei Abschnitt 2";
    QTest::newRow("first code unknown") << Header(7, 1) + "abcdefgh" << 0 << 0 << "format code 7" << "Formatcode 7";
}

void TestIlda::damage()
{
    QFETCH(QByteArray, file);
    QFETCH(int, frames);
    QFETCH(int, section);
    QFETCH(QString, why);
    QFETCH(QString, warum);
    if (section == 0) {
        QString message, german;
        try {
            Read(file);
        } catch (const EZLT_Ilda_Load& e) {
            message = e.Text(0);
            german = e.Text(1);
        }
        QVERIFY2(message.contains(QLatin1Char('\'') + Name + QLatin1Char('\'')), qPrintable(message));
        QVERIFY2(message.contains(why), qPrintable(message));
        QVERIFY2(german.contains(QLatin1Char('\'') + Name + QLatin1Char('\'')), qPrintable(german));
        QVERIFY2(german.contains(warum), qPrintable(german));
        return;
    }
    const TReadResult result = Read(file);
    QCOMPARE(result.Frames.Count(), frames);
    QCOMPARE(result.WarningText(0), result.Warning);
    for (const QString& part :
         {QLatin1Char('\'') + Name + QLatin1Char('\''), QStringLiteral("section %1").arg(section), why})
        QVERIFY2(result.Warning.contains(part), qPrintable(result.Warning));
    const QString german = result.WarningText(1);
    for (const QString& part :
         {QLatin1Char('\'') + Name + QLatin1Char('\''), QStringLiteral("Abschnitt %1").arg(section), warum})
        QVERIFY2(german.contains(part), qPrintable(german));
}

void TestIlda::cutAtEveryOffset()
{
    const QList<QByteArray> sections = {
        PaletteSection({{1, 2, 3}, {4, 5, 6}}),
        Section(
            4, {Rec(4, 1, 2, 3, 0, 1, 2, 3), Rec(4, 4, 5, 6, 0x40, 7, 8, 9), Rec(4, 7, 8, 9, 0x80, 0, 0, 9)}),
        Section(1, {Rec(1, -1, -2, 0, 0, 1), Rec(1, -3, -4, 0, 0x80, 0)}), End()};
    const QByteArray file = sections.join();
    const TReadResult whole = Read(file);
    QCOMPARE(whole.Frames.Count(), 2);
    for (int cut = 0; cut <= file.size(); ++cut) {
        const QString row = QStringLiteral("cut at %1").arg(cut);
        int frames = 0, section = 0, end = 0;
        while (section < sections.size() && end + sections[section].size() <= cut) {
            end += int(sections[section].size());
            frames += section == 1 || section == 2;
            ++section;
        }
        if (frames == 0) {
            const QString message = MessageOf<EZLT_Ilda_Load>([&] { Read(file.left(cut)); });
            QVERIFY2(message.contains(Name), qPrintable(row));
            continue;
        }
        const TReadResult result = Read(file.left(cut));
        QVERIFY2(Describe(result.Frames) == Describe(whole.Frames, frames), qPrintable(row));
        QVERIFY2(result.Warning.isEmpty() == (end == cut), qPrintable(row + result.Warning));
        if (end != cut)
            QVERIFY2(result.Warning.contains(QStringLiteral("section %1").arg(section + 1)),
                     qPrintable(row + result.Warning));
    }
}

void TestIlda::frameCap_data()
{
    QTest::addColumn<int>("frames");
    QTest::newRow("32767") << 32767;
    QTest::newRow("70000") << 70000;
}

void TestIlda::frameCap()
{
    QFETCH(int, frames);
    QByteArray file;
    file.reserve(qsizetype(frames) * 40 + 32);
    const QByteArray header = Header(5, 1);
    for (int f = 0; f < frames; ++f)
        file += header + Rec(5, f & 0x7FFF, 0, 0, 0, 255, 0, 0);
    const TReadResult result = Read(file + End());
    QCOMPARE(result.Frames.Count(), std::min(frames, 32767));
    QCOMPARE(result.Frames.GetFrame(32766).GetPoint(0).X(), int16_t(32766));
    if (frames == 32767)
        QCOMPARE(result.Warning, QString());
    else
        QVERIFY2(result.Warning.contains(QStringLiteral(" %1 ").arg(frames - 32767)) &&
                     result.Warning.contains(Name),
                 qPrintable(result.Warning));
}

void TestIlda::missingFileOrDirectory()
{
    for (const QString& name : {FDir.filePath(QStringLiteral("not here.ild")), FDir.path()}) {
        const QString message = MessageOf<EZLT_Cat_Load>([&] { ReadFile(name, TZLT_Pal()); });
        QCOMPARE(message, QStringLiteral("File does not exist: '%1'").arg(name));
    }
}

void TestIlda::writtenLayout_data()
{
    QTest::addColumn<TFormat>("format");
    QTest::addColumn<TPaletteSection>("section");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QByteArray>("hex");
    const auto header = [](int format, const char* name, int records, int number, int total) {
        return QByteArray("ILDA\0\0\0", 7).toHex() + Be16(format).right(1).toHex() +
               QByteArray(name).leftJustified(8, '\0').toHex() + QByteArray("Trevasc\0", 8).toHex() +
               (Be16(records) + Be16(number) + Be16(total)).toHex() + "0000";
    };
    const TPaletteSection included = TPaletteSection::Included, standard = TPaletteSection::Standard;
    QTest::newRow("true colour") << TFormat::TrueColor3D << included << 0 << 4
                                 << header(4, "00001", 2, 0, 2) + "0001fffd0003 00 0000ff" +
                                        "fffe00000000 c0 000000" + header(4, "00003", 1, 1, 2) +
                                        "0100ffffffff 80 ffff00" + header(4, "", 0, 2, 2);
    QTest::newRow("true colour, no palette whatever the choice")
        << TFormat::TrueColor3D << standard << 3 << 1
        << header(4, "00003", 1, 0, 1) + "0100ffffffff 80 ffff00" + header(4, "", 0, 1, 1);
    QTest::newRow("true colour 2D") << TFormat::TrueColor2D << included << 0 << 4
                                    << header(5, "00001", 2, 0, 2) + "0001fffd 00 0000ff" +
                                           "fffe0000 c0 000000" + header(5, "00003", 1, 1, 2) +
                                           "0100ffff 80 ffff00" + header(5, "", 0, 2, 2);
    QTest::newRow("indexed, a range")
        << TFormat::Indexed3D << included << 1 << 2
        << header(2, "Palette", 64, 0, 0) + "<palette>" + header(0, "00001", 2, 0, 1) + "0001fffd0003 00 01" +
               "fffe00000000 c0 04" + header(0, "", 0, 1, 1);
    QTest::newRow("indexed 2D") << TFormat::Indexed2D << included << 0 << 4
                                << header(2, "Palette", 64, 0, 0) + "<palette>" +
                                       header(1, "00001", 2, 0, 2) + "0001fffd 00 01" + "fffe0000 c0 04" +
                                       header(1, "00003", 1, 1, 2) + "0100ffff 80 05" +
                                       header(1, "", 0, 2, 2);
    // Red, green and cyan are the standard's 0, 24 and 31.
    QTest::newRow("indexed 2D, standard colours")
        << TFormat::Indexed2D << standard << 0 << 4
        << header(1, "00001", 2, 0, 2) + "0001fffd 00 00" + "fffe0000 c0 18" + header(1, "00003", 1, 1, 2) +
               "0100ffff 80 1f" + header(1, "", 0, 2, 2);
    QTest::newRow("indexed 3D, standard colours")
        << TFormat::Indexed3D << standard << 3 << 1
        << header(0, "00003", 1, 0, 1) + "0100ffffffff 80 1f" + header(0, "", 0, 1, 1);
}

void TestIlda::writtenLayout()
{
    QFETCH(TFormat, format);
    QFETCH(TPaletteSection, section);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QByteArray, hex);
    TZLT_FrameList frames; // only the used ones are written
    frames.Add(std::make_unique<TZLT_Frame>());
    frames.Add(MakeFrame({{1, 2, 3, 1, 9}, {-2, -1, 0, 64 | 4, 0}}));
    frames.Add(std::make_unique<TZLT_Frame>());
    frames.Add(MakeFrame({{256, 0, -1, 128 | 5, 0}}));
    const TZLT_Pal pal; // 1 red, 4 green, 5 cyan
    QByteArray palette;
    for (int i = 0; i < 64; ++i)
        palette += QByteArray(1, char(pal.GetEntry(i).Red)) + char(pal.GetEntry(i).Green) +
                   char(pal.GetEntry(i).Blue);
    hex.replace("<palette>", palette.toHex()).replace(" ", "");
    QCOMPARE(ZLT_Ilda::WriteBytes(frames, first, count, pal, format, section).toHex(), hex);
}

void TestIlda::writeRefuses()
{
    TZLT_FrameList frames;
    frames.Add(MakeFrame({{1, 1, 1, 1, 1}}));
    const auto refusal = [&](const TZLT_FrameList& list, int first, int count) {
        return MessageOf<EZLT_Error>([&] { WriteBytes(list, first, count, TZLT_Pal(), TFormat::Indexed3D); });
    };
    QVERIFY(refusal(frames, 0, 2).contains("index 1"));
    QVERIFY(refusal(frames, -1, 1).contains("index -1"));
    frames.GetFrame(0).AllPoints().assign(65536, TZLT_Point(1, 2, 3, 4, 5));
    QVERIFY(refusal(frames, 0, 1).contains("65536"));
    TZLT_FrameList many; // frame numbers are 16-bit
    for (int f = 0; f < 65536; ++f)
        many.Add(MakeFrame({{1, 1, 1, 1, 1}}));
    QVERIFY(refusal(many, 0, 65536).contains("65536"));
    QCOMPARE(Read(WriteBytes(many, 1, 65535, TZLT_Pal(), TFormat::Indexed3D)).Frames.Count(), 32767);
}

void TestIlda::standardColours_data()
{
    QTest::addColumn<QList<int>>("colour"); // red, green, blue of palette entry 0
    QTest::addColumn<int>("status");        // its point's status in the file: blanking and index
    // The standard's own colours, wherever they stand in it.
    QTest::newRow("red") << QList<int>{255, 0, 0} << 0;
    QTest::newRow("orange") << QList<int>{255, 128, 0} << 8;
    QTest::newRow("green") << QList<int>{0, 255, 0} << 24;
    QTest::newRow("blue") << QList<int>{0, 0, 255} << 40;
    QTest::newRow("magenta") << QList<int>{255, 0, 255} << 48;
    QTest::newRow("white") << QList<int>{255, 255, 255} << 56;
    QTest::newRow("last") << QList<int>{255, 32, 32} << 63;
    // Between two of them: the lower index.
    QTest::newRow("tie of 0 and 1") << QList<int>{255, 8, 0} << 0;
    QTest::newRow("tie of 1 and 2") << QList<int>{255, 24, 0} << 1;
    QTest::newRow("tie of 24 and 25") << QList<int>{0, 255, 18} << 24;
    // Nearest, in squared distance.
    QTest::newRow("dark blue") << QList<int>{0, 0, 160} << 40;
    QTest::newRow("grey blue") << QList<int>{128, 128, 192} << 59;
    QTest::newRow("light blue") << QList<int>{0, 128, 192} << 35;
    QTest::newRow("green with a little blue") << QList<int>{0, 255, 64} << 26;
    QTest::newRow("brown") << QList<int>{200, 100, 50} << 62;
    // Black ties red, green and blue, and no reader would show it dark: blanked.
    QTest::newRow("black") << QList<int>{0, 0, 0} << (64 | 0);
    QTest::newRow("almost black stays visible") << QList<int>{1, 0, 0} << 0;
}

void TestIlda::standardColours()
{
    QFETCH(QList<int>, colour);
    QFETCH(int, status);
    const TZLT_Pal pal = Pal({{0, {colour[0], colour[1], colour[2]}}});
    TZLT_FrameList frames;
    frames.Add(MakeFrame({{7, 7, 7, 0, 0}, {8, 8, 8, 64, 0}})); // visible, then blanked
    for (const TFormat format : {TFormat::Indexed2D, TFormat::Indexed3D}) {
        const QByteArray bytes = WriteBytes(frames, 0, 1, pal, format, TPaletteSection::Standard);
        const int size = format == TFormat::Indexed2D ? 6 : 8;
        QCOMPARE(bytes.size(), 32 + 2 * size + 32); // no palette section
        QCOMPARE(bytes.at(32 + size - 2), char(status & 64));
        QCOMPARE(bytes.at(32 + size - 1), char(status & 63));
        QCOMPARE(bytes.at(32 + 2 * size - 2), char(0x80 | 64));
        QCOMPARE(bytes.at(32 + 2 * size - 1), char(status & 63));
    }
}

void TestIlda::roundTrips_data()
{
    QTest::addColumn<TFormat>("format");
    QTest::addColumn<TPaletteSection>("section");
    QTest::addColumn<TZLT_Pal>("palette");
    // The built-in palette repeats colours; the second has black twice and
    // one more pair; the third is random.
    QByteArray bytes(576, 0);
    QRandomGenerator random(99);
    for (char& c : bytes)
        c = char(random.bounded(256));
    TZLT_Pal randomPal;
    randomPal.LoadFromBytes(bytes, QStringLiteral("random"));
    const TZLT_Pal withBlack =
        Pal({{0, {0, 0, 0}}, {7, {0, 0, 0}}, {8, {1, 2, 3}}, {9, {1, 2, 3}}, {10, {5, 0, 0}}});
    const TPaletteSection included = TPaletteSection::Included, standard = TPaletteSection::Standard;
    const struct
    {
        const char* Name;
        TFormat Format;
        TPaletteSection Section;
    } kinds[] = {{"indexed", TFormat::Indexed3D, included},
                 {"indexed 2D", TFormat::Indexed2D, included},
                 {"indexed, standard colours", TFormat::Indexed3D, standard},
                 {"indexed 2D, standard colours", TFormat::Indexed2D, standard},
                 {"true colour", TFormat::TrueColor3D, included},
                 {"true colour 2D", TFormat::TrueColor2D, included}};
    for (const auto& kind : kinds) {
        QTest::addRow("%s, built-in palette", kind.Name) << kind.Format << kind.Section << TZLT_Pal();
        QTest::addRow("%s, black and pairs", kind.Name) << kind.Format << kind.Section << withBlack;
        QTest::addRow("%s, random palette", kind.Name) << kind.Format << kind.Section << randomPal;
    }
}

void TestIlda::roundTrips()
{
    QFETCH(TFormat, format);
    QFETCH(TPaletteSection, section);
    QFETCH(TZLT_Pal, palette);
    const TZLT_FrameList frames = RandomFrames(7, 40, 300);
    const QString name = FDir.filePath(QStringLiteral("round trip.ild"));
    WriteFile(name, frames, 0, frames.Count(), palette, format, section);
    QCOMPARE(DataTest::ReadBytes(name),
             ZLT_Ilda::WriteBytes(frames, 0, frames.Count(), palette, format, section));
    const TReadResult back = ReadFile(name, palette);
    QCOMPARE(back.Warning, QString());
    QCOMPARE(back.Frames.Count(), 30); // the used ones
    const auto colourOf = [&](int i) {
        const TZLT_PalEntry& e = palette.GetEntry(i);
        return e.Red * 65536 + e.Green * 256 + e.Blue;
    };
    const auto distance = [](int a, int b) {
        const int dr = (a >> 16) - (b >> 16), dg = ((a >> 8) & 255) - ((b >> 8) & 255),
                  db = (a & 255) - (b & 255);
        return dr * dr + dg * dg + db * db;
    };
    // The palette's index nearest to a colour, the lowest on a tie.
    const auto nearest = [&](int colour, int (*colourAt)(int, const TZLT_Pal&)) {
        int best = 0;
        for (int k = 1; k < 64; ++k)
            if (distance(colour, colourAt(k, palette)) < distance(colour, colourAt(best, palette)))
                best = k;
        return best;
    };
    const auto inPalette = [](int k, const TZLT_Pal& pal) {
        const TZLT_PalEntry& e = pal.GetEntry(k);
        return e.Red * 65536 + e.Green * 256 + e.Blue;
    };
    const auto inStandard = [](int k, const TZLT_Pal&) { return int(StandardColour(k)); };
    const bool indexed = format == TFormat::Indexed3D || format == TFormat::Indexed2D;
    const bool flat = format == TFormat::Indexed2D || format == TFormat::TrueColor2D;
    for (int f = 0, g = 0; f < frames.Count(); ++f) {
        const TZLT_Frame& source = frames.GetFrame(f);
        if (!source.Used())
            continue;
        const TZLT_Frame& read = back.Frames.GetFrame(g++);
        QCOMPARE(read.Count(), source.Count());
        for (int i = 0; i < source.Count(); ++i) {
            const TZLT_Point& p = source.GetPoint(i);
            const TZLT_Point& q = read.GetPoint(i);
            const int colour = colourOf(p.ColorIndex());
            const bool blanked = p.Blanked() || colour == 0;
            int unique = 0;
            for (int k = 0; k < 64; ++k)
                unique += colourOf(k) == colour;
            // The index is kept where the rules say so; elsewhere any is right.
            const bool keeps = (indexed && section == TPaletteSection::Included) || (!blanked && unique == 1);
            int index = keeps ? p.ColorIndex() : q.ColorIndex();
            if (indexed && section == TPaletteSection::Standard) {
                // The standard's nearest colour, read back into the palette:
                // at its own index where the palette has it there.
                const int written = nearest(colour, inStandard);
                index = colourOf(written) == int(StandardColour(written))
                            ? written
                            : nearest(int(StandardColour(written)), inPalette);
            }
            QCOMPARE(q, TZLT_Point(p.X(), p.Y(), flat ? 0 : p.Z(), uint8_t(index | (blanked ? 64 : 0)), 0));
        }
    }
}

void TestIlda::failedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("syncFails"); // else a frame is too long for the file
    QTest::newRow("sync fails") << true;
    QTest::newRow("frame too long") << false;
}

void TestIlda::failedWriteKeepsTheOldFile()
{
    QFETCH(bool, syncFails);
    const QString folder = FDir.filePath(QStringLiteral("atomic %1").arg(syncFails));
    QVERIFY(QDir().mkpath(folder));
    const QString name = folder + QStringLiteral("/old.ild");
    DataTest::WriteBytes(name, "old");
    TZLT_FrameList frames = RandomFrames(3, 800, 1000); // 4.8 MB: written in more than one piece
    if (!syncFails)
        frames.GetFrame(700).AllPoints().assign(65536, TZLT_Point(1, 2, 3, 4, 5));
    const auto eio = [](int) {
        errno = EIO;
        return false;
    };
    const ZLT_Files::SyncFunction sync = ZLT_Files::SetSyncFunction(syncFails ? +eio : nullptr);
    const QString message = MessageOf<EZLT_File>(
        [&] { WriteFile(name, frames, 0, frames.Count(), TZLT_Pal(), TFormat::Indexed3D); });
    ZLT_Files::SetSyncFunction(sync);
    QCOMPARE(DataTest::ReadBytes(name), QByteArray("old"));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList("old.ild"));
    QVERIFY2(message.contains(QLatin1Char('\'') + name + QLatin1Char('\'')), qPrintable(message));
    QVERIFY2(
        message.contains(syncFails ? QString::fromLocal8Bit(std::strerror(EIO)) : QStringLiteral("65536")),
        qPrintable(message));
}

void TestIlda::progressAndCancel_data()
{
    QTest::addColumn<int>("job"); // read bytes, read file, write bytes, write file
    QTest::addColumn<int>("totalFactor");
    QTest::newRow("ReadBytes") << 0 << 1;
    QTest::newRow("ReadFile") << 1 << 1;
    QTest::newRow("WriteBytes") << 2 << 1;
    QTest::newRow("WriteFile") << 3 << 1;
}

void TestIlda::progressAndCancel()
{
    QFETCH(int, job);
    QFETCH(int, totalFactor);
    const TZLT_FrameList frames = RandomFrames(5, 1200, 1000); // about 9 MiB
    const QByteArray bytes = WriteBytes(frames, 0, frames.Count(), TZLT_Pal(), TFormat::TrueColor3D);
    const QString folder = FDir.filePath(QStringLiteral("progress %1").arg(job));
    QVERIFY(QDir().mkpath(folder));
    const QString name = folder + QStringLiteral("/show.ild");
    const QByteArray old = job == 3 ? QByteArray("old") : bytes;
    DataTest::WriteBytes(name, old);
    const auto run = [&](const TProgressFn& progress) {
        if (job == 0)
            ReadBytes(bytes, TZLT_Pal(), Name, progress);
        else if (job == 1)
            ReadFile(name, TZLT_Pal(), progress);
        else if (job == 2)
            WriteBytes(frames, 0, frames.Count(), TZLT_Pal(), TFormat::TrueColor3D, TPaletteSection::Included,
                       progress);
        else
            WriteFile(name, frames, 0, frames.Count(), TZLT_Pal(), TFormat::TrueColor3D,
                      TPaletteSection::Included, progress);
    };

    int calls = 0;
    QVERIFY(!MessageOf<EZLT_Aborted>([&] { run([&](qint64, qint64) { return ++calls < 3; }); }).isNull());
    QCOMPARE(calls, 3);
    QCOMPARE(DataTest::ReadBytes(name), old); // a cancelled write leaves the old file
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList("show.ild"));

    QList<qint64> done;
    run([&](qint64 d, qint64 total) {
        if (total != totalFactor * bytes.size() || d > total || (!done.isEmpty() && d <= done.last()))
            done << -1;
        done << d;
        return true;
    });
    QVERIFY(!done.contains(-1));
    // Rare, but often enough for a dialog: about every 256 KiB.
    QVERIFY2(done.size() >= totalFactor * bytes.size() / (1 << 20), qPrintable(QString::number(done.size())));
    QVERIFY2(done.size() <= totalFactor * bytes.size() / (128 << 10),
             qPrintable(QString::number(done.size())));
}

QTEST_GUILESS_MAIN(TestIlda)
#include "tst_data_ilda.moc"
