#include "MAIN.h"
#include "CommandLine.h"
#include "FileOpener.h"
#include "LaserLink.h"
#include "Guard.h"
#include "Icons.h"
#include "Overwrite.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "Termination.h"
#include "TrevascVersion.h"
#include "ZLT_Files.h"
#include "about.h"

#include <QTimer>

#include <cstdio>

namespace {
// With TREVASC_REPORT set (benchmarks and tests), the program says on its
// standard output when its window is first drawn ("shown") and when it has
// opened files handed over by a second start ("opened N").
bool Reporting()
{
    static const bool reporting = !qEnvironmentVariableIsEmpty("TREVASC_REPORT");
    return reporting;
}

void Report(const QByteArray& line)
{
    std::fputs((line + '\n').constData(), stdout);
    std::fflush(stdout);
}

class TFirstPaintReport : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            Report("shown");
        }
        return false;
    }
};
} // namespace

int main(int argc, char* argv[])
{
    ZLT_Files::ReportWritesPastSizeLimit();

    // The display name follows; set explicitly, X11 would append it to every
    // window title. Also names the per-user settings folder (~/.config/Trevasc).
    TApplication::setApplicationName(QStringLiteral("Trevasc"));
    TApplication::setApplicationVersion(QStringLiteral(TREVASC_VERSION));
    // Names the installed .desktop file, so desktops match windows to the launcher.
    TApplication::setDesktopFileName(QStringLiteral("org.trevasc.Trevasc"));

    // The command line and the hand-over need no display: --help works in a
    // plain terminal, and a second start never connects to the desktop.
    TCommandLine options;
    SingleInstance::TStart start;
    {
        QCoreApplication probe(argc, argv);
        options = CommandLine::Process(argc, argv);
        if (!options.NewInstance && start.HandOver(options.Files))
            return 0;
    }

    TApplication application(argc, argv);
    TApplication::setWindowIcon(Icons::ProgramIcon());

    // The main window first: it reads the settings the others' texts depend on.
    MainForm = new TMainForm;
    AboutBox = new TAboutBox(MainForm);
    SettingsBox = new TSettingsBox(MainForm);
    OverwriteBox = new TOverwriteBox(MainForm);
    // A signal or a lost display: the projector goes dark before the end.
    Termination::Arm([] { MainForm->Laser->Stop(); });

    TFirstPaintReport paintReport;
    if (Reporting())
        MainForm->installEventFilter(&paintReport);
    MainForm->show();

    SingleInstance::TServer server;
    // Once the program has begun to end, later starts run on their own.
    server.SetAccepting([] { return MainForm && !MainForm->Ending(); });
    QObject::connect(&server, &SingleInstance::TServer::FilesReceived, MainForm,
                     &FileOpener::FilesHandedOver);
    if (Reporting())
        QObject::connect(
            &server, &SingleInstance::TServer::FilesReceived, MainForm,
            [](const QStringList& files) { Report("opened " + QByteArray::number(files.size())); });
    // Once the window is up: the files of the command line, and from then on
    // those of later starts.
    QTimer::singleShot(0, MainForm, [&] {
        if (!options.NewInstance)
            start.Serve(server);
        if (!options.Files.isEmpty())
            FileOpener::OpenFilesWhenFree(options.Files);
    });

    const int result = TApplication::exec();
    Termination::Disarm();
    delete MainForm;
    return result;
}
