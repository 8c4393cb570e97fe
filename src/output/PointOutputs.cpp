#include "PointOutputs.h"

bool TPointOutputs::Streams(TOutputKind kind, bool continuous, const TZLT_Frame* frame)
{
    return kind == TOutputKind::EtherDream || continuous || (frame && frame->Count() > MaxFramePoints);
}

bool TPointOutputs::ParseAddress(TOutputKind kind, const QString& text, TIdnAddress& address)
{
    if (!TIdnAddress::Parse(text, address))
        return false;
    if (kind == TOutputKind::EtherDream && !text.contains(QLatin1Char(':')))
        address.Port = EtherDream::StreamPort;
    return true;
}

TPointOutputs::TPointOutputs(TOutputClock* clock, QObject* parent)
    : QObject(parent), Wave(clock)
{
    connect(&Ether, &TEtherDreamOutput::StateChanged, this, &TPointOutputs::StateChanged);
    connect(&Wave, &TIdnWaveSession::StateChanged, this, &TPointOutputs::StateChanged);
}

void TPointOutputs::Stop()
{
    Ether.Stop();
    Wave.Stop();
}

TPointOutputs::TState TPointOutputs::State() const
{
    if (Ether.Running()) {
        using E = TEtherDreamSession::TState;
        switch (Ether.State()) {
        case E::Connecting:
            return TState::Connecting;
        case E::NoAnswer:
            return TState::NoAnswer;
        case E::EmergencyStop:
            return TState::EmergencyStop;
        default:
            return TState::On;
        }
    }
    using W = TIdnWaveSession::TState;
    switch (Wave.State()) {
    case W::On:
        return TState::On;
    case W::NoAnswer:
        return TState::NoAnswer;
    case W::Refused:
        return TState::Refused;
    case W::Lossy:
        return TState::Lossy;
    case W::Failed:
        return TState::Failed;
    default:
        return TState::Off;
    }
}

IdnDatagrams::TDarkReason TPointOutputs::SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate)
{
    IdnDatagrams::TDarkReason why;
    const TStreamFrame points = PointFrames::ForFrame(frame, palette, pointRate, &why);
    Ether.SetFrame(points);
    Wave.SetFrame(points);
    return why;
}
