#include "upload/widgets/UploadWindow.h"

#include "db/DbError.h"
#include "session/BackgroundTask.h"
#include "session/widgets/ProgressStrip.h"
#include "store/SurveyStore.h"
#include "ui/Style.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmor::upload {
namespace {

// Tells the worker's progress to the task, and the task's cancel flag to
// the upload.
class TaskReport : public UploadReport {
public:
    explicit TaskReport(session::BackgroundTask& task)
        : m_task(task)
    {
    }
    void progress(qint64 done, qint64 total) override { m_task.setProgress(done, total); }
    bool cancelled() const override { return m_task.isCancelled(); }

private:
    session::BackgroundTask& m_task;
};

QString serverText(const db::ServerChoice& choice)
{
    if (!choice.useServer)
        return QStringLiteral("No agency server is chosen for this computer. Choose the agency server with "
                              "\"Database...\" first, then open this window again.");
    return QStringLiteral("The surveys go to the database %1 on %2, port %3, as %4.")
        .arg(choice.database.isEmpty() ? QStringLiteral("(default)") : choice.database,
             choice.host.isEmpty() ? QStringLiteral("this computer") : choice.host)
        .arg(choice.port)
        .arg(choice.user.isEmpty() ? QStringLiteral("your own user") : choice.user);
}

} // namespace

UploadWindow::UploadWindow(const db::Database& local, QString& password, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_local(local)
    , m_passwordKept(password)
    , m_choice(db::rememberedServerChoice())
    , m_task(new session::BackgroundTask(this))
{
    setObjectName(QStringLiteral("UploadWindow"));
    setWindowTitle(QStringLiteral("Send Surveys to the Agency Server"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);

    m_server = ui::makeNote(serverText(m_choice), this, QStringLiteral("UploadServer"));
    layout->addWidget(m_server);

    layout->addWidget(
        ui::makeCaption(QStringLiteral("Surveys on this computer (checked ones are sent)"), this));
    m_surveys = new QListWidget(this);
    m_surveys->setObjectName(QStringLiteral("UploadSurveys"));
    layout->addWidget(m_surveys, 2);

    auto* passwordRow = new QHBoxLayout;
    m_passwordCaption = ui::makeCaption(QStringLiteral("Server password"), this);
    m_password = ui::makeTextBox(QStringLiteral("UploadPassword"), this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setText(m_passwordKept);
    passwordRow->addWidget(m_passwordCaption);
    passwordRow->addWidget(m_password, 1);
    layout->addLayout(passwordRow);
    // Asked for only once the server wants one.
    m_passwordCaption->setVisible(!m_passwordKept.isEmpty());
    m_password->setVisible(!m_passwordKept.isEmpty());

    auto* buttons = new QHBoxLayout;
    m_send = ui::makeButton(QStringLiteral("Send"), QStringLiteral("Send"), this);
    m_send->setEnabled(m_choice.useServer);
    auto* close = ui::makeButton(QStringLiteral("Close"), QStringLiteral("CloseUpload"), this);
    buttons->addWidget(m_send);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    m_progress = new session::ProgressStrip(this);
    m_progress->follow(m_task);
    m_progress->holdWhileBusy({m_send, m_surveys, m_password, close});
    layout->addWidget(m_progress);

    layout->addWidget(ui::makeCaption(QStringLiteral("Outcome"), this));
    m_outcomes = new QListWidget(this);
    m_outcomes->setObjectName(QStringLiteral("UploadOutcome"));
    m_outcomes->setWordWrap(true);
    layout->addWidget(m_outcomes, 1);
    m_summary = ui::makeNote(QString(), this, QStringLiteral("UploadSummary"));
    layout->addWidget(m_summary);

    connect(m_send, &QPushButton::clicked, this, &UploadWindow::send);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_task, &session::BackgroundTask::finished, this, &UploadWindow::showResult);
    resize(640, 560);
    listSurveys();
}

UploadWindow::~UploadWindow()
{
    m_progress->cancelAndWait();
}

bool UploadWindow::isSending() const
{
    return m_task->isRunning();
}

void UploadWindow::listSurveys()
{
    m_surveys->clear();
    try {
        for (const survey::ListedSurvey& listed : store::openStore(m_local)->listSurveys()) {
            auto* item = new QListWidgetItem(survey::listText(listed), m_surveys);
            item->setData(Qt::UserRole, listed.header.batchNumber);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        }
    } catch (const db::DbError& error) {
        m_summary->setText(error.message());
    }
}

QStringList UploadWindow::checkedBatches() const
{
    QStringList batches;
    for (int row = 0; row < m_surveys->count(); ++row)
        if (m_surveys->item(row)->checkState() == Qt::Checked)
            batches << m_surveys->item(row)->data(Qt::UserRole).toString();
    return batches;
}

void UploadWindow::send()
{
    const QStringList batches = checkedBatches();
    if (batches.isEmpty()) {
        m_summary->setText(QStringLiteral("Check the surveys to send, then press \"Send\"."));
        return;
    }
    if (m_password->isVisible())
        m_passwordKept = m_password->text();
    db::Database server;
    server.server = db::connectionString(m_choice, m_passwordKept);
    m_outcomes->clear();
    m_summary->clear();
    m_task->start(
        [this, server, batches](session::BackgroundTask& task) {
            TaskReport report(task);
            m_result = uploadSurveys(m_local, server, batches, report);
        },
        QStringLiteral("Sending surveys to the agency server"));
}

void UploadWindow::showResult()
{
    for (const SurveyOutcome& outcome : m_result.surveys)
        m_outcomes->addItem(outcomeText(outcome));
    QString summary = m_result.countsText() + QLatin1Char('.');
    if (m_result.cancelled)
        summary += QStringLiteral(" Cancelled: the surveys not sent stay on this computer; press \"Send\" "
                                  "to send them.");
    if (m_result.passwordNeeded) {
        m_passwordCaption->setVisible(true);
        m_password->setVisible(true);
        m_password->setFocus();
        summary =
            QStringLiteral("The agency server wants a password: type it in \"Server password\" and press "
                           "\"Send\" again.");
    } else if (!m_result.stopped.isEmpty()) {
        summary += QLatin1Char(' ') + m_result.stopped;
    }
    m_summary->setText(summary);
    Q_EMIT sent();
}

} // namespace pelmor::upload
