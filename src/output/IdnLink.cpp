#include "IdnLink.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace IdnDatagrams;

TIdnLink::TIdnLink(QObject* parent) : QObject(parent) {}

TIdnLink::~TIdnLink() = default;

void TIdnLink::Open(const QHostAddress& address, uint16_t port, uint8_t serviceId)
{
    if (!FSocket) {
        FSocket = std::make_unique<QUdpSocket>();
        connect(FSocket.get(), &QUdpSocket::readyRead, this, &TIdnLink::ReadAnswers);
    }
    if (FSocket->state() != QAbstractSocket::BoundState)
        FSocket->bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    FAddress = address;
    FPort = port;
    FServiceId = serviceId;
    FErrorCode = 0;
    FEventFlags = 0;
    FSendError.clear();
    FAckAskedNs = -1;
    FUnansweredNs = -1;
    FDatagrams = 0;
    SetState(TState::On);
}

void TIdnLink::Close(const QByteArray& closeChannel)
{
    if (!Running())
        return;
    FState = TState::Off; // a failure here has nothing left to close
    FDatagrams += SendClosing(closeChannel, FSequence, [this](const QByteArray& datagram) {
        return FSocket->writeDatagram(datagram, FAddress, FPort) == datagram.size();
    });
    emit StateChanged();
}

void TIdnLink::SetFailed()
{
    SetState(TState::Failed);
}

TIdnLink::TSent TIdnLink::Send(char* datagram, qsizetype size, bool ask, int64_t nowNs)
{
    datagram[0] = char(ask ? ChannelMessageAck : ChannelMessage);
    datagram[2] = char(FSequence >> 8);
    datagram[3] = char(FSequence);
    if (FSocket->writeDatagram(datagram, size, FAddress, FPort) == size) {
        ++FSequence;
        ++FDatagrams;
        if (ask) {
            FAckAskedNs = nowNs;
            if (FUnansweredNs < 0)
                FUnansweredNs = nowNs;
        }
        return TSent::Sent;
    }
    if (FSocket->error() == QAbstractSocket::TemporaryError)
        return TSent::Full;
    FSendError = FSocket->errorString();
    return TSent::Failed;
}

void TIdnLink::CheckAnswer(int64_t nowNs)
{
    if (FUnansweredNs >= 0 && nowNs - FUnansweredNs >= AckTimeoutNs)
        SetState(TState::NoAnswer);
}

void TIdnLink::ReadAnswers()
{
    while (FSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = FSocket->receiveDatagram();
        TAnswer answer;
        if (!Running() || !datagram.senderAddress().isEqual(FAddress, QHostAddress::ConvertV4MappedToIPv4) ||
            !ReadAnswer(datagram.data(), answer))
            continue;
        FEventFlags = answer.Flags;
        FUnansweredNs = -1;
        FErrorCode = answer.Code < 0 ? answer.Code : 0;
        SetState(answer.Code < 0 ? TState::Refused : answer.Lossy() ? TState::Lossy : TState::On);
        emit Answered();
    }
}

void TIdnLink::SetState(TState state)
{
    if (state == FState)
        return;
    FState = state;
    emit StateChanged();
}
