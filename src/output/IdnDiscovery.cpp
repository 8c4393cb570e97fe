#include "IdnDiscovery.h"

#include "IdnDatagrams.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QUdpSocket>

#include <algorithm>

using namespace IdnDatagrams;

namespace {

constexpr qsizetype ScanBodySize = 40;
constexpr qsizetype UnitIdSize = 16;
constexpr qsizetype NameSize = 20;

// A zero-padded name field, not necessarily terminated.
QString Name(const char* p, qsizetype size)
{
    const QByteArray bytes(p, size);
    const qsizetype end = bytes.indexOf('\0');
    return QString::fromUtf8(bytes.left(end < 0 ? size : end)).trimmed();
}

} // namespace

TIdnDiscovery::TIdnDiscovery(QObject* parent) : QObject(parent)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, &TIdnDiscovery::Finished);
}

TIdnDiscovery::~TIdnDiscovery() = default;

QList<TIdnDiscovery::TTarget> TIdnDiscovery::BroadcastTargets()
{
    QList<TTarget> targets;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        if (!(interface.flags() & QNetworkInterface::IsUp) || !(interface.flags() & QNetworkInterface::CanBroadcast))
            continue;
        const auto entries = interface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries)
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol && !entry.broadcast().isNull())
                targets.push_back({entry.broadcast(), DefaultPort});
    }
    return targets;
}

void TIdnDiscovery::Scan(const QList<TTarget>& targets, int timeoutMs)
{
    Cancel();
    FUnits.clear();
    if (!FSocket) {
        FSocket = std::make_unique<QUdpSocket>();
        FSocket->bind(QHostAddress(QHostAddress::AnyIPv4), 0);
        connect(FSocket.get(), &QUdpSocket::readyRead, this, &TIdnDiscovery::Read);
    }
    FTimer.start(timeoutMs);
    for (const TTarget& target : targets)
        Send(target, ScanRequest);
}

void TIdnDiscovery::Cancel()
{
    FTimer.stop();
}

void TIdnDiscovery::Add(const TTarget& target)
{
    if (Scanning())
        Send(target, ScanRequest);
}

void TIdnDiscovery::Send(const TTarget& target, uint8_t command)
{
    QByteArray datagram = PacketDatagram(Command(command));
    SetHeader(datagram, Command(command), FSequence++);
    FSocket->writeDatagram(datagram, target.Address, target.Port);
}

void TIdnDiscovery::Read()
{
    while (FSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = FSocket->receiveDatagram();
        if (!Scanning())
            continue;
        const QByteArray data = datagram.data();
        if (data.size() < PacketHeaderSize + 4)
            continue;
        const QHostAddress from(datagram.senderAddress().toIPv4Address());
        const uint16_t port = uint16_t(datagram.senderPort());
        const char* body = data.constData() + PacketHeaderSize;
        const qsizetype bodySize = data.size() - PacketHeaderSize;
        auto unit = std::find_if(FUnits.begin(), FUnits.end(),
                                 [&](const TUnit& known) { return known.Address == from && known.Port == port; });
        if (uint8_t(data[0]) == ScanResponse) {
            if (bodySize < ScanBodySize || uint8_t(body[0]) < ScanBodySize || unit != FUnits.end())
                continue; // short, or heard on another interface already
            TUnit found;
            found.Address = from;
            found.Port = port;
            found.Status = uint8_t(body[2]);
            const int idLength = std::clamp(int(uint8_t(body[4])), 0, int(UnitIdSize - 1));
            found.UnitId = QByteArray(body + 5, idLength);
            found.HostName = Name(body + 4 + UnitIdSize, NameSize);
            FUnits.push_back(found);
            Send({from, port}, ServiceMapRequest);
            emit Found();
        } else if (uint8_t(data[0]) == ServiceMapResponse && unit != FUnits.end()) {
            const int headerSize = uint8_t(body[0]);
            const int entrySize = uint8_t(body[1]);
            const int relays = uint8_t(body[2]);
            const int services = uint8_t(body[3]);
            if (headerSize < 4 || entrySize < 4 + NameSize ||
                bodySize < headerSize + qsizetype(relays + services) * entrySize)
                continue;
            unit->Services.clear();
            const char* entry = body + headerSize + relays * entrySize;
            for (int i = 0; i < services; ++i, entry += entrySize) {
                TService service{uint8_t(entry[0]), uint8_t(entry[1]), uint8_t(entry[2]), uint8_t(entry[3]),
                                 Name(entry + 4, NameSize)};
                if (service.Id != 0 && service.Type == LaserProjectorService)
                    unit->Services.push_back(service);
            }
            unit->MapRead = true;
            emit Found();
        }
    }
}
