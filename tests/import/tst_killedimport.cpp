#include "TestSupport.h"
#include "db/Connection.h"
#include "db/SqliteStatement.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

using namespace pelmor;

// A child process imports a 200,000-vehicle survey and is killed outright at
// random moments: the database must come through every kill as it was (or
// with the whole survey, when the kill came after the commit), and
// the same import must then succeed.
class TstKilledImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        loggen::LogHeader header;
        header.startDate = QDate(2026, 4, 1);
        loggen::SurveyProfile profile = loggen::profileForHeader(header);
        profile.durationSeconds = 14LL * 24 * 3600;
        profile.exactCount = 200000;
        QVERIFY(test::writeFile(m_folder.filePath("survey.rsx"),
                                loggen::writeLog(header, loggen::generateVehicles(profile), {8, true})));
        // Another survey is stored beside it and must stay whole.
        QVERIFY(QFile::copy(PELMOR_SAMPLES "/elm-street-2days.rsx", m_folder.filePath("other.rsx")));
        QCOMPARE(importRun("other.rsx").exitCode, 0);
        QVERIFY(QFile::copy(m_folder.databasePath(), m_folder.filePath("before.mdb")));
        m_before = counts();
        // How long a whole import takes here, to kill inside it.
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(importRun("survey.rsx").exitCode, 0);
        m_importMs = timer.elapsed();
        restoreDatabase();
    }
    void killsLeaveTheDatabaseAsItWas()
    {
        test::killAtSpreadMoments(
            PELMOR_CLI, importArguments("survey.rsx"), m_importMs, 0.85, 20261205,
            [this] { restoreDatabase(); },
            [this](const QString& context) {
                // Whole, as it was, and open for writing again.
                db::Connection connection({m_folder.databasePath()});
                db::SqliteStatement check(connection, "PRAGMA integrity_check");
                QVERIFY(check.nextRow());
                QVERIFY2(check.valueAt(0).toString() == "ok",
                         qPrintable(context + check.valueAt(0).toString()));
                check.reset();
                // As it was, or with the whole survey when the kill came
                // after the commit, while the program was ending.
                const QList<qint64> now = counts(connection);
                QVERIFY2(now == m_before || now == whole(), qPrintable(context + "the tables changed"));
                connection.executeUnlogged("BEGIN IMMEDIATE");
                connection.executeUnlogged("ROLLBACK");
            });
        QVERIFY(!QTest::currentTestFailed());
        restoreDatabase();
        // The same import then succeeds.
        QCOMPARE(importRun("survey.rsx").exitCode, 0);
        QCOMPARE(counts(), whole());
    }

private:
    // The rows once the survey is stored whole.
    QList<qint64> whole() const { return {m_before[0] + 200000, m_before[1] + 1, m_before[2] + 1}; }
    QStringList importArguments(const QString& file) const
    {
        return {"--db",       m_folder.path(), "import",      m_folder.filePath(file),
                "--location", "Killed Street", "--direction", "North",
                "--zone",     "School",        "--unit",      "MPH"};
    }
    test::ProgramRun importRun(const QString& file) const
    {
        return test::runProgram(PELMOR_CLI, importArguments(file));
    }
    // The rows of the vehicle, header and statistics tables.
    static QList<qint64> counts(db::Connection& connection)
    {
        QList<qint64> rows;
        for (const char* table : {"Veh_Data", "Header", "Summary"}) {
            db::SqliteStatement query(connection, QStringLiteral("SELECT count(*) FROM ") + table);
            rows << (query.nextRow() ? query.integerAt(0) : -1);
        }
        return rows;
    }
    QList<qint64> counts()
    {
        db::Connection connection({m_folder.databasePath()});
        return counts(connection);
    }
    void restoreDatabase()
    {
        QFile::remove(m_folder.databasePath());
        QVERIFY(QFile::copy(m_folder.filePath("before.mdb"), m_folder.databasePath()));
    }

    test::TempProgramFolder m_folder;
    qint64 m_importMs = 0;
    QList<qint64> m_before;
};

QTEST_GUILESS_MAIN(TstKilledImport)
#include "tst_killedimport.moc"
