#include "TestSupport.h"
#include "UploadFixture.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <functional>

using namespace pelmor;

// The headless tool is killed outright at spread moments while it sends
// several surveys to the server, and while it imports a 200,000-vehicle
// survey into the server: the server must hold whole surveys only, and the
// same upload or import must then succeed.
class TstKilledUpload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(test::prepareUploadServer(), QString());
        m_database = test::testServer().createDatabase(test::kUploadTemplate);
        QVERIFY(!m_database.isEmpty());
        m_server.server = test::testServer().connectionString(m_database, "officer1");
        std::vector<test::Survey> surveys;
        for (int i = 0; i < 4; ++i)
            surveys.push_back(test::localSurvey(QStringLiteral("K%1").arg(i), 30000, i));
        test::storeSurveys(m_local.databasePath(), surveys);
        m_localCounts = test::vehicleCounts(*store::openStore(m_local.database()));

        loggen::LogHeader header;
        header.startDate = QDate(2026, 4, 1);
        loggen::SurveyProfile profile = loggen::profileForHeader(header);
        profile.durationSeconds = 14LL * 24 * 3600;
        profile.exactCount = 200000;
        QVERIFY(test::writeFile(m_local.filePath("survey.rsx"),
                                loggen::writeLog(header, loggen::generateVehicles(profile), {8, true})));
    }

    void killedUploadsLeaveWholeSurveys()
    {
        const QStringList upload{"--db", m_local.path(), "upload", "--server", m_server.server};
        killAtSpreadMoments(upload, 20250101, [this](const QString& context) {
            const auto onServer = store::openStore(m_server);
            QVERIFY2(test::partialSurvey(*onServer).isEmpty(),
                     qPrintable(context + test::partialSurvey(*onServer)));
            for (const auto& [batch, vehicles] : test::vehicleCounts(*onServer))
                QVERIFY2(m_localCounts.at(batch) == vehicles, qPrintable(context + batch));
        });
        const test::ProgramRun last = test::runProgram(PELMOR_CLI, upload);
        QVERIFY2(last.exitCode == 0, qPrintable(last.err));
        QCOMPARE(test::vehicleCounts(*store::openStore(m_server)), m_localCounts);
    }

    void killedServerImportsStoreAllOrNothing()
    {
        const QStringList import{"--server",   m_server.server, "import",      m_local.filePath("survey.rsx"),
                                 "--location", "Killed Street", "--direction", "North",
                                 "--zone",     "School",        "--unit",      "MPH"};
        killAtSpreadMoments(import, 20250102, [this](const QString& context) {
            // Killed after its commit, the import has stored the survey whole.
            const auto onServer = store::openStore(m_server);
            const auto held = test::vehicleCounts(*onServer);
            QVERIFY2(held.empty() || held == (std::map<QString, qint64>{{"040126-A", 200000}}),
                     qPrintable(context + "a part of the survey was stored"));
            QVERIFY2(test::partialSurvey(*onServer).isEmpty(),
                     qPrintable(context + test::partialSurvey(*onServer)));
            if (held.empty())
                QVERIFY2(onServer->speedCounts("040126-A").empty(),
                         qPrintable(context + "vehicles were left"));
        });
        const test::ProgramRun last = test::runProgram(PELMOR_CLI, import);
        QVERIFY2(last.exitCode == 0, qPrintable(last.err));
        const auto onServer = store::openStore(m_server);
        QCOMPARE(test::vehicleCounts(*onServer), (std::map<QString, qint64>{{"040126-A", 200000}}));
        QCOMPARE(test::partialSurvey(*onServer), QString());
    }

private:
    // Empties the server's survey tables, as before the first run.
    void emptyServer()
    {
        QCOMPARE(test::testServer().execute(
                     QStringLiteral("TRUNCATE \"Site_Survey\", \"Survey_Download\", \"Survey_Source\", "
                                    "\"Summary\", \"Veh_Data\", \"Header\""),
                     m_database),
                 QString());
    }

    // Times one whole run of the tool, then kills it 20 times at moments
    // spread over that time, checking the server after each kill; the
    // server is emptied before each run.
    void killAtSpreadMoments(const QStringList& arguments, quint32 seed,
                             const std::function<void(const QString&)>& check)
    {
        emptyServer();
        QElapsedTimer timer;
        timer.start();
        const test::ProgramRun whole = test::runProgram(PELMOR_CLI, arguments);
        const qint64 wholeMs = timer.elapsed();
        QVERIFY2(whole.exitCode == 0, qPrintable(whole.err));
        test::killAtSpreadMoments(
            PELMOR_CLI, arguments, wholeMs, 0.95, seed, [this] { emptyServer(); }, check);
        emptyServer();
    }

    test::TempProgramFolder m_local;
    QString m_database;
    db::Database m_server;
    std::map<QString, qint64> m_localCounts;
};

QTEST_GUILESS_MAIN(TstKilledUpload)
#include "tst_killedupload.moc"
