#include "EtherDreamSession.h"

#include <QElapsedTimer>
#include <QTcpSocket>

#include <algorithm>

using namespace EtherDream;

TEtherDreamSession::TEtherDreamSession(TOutputClock* clock, QObject* parent)
    : QObject(parent), FClock(clock), FSteady(clock ? nullptr : std::make_unique<TOutputSteadyClock>()),
      FStream(Clock(), *this, MaxChunk)
{
}

TEtherDreamSession::~TEtherDreamSession()
{
    Stop();
}

void TEtherDreamSession::Start(const QHostAddress& address, uint16_t port, int pointRate, int latencyMs,
                               int bufferCapacity)
{
    Stop();
    FAddress = address;
    FPort = port;
    FRate = std::clamp(pointRate, 1, MaxPointRate); // never 0: the firmware asserts on it
    FLatencyMs = latencyMs;
    FCapacity = bufferCapacity > MaxChunk * 2 ? bufferCapacity : DefaultBufferCapacity;
    FUnderruns = 0;
    FRefusals = 0;
    FConnections = 0;
    FClearAllowed = true;
    FReconnectAtNs = 0;
    SetState(TState::Connecting);
    Connect();
    FStream.Start();
}

void TEtherDreamSession::Stop()
{
    if (FState == TState::Off)
        return;
    FStream.Stop();
    if (FPhase == TPhase::Ready || FPhase == TPhase::Greeting) {
        FSocket->disconnect(this); // nothing more goes out
        FSocket->write(SimpleCommand(StopPlayback));
        FSocket->flush();
        // Closed only once every answer is read: unread bytes would make the
        // close a reset, which can cost the DAC the 's' still on its way.
        qint64 due = qint64(FPending.size() + 1) * AnswerSize;
        QElapsedTimer waited;
        waited.start();
        while (FState != TState::NoAnswer && FSocket->state() == QAbstractSocket::ConnectedState) {
            due -= FSocket->read(FSocket->bytesAvailable()).size();
            const qint64 left = StopWaitMs - waited.elapsed();
            if (due <= 0 || left <= 0 || !FSocket->waitForReadyRead(int(left)))
                break;
        }
        if (due <= 0)
            FSocket->disconnectFromHost();
    }
    CloseSocket();
    SetState(TState::Off);
}

void TEtherDreamSession::SetFrame(TStreamFrame frame)
{
    FStream.SetFrame(std::move(frame));
}

IdnDatagrams::TDarkReason TEtherDreamSession::SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette,
                                                       int pointRate)
{
    IdnDatagrams::TDarkReason why;
    FStream.SetFrame(PointFrames::ForFrame(frame, palette, pointRate, &why));
    return why;
}

void TEtherDreamSession::SetPointRate(int pointRate)
{
    pointRate = std::min(pointRate, MaxPointRate);
    if (pointRate <= 0 || pointRate == FRate) // never a rate of 0
        return;
    FRate = pointRate;
    if (FPhase == TPhase::Ready && FBegun) {
        // Queued, so the change lands exactly on the next point sent.
        Send(RateCommand(QueueRate, uint32_t(FRate)), QueueRate);
        FTakeRate = true;
    }
}

int TEtherDreamSession::TargetPoints() const
{
    const int wanted = int(int64_t(FLatencyMs) * FRate / 1000);
    return std::clamp(wanted, std::min(MaxChunk, FCapacity / 4), FCapacity - MaxChunk);
}

int64_t TEtherDreamSession::EstimatedFullness(int64_t nowNs) const
{
    int64_t points = int64_t(FStatus.Fullness) + FInFlight;
    if (FStatus.Playback == TPlayback::Playing)
        points -= (nowNs - FStatusNs) * FRate / 1'000'000'000;
    return std::max<int64_t>(points, 0);
}

int TEtherDreamSession::MinChunk() const
{
    return std::clamp(TargetPoints() / 8, 1, MaxChunk / 2);
}

bool TEtherDreamSession::ControlPending() const
{
    return std::any_of(FPending.begin(), FPending.end(),
                       [](const TPending& p) { return p.Command != Data && p.Command != Ping; });
}

void TEtherDreamSession::Connect()
{
    CloseSocket();
    FSocket = std::make_unique<QTcpSocket>();
    connect(FSocket.get(), &QTcpSocket::connected, this, &TEtherDreamSession::Connected);
    connect(FSocket.get(), &QTcpSocket::readyRead, this, &TEtherDreamSession::ReadAnswers);
    connect(FSocket.get(), &QTcpSocket::disconnected, this, &TEtherDreamSession::Lost);
    connect(FSocket.get(), &QTcpSocket::errorOccurred, this, &TEtherDreamSession::Lost);
    FPhase = TPhase::Connecting;
    FConnectNs = Clock().NowNs();
    FSocket->connectToHost(FAddress, FPort);
}

void TEtherDreamSession::Connected()
{
    FSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1); // TCP_NODELAY: every chunk at once
    FPhase = TPhase::Greeting;
    ++FConnections;
    // The DAC greets with a status as if asked '?'.
    FPending.push_back({Ping, 0, Clock().NowNs()});
}

void TEtherDreamSession::Lost()
{
    if (FPhase == TPhase::Closed)
        return;
    const int64_t now = Clock().NowNs();
    CloseSocket();
    FReconnectAtNs = std::max(now, FConnectNs + ReconnectNs);
    SetState(TState::NoAnswer);
}

void TEtherDreamSession::CloseSocket()
{
    if (FSocket) {
        FSocket->disconnect(this);
        FSocket->abort();
        // Deleted later: this may run inside one of its signals.
        FSocket.release()->deleteLater();
    }
    FPhase = TPhase::Closed;
    FPending.clear();
    FInFlight = 0;
    FBegun = false;
    FTakeRate = false;
    FStatus = TStatus();
}

void TEtherDreamSession::Send(const QByteArray& bytes, uint8_t command, int points)
{
    const int64_t now = Clock().NowNs();
    if (FSocket->write(bytes) != bytes.size()) {
        Lost();
        return;
    }
    FSocket->flush();
    FPending.push_back({command, points, now});
    FInFlight += points;
    FLastSendNs = now;
}

void TEtherDreamSession::ReadAnswers()
{
    const int64_t now = Clock().NowNs();
    char answer[AnswerSize];
    while (FSocket && FSocket->bytesAvailable() >= AnswerSize) {
        FSocket->read(answer, AnswerSize);
        if (!FPending.empty()) {
            const TPending done = FPending.front();
            FPending.pop_front();
            FInFlight -= done.Points;
        }
        FStatus = ReadStatus(answer + 2);
        FStatusNs = now;
        if (uint8_t(answer[0]) != Ack) {
            ++FRefusals;
            FHoldUntilNs = now + RetryNs;
        }
        if (FPhase == TPhase::Greeting)
            FPhase = TPhase::Ready;
    }
    if (FPhase != TPhase::Ready)
        return;
    React(now);
    FStream.Pump();
}

// What the last status asks for next.
void TEtherDreamSession::React(int64_t nowNs)
{
    if (FPhase != TPhase::Ready || ControlPending() || nowNs < FHoldUntilNs)
        return;
    if (FStatus.LightEngine == TLightEngine::EmergencyStop) {
        FBegun = false;
        if (FClearAllowed && nowNs - FLastClearNs >= ClearNs) {
            FClearAllowed = false;
            FLastClearNs = nowNs;
            Send(SimpleCommand(ClearEmergencyStop), ClearEmergencyStop);
            return;
        }
        if (!FClearAllowed)
            SetState(TState::EmergencyStop);
        return;
    }
    switch (FStatus.Playback) {
    case TPlayback::Idle:
        if (FBegun) {
            FBegun = false;
            if (FStatus.PlaybackFlags & EndedByUnderflow) {
                ++FUnderruns;
                emit StateChanged();
            }
        }
        Send(SimpleCommand(Prepare), Prepare);
        return;
    case TPlayback::Prepared:
        if (FBegun) {
            // 'b' was answered without starting: again in a moment.
            FBegun = false;
            FHoldUntilNs = nowNs + RetryNs;
            return;
        }
        if (EstimatedFullness(nowNs) + MinChunk() > TargetPoints()) {
            Send(BeginCommand(uint32_t(FRate)), Begin);
            FBegun = true;
        }
        return;
    case TPlayback::Playing:
        if (!FBegun) {
            // Someone else's stream: ours starts afresh.
            Send(SimpleCommand(StopPlayback), StopPlayback);
            return;
        }
        FClearAllowed = false; // a later stop waits for the user
        SetState(TState::On);
        return;
    }
}

void TEtherDreamSession::Tick(int64_t nowNs)
{
    switch (FPhase) {
    case TPhase::Closed:
        if (nowNs >= FReconnectAtNs)
            Connect();
        return;
    case TPhase::Connecting:
    case TPhase::Greeting:
        if (nowNs - FConnectNs >= AnswerTimeoutNs)
            Lost();
        return;
    case TPhase::Ready:
        break;
    }
    if (!FPending.empty() && nowNs - FPending.front().SentNs >= AnswerTimeoutNs) {
        Lost();
        return;
    }
    if (FPending.empty() && nowNs - FLastSendNs >= PingNs)
        Send(SimpleCommand(Ping), Ping);
    React(nowNs);
}

int TEtherDreamSession::Room(int64_t nowNs)
{
    if (FPhase != TPhase::Ready || ControlPending() || FStatus.LightEngine != TLightEngine::Ready ||
        FStatus.Playback == TPlayback::Idle)
        return 0;
    const int64_t want = TargetPoints() - EstimatedFullness(nowNs);
    const int64_t free = int64_t(FCapacity) - FStatus.Fullness - FInFlight;
    const int64_t n = std::min({want, free, int64_t(MaxChunk), int64_t(MaxInFlight - FInFlight)});
    return n >= MinChunk() ? int(n) : 0;
}

void TEtherDreamSession::Take(const TStreamPoint* points, int count, int64_t)
{
    FData.resize(3 + qsizetype(count) * PointSize);
    char* p = FData.data();
    PutDataHeader(p, count);
    p += 3;
    for (int i = 0; i < count; ++i, p += PointSize)
        PutPoint(p, points[i], i == 0 && FTakeRate ? TakeQueuedRate : 0);
    FTakeRate = false;
    Send(FData, Data, count);
    if (FStatus.Playback == TPlayback::Prepared)
        React(Clock().NowNs()); // full enough to begin?
}

void TEtherDreamSession::SetState(TState state)
{
    if (state == FState)
        return;
    FState = state;
    emit StateChanged();
}
