#include "IdnSession.h"

#include <QRegularExpression>

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
    connect(&FLink, &TIdnLink::StateChanged, this, &TIdnSession::StateChanged);
    connect(&FLink, &TIdnLink::Answered, this, &TIdnSession::Schedule);
}

TIdnSession::~TIdnSession()
{
    Stop();
}

void TIdnSession::Start(const QHostAddress& address, uint16_t port, uint8_t serviceId, int pointRate)
{
    Stop();
    FPointRate = pointRate;
    FRetry = false;
    FFrames = 0;
    FLink.Open(address, port, serviceId);
    SendFrame();
}

void TIdnSession::Stop()
{
    if (!Running())
        return;
    Clock().CancelWake();
    FNext = FFrame.Count();
    // Dark first: the channel closes, then the session.
    FLink.Close(CloseChannelDatagram(FLink.ServiceId(), TimestampUs()));
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
    FFrame.PutHeaders(FLink.ServiceId(), FPointRate, TimestampUs());
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
        const bool ask = FNext == 0 && FLink.AckDue(now);
        const TIdnLink::TSent sent = FLink.Send(FFrame.Data(FNext), FFrame.Size(FNext), ask, now);
        if (sent == TIdnLink::TSent::Full) {
            // The socket's buffer is full: the rest goes out in a moment.
            FRetry = true;
            Schedule();
            return;
        }
        if (sent == TIdnLink::TSent::Failed) {
            Fail();
            return;
        }
        FLastSendNs = now;
        FPaceNs = due;
        ++FNext;
    }
    Schedule();
}

void TIdnSession::Fail()
{
    Stop();
    FLink.SetFailed();
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
    FLink.CheckAnswer(now);
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
    if (FLink.AnswerDueNs() >= 0)
        due = std::min(due, FLink.AnswerDueNs());
    Clock().WakeAt(due, [this] { Wake(); });
}
