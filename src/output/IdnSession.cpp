#include "IdnSession.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QUdpSocket>

#include <algorithm>

using namespace IdnDatagrams;

bool TIdnAddress::Parse(const QString& text, TIdnAddress& address)
{
    QString host = text.trimmed();
    uint16_t port = DefaultPort;
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        bool ok = false;
        const uint value = host.mid(colon + 1).toUInt(&ok);
        if (!ok || value == 0 || value > 65535)
            return false;
        port = uint16_t(value);
        host.truncate(colon);
    }
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9._-]+$"));
    if (!valid.match(host).hasMatch())
        return false;
    address.Host = host;
    address.Port = port;
    return true;
}

QString TIdnAddress::ToString() const
{
    return Port == DefaultPort ? Host : QStringLiteral("%1:%2").arg(Host).arg(Port);
}

TIdnSession::TIdnSession(TOutputClock* clock, QObject* parent) : QObject(parent), FClock(clock)
{
    if (!FClock)
        FSteady = std::make_unique<TOutputSteadyClock>();
}

TIdnSession::~TIdnSession()
{
    Stop();
}

void TIdnSession::Start(const QHostAddress& address, uint16_t port, uint8_t serviceId, int pointRate)
{
    Stop();
    if (!FSocket) {
        FSocket = std::make_unique<QUdpSocket>();
        connect(FSocket.get(), &QUdpSocket::readyRead, this, &TIdnSession::ReadAnswers);
    }
    if (FSocket->state() != QAbstractSocket::BoundState)
        FSocket->bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    FAddress = address;
    FPort = port;
    FServiceId = serviceId;
    FPointRate = pointRate;
    FErrorCode = 0;
    FEventFlags = 0;
    FSendError.clear();
    FAckAskedNs = -1;
    FUnansweredNs = -1;
    FRetry = false;
    FDatagrams = 0;
    FFrames = 0;
    SetState(TState::On);
    SendFrame();
}

void TIdnSession::Stop()
{
    if (!Running())
        return;
    Clock().CancelWake();
    FNext = FFrame.Count();
    // Dark first: the channel closes, then the session.
    FState = TState::Off; // a failure here has nothing left to close
    FDatagrams += SendClosing(CloseChannelDatagram(FServiceId, TimestampUs()), FSequence,
                              [this](const QByteArray& datagram) {
                                  return FSocket->writeDatagram(datagram, FAddress, FPort) == datagram.size();
                              });
    emit StateChanged();
}

void TIdnSession::SetFrame(QByteArrayView samples)
{
    FNextFrame.SetSamples(samples);
    FrameSet();
}

TDarkReason TIdnSession::SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate)
{
    const TDarkReason why = FNextFrame.SetFrame(frame, palette, pointRate);
    FrameSet();
    return why;
}

void TIdnSession::FrameSet()
{
    if (FNextFrame.SameSamples(FFrame))
        return;
    std::swap(FFrame, FNextFrame);
    if (Running())
        SendFrame();
}

void TIdnSession::SetLargestDatagram(int bytes)
{
    if (bytes == FFrame.LargestDatagram())
        return;
    const QByteArray samples = FFrame.Samples();
    FFrame.SetLargestDatagram(bytes);
    FNextFrame.SetLargestDatagram(bytes);
    FFrame.SetSamples(samples);
    if (Running())
        SendFrame();
}

void TIdnSession::SendFrame()
{
    FFrame.PutHeaders(FServiceId, FPointRate, TimestampUs());
    FNext = 0;
    FRetry = false;
    ++FFrames;
    Flush();
}

// Sends what is left of the frame; the first datagram asks for an
// acknowledgement when a second has passed since the last request.
void TIdnSession::Flush()
{
    while (FNext < FFrame.Count()) {
        const int64_t now = Clock().NowNs();
        // A burst of up to a millisecond's bytes, then the pace.
        FPaceNs = std::max(FPaceNs, now - Ms);
        const int64_t due = FPaceNs + FFrame.Size(FNext) * Ms / PaceBytesPerMs;
        if (due > now) {
            FRetry = true;
            Clock().WakeAt(due, [this] { Wake(); });
            return;
        }
        const bool ask = FNext == 0 && (FAckAskedNs < 0 || now - FAckAskedNs >= AckIntervalNs);
        if (!Send(FFrame.Data(FNext), FFrame.Size(FNext), ask ? ChannelMessageAck : ChannelMessage))
            return;
        if (ask) {
            FAckAskedNs = now;
            if (FUnansweredNs < 0)
                FUnansweredNs = now;
        }
        FLastSendNs = now;
        FPaceNs = due;
        ++FNext;
    }
    Schedule();
}

bool TIdnSession::Send(char* datagram, qsizetype size, Command command)
{
    datagram[0] = char(command);
    datagram[2] = char(FSequence >> 8);
    datagram[3] = char(FSequence);
    const qint64 written = FSocket->writeDatagram(datagram, size, FAddress, FPort);
    if (written == size) {
        ++FSequence;
        ++FDatagrams;
        return true;
    }
    if (FSocket->error() == QAbstractSocket::TemporaryError) {
        // The socket's buffer is full: the rest goes out in a moment.
        FRetry = true;
        Schedule();
        return false;
    }
    Fail(FSocket->errorString());
    return false;
}

void TIdnSession::Fail(const QString& reason)
{
    Stop();
    FSendError = reason;
    SetState(TState::Failed);
}

void TIdnSession::ReadAnswers()
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
        Schedule();
    }
}

void TIdnSession::Wake()
{
    if (!Running())
        return;
    if (FRetry) {
        FRetry = false;
        Flush();
        if (!Running() || FRetry)
            return;
    }
    const int64_t now = Clock().NowNs();
    if (FUnansweredNs >= 0 && now - FUnansweredNs >= AckTimeoutNs)
        SetState(TState::NoAnswer);
    if (FNext >= FFrame.Count() && now - FLastSendNs >= KeepAliveNs)
        SendFrame(); // schedules
    else
        Schedule();
}

void TIdnSession::Schedule()
{
    if (!Running())
        return;
    const int64_t now = Clock().NowNs();
    int64_t due = FRetry ? now + 2 * Ms : FLastSendNs + KeepAliveNs;
    if (FUnansweredNs >= 0 && FState != TState::NoAnswer)
        due = std::min(due, FUnansweredNs + AckTimeoutNs);
    Clock().WakeAt(due, [this] { Wake(); });
}

void TIdnSession::SetState(TState state)
{
    if (state == FState)
        return;
    FState = state;
    emit StateChanged();
}
