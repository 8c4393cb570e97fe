#include "MAIN.h"
#include "Guard.h"
#include "Icons.h"
#include "Overwrite.h"
#include "Settings.h"
#include "about.h"

#include <csignal>

int main(int argc, char* argv[])
{
    // A write beyond the file-size limit fails with an error the program
    // reports, instead of ending it.
    std::signal(SIGXFSZ, SIG_IGN);

    TApplication application(argc, argv);
    // The display name follows; set explicitly, X11 would append it to every
    // window title.
    TApplication::setApplicationName(QStringLiteral("Trevasc"));
    // Names the installed .desktop file, so desktops match windows to the launcher.
    TApplication::setDesktopFileName(QStringLiteral("org.trevasc.Trevasc"));
    TApplication::setWindowIcon(Icons::ProgramIcon());

    // The main window first: it reads the settings the others' texts depend on.
    MainForm = new TMainForm;
    AboutBox = new TAboutBox(MainForm);
    SettingsBox = new TSettingsBox(MainForm);
    OverwriteBox = new TOverwriteBox(MainForm);

    MainForm->show();
    const int result = TApplication::exec();
    delete MainForm;
    return result;
}
