// Discovery against projectors played by sockets on 127.0.0.1: the scan,
// the answers, the service maps. Never a broadcast.

#include "EtherDreamDiscovery.h"
#include "EtherDreamTestKit.h"
#include "IdnDiscovery.h"
#include "IdnTestKit.h"

#include <QSignalSpy>

using namespace IdnTestKit;
using namespace EtherDreamTestKit;

class TestOutputDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void scan();
    void nobodyAnswers();
    void etherDream_data();
    void etherDream();
};

void TestOutputDiscovery::scan()
{
    // One unit with a relay and three services, two of them lasers; one
    // with a name that fills its field and no service map.
    QByteArray map("\x04\x18\x01\x03", 4);
    map += Entry(1, 0, 0, "relay");
    map += Entry(1, 0x80, 0, "Main laser");
    map += Entry(2, 0x01, 0, "DMX");
    map += Entry(5, 0x80, 1, "Laser behind relay");
    TResponder first("LaserOne", "\x01\x02\x03\x04\x05\x06", 0x01, map);
    TResponder second("ABCDEFGHIJKLMNOPQRSTUVWX", "\x09", 0x11, QByteArray());

    TIdnDiscovery discovery;
    QSignalSpy finished(&discovery, &TIdnDiscovery::Finished);
    // The first unit is named twice, as by broadcast and typed address.
    discovery.Scan({first.Target(), second.Target(), first.Target()}, 400);
    QVERIFY(discovery.Scanning());
    QVERIFY(finished.wait(5000));
    QVERIFY(!discovery.Scanning());

    const auto& units = discovery.Units();
    QCOMPARE(units.size(), size_t(2));
    const auto unit = [&](uint16_t port) {
        return *std::find_if(units.begin(), units.end(), [&](const auto& u) { return u.Port == port; });
    };
    const TIdnDiscovery::TUnit one = unit(first.Target().Port);
    QCOMPARE(one.Address, QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(one.HostName, QStringLiteral("LaserOne"));
    QCOMPARE(one.UnitId, QByteArray("\x07\x01\x02\x03\x04\x05\x06", 7));
    QCOMPARE(one.Status, uint8_t(0x01));
    QVERIFY(one.MapRead);
    QCOMPARE(one.Services.size(), size_t(2));
    QCOMPARE(one.Services[0].Id, uint8_t(1));
    QCOMPARE(one.Services[0].Name, QStringLiteral("Main laser"));
    QCOMPARE(one.Services[1].Id, uint8_t(5));
    QCOMPARE(one.Services[1].Relay, uint8_t(1));
    QCOMPARE(one.Services[1].Name, QStringLiteral("Laser behind relay"));

    const TIdnDiscovery::TUnit two = unit(second.Target().Port);
    QCOMPARE(two.HostName, QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    QCOMPARE(two.Status, uint8_t(0x11));
    QVERIFY(!two.MapRead);
    QVERIFY(two.Services.empty());

    // Scans and one service map request per unit.
    QCOMPARE(first.Commands, (QList<uint8_t>{0x10, 0x10, 0x12}));
    QCOMPARE(second.Commands, (QList<uint8_t>{0x10, 0x12}));
}

void TestOutputDiscovery::nobodyAnswers()
{
    QUdpSocket silent;
    QVERIFY(silent.bind(QHostAddress(QHostAddress::LocalHost), 0));
    TIdnDiscovery discovery;
    QSignalSpy finished(&discovery, &TIdnDiscovery::Finished);
    discovery.Scan({{QHostAddress(QHostAddress::LocalHost), silent.localPort()}}, 200);
    QVERIFY(finished.wait(5000));
    QVERIFY(discovery.Units().empty());
    QTRY_VERIFY(silent.hasPendingDatagrams()); // the request did go out
}

void TestOutputDiscovery::etherDream_data()
{
    QTest::addColumn<QList<QByteArray>>("broadcasts");
    QTest::addColumn<QStringList>("found"); // mac hardware software buffer rate
    const QByteArray a = Broadcast("\x00\x04\xA3\x01\x02\x03", 2, 3, 1799, 100000);
    const QByteArray b = Broadcast("\x00\x04\xA3\x0A\x0B\x0C", 11, 14, 8000, 50000);
    QTest::newRow("none") << QList<QByteArray>{} << QStringList{};
    QTest::newRow("one DAC") << QList<QByteArray>{a} << QStringList{"0004a3010203 2 3 1799 100000"};
    QTest::newRow("two DACs") << QList<QByteArray>{a, b}
                              << QStringList{"0004a3010203 2 3 1799 100000", "0004a30a0b0c 11 14 8000 50000"};
    QTest::newRow("short datagram ignored") << QList<QByteArray>{a.left(35), b}
                                            << QStringList{"0004a30a0b0c 11 14 8000 50000"};
}

// Every DAC heard within the listening time, once each, and the port free
// again afterwards.
void TestOutputDiscovery::etherDream()
{
    QFETCH(QList<QByteArray>, broadcasts);
    QFETCH(QStringList, found);
    TEtherDreamDiscovery::Port = FreePort();
    TBroadcaster broadcaster(TEtherDreamDiscovery::Port);
    broadcaster.Datagrams.assign(broadcasts.begin(), broadcasts.end());
    TEtherDreamDiscovery discovery;
    QSignalSpy finished(&discovery, &TEtherDreamDiscovery::Finished);
    QVERIFY(discovery.Listen(700));
    QVERIFY(discovery.Listening());
    QVERIFY(finished.wait(5000));
    QVERIFY(!discovery.Listening());
    QStringList got;
    for (const TEtherDreamDiscovery::TDac& dac : discovery.Dacs()) {
        QCOMPARE(dac.Address, QHostAddress(QHostAddress::LocalHost));
        const EtherDream::TBroadcast& d = dac.Broadcast;
        got << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(QString::fromLatin1(d.Mac.toHex()))
                   .arg(d.HardwareRevision)
                   .arg(d.SoftwareRevision)
                   .arg(d.BufferCapacity)
                   .arg(d.MaxPointRate);
    }
    QCOMPARE(got, found);
    // Listened to only while searching.
    QUdpSocket after;
    QVERIFY(after.bind(QHostAddress(QHostAddress::AnyIPv4), TEtherDreamDiscovery::Port, QAbstractSocket::DontShareAddress));
}

QTEST_GUILESS_MAIN(TestOutputDiscovery)
#include "tst_output_discovery.moc"
