// Speed of the laser output. Everything goes to a socket on 127.0.0.1 in
// this program, never anywhere else.
//
// - frame_65535_*: building the datagrams of a 65,535-point frame from the
//   catalog's points and sending them (the session's whole path: the check
//   for one spot, the samples written into the datagrams, the comparison
//   with the last frame, the headers, the sends spread over a few
//   milliseconds), beside a plain copy of the same sample bytes into a kept
//   buffer plus sending the same datagrams at once; processor time of the
//   thread, medians of 60 rounds each, and their ratio.
// - selection_to_datagram_*: from a change of the selected slot in a catalog
//   window to the frame's first datagram waiting at the receiver, median
//   and worst of 100 changes (frames of 2,000 points, preview pane closed).
// - etherdream_30kpps_*: 10 s of 30 kpps to a fake Ether Dream on a thread
//   of its own: the program's processor time beside an idle 2 ms timer's
//   and the fake DAC's, underflows, the lowest ring in ms beside the latency.
// - etherdream_selection_to_light_*: from a change of the selected slot to
//   the new frame's first point played by the fake DAC, beside the bound of
//   latency + one pass + 20 ms.
// - save_1gib_*: File › Save of a 1 GiB catalog (32,767 frames of 4,000
//   points) while output is on: the largest gap between datagrams arriving
//   at the receiver during the save, beside the largest gap over as long a
//   time without a save (the frame goes out every 150 ms).
// Prints one "name value" line per figure (times in milliseconds). Runs
// without a display: QT_QPA_PLATFORM=offscreen.

#include "BenchSupport.h"
#include "BenchWindows.h"
#include "../tests/output/EtherDreamTestKit.h"
#include "EtherDreamOutput.h"
#include "CHILDWIN.h"
#include "Dialogs.h"
#include "IdnDatagrams.h"
#include "IdnSession.h"
#include "LaserLink.h"
#include "MAIN.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <sys/socket.h>
#include <time.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Bench::Median;
using Bench::Print;

// A socket on 127.0.0.1 that takes what comes, with room for whole frames.
class TSink
{
public:
    TSink()
    {
        if (!Socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
            Bench::Fail("cannot bind a socket on 127.0.0.1");
        const int size = 8 << 20;
        const int fd = int(Socket.socketDescriptor());
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    uint16_t Port() const { return Socket.localPort(); }
    int Drain()
    {
        int count = 0;
        while (Socket.hasPendingDatagrams()) {
            Socket.receiveDatagram();
            ++count;
        }
        return count;
    }
    QUdpSocket Socket;
};

// Processor time of this thread in milliseconds.
double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

std::unique_ptr<TZLT_Frame> RandomFrame(QRandomGenerator& random, int count)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < count; ++i)
        frame->Add(TZLT_Point(int16_t(random.bounded(-32768, 32768)), int16_t(random.bounded(-32768, 32768)), 0,
                              uint8_t(random.bounded(0, 128)), 0));
    return frame;
}

void FrameFigures()
{
    QRandomGenerator random(18);
    const std::unique_ptr<TZLT_Frame> frames[2] = {RandomFrame(random, TZLT_Frame::MaxPoints),
                                                   RandomFrame(random, TZLT_Frame::MaxPoints)};
    const TZLT_Pal palette;
    constexpr int Rate = 30000;
    TSink sink;

    const QByteArray samples = IdnDatagrams::FrameSamples(*frames[0], palette);
    std::vector<QByteArray> datagrams = IdnDatagrams::FrameDatagrams(samples, 0, Rate, 0);
    const int count = int(datagrams.size());

    // The program's path: two frames in turn, so each one is new.
    TIdnSession session;
    session.Start(QHostAddress(QHostAddress::LocalHost), sink.Port(), 0, Rate);
    std::vector<double> built;
    for (int round = 0; round < 60; ++round) {
        const TZLT_Frame& frame = *frames[round % 2];
        const int before = session.DatagramCount();
        const double start = ThreadCpuMs();
        session.SetFrame(&frame, palette, Rate);
        // The rest of the frame goes out on the session's timer.
        while (session.DatagramCount() - before < count) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            sink.Drain();
        }
        built.push_back(ThreadCpuMs() - start);
        sink.Drain();
    }
    session.Stop();

    // The baseline: the sample bytes copied once (into a buffer kept from
    // round to round, as the program keeps its own), the same datagrams sent.
    QUdpSocket plain;
    plain.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    std::vector<double> copied;
    QByteArray copy(samples.size(), '\0');
    for (int round = 0; round < 60; ++round) {
        const double start = ThreadCpuMs();
        std::memcpy(copy.data(), samples.constData(), size_t(samples.size()));
        for (const QByteArray& datagram : datagrams) {
            if (plain.writeDatagram(datagram, QHostAddress(QHostAddress::LocalHost), sink.Port()) < 0)
                Bench::Fail("the plain send failed");
        }
        copied.push_back(ThreadCpuMs() - start);
        sink.Drain();
    }
    const double program = Median(built);
    const double baseline = Median(copied);
    Print("frame_65535_datagrams", double(datagrams.size()));
    Print("frame_65535_build_and_send_ms", program);
    Print("frame_65535_copy_and_send_baseline_ms", baseline);
    Print("frame_65535_ratio", program / baseline);
}

void SelectionFigures()
{
    Bench::ShowMainWindow(1000, 700);
    TSink sink;
    MainForm->Laser->Address = QStringLiteral("127.0.0.1:%1").arg(sink.Port());
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QRandomGenerator random(7);
    for (int slot = 0; slot < 101; ++slot)
        child->Cat.Frames.SetFrame(slot, RandomFrame(random, 2000));
    child->CatalogChanged();
    child->SelectSlots(0, 0);
    if (!MainForm->Laser->Start())
        Bench::Fail("laser output did not start");
    QApplication::processEvents();
    sink.Socket.waitForReadyRead(100);
    sink.Drain();

    // The baseline: one plain datagram from a socket of its own to its arrival.
    QUdpSocket plain;
    plain.bind(QHostAddress(QHostAddress::AnyIPv4), 0);
    std::vector<double> plainTimes;
    std::vector<double> times;
    for (int change = 1; change <= 100; ++change) {
        {
            QElapsedTimer timer;
            timer.start();
            plain.writeDatagram(QByteArray(64, '\0'), QHostAddress(QHostAddress::LocalHost), sink.Port());
            while (!sink.Socket.hasPendingDatagrams())
                if (!sink.Socket.waitForReadyRead(1000))
                    Bench::Fail("the plain datagram did not come");
            plainTimes.push_back(timer.nsecsElapsed() / 1e6);
            sink.Drain();
        }
        QElapsedTimer timer;
        timer.start();
        child->SelectSlots(change, change);
        while (!sink.Socket.hasPendingDatagrams())
            if (!sink.Socket.waitForReadyRead(1000))
                Bench::Fail("no datagram came after a change of the selection");
        times.push_back(timer.nsecsElapsed() / 1e6);
        QApplication::processEvents();
        sink.Drain();
    }
    Print("selection_to_datagram_median_ms", Median(times));
    Print("selection_to_datagram_worst_ms", *std::max_element(times.begin(), times.end()));
    Print("selection_to_datagram_plain_send_baseline_ms", Median(plainTimes));
    MainForm->Laser->Stop();
    delete MainForm;
}

using EtherDreamTestKit::TDacThread;

// Processor time of the whole process in milliseconds.
double ProcessCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double DacThreadCpuMs(TDacThread& dac)
{
    double ms = 0;
    dac.Run([&ms] { ms = ThreadCpuMs(); });
    return ms;
}

void RunLoopMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// 30 kpps for 10 s to the fake DAC as the program streams (the session on
// its own thread): the processor time of the process less the fake DAC's
// thread, against a plain 2 ms timer doing nothing for as long and the fake
// DAC's own time; and the DAC's lowest ring.
void EtherDreamStreamFigures()
{
    TDacThread dac;
    uint16_t port = 0;
    dac.Run([&] { port = dac.Dac->Port(); });
    QRandomGenerator random(3);
    const auto frame = RandomFrame(random, 1500);
    TEtherDreamOutput output;
    output.SetFrame(frame.get(), TZLT_Pal(), 30000);
    constexpr int Seconds = 10;
    const double start = ProcessCpuMs();
    const double dacStart = DacThreadCpuMs(dac);
    output.Start(QHostAddress(QHostAddress::LocalHost), port, 30000, TEtherDreamSession::DefaultLatencyMs);
    RunLoopMs(Seconds * 1000);
    const double dacMs = DacThreadCpuMs(dac) - dacStart;
    const double streamMs = ProcessCpuMs() - start - dacMs;
    output.Stop();
    int underflows = 0;
    double worst = 0;
    size_t played = 0;
    dac.Run([&] {
        dac.Dac->Drain();
        underflows = dac.Dac->Underflows;
        worst = dac.Dac->WorstFullnessMs;
        played = dac.Dac->Played.size();
    });

    QTimer idle;
    idle.setTimerType(Qt::PreciseTimer);
    QObject::connect(&idle, &QTimer::timeout, [] {});
    const double idleStart = ProcessCpuMs();
    idle.start(2);
    RunLoopMs(Seconds * 1000);
    idle.stop();
    const double idleMs = ProcessCpuMs() - idleStart;

    const double wall = Seconds * 1000.0;
    Print("etherdream_30kpps_points_played", double(played));
    Print("etherdream_30kpps_sender_cpu_percent", 100 * streamMs / wall);
    Print("etherdream_30kpps_fake_dac_cpu_percent_baseline", 100 * dacMs / wall);
    Print("etherdream_idle_2ms_timer_cpu_percent_baseline", 100 * idleMs / wall);
    Print("etherdream_30kpps_underflows", underflows);
    Print("etherdream_30kpps_worst_fullness_ms", worst);
    Print("etherdream_latency_target_ms_baseline", TEtherDreamSession::DefaultLatencyMs);
}

// From a change of the selected slot to the new frame's first point played
// by the fake DAC, 30 changes between frames of 2,000 points (a pass of
// 66.7 ms at 30 kpps): against the bound of latency + one pass + 20 ms.
void EtherDreamSelectionFigures()
{
    Bench::ShowMainWindow(1000, 700);
    TDacThread dac;
    uint16_t port = 0;
    dac.Run([&] {
        port = dac.Dac->Port();
        dac.Dac->KeepTimes = true;
    });
    TLaserLink* laser = MainForm->Laser;
    laser->Kind = TOutputKind::EtherDream;
    laser->Address = QStringLiteral("127.0.0.1:%1").arg(port);
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    QRandomGenerator random(11);
    constexpr int Points = 2000;
    for (int slot = 0; slot < 31; ++slot)
        child->Cat.Frames.SetFrame(slot, RandomFrame(random, Points));
    child->CatalogChanged();
    child->SelectSlots(0, 0);
    if (!laser->Start())
        Bench::Fail("laser output did not start");
    RunLoopMs(500);
    const EtherDreamTestKit::TMonotonicClock clock;
    std::vector<double> times;
    for (int change = 1; change <= 30; ++change) {
        size_t from = 0;
        dac.Run([&] {
            dac.Dac->Drain();
            from = dac.Dac->Played.size();
        });
        const TZLT_Point& first = child->Cat.Frames.GetFrame(change).GetPoint(0);
        const TZLT_Point& second = child->Cat.Frames.GetFrame(change).GetPoint(1);
        const int64_t changed = clock.NowNs();
        child->SelectSlots(change, change);
        RunLoopMs(250 + change % 7 * 9); // changes at odd places of the pass
        int64_t at = -1;
        dac.Run([&] {
            dac.Dac->Drain();
            const auto& played = dac.Dac->Played;
            for (size_t i = from; i + 1 < played.size() && at < 0; ++i)
                if (played[i].X == first.X() && played[i].Y == int16_t(-1 - first.Y()) &&
                    played[i + 1].X == second.X() && played[i + 1].Y == int16_t(-1 - second.Y()))
                    at = dac.Dac->PlayedAtNs[i];
        });
        if (at < 0)
            Bench::Fail("the new frame was not played");
        times.push_back(double(at - changed) / 1e6);
    }
    laser->Stop();
    Print("etherdream_selection_to_light_median_ms", Median(times));
    Print("etherdream_selection_to_light_worst_ms", *std::max_element(times.begin(), times.end()));
    Print("etherdream_selection_to_light_bound_baseline_ms",
          TEtherDreamSession::DefaultLatencyMs + Points * 1000.0 / 30000 + 20);
    delete MainForm;
    MainForm = nullptr;
}

// A receiver on a thread of its own: when each datagram arrived, by the
// steady clock, whatever the program's event loop is doing.
class TArrivals
{
public:
    TArrivals()
    {
        FClock.start();
        std::atomic<int> port{0};
        FThread = std::thread([this, &port] {
            QUdpSocket socket;
            if (!socket.bind(QHostAddress(QHostAddress::LocalHost), 0))
                Bench::Fail("cannot bind a socket on 127.0.0.1");
            const int size = 8 << 20;
            const int fd = int(socket.socketDescriptor());
            if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
                setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
            port = socket.localPort();
            while (!FStop) {
                if (!socket.waitForReadyRead(20))
                    continue;
                while (socket.hasPendingDatagrams()) {
                    socket.receiveDatagram();
                    const std::lock_guard<std::mutex> lock(FMutex);
                    FTimes.push_back(FClock.nsecsElapsed() / 1e6);
                }
            }
        });
        while (port == 0)
            std::this_thread::yield();
        FPort = uint16_t(port);
    }
    ~TArrivals()
    {
        FStop = true;
        FThread.join();
    }
    uint16_t Port() const { return FPort; }
    double Now() const { return FClock.nsecsElapsed() / 1e6; }
    // The largest gap between arrivals from from to to (ms on this clock),
    // the edges counted as arrivals.
    double LargestGap(double from, double to)
    {
        const std::lock_guard<std::mutex> lock(FMutex);
        double last = from, gap = 0;
        for (const double t : FTimes)
            if (t > from && t <= to) {
                gap = std::max(gap, t - last);
                last = t;
            }
        return std::max(gap, to - last);
    }

private:
    QElapsedTimer FClock;
    std::thread FThread;
    std::atomic<bool> FStop{false};
    std::mutex FMutex;
    std::vector<double> FTimes;
    uint16_t FPort = 0;
};

void SaveGapFigures()
{
    Bench::ShowMainWindow(1000, 700);
    TArrivals arrivals;
    MainForm->Laser->Address = QStringLiteral("127.0.0.1:%1").arg(arrivals.Port());
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot)
        child->Cat.Frames.SetFrame(slot, Bench::MakeFrame(slot, 4000));
    child->CatalogChanged();
    child->SelectSlots(0, 0);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.cat"));
    child->setWindowTitle(path);
    TFileDialog::TestHook = [path](TFileDialog& dialog) {
        dialog.FileName = path;
        return true;
    };
    if (!MainForm->Laser->Start())
        Bench::Fail("laser output did not start");

    QElapsedTimer timer;
    const double saveStart = arrivals.Now();
    timer.start();
    MainForm->FileSave1->trigger();
    const double saveMs = timer.nsecsElapsed() / 1e6;
    const double saveEnd = arrivals.Now();
    if (child->Modified || QFileInfo(path).size() < 1000 * 1000 * 1000)
        Bench::Fail("the catalog was not saved");
    // The baseline: as long without a save.
    const double idleStart = arrivals.Now();
    while (arrivals.Now() < idleStart + saveMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double idleEnd = arrivals.Now();
    TFileDialog::TestHook = nullptr;
    Print("save_1gib_file_mib", QFileInfo(path).size() / 1048576.0);
    Print("save_1gib_ms", saveMs);
    Print("save_1gib_largest_datagram_gap_ms", arrivals.LargestGap(saveStart, saveEnd));
    Print("save_1gib_no_save_largest_datagram_gap_ms", arrivals.LargestGap(idleStart, idleEnd));
    MainForm->Laser->Stop();
    child->Modified = false;
    delete MainForm;
    MainForm = nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    Bench::UseOffscreenByDefault();
    QApplication app(argc, argv);
    FrameFigures();
    SelectionFigures();
    EtherDreamStreamFigures();
    EtherDreamSelectionFigures();
    SaveGapFigures();
    return 0;
}
