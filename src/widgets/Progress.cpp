#include "Progress.h"

#include "Language.h"

#include <array>
#include <limits>

int ProgressDelayMs = 500;
std::function<void(QProgressDialog& dialog, qint64 done)> ProgressHook;

namespace {
constexpr TTextRow CancelText{u"Cancel", u"Abbrechen"};
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
    FSinceUpdate.start();
}

bool TProgress::Step(qint64 done)
{
    // Until the dialog shows, every 32nd step lets it decide whether it is due.
    const bool due = FDialog.isVisible() ? FSinceUpdate.elapsed() >= 40 : ++FCalls % 32 == 0;
    if (due) {
        FDialog.setValue(int(done / FScale));
        FSinceUpdate.restart();
    }
    if (ProgressHook)
        ProgressHook(FDialog, done);
    return !FDialog.wasCanceled();
}
