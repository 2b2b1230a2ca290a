#include "worker/widgets/ProgressStrip.h"

#include "worker/BackgroundTask.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace pelmor::worker {
namespace {

// The bar counts thousandths of the work, whatever its size.
constexpr int kScale = 1000;

} // namespace

ProgressStrip::ProgressStrip(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ProgressStrip"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#ProgressStrip { background: #eef2f7; border: 1px solid #9aa9bc; "
                                 "border-radius: 3px; }"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 3, 4, 3);
    row->setSpacing(10);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("ProgressLabel"));
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar"));
    m_bar->setTextVisible(false);
    m_bar->setMinimumWidth(220);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("CancelWork"));
    m_cancel->setToolTip(QStringLiteral("Stop the work; nothing it was doing is kept"));
    row->addWidget(m_label, 1);
    row->addWidget(m_bar, 1);
    row->addWidget(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, &ProgressStrip::cancelShown);
    hide();
}

void ProgressStrip::follow(BackgroundTask* task)
{
    if (std::find(m_followed.begin(), m_followed.end(), task) != m_followed.end())
        return;
    m_followed.emplace_back(task);
    connect(task, &BackgroundTask::started, this,
            [this, task](const QString& what, bool cancellable) { begin(task, what, cancellable); });
    connect(task, &BackgroundTask::progressed, this,
            [this, task](qint64 done, qint64 total) { showProgress(task, done, total); });
    connect(task, &BackgroundTask::cancellableChanged, this, [this, task](bool cancellable) {
        if (task == m_shown)
            m_cancel->setEnabled(cancellable && !task->isCancelled());
    });
    connect(task, &BackgroundTask::finished, this, [this, task] { end(task); });
    // A task goes with the window that owns it: it is forgotten without a
    // word, since nothing of that window may be told any more.
    connect(task, &QObject::destroyed, this, [this, task] {
        m_running.erase(std::remove(m_running.begin(), m_running.end(), task), m_running.end());
    });
}

void ProgressStrip::holdWhileBusy(const std::vector<QWidget*>& controls)
{
    for (QWidget* control : controls)
        m_held.emplace_back(control, control->isEnabled());
}

bool ProgressStrip::isBusy() const
{
    return !m_running.empty();
}

void ProgressStrip::cancelAndWait()
{
    for (const QPointer<BackgroundTask>& task : m_followed) {
        if (task && task->isRunning()) {
            task->cancel();
            task->waitForFinished();
        }
    }
}

void ProgressStrip::begin(BackgroundTask* task, const QString& what, bool cancellable)
{
    const bool wasBusy = isBusy();
    if (std::find(m_running.begin(), m_running.end(), task) == m_running.end())
        m_running.push_back(task);
    m_shown = task;
    m_label->setText(what.isEmpty() ? QStringLiteral("Working...") : what + QStringLiteral("..."));
    // Sweeping until the work says how far it is.
    m_bar->setRange(0, 0);
    m_bar->setValue(0);
    m_cancel->setVisible(cancellable);
    m_cancel->setEnabled(cancellable);
    show();
    if (!wasBusy)
        setBusy(true);
}

void ProgressStrip::showProgress(BackgroundTask* task, qint64 done, qint64 total)
{
    if (task != m_shown)
        return;
    if (total <= 0) {
        m_bar->setRange(0, 0);
        return;
    }
    m_bar->setRange(0, kScale);
    m_bar->setValue(static_cast<int>(std::clamp(double(done) / double(total), 0.0, 1.0) * kScale));
}

void ProgressStrip::end(BackgroundTask* task)
{
    const auto found = std::find(m_running.begin(), m_running.end(), task);
    if (found == m_running.end())
        return;
    m_running.erase(found);
    if (task == m_shown || m_shown.isNull()) {
        // The strip goes back to another task still running, if any.
        m_shown = m_running.empty() ? nullptr : m_running.back();
        if (m_shown) {
            begin(m_shown, m_shown->what(), m_shown->isCancellable());
            return;
        }
        hide();
    }
    if (!isBusy())
        setBusy(false);
}

void ProgressStrip::setBusy(bool busy)
{
    for (auto& [control, wasEnabled] : m_held) {
        if (!control)
            continue;
        if (busy) {
            wasEnabled = control->isEnabled();
            control->setEnabled(false);
        } else {
            control->setEnabled(wasEnabled);
        }
    }
    Q_EMIT busyChanged(busy);
}

void ProgressStrip::cancelShown()
{
    if (!m_shown)
        return;
    m_shown->cancel();
    m_cancel->setEnabled(false);
    m_label->setText(QStringLiteral("Cancelling: %1...").arg(m_shown->what()));
}

} // namespace pelmor::worker
