// Discovery against projectors played by sockets on 127.0.0.1: the scan,
// the answers, the service maps. Never a broadcast.

#include "IdnDiscovery.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

namespace {

// A unit that answers scans and, when it has one, service map requests.
class TResponder : public QObject
{
public:
    TResponder(QByteArray hostName, QByteArray unitId, uint8_t status, QByteArray map)
        : FHostName(std::move(hostName)), FUnitId(std::move(unitId)), FStatus(status), FMap(std::move(map))
    {
        QVERIFY(Socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
        connect(&Socket, &QUdpSocket::readyRead, this, [this] { Answer(); });
    }
    TIdnDiscovery::TTarget Target() const { return {QHostAddress(QHostAddress::LocalHost), Socket.localPort()}; }

    QUdpSocket Socket;
    QList<uint8_t> Commands; // of the requests received

private:
    void Answer()
    {
        while (Socket.hasPendingDatagrams()) {
            const QNetworkDatagram request = Socket.receiveDatagram();
            const QByteArray data = request.data();
            QCOMPARE(data.size(), qsizetype(4)); // header only
            Commands << uint8_t(data[0]);
            QByteArray answer = data.left(4);
            if (uint8_t(data[0]) == 0x10) {
                answer[0] = char(0x11);
                QByteArray body(40, '\0');
                body[0] = char(40);
                body[1] = char(0x10); // version 1.0
                body[2] = char(FStatus);
                body[4] = char(FUnitId.size() + 1);
                body[5] = char(7); // category
                body.replace(6, FUnitId.size(), FUnitId);
                body.replace(20, std::min<qsizetype>(FHostName.size(), 20), FHostName.left(20));
                answer += body;
            } else if (uint8_t(data[0]) == 0x12 && !FMap.isEmpty()) {
                answer[0] = char(0x13);
                answer += FMap;
            } else {
                continue;
            }
            Socket.writeDatagram(answer, request.senderAddress(), quint16(request.senderPort()));
        }
    }

    QByteArray FHostName;
    QByteArray FUnitId;
    uint8_t FStatus;
    QByteArray FMap;
};

QByteArray Entry(uint8_t id, uint8_t type, uint8_t relay, const QByteArray& name)
{
    QByteArray entry(24, '\0');
    entry[0] = char(id);
    entry[1] = char(type);
    entry[3] = char(relay);
    entry.replace(4, name.size(), name);
    return entry;
}

} // namespace

class TestOutputDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void scan();
    void nobodyAnswers();
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

QTEST_GUILESS_MAIN(TestOutputDiscovery)
#include "tst_output_discovery.moc"
