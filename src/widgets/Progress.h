#pragma once

#include "Guard.h"

#include <QAction>
#include <QElapsedTimer>
#include <QList>
#include <QProgressDialog>
#include <QString>

#include <functional>
#include <optional>

// The progress of a long job (bulk picture export and import, large files):
// a window-modal dialog with Cancel that shows only once the work has run
// for a while. Updates are kept to a few per second, so thousands of small
// steps are not slowed by drawing.
class TProgress
{
public:
    // A dialog over parent's window; total: the number of steps (files,
    // bytes, ...).
    TProgress(QWidget* parent, const QString& label, qint64 total);

    // Reports the steps done; false once the user has cancelled.
    bool Step(qint64 done);

private:
    TModalWork FModal; // the dialog turns the event loop, even before it shows
    QProgressDialog FDialog;
    QElapsedTimer FSinceUpdate;
    QElapsedTimer FSinceEvents; // the event loop's last turn before the dialog shows
    qint64 FScale = 1; // steps per dialog unit, so large totals fit its int range
    int FCalls = 0;
};

// A TProgress made at a job's first report, when the job knows its total,
// so a short job makes none.
class TProgressOnDemand
{
public:
    TProgressOnDemand(QWidget* parent, const QString& label) : FParent(parent), FLabel(label) {}

    // The job's report: steps done out of total; false once cancelled.
    std::function<bool(qint64 done, qint64 total)> Reporter()
    {
        return [this](qint64 done, qint64 total) {
            if (!FProgress)
                FProgress.emplace(FParent, FLabel, total);
            return FProgress->Step(done);
        };
    }

private:
    QWidget* FParent;
    QString FLabel;
    std::optional<TProgress> FProgress;
};

// Actions that work inside every progress dialog too, such as the laser's
// Blackout on Esc (handed over by the main window; the Cancel button stays).
void SetProgressActions(const QList<QAction*>& actions);

// The dialog appears after this many milliseconds; tests shorten it and
// watch each step through the hook (done in the job's own steps).
extern int ProgressDelayMs;
extern std::function<void(QProgressDialog& dialog, qint64 done)> ProgressHook;
