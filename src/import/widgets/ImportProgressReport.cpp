#include "import/widgets/ImportProgressReport.h"

#include "session/BackgroundTask.h"
#include "ui/Messages.h"

#include <QProgressDialog>

namespace pelmor::import {

ImportProgressReport::ImportProgressReport(ui::Messages& messages, session::BackgroundTask& task,
                                           QWidget* parent)
    : m_messages(messages)
    , m_task(task)
    , m_parent(parent)
{
    connect(&task, &session::BackgroundTask::progressed, this, &ImportProgressReport::showProgress);
}

ImportProgressReport::~ImportProgressReport() = default;

void ImportProgressReport::message(const QString& text, const QString& reason)
{
    const std::lock_guard<std::mutex> lock(m_heldLock);
    m_held.emplace_back(text, reason);
}

bool ImportProgressReport::confirm(const QString& question)
{
    return m_task.askOnOwnerThread([this, &question] {
        m_dialog.reset();
        return m_messages.ask(question, ui::Messages::defaultTitle(), ui::Messages::Buttons::YesNoDefaultNo,
                              ui::Messages::Icon::Warning) == ui::Messages::Answer::Yes;
    });
}

bool ImportProgressReport::cancelled() const
{
    return m_task.isCancelled();
}

void ImportProgressReport::progress(qint64 written, qint64 expected)
{
    m_task.setProgress(written, expected);
}

void ImportProgressReport::showProgress(qint64 written, qint64 expected)
{
    constexpr int kScale = 1000; // the bar counts thousandths, whatever the survey's size
    if (!m_dialog) {
        m_dialog = std::make_unique<QProgressDialog>(
            QStringLiteral("Storing the survey's vehicles in the database..."), QStringLiteral("Cancel"), 0,
            kScale, m_parent);
        m_dialog->setObjectName(QStringLiteral("ImportProgress"));
        m_dialog->setWindowTitle(ui::Messages::defaultTitle());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(400);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        connect(m_dialog.get(), &QProgressDialog::canceled, &m_task, &session::BackgroundTask::cancel);
    }
    // Once every vehicle is written the statistics follow: nothing is left
    // to stop safely.
    if (written >= expected)
        m_dialog->setCancelButton(nullptr);
    const double share = expected > 0 ? std::min(1.0, double(written) / double(expected)) : 0.0;
    m_dialog->setValue(int(share * kScale));
}

void ImportProgressReport::deliver()
{
    m_dialog.reset();
    std::vector<std::pair<QString, QString>> held;
    {
        const std::lock_guard<std::mutex> lock(m_heldLock);
        held.swap(m_held);
    }
    for (const auto& [text, reason] : held)
        m_messages.tellWithDetails(text, reason);
}

} // namespace pelmor::import
