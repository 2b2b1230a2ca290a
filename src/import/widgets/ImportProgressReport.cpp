#include "import/widgets/ImportProgressReport.h"

#include "ui/Messages.h"
#include "worker/BackgroundTask.h"

namespace pelmor::import {

ImportProgressReport::ImportProgressReport(ui::Messages& messages, worker::BackgroundTask& task)
    : m_messages(messages)
    , m_task(task)
{
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
    // Once every vehicle is written the statistics follow: nothing is left
    // to stop safely.
    if (written >= expected)
        m_task.setCancellable(false);
}

void ImportProgressReport::deliver()
{
    std::vector<std::pair<QString, QString>> held;
    {
        const std::lock_guard<std::mutex> lock(m_heldLock);
        held.swap(m_held);
    }
    for (const auto& [text, reason] : held)
        m_messages.tellWithDetails(text, reason);
}

} // namespace pelmor::import
