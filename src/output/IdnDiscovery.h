#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class QUdpSocket;

// Finding projectors: a scan request to every target (the broadcast
// address of each interface, and any address the user typed), the units
// that answer, and each unit's service map.
class TIdnDiscovery : public QObject
{
    Q_OBJECT

public:
    struct TTarget
    {
        QHostAddress Address;
        uint16_t Port;
    };
    struct TService
    {
        uint8_t Id = 0;
        uint8_t Type = 0; // 0x80: laser projector
        uint8_t Flags = 0;
        uint8_t Relay = 0;
        QString Name;
    };
    struct TUnit
    {
        QHostAddress Address;
        uint16_t Port = 0;
        QString HostName;
        QByteArray UnitId;  // without its length byte
        uint8_t Status = 0; // 0x80 malfunction, 0x40 offline, 0x20 excluded, 0x10 occupied, 0x01 real-time
        bool MapRead = false;
        std::vector<TService> Services; // laser projectors only
    };

    explicit TIdnDiscovery(QObject* parent = nullptr);
    ~TIdnDiscovery() override;

    // Scans the targets and collects answers for timeoutMs; Finished
    // follows. A scan that runs is cancelled first.
    void Scan(const QList<TTarget>& targets, int timeoutMs = 1000);
    void Cancel();
    // Scans one more target within the running scan.
    void Add(const TTarget& target);
    bool Scanning() const { return FTimer.isActive(); }
    const std::vector<TUnit>& Units() const { return FUnits; }

    // The broadcast address of every interface that is up, at the IDN port.
    static QList<TTarget> BroadcastTargets();

signals:
    void Found(); // a unit answered, or its service map came
    void Finished();

private:
    void Read();
    void Send(const TTarget& target, uint8_t command);

    std::unique_ptr<QUdpSocket> FSocket;
    QTimer FTimer;
    std::vector<TUnit> FUnits;
    uint16_t FSequence = 0;
};
