#pragma once

#include <QPointer>
#include <QWidget>

#include <utility>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pelmor::worker {

class BackgroundTask;

// The one strip of a window that shows the long work running on its
// workers: what runs, a bar that moves (filling up when the work knows how
// much there is, sweeping otherwise) and "Cancel" where stopping the work
// is safe. It follows any number of tasks and shows the one that started
// last; it is hidden while none runs. busyChanged() tells the window when
// to disable the controls that would start conflicting work.
class ProgressStrip : public QWidget {
    Q_OBJECT
public:
    explicit ProgressStrip(QWidget* parent = nullptr);

    // Shows `task` whenever it runs; a task followed already is kept once.
    void follow(BackgroundTask* task);
    // Disables `controls` while any followed task runs; each gets back the
    // state it had before.
    void holdWhileBusy(const std::vector<QWidget*>& controls);
    // Whether any followed task runs now.
    bool isBusy() const;
    // Asks every followed task that runs to stop where that is safe, and
    // waits until each has ended.
    void cancelAndWait();

    QLabel* label() const { return m_label; }
    QProgressBar* bar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

Q_SIGNALS:
    void busyChanged(bool busy);

private:
    void begin(BackgroundTask* task, const QString& what, bool cancellable);
    void showProgress(BackgroundTask* task, qint64 done, qint64 total);
    void end(BackgroundTask* task);
    void setBusy(bool busy);
    void cancelShown();

    std::vector<QPointer<BackgroundTask>> m_followed;
    std::vector<BackgroundTask*> m_running;
    QPointer<BackgroundTask> m_shown;
    // The controls held while busy, with the state each had before.
    std::vector<std::pair<QPointer<QWidget>, bool>> m_held;
    QLabel* m_label = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace pelmor::worker
