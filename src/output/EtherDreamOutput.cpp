#include "EtherDreamOutput.h"

#include <sys/resource.h>
#include <unistd.h>

TEtherDreamOutput::TEtherDreamOutput(QObject* parent) : QObject(parent)
{
    FThread.setObjectName(QStringLiteral("Ether Dream"));
    FThread.start();
    FContext = new QObject;
    FContext->moveToThread(&FThread);
    Run([this] {
        // The ring lasts some 60 ms: where the system allows it (as root),
        // this thread goes before the ordinary work of a loaded machine.
        setpriority(PRIO_PROCESS, id_t(gettid()), -10);
        FSession = new TEtherDreamSession;
        // Told on the session's thread, shown on this one.
        connect(FSession, &TEtherDreamSession::StateChanged, FSession, [this] {
            FState = FSession->State();
            FUnderruns = FSession->Underruns();
            QMetaObject::invokeMethod(this, [this] { emit StateChanged(); }, Qt::QueuedConnection);
        });
    });
}

TEtherDreamOutput::~TEtherDreamOutput()
{
    Run([this] {
        delete FSession; // stops: 's' and the close
        FSession = nullptr;
    });
    delete FContext;
    FThread.quit();
    FThread.wait();
}

void TEtherDreamOutput::Run(const std::function<void()>& work)
{
    QMetaObject::invokeMethod(FContext, work, Qt::BlockingQueuedConnection);
}

void TEtherDreamOutput::Start(const QHostAddress& address, uint16_t port, int pointRate, int latencyMs,
                              int bufferCapacity)
{
    FRunning = true;
    Run([=, this] { FSession->Start(address, port, pointRate, latencyMs, bufferCapacity); });
    emit StateChanged();
}

void TEtherDreamOutput::Stop()
{
    if (!FRunning)
        return;
    FRunning = false;
    Run([this] { FSession->Stop(); });
    emit StateChanged();
}

void TEtherDreamOutput::SetFrame(TStreamFrame frame)
{
    QMetaObject::invokeMethod(
        FContext, [this, frame = std::move(frame)] { FSession->SetFrame(frame); }, Qt::QueuedConnection);
}

IdnDatagrams::TDarkReason TEtherDreamOutput::SetFrame(const TZLT_Frame* frame, const TZLT_Pal& palette,
                                                      int pointRate)
{
    IdnDatagrams::TDarkReason why;
    SetFrame(PointFrames::ForFrame(frame, palette, pointRate, &why));
    return why;
}
