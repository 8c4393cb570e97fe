#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

class QWidget;

// A long write (a catalog save, an export) on a thread of its own while the
// event loop keeps turning: the laser stream goes on and Blackout acts at
// once. Meanwhile the windows' commands wait (TModalWork), so nothing
// changes what the job reads, and a progress dialog over parent shows as
// for any long job once the job reports its total.
namespace BackgroundJob {

// The job's report from its thread: steps done out of total; false once
// the user has cancelled.
using TProgressFn = std::function<bool(qint64 done, qint64 total)>;

// Runs job on the thread and returns when it has ended; what the job
// raised is raised here. job may only read data the commands would change.
void Run(QWidget* parent, const QString& label, const std::function<void(const TProgressFn&)>& job);

} // namespace BackgroundJob
