#pragma once

// How the window benchmarks start: the program's main window, shown at a
// given size, offscreen unless a platform is set. An error the program
// would show ends the benchmark, so no figure comes from a failed command.

#include "Guard.h"
#include "MAIN.h"
#include "Overwrite.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace Bench {

// Call before the application object exists.
inline void UseOffscreenByDefault()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline void ShowMainWindow(int width, int height)
{
    SetErrorReporter([](const QString& message) {
        std::fprintf(stderr, "error: %s\n", qPrintable(message));
        std::abort();
    });
    MainForm = new TMainForm;
    OverwriteBox = new TOverwriteBox(MainForm);
    MainForm->resize(width, height);
    MainForm->show();
    QCoreApplication::processEvents();
}

} // namespace Bench
