#include "../upload/UploadFixture.h"
#include "PdfText.h"
#include "TestSupport.h"
#include "WindowProbe.h"
#include "acquisition/widgets/LoadDataFile.h"
#include "app/AdminTab.h"
#include "app/AppState.h"
#include "app/DatabaseChoiceWindow.h"
#include "app/GraphsTab.h"
#include "app/ImportTab.h"
#include "app/MainWindow.h"
#include "app/PrintControls.h"
#include "app/ProgramWindows.h"
#include "db/Files.h"
#include "db/ServerChoice.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "maintenance/widgets/DeletionWindow.h"
#include "maintenance/widgets/MaintenanceWindow.h"
#include "reports/widgets/ReportWindow.h"
#include "store/DatabaseFolder.h"
#include "store/SqliteSchema.h"
#include "store/SurveyStore.h"
#include "upload/SurveyUpload.h"
#include "worker/BackgroundTask.h"

#include <QComboBox>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>

#include <memory>
#include <optional>

using namespace pelmor;
using pelmor::test::row;

namespace {

// A name that only survives a connection string that quotes its values.
const QString kOddName = QStringLiteral("traffic o'day");
const QString kPassword = QStringLiteral("s3cret pass");

using test::serverChoice;
using test::testServer;

// The program as main() runs it, on a folder of its own whose file holds
// one survey, with its message boxes and password prompt answered here.
struct Program {
    Program()
    {
        state.databaseFolder = folder.path();
        state.database.path = folder.databasePath();
        test::Survey survey;
        survey.batchNumber = QStringLiteral("050302-F");
        survey.addSpeeds({{30, 4}, {40, 2}});
        test::storeSurvey(folder.databasePath(), survey);
        windows = std::make_unique<app::ProgramWindows>(state, messages);
        windows->setPasswordPrompt([this](const QString& text) {
            prompts << text;
            return typedPassword;
        });
    }
    test::WindowProbe ui() const { return test::WindowProbe(windows->mainWindow()); }
    // The batch numbers "Select Survey" lists now.
    QStringList listed() const
    {
        ui().click(QStringLiteral("SelectSurvey"));
        return ui().itemKeys(QStringLiteral("SurveyList"));
    }

    test::TempProgramFolder folder;
    test::RecordingMessages messages;
    app::AppState state;
    std::unique_ptr<app::ProgramWindows> windows;
    std::optional<QString> typedPassword;
    QStringList prompts;
};

// Stores a small survey on the server, sent from a file of its own; the
// batch number sets its vehicles apart, as another download.
void storeOnServer(const QString& database, const QString& batch)
{
    test::TempProgramFolder file;
    test::storeSurvey(file.databasePath(), test::localSurvey(batch, 5, batch.back().unicode()));
    struct : upload::UploadReport {
        void progress(qint64, qint64) override {}
    } report;
    const db::Database server{{}, db::connectionString(serverChoice(database, QStringLiteral("postgres")))};
    QVERIFY(upload::uploadSurveys(file.database(), server, {}, report).complete());
}

} // namespace

// The window on the agency server: choosing it and back, remembering it,
// the start on it, maintenance there, and a server lost during an import.
class TstServerWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(test::prepareUploadServer(), QString());
        test::PgTestServer& server = testServer();
        QCOMPARE(server.execute(QStringLiteral("CREATE ROLE admin1 LOGIN IN ROLE pelmor_admin; "
                                               "CREATE ROLE keyed LOGIN PASSWORD '%1' IN ROLE pelmor_admin")
                                    .arg(kPassword)),
                 QString());
        // Every other role is trusted from 127.0.0.1; "keyed" must give its
        // password.
        QCOMPARE(
            server.execute(QStringLiteral(
                "DO $$ BEGIN EXECUTE format($f$COPY (SELECT line FROM (VALUES "
                "(1, 'host all keyed 127.0.0.1/32 scram-sha-256'), (2, 'host all all 127.0.0.1/32 trust')) "
                "AS rule(n, line) ORDER BY n) TO %L$f$, current_setting('hba_file')); END $$; "
                "SELECT pg_reload_conf()")),
            QString());
    }

    void init()
    {
        m_database = testServer().createDatabase(test::kUploadTemplate);
        QVERIFY2(!m_database.isEmpty(), qPrintable(testServer().error()));
    }
    void cleanup() { testServer().dropDatabase(m_database); }

    // OK in the Database window: a server that answers becomes the database
    // (and the file again after it); one that does not leaves the program
    // on the file and says why in the window.
    void choosingTheDatabase_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("unreachable");
        QTest::addColumn<QString>("told");
        row("name with a blank and a quote", QStringLiteral("admin1"), QString(), false, QString());
        row("password given", QStringLiteral("keyed"), kPassword, false, QString());
        row("password needed", QStringLiteral("keyed"), QString(), false,
            QStringLiteral("wants a password: type it in the password box"));
        row("wrong password", QStringLiteral("keyed"), QStringLiteral("guess"), false,
            QStringLiteral("refused the password or the user"));
        row("unknown user", QStringLiteral("nobody"), QString(), false,
            QStringLiteral("refused the password or the user"));
        row("nothing listens", QStringLiteral("admin1"), QString(), true, QStringLiteral("Cannot connect"));
    }
    void choosingTheDatabase()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, unreachable);
        QFETCH(QString, told);
        const QString odd = QStringLiteral("\"%1\"").arg(kOddName);
        testServer().execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(odd));
        QCOMPARE(testServer().execute(
                     QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(odd, test::kUploadTemplate)),
                 QString());
        Program program;
        program.windows->start();
        QCOMPARE(program.listed(), QStringList{"050302-F"});
        QVERIFY(program.ui().clickItem(QStringLiteral("SurveyList"), QStringLiteral("050302-F")));
        QCOMPARE(program.state.current.batchNumber(), QStringLiteral("050302-F"));
        storeOnServer(kOddName, QStringLiteral("260301-S"));

        const db::ServerChoice choice = serverChoice(kOddName, user, unreachable ? test::freeLocalPort() : 0);
        app::DatabaseChoiceWindow* window = fillIn(program, choice, password);
        QSignalSpy chosen(window, &app::DatabaseChoiceWindow::chosen);
        window->tryChoice();
        QTRY_VERIFY_WITH_TIMEOUT(!window->isTrying(), 20000);
        QCoreApplication::processEvents();
        // However long the message, the boxes keep their height.
        const QWidget* port = window->findChild<QWidget*>(QStringLiteral("ServerPort"));
        QCOMPARE(port->height(), port->sizeHint().height());
        if (!told.isEmpty()) {
            QVERIFY2(window->status().contains(told) && window->status().contains(db::serverName(choice)) &&
                         window->status().contains(QStringLiteral("stays on the database on this computer")),
                     qPrintable(window->status()));
            if (user == QLatin1String("keyed"))
                QCOMPARE(QApplication::focusWidget(),
                         window->findChild<QWidget*>(QStringLiteral("ServerPassword")));
            QVERIFY(program.state.database.server.isEmpty());
            QVERIFY(!db::rememberedServerChoice().useServer);
            QCOMPARE(program.listed(), QStringList{"050302-F"});
            QCOMPARE(program.state.current.batchNumber(), QStringLiteral("050302-F"));
            return;
        }
        QCOMPARE(chosen.count(), 1);
        // The switch: a new main window on the server, nothing of the
        // file's survey on show.
        QTRY_VERIFY(program.state.serverChoice.useServer);
        QVERIFY(program.windows->mainWindow());
        QCOMPARE(program.state.current.batchNumber(), QString());
        QCOMPARE(program.ui().text(QStringLiteral("DatabaseInUse")),
                 QStringLiteral("Agency server: %1").arg(db::serverName(choice)));
        QVERIFY(
            program.ui().text(QStringLiteral("DatabaseNote")).startsWith(QStringLiteral("The agency's IT")));
        QCOMPARE(program.listed(), QStringList{"260301-S"});
        QCOMPARE(program.state.serverPassword, password);
        // Remembered for this user, without the password.
        const db::ServerChoice remembered = db::rememberedServerChoice();
        QVERIFY(remembered.useServer);
        QCOMPARE(remembered.database, kOddName);
        QCOMPARE(remembered.user, user);
        QFile settings(QSettings().fileName());
        QVERIFY(settings.open(QIODevice::ReadOnly));
        if (!password.isEmpty())
            QVERIFY(!settings.readAll().contains(password.toUtf8()));

        // And back to this computer.
        window = fillIn(program, choice, QString());
        window->findChild<QRadioButton*>(QStringLiteral("ThisComputer"))->setChecked(true);
        window->tryChoice();
        QTRY_VERIFY(!program.state.serverChoice.useServer);
        QVERIFY(program.state.database.server.isEmpty() && program.state.serverPassword.isEmpty());
        QVERIFY(
            program.ui().text(QStringLiteral("DatabaseInUse")).startsWith(QStringLiteral("This computer: ")));
        QVERIFY(
            program.ui().text(QStringLiteral("DatabaseNote")).startsWith(QStringLiteral("Back up, repair")));
        QCOMPARE(program.listed(), QStringList{"050302-F"});
        QVERIFY(!db::rememberedServerChoice().useServer);
    }

    // At start the remembered server is used: asked for a password it
    // wants; one that cannot be reached, or a password not given, leaves
    // the session on the file, told.
    void startOnTheRememberedServer_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("unreachable");
        QTest::addColumn<bool>("answers");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("onServer");
        QTest::addColumn<QString>("told");
        row("no password wanted", QStringLiteral("admin1"), false, false, QString(), true, QString());
        row("password typed", QStringLiteral("keyed"), false, true, kPassword, true, QString());
        row("password cancelled", QStringLiteral("keyed"), false, false, QString(), false,
            QStringLiteral("No password was given for the agency server"));
        row("nothing listens", QStringLiteral("admin1"), true, false, QString(), false,
            QStringLiteral("Cannot connect"));
    }
    void startOnTheRememberedServer()
    {
        QFETCH(QString, user);
        QFETCH(bool, unreachable);
        QFETCH(bool, answers);
        QFETCH(QString, typed);
        QFETCH(bool, onServer);
        QFETCH(QString, told);
        Program program;
        storeOnServer(m_database, QStringLiteral("260301-S"));
        const db::ServerChoice choice =
            serverChoice(m_database, user, unreachable ? test::freeLocalPort() : 0);
        db::rememberServerChoice(choice);
        if (answers)
            program.typedPassword = typed;
        program.windows->startOnRememberedDatabase();
        QTRY_VERIFY_WITH_TIMEOUT(program.windows->mainWindow(), 20000);
        QCOMPARE(program.prompts.size(), user == QLatin1String("keyed") ? 1 : 0);
        QCOMPARE(program.state.serverChoice.useServer, onServer);
        QCOMPARE(program.listed(), onServer ? QStringList{"260301-S"} : QStringList{"050302-F"});
        if (onServer) {
            QCOMPARE(program.messages.shown().size(), size_t(0));
            return;
        }
        QCOMPARE(program.messages.shown().size(), size_t(1));
        const QString message = program.messages.last();
        QVERIFY2(message.contains(told) &&
                     message.contains(QStringLiteral("This session works on the database "
                                                     "on this computer")),
                 qPrintable(message));
        // The choice stays remembered for the next start.
        QVERIFY(db::rememberedServerChoice().useServer);
    }

    // "pelmor --db DIR" works on the file of that folder, as pelmor-cli
    // does, although a server is remembered for the user.
    void databaseFolderOption()
    {
        Program program;
        storeOnServer(m_database, QStringLiteral("260301-S"));
        db::rememberServerChoice(serverChoice(m_database));
        const QString laptop = program.folder.filePath(QStringLiteral("laptop"));
        QVERIFY(QDir().mkpath(laptop));
        store::initDatabaseFolder(laptop);
        test::Survey survey;
        survey.batchNumber = QStringLiteral("050303-L");
        survey.addSpeeds({{30, 3}});
        test::storeSurvey(db::databasePath(laptop), survey);
        QCommandLineParser parser;
        parser.addOption(store::databaseFolderOption());
        QVERIFY(parser.parse({QStringLiteral("pelmor"), QStringLiteral("--db"), laptop}));
        QVERIFY(program.windows->startFromArguments(parser));
        QVERIFY(!program.state.serverChoice.useServer);
        QCOMPARE(program.listed(), QStringList{"050303-L"});
    }

    // On a server the maintenance window offers none of the file's
    // operations; an administrator deletes one survey, an officer is told
    // why deleting is not offered.
    void maintenanceOnTheServer_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("mayDelete");
        row("administrator", QStringLiteral("admin1"), true);
        row("officer", QStringLiteral("officer1"), false);
    }
    void maintenanceOnTheServer()
    {
        QFETCH(QString, user);
        QFETCH(bool, mayDelete);
        storeOnServer(m_database, QStringLiteral("260301-S"));
        storeOnServer(m_database, QStringLiteral("260301-T"));
        Program program;
        db::rememberServerChoice(serverChoice(m_database, user));
        program.windows->startOnRememberedDatabase();
        QTRY_VERIFY(program.windows->mainWindow());
        program.windows->openMaintenance();
        QTRY_VERIFY(program.windows->maintenanceWindow());
        maintenance::MaintenanceWindow* window = program.windows->maintenanceWindow();
        const test::WindowProbe ui(window);
        for (const char* name : {"Backup", "Repair", "Replace", "Restore", "Caution"})
            QVERIFY2(!ui.visible(QLatin1String(name)), name);
        const QString note = ui.text(QStringLiteral("ServerNote"));
        QVERIFY2(note.contains(QStringLiteral("the agency's IT backs the server up")), qPrintable(note));
        QCOMPARE(ui.child(QStringLiteral("DeleteSurveys"))->isEnabled(), mayDelete);
        QCOMPARE(
            note.contains(QStringLiteral("Only an administrator of the agency database can delete surveys.")),
            !mayDelete);
        if (!mayDelete)
            return;
        program.windows->openDeletion();
        const test::WindowProbe deletion(program.windows->deletionWindow());
        QVERIFY(!deletion.visible(QStringLiteral("DeleteComplete")));
        QCOMPARE(deletion.itemKeys(QStringLiteral("BatchList")), (QStringList{"260301-S", "260301-T"}));
        program.windows->deletionWindow()->choose(QStringLiteral("260301-S"));
        program.messages.script(ui::Messages::Answer::Yes);
        program.windows->deletionWindow()->deleteSelected();
        QCOMPARE(deletion.itemKeys(QStringLiteral("BatchList")), QStringList{"260301-T"});
        QCOMPARE(serverBatches(), QStringList{"260301-T"});
    }

    // The same download imported in the window into the file and into the
    // server gives the same document and the same breakdown.
    void sameResultsOnTheServer_data()
    {
        QTest::addColumn<QString>("document");
        for (const char* document : {"85th Percentile Report", "Traffic Summary Report",
                                     "15 Minute Traffic Flow", "Speed Study Report"})
            row(document, QString::fromLatin1(document));
    }
    void sameResultsOnTheServer()
    {
        QFETCH(QString, document);
        Program program;
        program.windows->start();
        QVERIFY(QFile::copy(QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                            program.folder.filePath(QStringLiteral("elm.rsx"))));
        std::vector<flow::BreakdownRow> breakdowns[2];
        QString texts[2];
        for (int side = 0; side < 2; ++side) {
            if (side == 1) {
                fillIn(program, serverChoice(m_database), QString())->tryChoice();
                QTRY_VERIFY_WITH_TIMEOUT(program.state.serverChoice.useServer, 20000);
            }
            app::MainWindow& window = *program.windows->mainWindow();
            const test::WindowProbe ui = program.ui();
            ui.click(QStringLiteral("LoadRadarLogFile"));
            window.importTab()->fileWindow().fileNameBox()->setText(QStringLiteral("elm.rsx"));
            window.importTab()->fileWindow().act();
            ui.child<QLineEdit>(QStringLiteral("Input_Location"))->setText(QStringLiteral("Elm Street"));
            ui.child<QComboBox>(QStringLiteral("Input_Direction"))->setCurrentText(QStringLiteral("North"));
            ui.child<QComboBox>(QStringLiteral("Input_Zone"))->setCurrentText(QStringLiteral("School"));
            ui.child<QComboBox>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("MPH"));
            program.messages.clear();
            QSignalSpy imported(window.importTab(), &app::ImportTab::importFinished);
            ui.click(QStringLiteral("ProcessToDatabase"));
            QVERIFY(imported.wait(60000));
            QVERIFY2(program.messages.texts() == QStringList{"2,947 records added"},
                     qPrintable(program.messages.texts().join(" / ")));
            program.messages.clear();

            QCOMPARE(program.listed(), (QStringList{"050302-F", "050326-A"}.mid(side)));
            QVERIFY(ui.clickItem(QStringLiteral("SurveyList"), QStringLiteral("050326-A")));
            ui.click(QStringLiteral("QuarterHourFlow"));
            QTRY_VERIFY_WITH_TIMEOUT(!window.isBusy(), 30000);
            breakdowns[side] = window.graphsTab()->breakdownRows();
            QVERIFY(!breakdowns[side].empty());

            auto* list = ui.child<QComboBox>(QStringLiteral("Print_choice"));
            list->setCurrentIndex(list->findText(document));
            ui.click(QStringLiteral("cmdPrint"));
            reports::ReportWindow* report = window.printControls()->reportWindow();
            QTRY_VERIFY_WITH_TIMEOUT(report && report->document(), 30000);
            report->waitUntilBuilt();
            const QString pdf = program.folder.filePath(QStringLiteral("side%1.pdf").arg(side));
            QSignalSpy saved(report, &reports::ReportWindow::pdfSaved);
            QVERIFY(report->saveAsPdf(pdf));
            QVERIFY(saved.count() == 1 || saved.wait(30000));
            report->hide();
            for (const test::PdfPage& page : test::readPdf(pdf))
                texts[side] += page.text() + QLatin1Char('\n');
        }
        QVERIFY2(texts[0].size() > 200, qPrintable(texts[0]));
        QCOMPARE(texts[1], texts[0]);
        QVERIFY(breakdowns[1] == breakdowns[0]);
    }

    // The server lost in the middle of an import in the window: the user
    // is told that the survey was not stored and the download is kept; the
    // server holds nothing of it, and storing it again works.
    void serverLostDuringAnImport()
    {
        Program program;
        db::rememberServerChoice(serverChoice(m_database));
        program.windows->startOnRememberedDatabase();
        QTRY_VERIFY(program.windows->mainWindow());
        const test::WindowProbe ui = program.ui();
        loggen::LogHeader header;
        header.startDate = QDate(2026, 3, 26);
        header.startHour = 7;
        header.locationCode = "00777";
        header.postedLimit = "025";
        loggen::SurveyProfile profile = loggen::profileForHeader(header);
        profile.durationSeconds = 7 * 24 * 3600;
        profile.exactCount = 300000;
        program.state.downloadBuffer = loggen::writeLog(header, loggen::generateVehicles(profile));
        ui.child(QStringLiteral("ProcessingFrame"))->show();
        ui.click(QStringLiteral("ProcessImportedData"));
        ui.child<QLineEdit>(QStringLiteral("Input_Location"))->setText(QStringLiteral("Elm Street"));
        ui.child<QComboBox>(QStringLiteral("Input_Direction"))->setCurrentText(QStringLiteral("North"));
        ui.child<QComboBox>(QStringLiteral("Input_Zone"))->setCurrentText(QStringLiteral("School"));
        ui.child<QComboBox>(QStringLiteral("Combo1"))->setCurrentText(QStringLiteral("MPH"));
        const QByteArray download = program.state.downloadBuffer;

        app::ImportTab* tab = program.windows->mainWindow()->importTab();
        bool cut = false;
        connect(tab->task(), &worker::BackgroundTask::progressed, this, [&](qint64 done, qint64) {
            if (cut || done <= 0)
                return;
            cut = true;
            testServer().execute(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                "WHERE datname = '%1' AND pid <> pg_backend_pid()")
                                     .arg(m_database));
        });
        QSignalSpy finished(tab, &app::ImportTab::importFinished);
        ui.click(QStringLiteral("ProcessToDatabase"));
        QVERIFY(finished.wait(120000));
        QVERIFY(cut);
        QCOMPARE(program.messages.shown().size(), size_t(1));
        const QString told = program.messages.last();
        QVERIFY2(told.contains(QStringLiteral("connection to the agency server was lost")) &&
                     told.contains(QStringLiteral("the survey was not stored")) &&
                     told.contains(QStringLiteral("the download is kept")),
                 qPrintable(told));
        QCOMPARE(program.state.downloadBuffer, download);
        QCOMPARE(serverBatches(), QStringList());
        // The next try stores it whole.
        program.messages.clear();
        QVERIFY(ui.child(QStringLiteral("ProcessToDatabase"))->isEnabled());
        ui.click(QStringLiteral("ProcessToDatabase"));
        QVERIFY(finished.wait(120000));
        QCOMPARE(program.messages.texts(), QStringList{"300,000 records added"});
        QCOMPARE(serverBatches().size(), 1);
    }

private:
    // "Database...", filled in with `choice`.
    static app::DatabaseChoiceWindow* fillIn(Program& program, const db::ServerChoice& choice,
                                             const QString& password)
    {
        program.ui().click(QStringLiteral("DatabaseChoice"));
        app::DatabaseChoiceWindow* window = program.windows->databaseChoiceWindow();
        const test::WindowProbe ui(window);
        ui.child<QRadioButton>(QStringLiteral("AgencyServer"))->setChecked(true);
        ui.child<QLineEdit>(QStringLiteral("ServerHost"))->setText(choice.host);
        ui.child<QSpinBox>(QStringLiteral("ServerPort"))->setValue(choice.port);
        ui.child<QLineEdit>(QStringLiteral("ServerDatabase"))->setText(choice.database);
        ui.child<QLineEdit>(QStringLiteral("ServerUser"))->setText(choice.user);
        ui.child<QComboBox>(QStringLiteral("TlsMode"))->setCurrentText(choice.tlsMode);
        ui.child<QLineEdit>(QStringLiteral("ServerPassword"))->setText(password);
        return window;
    }
    QStringList serverBatches() const
    {
        QStringList batches;
        for (const survey::ListedSurvey& listed :
             store::openStore(
                 {{}, db::connectionString(serverChoice(m_database, QStringLiteral("postgres")))})
                 ->listSurveys())
            batches << listed.header.batchNumber;
        return batches;
    }

    QString m_database;
};

QTEST_MAIN(TstServerWindow)
#include "tst_serverwindow.moc"
