#pragma once

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

namespace pelmor::session {

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
    // earlier work still runs.
    bool start(Work work);
    bool isRunning() const;
    // Waits until the work has ended and finished() was emitted; for the
    // way out and for programs without an event loop of their own.
    void waitForFinished();

    // Asks the work to stop where it is safe to.
    void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled; }

    // From the work: `done` of about `total` is done.
    void setProgress(qint64 done, qint64 total);
    // From the work: runs `question` on the owner's thread and returns its
    // answer; the work waits meanwhile.
    bool askOnOwnerThread(const std::function<bool()>& question);

Q_SIGNALS:
    void progressed(qint64 done, qint64 total);
    // The work has ended, cancelled or not.
    void finished();

private:
    void threadEnded();

    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_cancelled{false};
};

} // namespace pelmor::session
