// Palettes: the built-in colours, palette files and entry lookup.

#include "DataTestSupport.h"

#include <QDir>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

using namespace DataTest;

// The built-in palette: red, green, blue and the six extra bytes of each index.
static const uint8_t Expected[64][9] = {
    {255, 255, 255, 255, 64, 84, 0, 0, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 101, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 255},
    {0, 255, 0, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 0, 255, 255},
    {0, 128, 192, 0, 101, 255, 0, 255, 255},
    {0, 0, 160, 0, 0, 32, 0, 255, 255},
    {128, 128, 192, 144, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 128, 255, 255, 92, 255, 98, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 134, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 255, 255, 255},
    {0, 128, 192, 0, 111, 255, 255, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 124, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 128, 255, 255, 85, 255, 255, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 134, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 255, 255, 255},
    {0, 128, 192, 0, 114, 255, 0, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 124, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 128, 255, 255, 88, 255, 124, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 111, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 255, 255, 255},
    {0, 128, 192, 0, 98, 255, 0, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 128, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 128, 255, 255, 114, 255, 124, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 150, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 255, 255, 255},
    {0, 128, 192, 0, 134, 255, 0, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 128, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 108, 255, 131, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 137, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 0, 255, 255},
    {0, 128, 192, 0, 121, 255, 0, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 144, 0, 255, 0, 255, 255},
};

static QByteArray EntryBytes(const TZLT_PalEntry& e)
{
    QByteArray bytes;
    bytes.append(char(e.Red)).append(char(e.Green)).append(char(e.Blue));
    for (uint8_t x : e.Extra)
        bytes.append(char(x));
    return bytes;
}

// A palette file whose record i is i, i+1, ..., i+8.
static QByteArray CountingPalette()
{
    QByteArray bytes;
    for (int i = 0; i < 64; ++i)
        for (int k = 0; k < 9; ++k)
            bytes.append(char(i + k));
    return bytes;
}

class TestPalette : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { CheckNoMessages(); }

    void newPaletteIsTheDefaultTable();
    void defaultColoursCycleWithThreeOddEntries();
    void loadDefaultRestoresTheTable();
    void fileSetsEveryEntry();
    void firstRecordRed();
    void wrongSizeRaisesAndChangesNothing_data();
    void wrongSizeRaisesAndChangesNothing();
    void missingOrDirectoryRaises_data();
    void missingOrDirectoryRaises();
    void getEntryRange_data();
    void getEntryRange();

private:
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QTemporaryDir FDir;
};

void TestPalette::initTestCase()
{
    InstallMessageTrap();
    QVERIFY(FDir.isValid());
}

void TestPalette::newPaletteIsTheDefaultTable()
{
    const TZLT_Pal pal;
    QCOMPARE(pal.Count(), 64);
    for (int i = 0; i < 64; ++i)
        QCOMPARE(EntryBytes(pal.GetEntry(i)).toHex(' '),
                 QByteArray(reinterpret_cast<const char*>(Expected[i]), 9).toHex(' '));
}

void TestPalette::defaultColoursCycleWithThreeOddEntries()
{
    // Colours repeat every 11 indices, except index 4, 7 and 54.
    const TZLT_Pal pal;
    const auto rgb = [&](int i) {
        const TZLT_PalEntry& e = pal.GetEntry(i);
        return QList<int>{e.Red, e.Green, e.Blue};
    };
    for (int i = 0; i < 64; ++i) {
        const int model = 11 + i % 11; // the second cycle has none of the odd ones
        if (i == 4)
            QCOMPARE(rgb(i), QList<int>({0, 255, 0}));
        else if (i == 7)
            QCOMPARE(rgb(i), QList<int>({0, 0, 160}));
        else if (i == 54)
            QCOMPARE(rgb(i), QList<int>({255, 0, 255}));
        else
            QCOMPARE(rgb(i), rgb(model));
    }
    QCOMPARE(rgb(15), QList<int>({0, 255, 64}));
    QCOMPARE(rgb(18), QList<int>({0, 0, 255}));
    QCOMPARE(rgb(21), QList<int>({255, 128, 255}));
}

void TestPalette::loadDefaultRestoresTheTable()
{
    const QString name = Path(QStringLiteral("counting.pal"));
    WriteBytes(name, CountingPalette());
    TZLT_Pal pal;
    QVERIFY(pal.LoadFromFile(name));
    QVERIFY(!(pal == TZLT_Pal()));
    pal.LoadDefault();
    QVERIFY(pal == TZLT_Pal());
}

void TestPalette::fileSetsEveryEntry()
{
    const QString name = Path(QStringLiteral("every.pal"));
    WriteBytes(name, CountingPalette());
    TZLT_Pal pal;
    QVERIFY(pal.LoadFromFile(name));
    for (int i = 0; i < 64; ++i)
        QCOMPARE(EntryBytes(pal.GetEntry(i)), CountingPalette().mid(9 * i, 9));
}

void TestPalette::firstRecordRed()
{
    const QString name = Path(QStringLiteral("red.pal"));
    WriteBytes(name, Hex("FF0000") + QByteArray(573, '\0'));
    TZLT_Pal pal;
    QVERIFY(pal.LoadFromFile(name));
    QCOMPARE(pal.GetEntry(0).Red, uint8_t(255));
    QCOMPARE(pal.GetEntry(0).Green, uint8_t(0));
    QCOMPARE(pal.GetEntry(0).Blue, uint8_t(0));
    QVERIFY(pal.GetEntry(63) == TZLT_PalEntry());
}

void TestPalette::wrongSizeRaisesAndChangesNothing_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("575") << 575;
    QTest::newRow("577") << 577;
    QTest::newRow("double") << 1152;
}

void TestPalette::wrongSizeRaisesAndChangesNothing()
{
    QFETCH(int, size);
    const QString good = Path(QStringLiteral("good.pal"));
    WriteBytes(good, CountingPalette());
    const QString name = Path(QStringLiteral("size %1.pal").arg(size));
    WriteBytes(name, QByteArray(size, char(0xEE)));

    TZLT_Pal pal;
    pal.LoadFromFile(good); // "unchanged" must not just mean "default"
    const TZLT_Pal before = pal;
    QCOMPARE(MessageOf<EZLT_Pal_Load>([&] { pal.LoadFromFile(name); }),
             QStringLiteral("Invalid File : '%1'").arg(name));
    QVERIFY(pal == before);
    QCOMPARE(MessageOf<EZLT_Pal_Load>([&] { pal.LoadFromBytes(QByteArray(size, 'x'), QStringLiteral("p")); }),
             QStringLiteral("Invalid File : 'p'"));
    QVERIFY(pal == before);
}

void TestPalette::missingOrDirectoryRaises_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("no such.pal");
    QTest::newRow("directory") << QStringLiteral("folder.pal");
}

void TestPalette::missingOrDirectoryRaises()
{
    QFETCH(QString, name);
    QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("folder.pal")));
    const QString path = Path(name);
    TZLT_Pal pal;
    WriteBytes(Path(QStringLiteral("c.pal")), CountingPalette());
    pal.LoadFromFile(Path(QStringLiteral("c.pal")));
    const TZLT_Pal before = pal;
    const QString message = MessageOf<EZLT_Error>([&] { pal.LoadFromFile(path); });
    QVERIFY2(message.contains(QLatin1Char('\'') + path + QLatin1Char('\'')), qPrintable(message));
    QVERIFY(pal == before);
}

void TestPalette::getEntryRange_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("message"); // empty: no error
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("63") << 63 << QString();
    QTest::newRow("64") << 64 << "Index (64) outside range 1..63";
    QTest::newRow("1000") << 1000 << "Index (1000) outside range 1..63";
    QTest::newRow("-1") << -1 << "List index -1 out of bounds (0..63)";
}

void TestPalette::getEntryRange()
{
    QFETCH(int, index);
    QFETCH(QString, message);
    const QString name = Path(QStringLiteral("range.pal"));
    WriteBytes(name, CountingPalette());
    TZLT_Pal pal;
    pal.LoadFromFile(name);
    if (message.isEmpty()) {
        QCOMPARE(EntryBytes(pal.GetEntry(index)), CountingPalette().mid(9 * index, 9));
        return;
    }
    QCOMPARE(MessageOf<EZLT_Error>([&] { pal.GetEntry(index); }), message);
    if (index < 0) // the list's own index error
        QCOMPARE(MessageOf<EZLT_Index>([&] { pal.GetEntry(index); }), message);
}

QTEST_GUILESS_MAIN(TestPalette)
#include "tst_data_palette.moc"
