#pragma once

#include "db/DbError.h"
#include "worker/BackgroundTask.h"

#include <QObject>
#include <QString>

#include <memory>
#include <type_traits>
#include <utility>

namespace pelmor::worker {

// What work run on the worker came to: the value it returned, or, when the
// database refused, that failure's message and kind with `value` left as
// it was made.
template <class R> struct Done {
    R value{};
    QString failure;
    db::Failure kind = db::Failure::Other;
    bool failed() const { return !failure.isEmpty(); }
};

// Runs `work` on `task`'s thread and hands what it came to to `onDone` on
// the thread of `context`, once, when the task has finished; nothing is
// handed over when `context` is gone by then. A db::DbError thrown by the
// work arrives as Done::failure for the caller to word. Returns false, and
// starts nothing, while earlier work of the task still runs: a second click
// does not start the same work twice.
template <class Work, class OnDone>
bool run(BackgroundTask& task, QObject* context, Work work, OnDone onDone, const QString& what,
         bool cancellable)
{
    using Result = std::decay_t<std::invoke_result_t<Work&, BackgroundTask&>>;
    if (task.isRunning())
        return false;
    auto done = std::make_shared<Done<Result>>();
    QObject::connect(
        &task, &BackgroundTask::finished, context,
        [done, onDone = std::move(onDone)]() mutable { onDone(std::move(*done)); }, Qt::SingleShotConnection);
    return task.start(
        [done, work = std::move(work)](BackgroundTask& running) mutable {
            try {
                done->value = work(running);
            } catch (const db::DbError& error) {
                done->failure = error.message();
                done->kind = error.failure();
            }
        },
        what, cancellable);
}

} // namespace pelmor::worker
