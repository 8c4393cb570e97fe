// Start-up of the real program as a user meets it: from starting the
// process to its main window drawn, and a second start handing a catalog to
// the running program (until the second process has ended, and until the
// running program has opened the file). Each beside a trivial Qt program
// started the same way. Prints one "name value" line per figure (median
// milliseconds of alternating runs). Runs without a display: the programs
// are started with QT_QPA_PLATFORM=offscreen.

#include "BenchSupport.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 15;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QString Instance(int n)
{
    return QStringLiteral("bench-%1-%2").arg(QCoreApplication::applicationPid()).arg(n);
}

QProcessEnvironment Environment(const QString& instance)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("TREVASC_REPORT"), QStringLiteral("1"));
    environment.insert(QStringLiteral("TREVASC_INSTANCE"), instance);
    return environment;
}

// Waits for a line on the program's output; false when it ended first.
bool WaitForLine(QProcess& process, const QByteArray& line, QByteArray& seen)
{
    while (!seen.split('\n').contains(line)) {
        if (!process.waitForReadyRead(30000))
            return false;
        seen += process.readAllStandardOutput();
    }
    return true;
}

void Stop(QProcess& process)
{
    process.kill();
    process.waitForFinished(30000);
}

// Milliseconds from start to the "shown" line; the program is ended after.
double TimeToShown(const QString& program, const QStringList& arguments, const QString& instance)
{
    QProcess process;
    process.setProcessEnvironment(Environment(instance));
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    QByteArray seen;
    const bool shown = WaitForLine(process, "shown", seen);
    const double ms = timer.nsecsElapsed() / 1e6;
    Stop(process);
    if (!shown)
        Bench::Fail("a program showed no window");
    return ms;
}

// Milliseconds from start to the end of the process.
double TimeToExit(const QString& program, const QStringList& arguments, const QString& instance)
{
    QProcess process;
    process.setProcessEnvironment(Environment(instance));
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(30000);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        Bench::Fail("a program failed");
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QString trevasc = QStringLiteral(TREVASC_PROGRAM);
    const QString baseline = QStringLiteral(TREVASC_BASELINE_PROGRAM);
    QTemporaryDir dir;
    const QString catalog = dir.filePath(QStringLiteral("show.cat"));
    TZLT_Cat().SaveToFile(catalog);

    // Start to a drawn main window, no other program running.
    std::vector<double> start, startBase;
    for (int i = 0; i < Runs; ++i) {
        const QString instance = Instance(i);
        start.push_back(TimeToShown(trevasc, {}, instance));
        qputenv("TREVASC_INSTANCE", instance.toUtf8());
        QLocalServer::removeServer(SingleInstance::ServerName()); // left by the ended program
        startBase.push_back(TimeToShown(baseline, {QStringLiteral("show")}, instance));
    }
    Bench::Print("start_to_shown_ms", Median(start));
    Bench::Print("start_to_shown_baseline_qt_window_ms", Median(startBase));
    Bench::Print("start_to_shown_ratio", Median(start) / Median(startBase));

    // A second start handing a catalog to the running program.
    const QString instance = Instance(Runs);
    qputenv("TREVASC_INSTANCE", instance.toUtf8());
    QProcess running;
    running.setProcessEnvironment(Environment(instance));
    running.start(trevasc, {});
    QByteArray seen;
    if (!WaitForLine(running, "shown", seen))
        Bench::Fail("the running program showed no window");
    while (SingleInstance::HandOver(SingleInstance::ServerName(), {}) !=
           SingleInstance::THandOver::Accepted) {
    }
    WaitForLine(running, "opened 0", seen);
    std::vector<double> exits, opened, handBase;
    for (int i = 0; i < Runs; ++i) {
        seen.clear();
        QElapsedTimer timer;
        timer.start();
        exits.push_back(TimeToExit(trevasc, {catalog}, instance));
        if (!WaitForLine(running, "opened 1", seen))
            Bench::Fail("the running program opened nothing");
        opened.push_back(timer.nsecsElapsed() / 1e6);
        handBase.push_back(TimeToExit(baseline, {QStringLiteral("quit")}, instance));
    }
    Stop(running);
    QLocalServer::removeServer(SingleInstance::ServerName());
    Bench::Print("handover_until_second_start_ends_ms", Median(exits));
    Bench::Print("handover_until_file_opened_ms", Median(opened));
    Bench::Print("handover_baseline_qt_start_and_end_ms", Median(handBase));
    Bench::Print("handover_ratio", Median(opened) / Median(handBase));
    return 0;
}
