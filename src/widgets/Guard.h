#pragma once

#include <QApplication>
#include <QString>

#include <functional>

// The program's one error guard: runs a command, and shows the message of an
// exception that leaves it in a message box titled "Trevasc". The program
// then goes on with the state reached.
void RunGuarded(const std::function<void()>& command);

// Work that keeps the event loop turning behind a modal dialog, such as a
// long job with a progress dialog (also before that dialog shows). While
// any runs, or a modal dialog of the program is open, the windows' commands
// do nothing: no key, menu entry, drop or close may change a catalog in the
// middle of the job.
class TModalWork
{
public:
    TModalWork();
    ~TModalWork();
    TModalWork(const TModalWork&) = delete;
    TModalWork& operator=(const TModalWork&) = delete;
};

// True while commands must wait: modal work runs or a modal dialog is open.
bool CommandsBlocked();

// Runs a command of a window (menu, toolbar, key, context menu, drop)
// through the error guard, unless commands are blocked.
void RunCommand(const std::function<void()>& command);

// The message of the exception being handled, in the user's language; call
// it inside a catch block.
QString CurrentErrorMessage();

// Shows an error message the way the guard does (tests replace the reporter).
void ReportError(const QString& message);
void SetErrorReporter(std::function<void(const QString&)> reporter);

// Catches what escapes an event handler, so no exception crosses the event
// loop; keeps freed memory for reuse (ZLT_Memory::KeepFreedForReuse).
class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
