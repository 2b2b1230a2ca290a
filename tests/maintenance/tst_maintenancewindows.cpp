// The maintenance and deletion windows as the user works them, through the
// program's top windows: the main window closes with every connection and
// comes back fresh, the buttons ask and tell exactly what they should.
#include "MaintenanceFixture.h"
#include "WindowProbe.h"
#include "app/AppState.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/ReportsTab.h"
#include "db/Connection.h"
#include "maintenance/FileMaintenance.h"
#include "maintenance/SurveyDeletion.h"
#include "maintenance/widgets/Backdrop.h"
#include "maintenance/widgets/DeletionWindow.h"
#include "maintenance/widgets/MaintenanceWindow.h"
#include "worker/BackgroundTask.h"
#include "worker/widgets/ProgressStrip.h"

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <optional>

using namespace pelmor;
using Answer = ui::Messages::Answer;
using Buttons = ui::Messages::Buttons;
using Icon = ui::Messages::Icon;
using test::row;

Q_DECLARE_METATYPE(Answer)

namespace {

const QStringList kBatches = {"050126-A", "050226-A", "050326-A"};

// A message box as a line: its title, text, buttons and icon.
QString box(const QString& text, const QString& title = ui::Messages::defaultTitle(),
            Buttons buttons = Buttons::Ok, Icon icon = Icon::None)
{
    return QStringLiteral("%1 | %2 | buttons %3, icon %4").arg(title, text).arg(int(buttons)).arg(int(icon));
}

QStringList shown(const test::RecordingMessages& messages)
{
    QStringList boxes;
    for (const test::RecordingMessages::Shown& message : messages.shown())
        boxes << box(message.text, message.title, message.buttons, message.icon);
    return boxes;
}

} // namespace

class TstMaintenanceWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        test::storeSurveys(m_folder->databasePath(), 3, 20);
        m_messages = std::make_unique<test::RecordingMessages>();
        m_state = std::make_unique<app::AppState>();
        m_state->databaseFolder = m_folder->path();
        m_state->downloadBuffer = "0501260800 the download so far";
        m_windows = std::make_unique<app::ProgramWindows>(*m_state, *m_messages);
        m_windows->start();
    }
    void cleanup() { m_windows.reset(); }

    // Opening closes the main window and every connection; returning brings
    // the main window back as at start.
    void openAndReturn_data()
    {
        QTest::addColumn<bool>("closeWindow"); // rather than "Return To Pelmor Program"
        row("return button", false);
        row("window closed", true);
    }
    void openAndReturn()
    {
        QFETCH(bool, closeWindow);
        // Leave the main window in a state other than its start.
        const test::WindowProbe reports(m_windows->mainWindow()->reportsTab());
        reports.click(QStringLiteral("SelectSurvey"));
        QVERIFY(reports.workDone() && reports.visible(QStringLiteral("SurveyList")));
        m_windows->mainWindow()->tabs()->setCurrentIndex(3);

        openMaintenance();
        QVERIFY(!m_windows->mainWindow());
        QCOMPARE(test::openDescriptorsOn(m_folder->databasePath()), 0);

        const maintenance::Backdrop* backdrop = m_windows->backdrop();
        QCOMPARE(backdrop->objectName(), QStringLiteral("Blankform"));
        QVERIFY(backdrop->isVisible() && backdrop->isFullScreen());
        maintenance::MaintenanceWindow* window = m_windows->maintenanceWindow();
        QCOMPARE(window->objectName(), QStringLiteral("DBManagement"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Database Management"));
        QVERIFY(window->isVisible());
        QCOMPARE(test::WindowProbe(window).text(QStringLiteral("Caution")),
                 QStringLiteral("CAUTION: Repair Database Before Backup"));
        QStringList captions;
        for (const QPushButton* button : window->findChildren<QPushButton*>()) {
            if (button->isVisible())
                captions << button->text();
        }
        QCOMPARE(
            captions,
            (QStringList{"Backup Database", "Repair Database", "Replace Database", "Restore Backup Database",
                         "Delete Individual Survey or Complete Database", "Return To Pelmor Program"}));

        if (closeWindow)
            window->close();
        else
            test::WindowProbe(window).click(QStringLiteral("ReturnToProgram"));
        QTRY_VERIFY(m_windows->mainWindow());
        QVERIFY(!m_windows->maintenanceWindow());
        QVERIFY(!m_windows->backdrop()->isVisible());
        QVERIFY(m_windows->mainWindow()->isVisible());
        QCOMPARE(m_windows->mainWindow()->tabs()->currentIndex(), 0);
        QVERIFY(
            !test::WindowProbe(m_windows->mainWindow()->reportsTab()).visible(QStringLiteral("SurveyList")));
        QCOMPARE(m_state->downloadBuffer, QByteArray("0501260800 the download so far"));
        // The new window has read its names again; nothing was told.
        QCOMPARE(m_messages->texts(), QStringList());
    }

    // Replace and Restore ask with the warning icon, Cancel as the default,
    // and say what their OK erases; each operation says what it did.
    void operations_data()
    {
        QTest::addColumn<bool>("backupFirst");
        QTest::addColumn<QString>("button");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<int>("surveysAfter");
        const QString replace =
            box(QStringLiteral("Replace current database with new blank database? \r\n"
                               "         Current database data will be lost!\r\n"
                               "All 3 surveys and 60 vehicles will be erased."),
                QStringLiteral("Replace Database"), Buttons::OkCancelDefaultCancel, Icon::Warning);
        const QString restore =
            box(QStringLiteral("Restore database with data from last performed backup? \r\n"
                               "             Current database data will be lost!\r\n"
                               "All 3 surveys and 60 vehicles will be erased. The backup holds 2 surveys and "
                               "40 vehicles."),
                QStringLiteral("Replace Database"), Buttons::OkCancelDefaultCancel, Icon::Warning);
        row("backup", false, QStringLiteral("Backup"), Answer::Ok,
            QStringList{box(QStringLiteral("Backup and compacting are complete."))}, 3);
        row("repair", false, QStringLiteral("Repair"), Answer::Ok,
            QStringList{box(QStringLiteral("Repair of the database is complete."))}, 3);
        row("replace", false, QStringLiteral("Replace"), Answer::Ok,
            QStringList{replace, box(QStringLiteral("The database was replaced with an empty database: no "
                                                    "survey is stored now."))},
            0);
        row("replace, cancelled", false, QStringLiteral("Replace"), Answer::Cancel, QStringList{replace}, 3);
        row("restore", true, QStringLiteral("Restore"), Answer::Ok,
            QStringList{restore, box(QStringLiteral("The database was restored from the backup: it holds 2 "
                                                    "surveys and 40 vehicles."))},
            2);
        row("restore, cancelled", true, QStringLiteral("Restore"), Answer::Cancel, QStringList{restore}, 3);
        row("restore without a backup", false, QStringLiteral("Restore"), Answer::Ok,
            QStringList{box(QStringLiteral("        Backup database does not exist\r\n"
                                           "You must first create a backup of pelmor.mdb"))},
            3);
    }
    void operations()
    {
        QFETCH(bool, backupFirst);
        QFETCH(QString, button);
        QFETCH(Answer, answer);
        QFETCH(QStringList, boxes);
        QFETCH(int, surveysAfter);
        openMaintenance();
        if (backupFirst) {
            // The backup holds two surveys, the database three.
            QVERIFY(maintenance::deleteSurvey({m_folder->databasePath()}, kBatches[2]).isDone());
            QVERIFY(maintenance::backupDatabase(m_folder->path()).isDone());
            for (int stored = 0; stored < 2; ++stored)
                QVERIFY(maintenance::deleteSurvey({m_folder->databasePath()}, kBatches[stored]).isDone());
            test::storeSurveys(m_folder->databasePath(), 3, 20);
        }
        QCOMPARE(test::surveyContent(m_folder->databasePath()).size(), 3);

        m_messages->script(answer);
        test::WindowProbe(m_windows->maintenanceWindow()).click(button);
        QTRY_VERIFY(!m_windows->maintenanceWindow()->isWorking());
        QCOMPARE(shown(*m_messages), boxes);
        QCOMPARE(test::surveyContent(m_folder->databasePath()).size(), surveysAfter);
        QVERIFY(m_windows->maintenanceWindow()->isVisible());
    }

    // While an operation runs the strip says what runs, its bar sweeping
    // and no way to stop it, and every button is held off; when it ends
    // the strip is gone and the buttons are back before the outcome is
    // told. A close meanwhile leads back to the program only after that.
    void progressWhileWorking_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<bool>("closeMeanwhile");
        const QString backingUp = QStringLiteral("Backing up and compacting...");
        const QString backedUp = QStringLiteral("Backup and compacting are complete.");
        const QString repairing = QStringLiteral("Repairing the database...");
        const QString repaired = QStringLiteral("Repair of the database is complete.");
        row("backup", QStringLiteral("Backup"), backingUp, backedUp, false);
        row("repair", QStringLiteral("Repair"), repairing, repaired, false);
        row("backup, window closed meanwhile", QStringLiteral("Backup"), backingUp, backedUp, true);
        row("repair, window closed meanwhile", QStringLiteral("Repair"), repairing, repaired, true);
    }
    void progressWhileWorking()
    {
        QFETCH(QString, button);
        QFETCH(QString, running);
        QFETCH(QString, outcome);
        QFETCH(bool, closeMeanwhile);
        openMaintenance();
        maintenance::MaintenanceWindow* window = m_windows->maintenanceWindow();
        const worker::ProgressStrip* strip = window->progressStrip();
        auto* task = window->findChild<worker::BackgroundTask*>();
        QVERIFY(task);
        const QList<QPushButton*> buttons = window->findChildren<QPushButton*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(buttons.size(), 6);
        const auto enabledButtons = [&buttons] {
            QStringList names;
            for (const QPushButton* control : buttons) {
                if (control->isEnabled())
                    names << control->objectName();
            }
            return names;
        };
        const QStringList allButtons = enabledButtons();
        QCOMPARE(allButtons.size(), 6);
        QVERIFY(!strip->isVisible());

        // What the window shows: the first four parts are checked at the
        // end too, the rest while it runs.
        const auto look = [&] {
            return QStringList{QStringLiteral("strip %1").arg(strip->isVisible()),
                               QStringLiteral("enabled ") + enabledButtons().join(QLatin1Char(',')),
                               QStringLiteral("messages %1").arg(m_messages->shown().size()),
                               QStringLiteral("in the program %1").arg(m_windows->mainWindow() != nullptr),
                               QStringLiteral("working %1").arg(window->isWorking()),
                               QLatin1Char('"') + strip->label()->text() + QLatin1Char('"'),
                               // sweeping: no total known
                               QStringLiteral("bar %1, cancel %2")
                                   .arg(strip->bar()->maximum())
                                   .arg(strip->cancelButton()->isVisible())};
        };
        std::optional<QStringList> whileRunning;
        std::optional<QStringList> atEnd;
        // The watches end with this test, the window may live on.
        QObject watcher;
        connect(task, &worker::BackgroundTask::started, &watcher, [&] {
            whileRunning = look();
            if (closeMeanwhile)
                window->close();
        });
        connect(task, &worker::BackgroundTask::finished, &watcher, [&] { atEnd = look(); });

        test::WindowProbe(window).click(button);
        QTRY_VERIFY(atEnd.has_value());
        QVERIFY(whileRunning.has_value());
        QCOMPARE(*whileRunning,
                 (QStringList{"strip 1", "enabled ", "messages 0", "in the program 0", "working 1",
                              QLatin1Char('"') + running + QLatin1Char('"'), "bar 0, cancel 0"}));
        QCOMPARE(atEnd->mid(0, 4), (QStringList{"strip 0", QStringLiteral("enabled ") + allButtons.join(','),
                                                "messages 0", "in the program 0"}));

        if (closeMeanwhile) {
            QTRY_VERIFY(m_windows->mainWindow());
            QVERIFY(!m_windows->maintenanceWindow());
        } else {
            QTRY_VERIFY(!window->isWorking());
            QVERIFY(window->isVisible());
        }
        QCOMPARE(shown(*m_messages), QStringList{box(outcome)});
        QCOMPARE(test::integrityOf(m_folder->databasePath()), QStringLiteral("ok"));
    }

    void refusalWhileAnotherProgramWrites()
    {
        openMaintenance();
        db::Connection writer({m_folder->databasePath()});
        db::Transaction transaction(writer);
        writer.execute(QStringLiteral("delete from Agency"));
        test::WindowProbe(m_windows->maintenanceWindow()).click(QStringLiteral("Backup"));
        QTRY_VERIFY(!m_windows->maintenanceWindow()->isWorking());
        QCOMPARE(m_messages->shown().size(), size_t(1));
        const auto& shown = m_messages->shown().front();
        QVERIFY2(shown.text.startsWith(QStringLiteral("Backup Database was not done: the database ")),
                 qPrintable(shown.text));
        QCOMPARE(shown.icon, Icon::Warning);
        QVERIFY(!shown.details.isEmpty());
        QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("pelmor.bak"))));
    }

    void deletionWindow()
    {
        openMaintenance();
        test::WindowProbe(m_windows->maintenanceWindow()).click(QStringLiteral("DeleteSurveys"));
        QTRY_VERIFY(m_windows->deletionWindow());
        QVERIFY(!m_windows->maintenanceWindow());
        QVERIFY(m_windows->backdrop()->isVisible());
        maintenance::DeletionWindow* window = m_windows->deletionWindow();
        QCOMPARE(window->objectName(), QStringLiteral("DeleteDB"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Delete Database"));
        const test::WindowProbe ui(window);
        QCOMPARE(ui.text(QStringLiteral("DeleteBatch")), QStringLiteral("Delete Batch"));
        QCOMPARE(ui.itemKeys(QStringLiteral("BatchList")), kBatches);
        QCOMPARE(ui.text(QStringLiteral("Choice")), QString());

        // Without a choice "Delete Selected" says how to make one.
        ui.click(QStringLiteral("DeleteSelected"));
        QCOMPARE(
            shown(*m_messages),
            QStringList{box(QStringLiteral("No survey is chosen: click the survey to delete in the list, "
                                           "then press \"Delete Selected\"."),
                            QStringLiteral("Delete Selected"))});
        m_messages->clear();

        // A click chooses; "Delete Selected" asks, naming the survey, with No
        // as the default (Enter keeps it), then deletes it, says so, refills
        // the list and empties the choice.
        QVERIFY(ui.clickItem(QStringLiteral("BatchList"), kBatches[1]));
        QCOMPARE(ui.text(QStringLiteral("Choice")), kBatches[1]);
        const QString question =
            box(QStringLiteral("Delete the survey 050226-A (Main St, North, 05/02/2026)?"
                               "\r\nIts 20 vehicles and its statistics will be erased."),
                QStringLiteral("Delete Selected"), Buttons::YesNoDefaultNo, Icon::Warning);
        ui.click(QStringLiteral("DeleteSelected"));
        QCOMPARE(test::surveyContent(m_folder->databasePath()).size(), 3);
        m_messages->script(Answer::Yes);
        ui.click(QStringLiteral("DeleteSelected"));
        QCOMPARE(shown(*m_messages),
                 (QStringList{question, question,
                              box(QStringLiteral("The survey 050226-A and its 20 vehicles were deleted."))}));
        QCOMPARE(ui.itemKeys(QStringLiteral("BatchList")), (QStringList{kBatches[0], kBatches[2]}));
        QCOMPARE(ui.text(QStringLiteral("Choice")), QString());
        QCOMPARE(test::surveyContent(m_folder->databasePath()).size(), 2);
        m_messages->clear();

        // "Delete Complete Database" says what goes; Enter keeps everything,
        // Yes deletes every survey and the list shows none.
        const QString deleteAll = box(
            QStringLiteral("This will ERASE the existing DATABASE file!  Do You want to continue?\r\n"
                           "All 2 surveys and 40 vehicles will be erased."),
            QStringLiteral("Brenholt Zuduravaviru,LLC QUORVANT TM"), Buttons::YesNoDefaultNo, Icon::Warning);
        ui.click(QStringLiteral("DeleteComplete"));
        QCOMPARE(test::surveyContent(m_folder->databasePath()).size(), 2);
        m_messages->script(Answer::Yes);
        ui.click(QStringLiteral("DeleteComplete"));
        QCOMPARE(test::surveyContent(m_folder->databasePath()), QStringList());
        QCOMPARE(ui.itemKeys(QStringLiteral("BatchList")), QStringList());
        QCOMPARE(shown(*m_messages),
                 (QStringList{deleteAll, deleteAll, box(QStringLiteral("Finished Deleting Database"))}));

        ui.click(QStringLiteral("ReturnToProgram"));
        QTRY_VERIFY(m_windows->mainWindow());
        QVERIFY(!m_windows->deletionWindow());
        QVERIFY(!m_windows->backdrop()->isVisible());
    }

    // Vehicles a repair kept without their header are listed after the
    // surveys, so that they can be deleted too.
    void headerlessVehiclesAreListed()
    {
        db::Connection({m_folder->databasePath()})
            .execute(QStringLiteral("delete from Header where Batch_Number = '050126-A'"));
        openMaintenance();
        test::WindowProbe(m_windows->maintenanceWindow()).click(QStringLiteral("DeleteSurveys"));
        QTRY_VERIFY(m_windows->deletionWindow());
        const test::WindowProbe ui(m_windows->deletionWindow());
        QCOMPARE(ui.itemKeys(QStringLiteral("BatchList")),
                 (QStringList{kBatches[1], kBatches[2], kBatches[0]}));
        QCOMPARE(ui.items(QStringLiteral("BatchList")).last(),
                 kBatches[0] + QStringLiteral("  (no survey header)"));
        QVERIFY(ui.clickItem(QStringLiteral("BatchList"), kBatches[0]));
        m_messages->script(Answer::Yes);
        ui.click(QStringLiteral("DeleteSelected"));
        QCOMPARE(
            m_messages->texts(),
            (QStringList{"Delete the 20 vehicles and the statistics stored under 050126-A without a survey "
                         "header?\r\nThey will be erased.",
                         "The 20 vehicles and the statistics stored under 050126-A without a survey header "
                         "were deleted."}));
        QCOMPARE(ui.itemKeys(QStringLiteral("BatchList")), (QStringList{kBatches[1], kBatches[2]}));
    }

private:
    void openMaintenance()
    {
        test::WindowProbe(m_windows->mainWindow()).click(QStringLiteral("DatabaseManagement"));
        QTRY_VERIFY(m_windows->maintenanceWindow());
    }

    std::unique_ptr<test::TempProgramFolder> m_folder;
    std::unique_ptr<test::RecordingMessages> m_messages;
    std::unique_ptr<app::AppState> m_state;
    std::unique_ptr<app::ProgramWindows> m_windows;
};

QTEST_MAIN(TstMaintenanceWindows)
#include "tst_maintenancewindows.moc"
