#include "BackgroundJob.h"

#include "Guard.h"
#include "Progress.h"

#include <QEventLoop>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace BackgroundJob {

void Run(QWidget* parent, const QString& label, const std::function<void(const TProgressFn&)>& job)
{
    const TModalWork modal; // from the start, not only once the dialog shows
    QEventLoop loop;
    std::optional<TProgress> progress;
    std::exception_ptr failure;

    // Each report waits until this thread has shown it, so the dialog and
    // its Cancel see every step, as for a job on this thread.
    std::mutex mutex;
    std::condition_variable answered;
    bool pending = false;
    bool listening = true; // false once this thread no longer answers
    bool cancelled = false;
    const auto show = [&](qint64 done, qint64 total) {
        if (!progress)
            progress.emplace(parent, label, total);
        const bool goOn = progress->Step(done);
        const std::lock_guard<std::mutex> lock(mutex);
        cancelled = cancelled || !goOn;
        pending = false;
        answered.notify_all();
    };
    const TProgressFn report = [&](qint64 done, qint64 total) {
        std::unique_lock<std::mutex> lock(mutex);
        if (!listening)
            return !cancelled;
        pending = true;
        QMetaObject::invokeMethod(
            &loop, [&show, done, total] { show(done, total); }, Qt::QueuedConnection);
        answered.wait(lock, [&] { return !pending || !listening; });
        return !cancelled;
    };

    std::thread worker([&] {
        try {
            job(report);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    // The loop also returns early when the program is ending: the job then
    // runs to its end unwatched, so its file is either whole or untouched.
    {
        const std::lock_guard<std::mutex> lock(mutex);
        listening = false;
        answered.notify_all();
    }
    worker.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace BackgroundJob
