#pragma once

#include "EtherDreamProtocol.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class QUdpSocket;

// Finding Ether Dream DACs: each broadcasts its description once a second,
// so listening for a little over a second hears every one. The port is
// listened to only while a search runs.
class TEtherDreamDiscovery : public QObject
{
    Q_OBJECT

public:
    static constexpr int ListenMs = 1200;
    // Where the broadcasts are listened for; tests move it.
    static uint16_t Port;

    struct TDac
    {
        QHostAddress Address;
        EtherDream::TBroadcast Broadcast;
    };

    explicit TEtherDreamDiscovery(QObject* parent = nullptr);
    ~TEtherDreamDiscovery() override;

    // Listens for listenMs, then Finished; false when the port cannot be
    // listened to (Finished follows at once then).
    bool Listen(int listenMs = ListenMs);
    void Cancel();
    bool Listening() const { return FTimer.isActive(); }
    const std::vector<TDac>& Dacs() const { return FDacs; }

signals:
    void Found();
    void Finished();

private:
    void Read();

    std::unique_ptr<QUdpSocket> FSocket;
    QTimer FTimer;
    std::vector<TDac> FDacs;
};
