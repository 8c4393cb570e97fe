// Catalog files: layout, short and long files, round trips, load errors.

#include "DataTestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace DataTest;

static constexpr int Slots = TZLT_Cat::SlotCount;

// One frame block: flag byte, little-endian count, records.
static QByteArray Block(const QList<TZLT_Point>& points, char flag = 0)
{
    QByteArray block;
    block.append(flag);
    block.append(char(points.size() & 0xFF));
    block.append(char(points.size() >> 8));
    for (const TZLT_Point& p : points) {
        for (int16_t v : {p.X(), p.Y(), p.Z()}) {
            block.append(char(uint16_t(v) & 0xFF));
            block.append(char(uint16_t(v) >> 8));
        }
        block.append(char(p.Status()));
        block.append(char(p.Aux()));
    }
    return block;
}

static QList<TZLT_Point> PointsOf(const TZLT_Frame& frame)
{
    return QList<TZLT_Point>(frame.AllPoints().begin(), frame.AllPoints().end());
}

// Slots whose frames differ from empty, as slot -> point count.
static QMap<int, int> UsedSlots(const TZLT_Cat& cat)
{
    QMap<int, int> used;
    for (int slot = 0; slot < cat.Frames.Count(); ++slot)
        if (cat.Frames.GetFrame(slot).Count() > 0)
            used.insert(slot, cat.Frames.GetFrame(slot).Count());
    return used;
}

class TestCatalog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { CheckNoMessages(); }

    void newCatalogHasEveryEmptySlot();
    void newCatalogSavesZeroBytes();
    void onePointExampleSaves();
    void onePointExampleLoads();
    void tinyFilesAndTailsLoad_data();
    void tinyFilesAndTailsLoad();
    void tenBlocksFillTenSlots();
    void blocksBeyondTheLastSlotAreIgnored();
    void flagByteIsReadPastAndWrittenAsZero();
    void largestFrameRoundTrips();
    void truncatedAtEveryOffset();
    void countBeyondTheDataAllocatesNothingForIt();
    void loadingAppendsToWhatTheSlotsHold();
    void largeCatalogCrossesWriteChunks();
    void randomRoundTripIsExact_data();
    void randomRoundTripIsExact();
    void missingOrDirectoryRaises_data();
    void missingOrDirectoryRaises();
    void deviceIsNotReadForever();

private:
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QTemporaryDir FDir;
};

void TestCatalog::initTestCase()
{
    InstallMessageTrap();
    QVERIFY(FDir.isValid());
}

void TestCatalog::newCatalogHasEveryEmptySlot()
{
    const TZLT_Cat cat;
    QCOMPARE(cat.Frames.Count(), 32767);
    QVERIFY(UsedSlots(cat).isEmpty());
    // Distinct frame objects, one per slot.
    QVERIFY(&cat.Frames.GetFrame(0) != &cat.Frames.GetFrame(32766));
}

void TestCatalog::newCatalogSavesZeroBytes()
{
    const QString name = Path(QStringLiteral("new.cat"));
    TZLT_Cat().SaveToFile(name);
    const QByteArray bytes = ReadBytes(name);
    QCOMPARE(bytes.size(), 98301);
    QCOMPARE(bytes.count('\0'), 98301);

    TZLT_Cat back;
    back.LoadFromFile(name);
    QCOMPARE(back.Frames.Count(), 32767);
    QVERIFY(UsedSlots(back).isEmpty());
}

static QByteArray OnePointExample()
{
    return Hex("000100"
               "0100FEFF03000500") +
           QByteArray(3 * 32766, '\0');
}

void TestCatalog::onePointExampleSaves()
{
    TZLT_Cat cat;
    cat.Frames.GetFrame(0).Add(TZLT_Point(1, -2, 3, 5, 0));
    const QString name = Path(QStringLiteral("one.cat"));
    cat.SaveToFile(name);
    const QByteArray bytes = ReadBytes(name);
    QCOMPARE(bytes.size(), 98309);
    QCOMPARE(bytes.left(11).toHex(' '), OnePointExample().left(11).toHex(' '));
    QVERIFY(bytes == OnePointExample());
    QVERIFY(cat.ToBytes() == OnePointExample());
}

void TestCatalog::onePointExampleLoads()
{
    const QString name = Path(QStringLiteral("one-in.cat"));
    WriteBytes(name, OnePointExample());
    TZLT_Cat cat;
    cat.LoadFromFile(name);
    QCOMPARE(cat.Frames.Count(), 32767);
    QCOMPARE(UsedSlots(cat), (QMap<int, int>{{0, 1}}));
    QCOMPARE(cat.Frames.GetFrame(0).GetPoint(0), TZLT_Point(1, -2, 3, 5, 0));
}

void TestCatalog::tinyFilesAndTailsLoad_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("0 bytes") << QByteArray();
    QTest::newRow("1 byte") << Hex("07");
    QTest::newRow("1 byte after a block") << Block({{1, 1, 1, 1, 1}}) + Hex("FF");
}

void TestCatalog::tinyFilesAndTailsLoad()
{
    QFETCH(QByteArray, bytes);
    const QString name = Path(QStringLiteral("tiny.cat"));
    WriteBytes(name, bytes);
    TZLT_Cat cat;
    cat.LoadFromFile(name);
    QCOMPARE(cat.Frames.Count(), 32767);
    const QMap<int, int> expected = bytes.size() > 1 ? QMap<int, int>{{0, 1}} : QMap<int, int>{};
    QCOMPARE(UsedSlots(cat), expected);
}

void TestCatalog::tenBlocksFillTenSlots()
{
    QByteArray bytes;
    for (int slot = 0; slot < 10; ++slot) {
        QList<TZLT_Point> points;
        for (int i = 0; i < slot % 4; ++i)
            points.append(
                TZLT_Point(int16_t(slot), int16_t(-i), int16_t(i * 1000), uint8_t(i), uint8_t(slot)));
        bytes += Block(points);
    }
    TZLT_Cat cat;
    cat.LoadFromBytes(bytes);
    QCOMPARE(cat.Frames.Count(), 32767);
    QCOMPARE(UsedSlots(cat), (QMap<int, int>{{1, 1}, {2, 2}, {3, 3}, {5, 1}, {6, 2}, {7, 3}, {9, 1}}));
    QCOMPARE(cat.Frames.GetFrame(7).GetPoint(2), TZLT_Point(7, -2, 2000, 2, 7));
}

void TestCatalog::blocksBeyondTheLastSlotAreIgnored()
{
    QByteArray bytes;
    for (int slot = 0; slot < Slots - 1; ++slot)
        bytes += Block({});
    bytes += Block({{66, 66, 66, 66, 66}});                  // slot 32766
    bytes += Block({{77, 77, 77, 77, 77}, {1, 1, 1, 1, 1}}); // a 32768th block
    bytes += Block({{88, 88, 88, 88, 88}});
    TZLT_Cat cat;
    cat.LoadFromBytes(bytes);
    QCOMPARE(cat.Frames.Count(), 32767);
    QCOMPARE(UsedSlots(cat), (QMap<int, int>{{32766, 1}}));
    QCOMPARE(cat.Frames.GetFrame(32766).GetPoint(0), TZLT_Point(66, 66, 66, 66, 66));
}

void TestCatalog::flagByteIsReadPastAndWrittenAsZero()
{
    const QByteArray bytes =
        Block({{1, 2, 3, 4, 5}}, char(0xAB)) + Block({}, char(0x01)) + Block({{6, 7, 8, 9, 10}}, char(0xFF));
    TZLT_Cat cat;
    cat.LoadFromBytes(bytes);
    QCOMPARE(UsedSlots(cat), (QMap<int, int>{{0, 1}, {2, 1}}));
    QCOMPARE(cat.Frames.GetFrame(2).GetPoint(0), TZLT_Point(6, 7, 8, 9, 10));
    const QByteArray written = cat.ToBytes();
    QVERIFY(written.startsWith(Block({{1, 2, 3, 4, 5}}) + Block({}) + Block({{6, 7, 8, 9, 10}})));
}

void TestCatalog::largestFrameRoundTrips()
{
    TZLT_Cat cat;
    TZLT_Frame& frame = cat.Frames.GetFrame(5);
    for (int i = 0; i < 65535; ++i)
        frame.Add(TZLT_Point(int16_t(i), int16_t(-i), int16_t(i * 7), uint8_t(i), uint8_t(i >> 8)));
    const QString name = Path(QStringLiteral("largest.cat"));
    cat.SaveToFile(name);
    const QByteArray bytes = ReadBytes(name);
    QCOMPARE(bytes.size(), 98301 + 8 * 65535);
    QCOMPARE(bytes.mid(15, 3).toHex(' '), QByteArray("00 ff ff"));

    TZLT_Cat back;
    back.LoadFromFile(name);
    QCOMPARE(UsedSlots(back), (QMap<int, int>{{5, 65535}}));
    QVERIFY(back.Frames.GetFrame(5) == frame);
}

void TestCatalog::truncatedAtEveryOffset()
{
    // Slot 0: one point; slot 1: empty; slot 2: two points. 33 bytes.
    const TZLT_Point a(1, 2, 3, 4, 5), b(-1, -2, -3, 200, 6), c(32767, -32768, 7, 64, 255);
    const QByteArray bytes = Block({a}) + Block({}) + Block({b, c});
    QCOMPARE(bytes.size(), 33);
    for (int length = 0; length <= bytes.size(); ++length) {
        // A record is kept exactly when the data holds all of it.
        QList<TZLT_Point> slot0, slot2;
        if (length >= 11)
            slot0 << a;
        if (length >= 25)
            slot2 << b;
        if (length >= 33)
            slot2 << c;
        TZLT_Cat cat;
        cat.LoadFromBytes(QByteArrayView(bytes).first(length));
        QCOMPARE(cat.Frames.Count(), 32767);
        QCOMPARE(PointsOf(cat.Frames.GetFrame(0)), slot0);
        QCOMPARE(PointsOf(cat.Frames.GetFrame(2)), slot2);
        QMap<int, int> used;
        if (!slot0.isEmpty())
            used.insert(0, slot0.size());
        if (!slot2.isEmpty())
            used.insert(2, slot2.size());
        QCOMPARE(UsedSlots(cat), used);
    }
    // The same through a file.
    const QString name = Path(QStringLiteral("cut.cat"));
    WriteBytes(name, bytes.left(27));
    TZLT_Cat cat;
    cat.LoadFromFile(name);
    QCOMPARE(UsedSlots(cat), (QMap<int, int>{{0, 1}, {2, 1}}));
}

void TestCatalog::countBeyondTheDataAllocatesNothingForIt()
{
    // Slot 1 promises 65535 points and holds one.
    const QByteArray bytes = Block({{1, 1, 1, 1, 1}}) + Hex("00 FFFF") + Block({{2, 2, 2, 2, 2}}).mid(3);
    TZLT_Cat cat;
    cat.LoadFromBytes(bytes);
    QCOMPARE(UsedSlots(cat), (QMap<int, int>{{0, 1}, {1, 1}}));
    QVERIFY2(cat.Frames.GetFrame(1).AllPoints().capacity() <= 1,
             qPrintable(QString::number(cat.Frames.GetFrame(1).AllPoints().capacity())));
}

void TestCatalog::loadingAppendsToWhatTheSlotsHold()
{
    TZLT_Cat cat;
    cat.Frames.GetFrame(0).Add(TZLT_Point(9, 9, 9, 9, 9));
    cat.Frames.GetFrame(3).Add(TZLT_Point(8, 8, 8, 8, 8));
    cat.LoadFromBytes(Block({{1, 2, 3, 4, 5}}));
    QCOMPARE(PointsOf(cat.Frames.GetFrame(0)), (QList<TZLT_Point>{{9, 9, 9, 9, 9}, {1, 2, 3, 4, 5}}));
    QCOMPARE(PointsOf(cat.Frames.GetFrame(3)), (QList<TZLT_Point>{{8, 8, 8, 8, 8}}));
}

void TestCatalog::largeCatalogCrossesWriteChunks()
{
    // Over 16 MiB: the writer's pieces of a few MiB end inside headers and
    // records, and the gathered file writes hand over many frames at once.
    TZLT_Cat cat;
    qint64 points = 0;
    for (int slot = 0; slot < 400; ++slot) {
        TZLT_Frame& frame = cat.Frames.GetFrame(slot * 80);
        const int count = 5000 + slot * 7;
        for (int i = 0; i < count; ++i)
            frame.Add(TZLT_Point(int16_t(slot), int16_t(i), int16_t(-i), uint8_t(i * 3), uint8_t(slot ^ i)));
        points += count;
    }
    const QString name = Path(QStringLiteral("large.cat"));
    cat.SaveToFile(name);
    const QByteArray bytes = ReadBytes(name);
    QCOMPARE(bytes.size(), 98301 + 8 * points);
    QVERIFY(bytes == cat.ToBytes());
    // Any device gets the same bytes.
    QByteArray written;
    QBuffer buffer(&written);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    cat.WriteTo(buffer);
    QVERIFY(written == bytes);
    TZLT_Cat back;
    back.LoadFromBytes(bytes);
    for (int slot = 0; slot < Slots; ++slot)
        if (!(back.Frames.GetFrame(slot) == cat.Frames.GetFrame(slot)))
            QFAIL(qPrintable(QStringLiteral("slot %1 differs").arg(slot)));
}

void TestCatalog::randomRoundTripIsExact_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {7u, 99u, 123456789u})
        QTest::newRow(qPrintable(QString::number(seed))) << seed;
}

void TestCatalog::randomRoundTripIsExact()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    TZLT_Cat cat;
    qint64 points = 0;
    for (int used = 0; used < 300; ++used) {
        // Both ends of the catalog always, the rest anywhere.
        const int slot = used == 0 ? 0 : used == 1 ? Slots - 1 : random.bounded(Slots);
        TZLT_Frame& frame = cat.Frames.GetFrame(slot);
        const int count = 1 + random.bounded(200);
        for (int i = 0; i < count && frame.Count() < TZLT_Frame::MaxPoints; ++i, ++points)
            frame.Add(TZLT_Point(int16_t(random.bounded(65536) - 32768),
                                 int16_t(random.bounded(65536) - 32768),
                                 int16_t(random.bounded(65536) - 32768), uint8_t(random.bounded(256)),
                                 uint8_t(random.bounded(256))));
    }
    const QString name = Path(QStringLiteral("random-%1.cat").arg(seed));
    cat.SaveToFile(name);
    const QByteArray bytes = ReadBytes(name);
    QCOMPARE(bytes.size(), 98301 + 8 * points);

    TZLT_Cat back;
    back.LoadFromFile(name);
    QCOMPARE(back.Frames.Count(), 32767);
    for (int slot = 0; slot < Slots; ++slot)
        if (!(back.Frames.GetFrame(slot) == cat.Frames.GetFrame(slot)))
            QFAIL(qPrintable(QStringLiteral("slot %1 differs").arg(slot)));
    QVERIFY(back.ToBytes() == bytes);
}

void TestCatalog::missingOrDirectoryRaises_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("no such.cat");
    QTest::newRow("directory") << QStringLiteral("folder.cat");
}

void TestCatalog::missingOrDirectoryRaises()
{
    QFETCH(QString, name);
    QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("folder.cat")));
    const QString path = Path(name);
    TZLT_Cat cat;
    cat.Frames.GetFrame(4).Add(TZLT_Point(1, 2, 3, 4, 5));
    QCOMPARE(MessageOf<EZLT_Cat_Load>([&] { cat.LoadFromFile(path); }),
             QStringLiteral("File does not exist: '%1'").arg(path));
    QCOMPARE(UsedSlots(cat), (QMap<int, int>{{4, 1}}));
}

void TestCatalog::deviceIsNotReadForever()
{
    const QString device = QStringLiteral("/dev/zero");
    if (!QFile::exists(device))
        QSKIP("no /dev/zero here");
    TZLT_Cat cat;
    const QString message = MessageOf<EZLT_Error>([&] { cat.LoadFromFile(device); });
    QVERIFY2(message.contains(device), qPrintable(message));
    QVERIFY(UsedSlots(cat).isEmpty());
}

QTEST_GUILESS_MAIN(TestCatalog)
#include "tst_data_catalog.moc"
