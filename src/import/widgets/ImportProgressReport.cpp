#include "import/widgets/ImportProgressReport.h"

#include "ui/Messages.h"

#include <QProgressDialog>

namespace pelmor::import {

ImportProgressReport::ImportProgressReport(ui::Messages& messages, QWidget* parent)
    : m_messages(messages)
    , m_parent(parent)
{
}

ImportProgressReport::~ImportProgressReport() = default;

void ImportProgressReport::message(const QString& text, const QString& reason)
{
    // A message ends the writing: the bar goes before the box comes.
    m_dialog.reset();
    m_messages.tellWithDetails(text, reason);
}

bool ImportProgressReport::confirm(const QString& question)
{
    m_dialog.reset();
    return m_messages.ask(question, ui::Messages::defaultTitle(), ui::Messages::Buttons::YesNoDefaultNo,
                          ui::Messages::Icon::Warning) == ui::Messages::Answer::Yes;
}

void ImportProgressReport::progress(qint64 written, qint64 expected)
{
    constexpr int kScale = 1000; // the bar counts thousandths, whatever the survey's size
    if (!m_dialog) {
        m_dialog = std::make_unique<QProgressDialog>(
            QStringLiteral("Storing the survey's vehicles in the database..."), QString(), 0, kScale,
            m_parent);
        m_dialog->setObjectName(QStringLiteral("ImportProgress"));
        m_dialog->setWindowTitle(ui::Messages::defaultTitle());
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(400);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
    }
    const double share = expected > 0 ? std::min(1.0, double(written) / double(expected)) : 0.0;
    m_dialog->setValue(int(share * kScale));
}

} // namespace pelmor::import
