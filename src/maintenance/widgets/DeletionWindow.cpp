#include "maintenance/widgets/DeletionWindow.h"

#include "db/DbError.h"
#include "maintenance/DatabaseCheck.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/SurveyDeletion.h"
#include "maintenance/widgets/OutcomeMessage.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"
#include "ui/Messages.h"
#include "ui/Style.h"
#include "worker/Run.h"
#include "worker/widgets/ProgressStrip.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelmor::maintenance {

DeletionWindow::DeletionWindow(const db::Database& database, ui::Messages& messages, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::Dialog)
    , m_database(database)
    , m_messages(messages)
    , m_task(new worker::BackgroundTask(this))
{
    setObjectName(QStringLiteral("DeleteDB"));
    setWindowTitle(QStringLiteral("Delete Database"));

    QGroupBox* frame = ui::makeFrame(QStringLiteral("Delete Batch"), QStringLiteral("DeleteBatch"), this);
    m_surveys = new QListWidget(frame);
    m_surveys->setObjectName(QStringLiteral("BatchList"));
    m_surveys->setWordWrap(true);
    m_surveys->setAlternatingRowColors(true);
    m_surveys->setToolTip(QStringLiteral("Click the survey to delete"));
    m_surveys->setMinimumHeight(200);
    m_choice = ui::makeTextBox(QStringLiteral("Choice"), frame);
    m_choice->setReadOnly(true);
    m_choice->setToolTip(QStringLiteral("The survey that \"Delete Selected\" deletes"));
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_surveys, 1);
    auto* choiceRow = new QHBoxLayout;
    choiceRow->addWidget(ui::makeCaption(QStringLiteral("Survey chosen:"), frame));
    choiceRow->addWidget(m_choice, 1);
    frameLayout->addLayout(choiceRow);

    QPushButton* deleteSelected =
        ui::makeButton(QStringLiteral("Delete Selected"), QStringLiteral("DeleteSelected"), this);
    deleteSelected->setToolTip(QStringLiteral("Delete the chosen survey with all its vehicles"));
    QPushButton* deleteComplete =
        ui::makeButton(QStringLiteral("Delete Complete Database"), QStringLiteral("DeleteComplete"), this);
    deleteComplete->setToolTip(QStringLiteral("Delete every survey"));
    QPushButton* returnButton =
        ui::makeButton(QStringLiteral("Return To Pelmor Program"), QStringLiteral("ReturnToProgram"), this);
    returnButton->setToolTip(QStringLiteral("Back to the main window"));
    // On the agency server one survey is deleted at a time: every survey
    // of the agency is not this window's to erase.
    deleteComplete->setVisible(store::capabilitiesOf(database).deleteAll);
    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    for (QPushButton* button : {deleteSelected, deleteComplete, returnButton}) {
        button->setMinimumHeight(34);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(18, 14, 18, 14);
    auto* layout = new QHBoxLayout;
    layout->setSpacing(16);
    layout->addWidget(frame, 1);
    layout->addLayout(buttons);
    outer->addLayout(layout, 1);
    // Across the foot of the window while the list is read; hidden, it
    // takes no room.
    auto* progress = new worker::ProgressStrip(this);
    progress->follow(m_task);
    outer->addWidget(progress);
    setMinimumWidth(460);

    progress->holdWhileBusy({m_surveys, deleteSelected, deleteComplete});
    connect(m_surveys, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { choose(item->data(Qt::UserRole).toString()); });
    connect(deleteSelected, &QPushButton::clicked, this, &DeletionWindow::deleteSelected);
    connect(deleteComplete, &QPushButton::clicked, this, &DeletionWindow::deleteComplete);
    connect(returnButton, &QPushButton::clicked, this, &DeletionWindow::returnRequested);
}

void DeletionWindow::present()
{
    showCentred(this);
    fillList();
}

void DeletionWindow::fillList()
{
    m_surveys->clear();
    // The surveys listed, then the batches of vehicle rows a repair kept
    // without their header, which can be deleted too; a server's keys keep
    // no rows without their header.
    struct Listed {
        std::vector<survey::ListedSurvey> surveys;
        QStringList orphans;
    };
    // Read on the worker: a busy database keeps the list waiting.
    worker::run(
        *m_task, this,
        [database = m_database](worker::BackgroundTask&) {
            return Listed{store::openStore(database)->listSurveys(),
                          store::capabilitiesOf(database).fileMaintenance ? batchesWithoutHeader(database.path) : QStringList()};
        },
        [this](worker::Done<Listed> done) {
            if (done.failed()) {
                m_messages.ask(QStringLiteral("The stored surveys cannot be listed."),
                               ui::Messages::defaultTitle(), ui::Messages::Buttons::Ok,
                               ui::Messages::Icon::Critical, done.failure);
                return;
            }
            // Each entry shows the survey; it stands for its batch number.
            QStringList batches;
            for (const survey::ListedSurvey& listed : done.value.surveys) {
                auto* item = new QListWidgetItem(survey::listText(listed), m_surveys);
                item->setData(Qt::UserRole, listed.header.batchNumber);
                batches << listed.header.batchNumber;
            }
            for (const QString& batch : done.value.orphans) {
                if (batches.contains(batch))
                    continue;
                auto* item = new QListWidgetItem(batch + QStringLiteral("  (no survey header)"), m_surveys);
                item->setData(Qt::UserRole, batch);
            }
        },
        QStringLiteral("Listing the stored surveys"), false);
}

void DeletionWindow::choose(const QString& batch)
{
    m_choice->setText(batch);
}

void DeletionWindow::deleteSelected()
{
    const QString batch = m_choice->text();
    if (batch.isEmpty()) {
        m_messages.tell(QStringLiteral("No survey is chosen: click the survey to delete in the list, then "
                                       "press \"Delete Selected\"."),
                        texts::kDeleteSelectedOperation);
        return;
    }
    if (m_messages.ask(deleteSurveyQuestion(m_database, batch), texts::kDeleteSelectedOperation,
                       ui::Messages::Buttons::YesNoDefaultNo,
                       ui::Messages::Icon::Warning) != ui::Messages::Answer::Yes)
        return;
    runAndShowOutcome(m_messages, [this, &batch] { return deleteSurvey(m_database, batch); });
    fillList();
    m_choice->clear();
}

void DeletionWindow::deleteComplete()
{
    if (m_messages.ask(deleteAllQuestion(m_database), texts::kDeleteAllTitle,
                       ui::Messages::Buttons::YesNoDefaultNo,
                       ui::Messages::Icon::Warning) != ui::Messages::Answer::Yes)
        return;
    runAndShowOutcome(m_messages, [this] { return deleteAllSurveys(m_database); });
    fillList();
    m_choice->clear();
}

void DeletionWindow::closeEvent(QCloseEvent* event)
{
    // Closing the window leads back to the program, as its button does.
    event->ignore();
    Q_EMIT returnRequested();
}

} // namespace pelmor::maintenance
