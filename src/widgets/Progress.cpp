#include "Progress.h"

#include "Language.h"

#include <QCoreApplication>
#include <QShortcut>

#include <array>
#include <limits>

int ProgressDelayMs = 500;
std::function<void(QProgressDialog& dialog, qint64 done)> ProgressHook;

namespace {
constexpr TTextRow CancelText{u"Cancel", u"Abbrechen"};
QList<QAction*> Actions;
} // namespace

void SetProgressActions(const QList<QAction*>& actions)
{
    Actions = actions;
}

TProgress::TProgress(QWidget* parent, const QString& label, qint64 total)
    : FDialog(label, Tr(CancelText), 0, 1, parent)
{
    while (total / FScale > std::numeric_limits<int>::max())
        FScale *= 2;
    FDialog.setMaximum(int(total / FScale));
    FDialog.setWindowTitle(QStringLiteral("Trevasc"));
    FDialog.setWindowModality(Qt::WindowModal);
    FDialog.setAutoReset(false);
    FDialog.setAutoClose(false);
    FDialog.setMinimumDuration(ProgressDelayMs);
    FDialog.setValue(0);
    FDialog.addActions(Actions);
    // Esc is the actions' own, not a second way to Cancel.
    const auto shortcuts = FDialog.findChildren<QShortcut*>();
    for (QShortcut* shortcut : shortcuts)
        for (const QAction* action : Actions)
            if (action->shortcut() == shortcut->key())
                shortcut->setEnabled(false);
    FSinceUpdate.start();
    FSinceEvents.start();
}

bool TProgress::Step(qint64 done)
{
    // Until the dialog shows, every 32nd step lets it decide whether it is due.
    const bool due = FDialog.isVisible() ? FSinceUpdate.elapsed() >= 40 : ++FCalls % 32 == 0;
    if (due) {
        FDialog.setValue(int(done / FScale));
        FSinceUpdate.restart();
    }
    // The dialog turns the event loop once it shows; before that the timers
    // (the laser stream's among them) and keys get their turn here.
    if (!FDialog.isVisible() && FSinceEvents.elapsed() >= 20) {
        QCoreApplication::processEvents();
        FSinceEvents.restart();
    }
    if (ProgressHook)
        ProgressHook(FDialog, done);
    return !FDialog.wasCanceled();
}
