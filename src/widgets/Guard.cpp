#include "Guard.h"

#include "Language.h"
#include "ZLT_Error.h"
#include "ZLT_Memory.h"

#include <QMessageBox>

#include <exception>

namespace {
std::function<void(const QString&)>& Reporter()
{
    static std::function<void(const QString&)> reporter;
    return reporter;
}

void ShowErrorBox(const QString& message)
{
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Trevasc"), message);
}

} // namespace

QString CurrentErrorMessage()
{
    try {
        throw;
    } catch (const EZLT_Error& e) {
        return e.Text(TextColumn());
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void ReportError(const QString& message)
{
    if (Reporter())
        Reporter()(message);
    else
        ShowErrorBox(message);
}

void SetErrorReporter(std::function<void(const QString&)> reporter)
{
    Reporter() = std::move(reporter);
}

namespace {
// Reports the exception being handled; reporting itself must not throw.
void ReportCurrentException() noexcept
{
    try {
        throw;
    } catch (const EZLT_Aborted&) {
        return; // the user cancelled: nothing to report
    } catch (...) {
    }
    try {
        ReportError(CurrentErrorMessage());
    } catch (...) {
    }
}
} // namespace

namespace {
int ModalWorkDepth = 0;
}

TModalWork::TModalWork()
{
    ++ModalWorkDepth;
}

TModalWork::~TModalWork()
{
    --ModalWorkDepth;
}

bool CommandsBlocked()
{
    return ModalWorkDepth > 0 || QApplication::activeModalWidget() != nullptr;
}

void RunCommand(const std::function<void()>& command)
{
    if (!CommandsBlocked())
        RunGuarded(command);
}

void RunGuarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (...) {
        ReportCurrentException();
    }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    ZLT_Memory::KeepFreedForReuse();
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportCurrentException();
        return false;
    }
}
