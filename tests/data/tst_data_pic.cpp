// Picture files: byte layout, coordinate forms, status chain, short files.

#include "DataTestSupport.h"

#include <QDir>
#include <QObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace DataTest;

// The frame and the bytes of the two-point worked example.
static std::unique_ptr<TZLT_Frame> ExampleFrame()
{
    return MakeFrame({{100, 200, 0, 69, 3}, {-100, -200, -1, 7, 0}});
}
static const char* const ExampleHex = "0005000000000002000100000000"
                                      "06070064FF380000"
                                      "0080FF9D00C70000";

class TestPic : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { CheckNoMessages(); }

    void workedExampleSaves();
    void exportWritesWhatSaveWrites();
    void workedExampleLoads();
    void auxLosesItsTopBit();
    void statusTravelsInThePreviousRecord();
    void onePointFile();
    void zeroPointFileClearsTheFrame();
    void coordinateForms_data();
    void coordinateForms();
    void smallestFileValues();
    void emptyFrameWritesNoFile();
    void truncatedAtEveryOffset();
    void countBeyondTheDataAllocatesNothingForIt();
    void randomRoundTrips_data();
    void randomRoundTrips();
    void missingOrDirectoryRaises_data();
    void missingOrDirectoryRaises();
    void deviceIsNotReadForever();

private:
    QString Path(const QString& name) const { return FDir.filePath(name); }
    QTemporaryDir FDir;
};

void TestPic::initTestCase()
{
    InstallMessageTrap();
    QVERIFY(FDir.isValid());
}

void TestPic::workedExampleSaves()
{
    const QString name = Path(QStringLiteral("example.pic"));
    ExampleFrame()->SaveToPicFile(name);
    const QByteArray bytes = ReadBytes(name);
    QCOMPARE(bytes.size(), 30);
    QCOMPARE(bytes.toHex(' '), Hex(ExampleHex).toHex(' '));
}

void TestPic::exportWritesWhatSaveWrites()
{
    // Bulk export skips the temporary copy, not a single byte of the format.
    const QString name = Path(QStringLiteral("exported.pic"));
    WriteBytes(name, QByteArray(100, 'x')); // replaced, not merely overwritten at the front
    ExampleFrame()->ExportToPicFile(name);
    QCOMPARE(ReadBytes(name).toHex(' '), Hex(ExampleHex).toHex(' '));

    const QByteArray old = ReadBytes(name);
    TZLT_Frame().ExportToPicFile(name);
    QCOMPARE(ReadBytes(name), old);

    const QString missingFolder = Path(QStringLiteral("no-such-folder/00001.pic"));
    const QString message = MessageOf<EZLT_File>([&] { ExampleFrame()->ExportToPicFile(missingFolder); });
    QVERIFY2(message.contains(missingFolder), qPrintable(message));
}

void TestPic::workedExampleLoads()
{
    const QString name = Path(QStringLiteral("example-in.pic"));
    WriteBytes(name, Hex(ExampleHex));
    TZLT_Frame frame;
    frame.Add(TZLT_Point(5, 5, 5, 5, 5)); // replaced, not appended to
    frame.LoadFromPicFile(name);
    QCOMPARE(frame.Count(), 2);
    QCOMPARE(frame.GetPoint(0), TZLT_Point(100, 200, -1, 192, 3));
    QCOMPARE(frame.GetPoint(1), TZLT_Point(-100, -200, -1, 7, 0));
}

void TestPic::auxLosesItsTopBit()
{
    const QString name = Path(QStringLiteral("aux.pic"));
    MakeFrame({{0, 0, 0, 0, 200}, {1, 1, 1, 0, 127}, {2, 2, 2, 0, 128}})->SaveToPicFile(name);
    TZLT_Frame frame;
    frame.LoadFromPicFile(name);
    QCOMPARE(frame.Count(), 3);
    QCOMPARE(frame.GetPoint(0).Aux(), uint8_t(72));
    QCOMPARE(frame.GetPoint(1).Aux(), uint8_t(127));
    QCOMPARE(frame.GetPoint(2).Aux(), uint8_t(0));
}

void TestPic::statusTravelsInThePreviousRecord()
{
    auto source = MakeFrame({{0, 0, 0, 5, 0}, {0, 0, 0, 70, 0}, {0, 0, 0, 134, 0}, {0, 0, 0, 255, 0}});
    const QByteArray bytes = source->ToPicBytes();
    QCOMPARE(bytes.size(), 14 + 4 * 8);
    QCOMPARE(uint8_t(bytes[14 + 1]), uint8_t(70));
    QCOMPARE(uint8_t(bytes[22 + 1]), uint8_t(134));
    QCOMPARE(uint8_t(bytes[30 + 1]), uint8_t(255));
    QCOMPARE(uint8_t(bytes[38 + 1]), uint8_t(128));

    TZLT_Frame frame;
    frame.LoadFromPicBytes(bytes, QStringLiteral("chain"));
    QCOMPARE(frame.GetPoint(0).Status(), uint8_t(192)); // the first point's status is not stored
    QCOMPARE(frame.GetPoint(1).Status(), uint8_t(70));
    QCOMPARE(frame.GetPoint(2).Status(), uint8_t(134));
    QCOMPARE(frame.GetPoint(3).Status(), uint8_t(255));
}

void TestPic::onePointFile()
{
    const QString name = Path(QStringLiteral("one.pic"));
    MakeFrame({{-7, 7, 300, 33, 1}})->SaveToPicFile(name);
    QCOMPARE(ReadBytes(name).toHex(' '), Hex("0005 00000000 0001 0001 00000000"
                                             "02 80 FFFA FFF9 012C")
                                             .toHex(' '));
    TZLT_Frame frame;
    frame.LoadFromPicFile(name);
    QCOMPARE(frame.Count(), 1);
    QCOMPARE(frame.GetPoint(0), TZLT_Point(-7, 7, 300, 192, 1));
}

void TestPic::zeroPointFileClearsTheFrame()
{
    const QString name = Path(QStringLiteral("zero.pic"));
    WriteBytes(name, Hex("0005000000000000000100000000"));
    TZLT_Frame frame;
    frame.Add(TZLT_Point(1, 2, 3, 4, 5));
    frame.LoadFromPicFile(name);
    QCOMPARE(frame.Count(), 0);
    QCOMPARE(frame.AllPoints().capacity(), size_t(0)); // the old points are freed
}

void TestPic::coordinateForms_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("fileXZ");
    QTest::addColumn<int>("readXZ");
    QTest::addColumn<int>("fileY");
    QTest::addColumn<int>("readY");
    QTest::newRow("-32768") << -32768 << -32767 << -32768 << 32767 << -32768;
    QTest::newRow("-2") << -2 << -1 << -2 << 1 << -2;
    QTest::newRow("-1") << -1 << 0 << -1 << 0 << 0;
    QTest::newRow("0") << 0 << 0 << -1 << 0 << 0;
    QTest::newRow("1") << 1 << 1 << 1 << -1 << 1;
    QTest::newRow("32767") << 32767 << 32767 << 32767 << -32767 << 32767;
}

void TestPic::coordinateForms()
{
    QFETCH(int, value);
    QFETCH(int, fileXZ);
    QFETCH(int, readXZ);
    QFETCH(int, fileY);
    QFETCH(int, readY);
    const int16_t v = int16_t(value);
    // Two points, so the coordinate also sits in a record that is not the first.
    auto frame = MakeFrame({{v, v, v, 0, 0}, {v, v, v, 0, 0}});
    const QByteArray bytes = frame->ToPicBytes();
    const auto be16 = [&](int offset) {
        return int(int16_t((uint8_t(bytes[offset]) << 8) | uint8_t(bytes[offset + 1])));
    };
    for (int record : {14, 22}) {
        QCOMPARE(be16(record + 2), fileXZ);
        QCOMPARE(be16(record + 4), fileY);
        QCOMPARE(be16(record + 6), fileXZ);
    }
    TZLT_Frame back;
    back.LoadFromPicBytes(bytes, QStringLiteral("forms"));
    QCOMPARE(back.Count(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(int(back.GetPoint(i).X()), readXZ);
        QCOMPARE(int(back.GetPoint(i).Y()), readY);
        QCOMPARE(int(back.GetPoint(i).Z()), readXZ);
    }
}

void TestPic::smallestFileValues()
{
    // -32768 (8000) is never written, but a file may hold it.
    TZLT_Frame frame;
    frame.LoadFromPicBytes(Hex("0005000000000001000100000000"
                               "0080 8000 8000 8000"),
                           QStringLiteral("min"));
    QCOMPARE(frame.Count(), 1);
    QCOMPARE(frame.GetPoint(0).X(), int16_t(32767));
    QCOMPARE(frame.GetPoint(0).Y(), int16_t(-32768));
    QCOMPARE(frame.GetPoint(0).Z(), int16_t(32767));
}

void TestPic::emptyFrameWritesNoFile()
{
    const QString absent = Path(QStringLiteral("never.pic"));
    TZLT_Frame empty;
    empty.SaveToPicFile(absent);
    QVERIFY(!QFile::exists(absent));

    const QString existing = Path(QStringLiteral("kept.pic"));
    const QByteArray old = Hex(ExampleHex) + "trailing";
    WriteBytes(existing, old);
    empty.SaveToPicFile(existing);
    QCOMPARE(ReadBytes(existing), old);
}

void TestPic::truncatedAtEveryOffset()
{
    auto full = MakeFrame({{1, 2, 3, 9, 4}, {-5, -6, -7, 66, 8}, {300, -300, 0, 130, 127}});
    const QByteArray bytes = full->ToPicBytes();
    TZLT_Frame complete;
    complete.LoadFromPicBytes(bytes, QStringLiteral("full"));
    QCOMPARE(complete.Count(), 3);

    for (int length = 0; length <= bytes.size(); ++length) {
        const QString name = Path(QStringLiteral("cut-%1.pic").arg(length));
        WriteBytes(name, bytes.left(length));
        TZLT_Frame frame;
        frame.Add(TZLT_Point(42, 42, 42, 42, 42));
        if (length < 14) {
            // No header: an error that names the file, and the frame stays.
            const QString message = MessageOf<EZLT_File>([&] { frame.LoadFromPicFile(name); });
            QVERIFY2(message.contains(name), qPrintable(QStringLiteral("%1: %2").arg(length).arg(message)));
            QCOMPARE(frame.Count(), 1);
            continue;
        }
        frame.LoadFromPicFile(name);
        const int kept = (length - 14) / 8; // complete records only
        QCOMPARE(frame.Count(), kept);
        for (int i = 0; i < kept; ++i)
            QCOMPARE(frame.GetPoint(i), complete.GetPoint(i));
    }
}

void TestPic::countBeyondTheDataAllocatesNothingForIt()
{
    // The header promises 65535 points; two records follow.
    TZLT_Frame frame;
    frame.LoadFromPicBytes(Hex("00050000 0000 FFFF 0001 00000000"
                               "0205 0001 0002 0003"
                               "0406 0004 0005 0006 00"),
                           QStringLiteral("promise"));
    QCOMPARE(frame.Count(), 2);
    QVERIFY2(frame.AllPoints().capacity() <= 2, qPrintable(QString::number(frame.AllPoints().capacity())));
    QCOMPARE(frame.GetPoint(1), TZLT_Point(4, -6, 6, 5, 2));
}

void TestPic::randomRoundTrips_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 4u, 5u, 20240601u, 4294967295u})
        QTest::newRow(qPrintable(QString::number(seed))) << seed;
}

void TestPic::randomRoundTrips()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    const QString name = Path(QStringLiteral("random-%1.pic").arg(seed));
    for (int round = 0; round < 20; ++round) {
        const int count = 1 + random.bounded(round == 0 ? 65535 : 400);
        // Extreme values often, so the special cases come up.
        const auto coordinate = [&]() -> int16_t {
            static const int16_t special[] = {-32768, -1, 0, 1, 32767};
            return random.bounded(4) == 0 ? special[random.bounded(5)]
                                          : int16_t(random.bounded(65536) - 32768);
        };
        TZLT_Frame source;
        for (int i = 0; i < count; ++i)
            source.Add(TZLT_Point(coordinate(), coordinate(), coordinate(), uint8_t(random.bounded(256)),
                                  uint8_t(random.bounded(256))));
        source.SaveToPicFile(name);
        QCOMPARE(ReadBytes(name).size(), 14 + 8 * count);
        TZLT_Frame back;
        back.LoadFromPicFile(name);
        QCOMPARE(back.Count(), count);
        for (int i = 0; i < count; ++i) {
            const TZLT_Point& p = source.GetPoint(i);
            // The documented losses: X and Z 0 come back as -1, Y -1 as 0,
            // the first status as 192, and the top bit of Aux.
            const TZLT_Point expected(p.X() == 0 ? int16_t(-1) : p.X(), p.Y() == -1 ? int16_t(0) : p.Y(),
                                      p.Z() == 0 ? int16_t(-1) : p.Z(), i == 0 ? uint8_t(192) : p.Status(),
                                      uint8_t(p.Aux() & 0x7F));
            if (back.GetPoint(i) != expected)
                QFAIL(qPrintable(QStringLiteral("round %1 point %2: %3 became %4")
                                     .arg(round)
                                     .arg(i)
                                     .arg(QString::fromUtf8(QScopedArrayPointer<char>(toString(p)).data()))
                                     .arg(QString::fromUtf8(
                                         QScopedArrayPointer<char>(toString(back.GetPoint(i))).data()))));
        }
    }
}

void TestPic::missingOrDirectoryRaises_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("no such.pic");
    QTest::newRow("directory") << QStringLiteral("folder.pic");
}

void TestPic::missingOrDirectoryRaises()
{
    QFETCH(QString, name);
    QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("folder.pic")));
    const QString path = Path(name);
    TZLT_Frame frame;
    frame.Add(TZLT_Point(1, 2, 3, 4, 5));
    QCOMPARE(MessageOf<EZLT_Cat_Load>([&] { frame.LoadFromPicFile(path); }),
             QStringLiteral("File does not exist: '%1'").arg(path));
    QCOMPARE(frame.Count(), 1);
    QCOMPARE(frame.GetPoint(0), TZLT_Point(1, 2, 3, 4, 5));
}

void TestPic::deviceIsNotReadForever()
{
    const QString device = QStringLiteral("/dev/zero");
    if (!QFile::exists(device))
        QSKIP("no /dev/zero here");
    TZLT_Frame frame;
    const QString message = MessageOf<EZLT_Error>([&] { frame.LoadFromPicFile(device); });
    QVERIFY2(message.contains(device), qPrintable(message));
    QCOMPARE(frame.Count(), 0);
}

QTEST_GUILESS_MAIN(TestPic)
#include "tst_data_pic.moc"
