#include "maintenance/widgets/MaintenanceWindow.h"

#include "maintenance/FileMaintenance.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/Repair.h"
#include "maintenance/widgets/OutcomeMessage.h"
#include "store/SurveyStore.h"
#include "ui/BusyCursor.h"
#include "ui/Messages.h"
#include "ui/Style.h"
#include "worker/Run.h"
#include "worker/widgets/ProgressStrip.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace pelmor::maintenance {

MaintenanceWindow::MaintenanceWindow(const QString& folder, ui::Messages& messages, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Dialog)
    , m_folder(folder)
    , m_messages(messages)
    , m_task(new worker::BackgroundTask(this))
{
    setObjectName(QStringLiteral("DBManagement"));
    setWindowTitle(QStringLiteral("Database Management"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->setSpacing(10);
    layout->addWidget(ui::makeHeading(QStringLiteral("Database Management"), this, QStringLiteral("Heading")),
                      0, Qt::AlignHCenter);
    QLabel* caution = ui::makeNote(QStringLiteral("CAUTION: Repair Database Before Backup"), this,
                                   QStringLiteral("Caution"));
    caution->setProperty("role", QStringLiteral("warning"));
    caution->setAlignment(Qt::AlignHCenter);
    layout->addWidget(caution);

    // The operations on the database file, hidden on a server.
    const struct {
        const char* text;
        const char* name;
        const char* hint;
        void (MaintenanceWindow::*run)();
    } fileOperations[] = {
        {"Backup Database", "Backup", "Keep the database as it is in pelmor.bak and compact it",
         &MaintenanceWindow::backup},
        {"Repair Database", "Repair", "Check the database and rebuild it from its readable rows if damaged",
         &MaintenanceWindow::repair},
        {"Replace Database", "Replace", "Start again with an empty database", &MaintenanceWindow::replace},
        {"Restore Backup Database", "Restore", "Put the database back as it was at the last backup",
         &MaintenanceWindow::restore},
    };
    m_fileOperations.push_back(caution);
    for (const auto& operation : fileOperations) {
        QPushButton* button = addButton(QLatin1String(operation.text), QLatin1String(operation.name),
                                        QLatin1String(operation.hint));
        connect(button, &QPushButton::clicked, this, operation.run);
        m_fileOperations.push_back(button);
    }
    m_deleteSurveys =
        addButton(QStringLiteral("Delete Individual Survey or Complete Database"),
                  QStringLiteral("DeleteSurveys"), QStringLiteral("Delete one survey or all of them"));
    connect(m_deleteSurveys, &QPushButton::clicked, this, &MaintenanceWindow::deletionRequested);
    layout->addSpacing(8);
    connect(addButton(QStringLiteral("Return To Pelmor Program"), QStringLiteral("ReturnToProgram"),
                      QStringLiteral("Back to the main window")),
            &QPushButton::clicked, this, &MaintenanceWindow::returnRequested);

    // The strip keeps its room while hidden, so the window does not grow
    // and shift under the pointer when an operation starts.
    m_progress = new worker::ProgressStrip(this);
    QSizePolicy policy = m_progress->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    m_progress->setSizePolicy(policy);
    // A narrower bar than the main window's leaves the label its room in
    // a window as narrow as its buttons.
    m_progress->bar()->setMinimumWidth(140);
    layout->addWidget(m_progress);
    m_progress->follow(m_task);
    m_progress->holdWhileBusy(m_buttons);
    setMinimumWidth(420);
}

QPushButton* MaintenanceWindow::addButton(const QString& text, const QString& objectName, const QString& hint)
{
    QPushButton* button = ui::makeButton(text, objectName, this);
    button->setToolTip(hint);
    button->setMinimumHeight(34);
    layout()->addWidget(button);
    m_buttons.push_back(button);
    return button;
}

MaintenanceWindow::~MaintenanceWindow() = default;

bool MaintenanceWindow::isWorking() const
{
    return m_task->isRunning();
}

void MaintenanceWindow::runInBackground(const QString& what, std::function<Outcome()> operation)
{
    if (m_task->isRunning())
        return;
    m_busy = std::make_unique<ui::BusyCursor>();
    // Not cancellable: a backup, repair, restore or replacement stopped
    // half way would leave the database files neither as they were nor as
    // they should become, so the strip shows no "Cancel".
    worker::run(
        *m_task, this, [operation = std::move(operation)](worker::BackgroundTask&) { return operation(); },
        [this](worker::Done<Outcome> done) {
            // The strip has gone and the pointer is back to normal before
            // any message.
            m_busy.reset();
            if (done.failed())
                done.value = Outcome::failed(done.failure);
            showOutcome(m_messages, done.value);
            Q_EMIT operationFinished();
            if (std::exchange(m_returnWhenDone, false))
                Q_EMIT returnRequested();
        },
        what, false);
}

void MaintenanceWindow::present()
{
    showCentred(this);
}

void MaintenanceWindow::showServerMaintenance(bool mayDelete)
{
    for (QWidget* operation : m_fileOperations)
        operation->hide();
    QString text = QStringLiteral("The surveys are kept on the agency server, and the agency's IT backs "
                                  "the server up. Backup, repair, replacement and restore are for the "
                                  "database file on this computer; nothing here erases other officers' "
                                  "surveys.");
    m_deleteSurveys->setText(QStringLiteral("Delete Individual Survey"));
    if (mayDelete) {
        m_deleteSurveys->setToolTip(QStringLiteral("Delete one survey from the agency server"));
    } else {
        m_deleteSurveys->setEnabled(false);
        text += QStringLiteral("\n\n") + store::deletionRefused();
    }
    QLabel* note = ui::makeNote(text, this, QStringLiteral("ServerNote"));
    note->setWordWrap(true);
    static_cast<QVBoxLayout*>(layout())->insertWidget(1, note);
}

void MaintenanceWindow::backup()
{
    runInBackground(QStringLiteral("Backing up and compacting"),
                    [folder = m_folder] { return backupDatabase(folder); });
}

void MaintenanceWindow::repair()
{
    runInBackground(QStringLiteral("Repairing the database"),
                    [folder = m_folder] { return repairDatabase(folder); });
}

void MaintenanceWindow::replace()
{
    if (m_messages.ask(replaceQuestion(m_folder), texts::kReplaceTitle,
                       ui::Messages::Buttons::OkCancelDefaultCancel,
                       ui::Messages::Icon::Warning) != ui::Messages::Answer::Ok)
        return;
    runInBackground(QStringLiteral("Replacing the database"),
                    [folder = m_folder] { return replaceDatabase(folder); });
}

void MaintenanceWindow::restore()
{
    if (!backupExists(m_folder)) {
        m_messages.tell(texts::kNoBackup);
        return;
    }
    if (m_messages.ask(restoreQuestion(m_folder), texts::kReplaceTitle,
                       ui::Messages::Buttons::OkCancelDefaultCancel,
                       ui::Messages::Icon::Warning) != ui::Messages::Answer::Ok)
        return;
    runInBackground(QStringLiteral("Restoring from the backup"),
                    [folder = m_folder] { return restoreDatabase(folder); });
}

void MaintenanceWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window leads back to the program, as its button does,
    // once the operation under way has ended and told how it went.
    event->ignore();
    if (isWorking())
        m_returnWhenDone = true;
    else
        Q_EMIT returnRequested();
}

} // namespace pelmor::maintenance
