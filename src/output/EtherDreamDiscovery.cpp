#include "EtherDreamDiscovery.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

uint16_t TEtherDreamDiscovery::Port = EtherDream::BroadcastPort;

TEtherDreamDiscovery::TEtherDreamDiscovery(QObject* parent) : QObject(parent)
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] {
        Cancel();
        emit Finished();
    });
}

TEtherDreamDiscovery::~TEtherDreamDiscovery() = default;

bool TEtherDreamDiscovery::Listen(int listenMs)
{
    Cancel();
    FDacs.clear();
    FSocket = std::make_unique<QUdpSocket>();
    // Other programs may listen for the same broadcasts.
    if (!FSocket->bind(QHostAddress(QHostAddress::AnyIPv4), Port,
                       QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        FSocket.reset();
        QTimer::singleShot(0, this, &TEtherDreamDiscovery::Finished);
        return false;
    }
    connect(FSocket.get(), &QUdpSocket::readyRead, this, &TEtherDreamDiscovery::Read);
    FTimer.start(listenMs);
    return true;
}

void TEtherDreamDiscovery::Cancel()
{
    FTimer.stop();
    FSocket.reset(); // the port is free again
}

void TEtherDreamDiscovery::Read()
{
    bool found = false;
    while (FSocket && FSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = FSocket->receiveDatagram();
        TDac dac;
        if (!EtherDream::ReadBroadcast(datagram.data(), dac.Broadcast))
            continue;
        dac.Address = QHostAddress(datagram.senderAddress().toIPv4Address());
        const auto same = std::find_if(FDacs.begin(), FDacs.end(),
                                       [&](const TDac& d) { return d.Broadcast.Mac == dac.Broadcast.Mac; });
        if (same != FDacs.end())
            *same = dac;
        else {
            FDacs.push_back(dac);
            found = true;
        }
    }
    if (found)
        emit Found();
}
