#pragma once

#include "EtherDreamSession.h"

#include <QObject>
#include <QThread>

#include <atomic>

// The Ether Dream stream as the program runs it: the session on a thread
// of its own, so repaints, open dialogs and long jobs of the event loop
// never hold up the points (the DAC's ring lasts only some 60 ms). Frames
// are handed over as immutable copies; Stop waits until the DAC was told.
class TEtherDreamOutput : public QObject
{
    Q_OBJECT

public:
    using TState = TEtherDreamSession::TState;

    explicit TEtherDreamOutput(QObject* parent = nullptr);
    ~TEtherDreamOutput() override; // stops

    void Start(const QHostAddress& address, uint16_t port, int pointRate, int latencyMs,
               int bufferCapacity = EtherDream::DefaultBufferCapacity);
    void Stop();
    bool Running() const { return FRunning; }

    void SetFrame(TStreamFrame frame);
    IdnDatagrams::TDarkReason SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette, int pointRate);

    TState State() const { return FRunning ? FState.load() : TState::Off; }
    int Underruns() const { return FUnderruns; }

signals:
    void StateChanged();

private:
    // Runs work on the session's thread and waits for it.
    void Run(const std::function<void()>& work);

    QThread FThread;
    QObject* FContext = nullptr;          // lives on FThread
    TEtherDreamSession* FSession = nullptr; // lives on FThread
    bool FRunning = false;
    std::atomic<TState> FState{TState::Off};
    std::atomic<int> FUnderruns{0};
};
