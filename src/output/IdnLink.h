#pragma once

#include "IdnDatagrams.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

class QUdpSocket;

// What both IDN streams (of frames, and continuous) share with one
// projector service: the socket, the datagrams' sequence numbers, the
// requests for an acknowledgement and what the answers tell, and the
// closing that leaves the projector dark.
class TIdnLink : public QObject
{
    Q_OBJECT

public:
    enum class TState
    {
        Off,
        On,
        NoAnswer, // no acknowledgement for a second; the stream goes on
        Refused,  // the projector answered with an error; the stream goes on
        Lossy,    // the projector reports lost or refused data; the stream goes on
        Failed,   // a send failed: the session was closed
    };
    enum class TSent
    {
        Sent,
        Full,   // the socket's buffer is full
        Failed, // SendError tells why
    };

    static constexpr int64_t Ms = 1'000'000;
    static constexpr int64_t AckIntervalNs = 1000 * Ms;
    static constexpr int64_t AckTimeoutNs = 1000 * Ms;

    explicit TIdnLink(QObject* parent = nullptr);
    ~TIdnLink() override;

    // From now on to this service, counting and answered afresh: On.
    void Open(const QHostAddress& address, uint16_t port, uint8_t serviceId);
    // Sends closeChannel, then the session's close: Off.
    void Close(const QByteArray& closeChannel);
    // After a failed send, once the stream has stopped.
    void SetFailed();
    bool Running() const { return FState != TState::Off && FState != TState::Failed; }

    // Whether a datagram sent at nowNs should ask for an acknowledgement:
    // a second after the last request.
    bool AckDue(int64_t nowNs) const { return FAckAskedNs < 0 || nowNs - FAckAskedNs >= AckIntervalNs; }
    // Heads the datagram with the channel message command, asking for an
    // acknowledgement or not, and the next sequence number, and sends it.
    TSent Send(char* datagram, qsizetype size, bool ask, int64_t nowNs);
    // NoAnswer once a request has waited AckTimeoutNs.
    void CheckAnswer(int64_t nowNs);
    // When CheckAnswer may change the state next, or -1.
    int64_t AnswerDueNs() const
    {
        return FUnansweredNs >= 0 && FState != TState::NoAnswer ? FUnansweredNs + AckTimeoutNs : -1;
    }

    TState State() const { return FState; }
    // The result code of the last error answer (Refused).
    int ErrorCode() const { return FErrorCode; }
    // The event flags of the last answer.
    uint16_t EventFlags() const { return FEventFlags; }
    // Why the last send failed (Failed).
    const QString& SendError() const { return FSendError; }
    const QHostAddress& Address() const { return FAddress; }
    uint16_t Port() const { return FPort; }
    uint8_t ServiceId() const { return FServiceId; }
    // Sent since the opening.
    int DatagramCount() const { return FDatagrams; }

signals:
    void StateChanged();
    // An answer was read.
    void Answered();

private:
    void ReadAnswers();
    void SetState(TState state);

    std::unique_ptr<QUdpSocket> FSocket;
    QHostAddress FAddress;
    uint16_t FPort = IdnDatagrams::DefaultPort;
    uint8_t FServiceId = 0;
    TState FState = TState::Off;
    int FErrorCode = 0;
    uint16_t FEventFlags = 0;
    QString FSendError;
    uint16_t FSequence = 0;
    int64_t FAckAskedNs = -1;   // the last acknowledgement request
    int64_t FUnansweredNs = -1; // the first request not answered yet
    int FDatagrams = 0;
};
