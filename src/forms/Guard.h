#pragma once

#include <QApplication>
#include <QString>

#include <functional>

// The program's one error guard: runs a command, and shows the message of an
// exception that leaves it in a message box titled "Trevasc". The program
// then goes on with the state reached.
void RunGuarded(const std::function<void()>& command);

// Shows an error message the way the guard does (tests replace the reporter).
void ReportError(const QString& message);
void SetErrorReporter(std::function<void(const QString&)> reporter);

// Catches what escapes an event handler, so no exception crosses the event loop.
class TApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override;
};
