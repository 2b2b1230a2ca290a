#pragma once

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace pelmor::worker {

// Runs one piece of long work on a thread of its own, so that the window's
// thread stays free to paint and to answer the user. The work reports its
// progress and looks at the cancel flag where stopping is safe; the window
// follows progressed() and finished(), which arrive on the thread that owns
// the task. The work reaches the database through a connection of its own
// (every db::Connection is one) and must not touch widgets: a question for
// the user goes through askOnOwnerThread(), and only before anything is
// locked.
class BackgroundTask : public QObject {
    Q_OBJECT
public:
    using Work = std::function<void(BackgroundTask& task)>;

    explicit BackgroundTask(QObject* parent = nullptr);
    // Asks running work to stop and waits for it.
    ~BackgroundTask() override;

    // Starts `work` on a worker thread; false, and nothing started, while
    // earlier work still runs. `what` says what runs, for the progress
    // strip ("Drawing the graph"); `cancellable` whether stopping it midway
    // leaves nothing changed.
    bool start(Work work, const QString& what = QString(), bool cancellable = true);
    bool isRunning() const;
    const QString& what() const { return m_what; }
    bool isCancellable() const { return m_cancellable; }
    // Waits until the work has ended and finished() was emitted; for the
    // way out and for programs without an event loop of their own.
    void waitForFinished();

    // Asks the work to stop where it is safe to.
    void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled; }

    // From the work: `done` of about `total` is done; a total of 0 when
    // the work cannot say how much is left.
    void setProgress(qint64 done, qint64 total);
    // From the work: from here on stopping is no longer safe (or is again).
    void setCancellable(bool cancellable);
    // From the work: runs `question` on the owner's thread and returns its
    // answer; the work waits meanwhile.
    bool askOnOwnerThread(const std::function<bool()>& question);

Q_SIGNALS:
    // The work has begun.
    void started(const QString& what, bool cancellable);
    void progressed(qint64 done, qint64 total);
    void cancellableChanged(bool cancellable);
    // The work has ended, cancelled or not.
    void finished();

private:
    void threadEnded();

    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_cancelled{false};
    QString m_what;
    bool m_cancellable = true;
};

} // namespace pelmor::worker
