#include "worker/BackgroundTask.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QSemaphore>

#include <mutex>
#include <utility>

namespace pelmor::worker {

BackgroundTask::BackgroundTask(QObject* parent)
    : QObject(parent)
{
}

BackgroundTask::~BackgroundTask()
{
    if (m_thread) {
        // A question asked meanwhile is answered no, and the work stops.
        cancel();
        m_thread->disconnect(this);
        m_thread->wait();
    }
}

bool BackgroundTask::start(Work work, const QString& what, bool cancellable)
{
    if (isRunning())
        return false;
    m_cancelled = false;
    m_what = what;
    m_cancellable = cancellable;
    m_thread.reset(QThread::create([this, work = std::move(work)] { work(*this); }));
    connect(m_thread.get(), &QThread::finished, this, &BackgroundTask::threadEnded, Qt::QueuedConnection);
    Q_EMIT started(m_what, m_cancellable);
    m_thread->start();
    return true;
}

bool BackgroundTask::isRunning() const
{
    return m_thread != nullptr;
}

void BackgroundTask::waitForFinished()
{
    if (!m_thread)
        return;
    m_thread->wait();
    // The queued end arrives with the events, emitted once.
    while (m_thread)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void BackgroundTask::setProgress(qint64 done, qint64 total)
{
    Q_EMIT progressed(done, total);
}

void BackgroundTask::setCancellable(bool cancellable)
{
    // Read and written on the owner's thread only: the worker's word
    // arrives there queued.
    QMetaObject::invokeMethod(
        this,
        [this, cancellable] {
            if (std::exchange(m_cancellable, cancellable) != cancellable)
                Q_EMIT cancellableChanged(cancellable);
        },
        Qt::AutoConnection);
}

bool BackgroundTask::askOnOwnerThread(const std::function<bool()>& question)
{
    if (QThread::currentThread() == thread())
        return question();
    // The question is asked with the owner's events; the work waits for the
    // answer, or for the cancel of a task on its way out, whose answer is
    // the safe one: no.
    // A question given up is not asked later: what it refers to is gone.
    struct Asked {
        std::mutex asking;
        bool givenUp = false;
        QSemaphore answered;
        bool answer = false;
    };
    auto asked = std::make_shared<Asked>();
    QMetaObject::invokeMethod(
        this,
        [asked, &question] {
            const std::lock_guard<std::mutex> lock(asked->asking);
            if (asked->givenUp)
                return;
            asked->answer = question();
            asked->answered.release();
        },
        Qt::QueuedConnection);
    while (!asked->answered.tryAcquire(1, 50)) {
        if (m_cancelled) {
            const std::lock_guard<std::mutex> lock(asked->asking);
            if (asked->answered.tryAcquire(1))
                return asked->answer;
            asked->givenUp = true;
            return false;
        }
    }
    return asked->answer;
}

void BackgroundTask::threadEnded()
{
    if (!m_thread)
        return;
    m_thread->wait();
    m_thread.reset();
    Q_EMIT finished();
}

} // namespace pelmor::worker
