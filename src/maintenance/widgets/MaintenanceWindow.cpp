#include "maintenance/widgets/MaintenanceWindow.h"

#include "maintenance/FileMaintenance.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/Repair.h"
#include "maintenance/widgets/OutcomeMessage.h"
#include "ui/Messages.h"
#include "ui/Style.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmor::maintenance {

MaintenanceWindow::MaintenanceWindow(const QString& folder, ui::Messages& messages, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Dialog)
    , m_folder(folder)
    , m_messages(messages)
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

    connect(addButton(QStringLiteral("Backup Database"), QStringLiteral("Backup"),
                      QStringLiteral("Keep the database as it is in pelmor.bak and compact it")),
            &QPushButton::clicked, this, &MaintenanceWindow::backup);
    connect(addButton(QStringLiteral("Repair Database"), QStringLiteral("Repair"),
                      QStringLiteral("Check the database and rebuild it from its readable rows if damaged")),
            &QPushButton::clicked, this, &MaintenanceWindow::repair);
    connect(addButton(QStringLiteral("Replace Database"), QStringLiteral("Replace"),
                      QStringLiteral("Start again with an empty database")),
            &QPushButton::clicked, this, &MaintenanceWindow::replace);
    connect(addButton(QStringLiteral("Restore Backup Database"), QStringLiteral("Restore"),
                      QStringLiteral("Put the database back as it was at the last backup")),
            &QPushButton::clicked, this, &MaintenanceWindow::restore);
    connect(addButton(QStringLiteral("Delete Individual Survey or Complete Database"),
                      QStringLiteral("DeleteSurveys"), QStringLiteral("Delete one survey or all of them")),
            &QPushButton::clicked, this, &MaintenanceWindow::deletionRequested);
    layout->addSpacing(8);
    connect(addButton(QStringLiteral("Return To Pelmor Program"), QStringLiteral("ReturnToProgram"),
                      QStringLiteral("Back to the main window")),
            &QPushButton::clicked, this, &MaintenanceWindow::returnRequested);
    setMinimumWidth(420);
}

QPushButton* MaintenanceWindow::addButton(const QString& text, const QString& objectName, const QString& hint)
{
    QPushButton* button = ui::makeButton(text, objectName, this);
    button->setToolTip(hint);
    button->setMinimumHeight(34);
    layout()->addWidget(button);
    return button;
}

void MaintenanceWindow::present()
{
    showCentred(this);
}

void MaintenanceWindow::backup()
{
    runAndShowOutcome(m_messages, [this] { return backupDatabase(m_folder); });
}

void MaintenanceWindow::repair()
{
    runAndShowOutcome(m_messages, [this] { return repairDatabase(m_folder); });
}

void MaintenanceWindow::replace()
{
    if (m_messages.ask(replaceQuestion(m_folder), texts::kReplaceTitle,
                       ui::Messages::Buttons::OkCancelDefaultCancel,
                       ui::Messages::Icon::Warning) != ui::Messages::Answer::Ok)
        return;
    runAndShowOutcome(m_messages, [this] { return replaceDatabase(m_folder); });
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
    runAndShowOutcome(m_messages, [this] { return restoreDatabase(m_folder); });
}

void MaintenanceWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window leads back to the program, as its button does.
    event->ignore();
    Q_EMIT returnRequested();
}

} // namespace pelmor::maintenance
