#include "upload/widgets/UploadWindow.h"

#include "db/DbError.h"
#include "db/Files.h"
#include "store/SurveyStore.h"
#include "ui/Style.h"
#include "upload/widgets/ServerFields.h"
#include "worker/Run.h"
#include "worker/widgets/ProgressStrip.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmor::upload {
namespace {

// Tells the worker's progress to the task, and the task's cancel flag to
// the upload.
class TaskReport : public UploadReport {
public:
    explicit TaskReport(worker::BackgroundTask& task)
        : m_task(task)
    {
    }
    void progress(qint64 done, qint64 total) override { m_task.setProgress(done, total); }
    bool cancelled() const override { return m_task.isCancelled(); }

private:
    worker::BackgroundTask& m_task;
};

} // namespace

UploadWindow::UploadWindow(const db::Database& working, const db::ServerChoice& workingChoice,
                           const QString& workingPassword, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_local{working.path}
    , m_working(workingChoice)
    , m_task(new worker::BackgroundTask(this))
    , m_listTask(new worker::BackgroundTask(this))
{
    setObjectName(QStringLiteral("UploadWindow"));
    setWindowTitle(QStringLiteral("Send Surveys to the Agency Server"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);

    auto* fromRow = new QHBoxLayout;
    m_from = ui::makeNote(QString(), this, QStringLiteral("UploadFrom"));
    m_from->setWordWrap(true);
    m_from->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* chooseFolder =
        ui::makeButton(QStringLiteral("Choose Folder..."), QStringLiteral("ChooseFolder"), this);
    fromRow->addWidget(m_from, 1);
    fromRow->addWidget(chooseFolder, 0, Qt::AlignTop);
    layout->addLayout(fromRow);

    layout->addWidget(
        ui::makeCaption(QStringLiteral("Surveys on this computer (checked ones are sent)"), this));
    m_surveys = new QListWidget(this);
    m_surveys->setObjectName(QStringLiteral("UploadSurveys"));
    layout->addWidget(m_surveys, 2);

    layout->addWidget(ui::makeCaption(QStringLiteral("Agency server the surveys go to"), this));
    m_target = new ServerFields(this);
    const db::ServerChoice target = db::rememberedSendServer();
    const bool workedOn = m_working.useServer && db::sameServer(target, m_working);
    m_target->showChoice(target, workedOn ? workingPassword : QString());
    layout->addWidget(m_target);

    auto* buttons = new QHBoxLayout;
    m_send = ui::makeButton(QStringLiteral("Send"), QStringLiteral("Send"), this);
    auto* close = ui::makeButton(QStringLiteral("Close"), QStringLiteral("CloseUpload"), this);
    buttons->addWidget(m_send);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    m_progress = new worker::ProgressStrip(this);
    m_progress->follow(m_task);
    m_progress->follow(m_listTask);
    m_progress->holdWhileBusy({m_send, m_surveys, m_target, chooseFolder, close});
    layout->addWidget(m_progress);

    layout->addWidget(ui::makeCaption(QStringLiteral("Outcome"), this));
    m_outcomes = new QListWidget(this);
    m_outcomes->setObjectName(QStringLiteral("UploadOutcome"));
    m_outcomes->setWordWrap(true);
    layout->addWidget(m_outcomes, 1);
    m_summary = ui::makeNote(QString(), this, QStringLiteral("UploadSummary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    connect(m_send, &QPushButton::clicked, this, &UploadWindow::send);
    connect(chooseFolder, &QPushButton::clicked, this, &UploadWindow::chooseFolder);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_task, &worker::BackgroundTask::finished, this, &UploadWindow::showResult);
    resize(660, 700);
    sendFrom(QFileInfo(m_local.path).absolutePath());
}

UploadWindow::~UploadWindow()
{
    m_progress->cancelAndWait();
}

bool UploadWindow::isSending() const
{
    return m_task->isRunning();
}

void UploadWindow::showEvent(QShowEvent* event)
{
    // A window of its own opens where the window system puts it (the
    // screen's corner); it stands over the window it was opened from.
    if (!m_placed && parentWidget()) {
        m_placed = true;
        const QRect over = parentWidget()->window()->geometry();
        move(over.center() - QPoint(width() / 2, height() / 2));
    }
    QWidget::showEvent(event);
}

void UploadWindow::sendFrom(const QString& folder)
{
    m_local.path = db::databasePath(folder);
    const QString file = db::displayPath(m_local.path);
    m_from->setText(m_working.useServer
                        ? QStringLiteral("The program works on the agency server %1; the surveys are sent "
                                         "from the database file %2. To send the surveys of another "
                                         "file, choose its folder.")
                              .arg(db::serverName(m_working), file)
                        : QStringLiteral("The surveys are sent from the database file %1.").arg(file));
    listSurveys();
}

void UploadWindow::chooseFolder()
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("Folder of the database file to send from"),
                                          QFileInfo(m_local.path).absolutePath());
    if (!folder.isEmpty())
        sendFrom(folder);
}

void UploadWindow::listSurveys()
{
    m_surveys->clear();
    m_summary->clear();
    if (!QFileInfo::exists(m_local.path)) {
        m_summary->setText(QStringLiteral("The folder %1 holds no survey database (%2): choose the folder "
                                          "that holds the surveys to send with \"Choose Folder...\".")
                               .arg(db::displayPath(QFileInfo(m_local.path).absolutePath()),
                                    QFileInfo(m_local.path).fileName()));
        return;
    }
    // Read on the worker: a busy database keeps the list waiting.
    worker::run(
        *m_listTask, this,
        [local = m_local](worker::BackgroundTask&) { return store::openStore(local)->listSurveys(); },
        [this](worker::Done<std::vector<survey::ListedSurvey>> done) {
            if (done.failed()) {
                m_summary->setText(done.failure);
                return;
            }
            for (const survey::ListedSurvey& listed : done.value) {
                auto* item = new QListWidgetItem(survey::listText(listed), m_surveys);
                item->setData(Qt::UserRole, listed.header.batchNumber);
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Checked);
            }
        },
        QStringLiteral("Listing the surveys of %1").arg(db::displayPath(m_local.path)), false);
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
    if (m_task->isRunning())
        return;
    const QStringList batches = checkedBatches();
    if (batches.isEmpty()) {
        m_summary->setText(QStringLiteral("Check the surveys to send, then press \"Send\"."));
        return;
    }
    m_sentTo = m_target->choice();
    if (m_sentTo.host.isEmpty()) {
        m_target->setMessage(QStringLiteral("Type the address of the agency server in \"Host\", then press "
                                            "\"Send\"."));
        return;
    }
    m_target->setMessage(QString());
    try {
        db::rememberSendServer(m_sentTo);
    } catch (const db::DbError& error) {
        m_target->setMessage(error.message()); // the send goes on; only the next start forgets it
    }
    const db::Database server = db::Database::ofServer(db::connectionString(m_sentTo, m_target->password()));
    m_outcomes->clear();
    m_summary->clear();
    m_task->start(
        [this, local = m_local, server, batches](worker::BackgroundTask& task) {
            TaskReport report(task);
            m_result = uploadSurveys(local, server, batches, report);
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
    const QString server = db::serverName(m_sentTo);
    if (m_result.passwordNeeded) {
        m_target->setMessage(QStringLiteral("The agency server %1 wants a password: type it in \"Password\" "
                                            "and press \"Send\" again.")
                                 .arg(server));
        m_target->askForPassword();
    } else if (m_result.loginRefused) {
        m_target->setMessage(QStringLiteral("The agency server %1 refused the password or the user: check "
                                            "\"User\" and \"Password\" (the password is case-sensitive) and "
                                            "press \"Send\" again. Nothing was sent.")
                                 .arg(server));
        m_target->askForPassword();
    } else if (!m_result.stopped.isEmpty()) {
        summary += QLatin1Char(' ') + m_result.stopped;
    }
    m_summary->setText(summary);
    Q_EMIT sent();
}

} // namespace pelmor::upload
