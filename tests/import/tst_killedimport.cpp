#include "TestSupport.h"
#include "db/Connection.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

#include <limits>

using namespace pelmor;

namespace {

constexpr qint64 kVehicles = 200000;
const QString kBatch = QStringLiteral("040126-A");

QStringList importArguments(const QString& folder, const QString& file)
{
    return {"--db",        folder,  "import", file,     "--location", "Killed Street",
            "--direction", "North", "--zone", "School", "--unit",     "MPH"};
}

} // namespace

// A child process imports a 200,000-vehicle survey and is killed outright at
// random moments: the database must come through every kill as it was, and
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
        profile.exactCount = kVehicles;
        QFile log(m_folder.filePath(QStringLiteral("survey.rsx")));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write(loggen::writeLog(header, loggen::generateVehicles(profile), {8, true}));
        log.close();

        // Another survey is stored beside it and must stay whole.
        QVERIFY(QFile::copy(QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                            m_folder.filePath(QStringLiteral("other.rsx"))));
        QCOMPARE(cli(importArguments(m_folder.path(), m_folder.filePath("other.rsx"))), 0);
        QVERIFY(QFile::copy(m_folder.databasePath(), m_folder.filePath(QStringLiteral("before.mdb"))));

        // How long a whole import takes here (the quickest of three), to
        // kill inside it.
        m_importMs = std::numeric_limits<qint64>::max();
        for (int round = 0; round < 3; ++round) {
            restoreDatabase();
            QElapsedTimer timer;
            timer.start();
            QCOMPARE(cli(importArguments(m_folder.path(), log.fileName())), 0);
            m_importMs = std::min(m_importMs, timer.elapsed());
            QCOMPARE(rowsOfSurvey(), kVehicles + 2);
        }
    }
    void killsLeaveTheDatabaseAsItWas()
    {
        const quint32 seed = 20261205;
        QRandomGenerator random(seed);
        const QString file = m_folder.filePath(QStringLiteral("survey.rsx"));
        double latest = 0.85; // of the quickest import's length
        for (int kill = 0; kill < 20; ++kill) {
            restoreDatabase();
            // A moment between the start of the process and the commit at the
            // end of the import.
            const int afterMs = int(m_importMs * (0.05 + (latest - 0.05) * random.generateDouble()));
            const QString context = QStringLiteral("seed %1, kill %2 after %3 of %4 ms: ")
                                        .arg(seed)
                                        .arg(kill)
                                        .arg(afterMs)
                                        .arg(m_importMs);
            QProcess child;
            child.start(QStringLiteral(PELMOR_CLI), importArguments(m_folder.path(), file));
            QVERIFY(child.waitForStarted());
            QTest::qWait(afterMs);
            if (child.state() == QProcess::NotRunning) {
                // Quicker than ever: this moment does not count, later ones come earlier.
                latest *= 0.9;
                --kill;
                continue;
            }
            child.kill(); // SIGKILL: no chance to clean up
            QVERIFY(child.waitForFinished(30000));
            QVERIFY2(child.exitStatus() == QProcess::CrashExit, qPrintable(context + "the import had ended"));

            db::Connection connection({m_folder.databasePath(), nullptr});
            QSqlQuery check = connection.prepareUnlogged(QStringLiteral("PRAGMA integrity_check"));
            QVERIFY(check.exec() && check.next());
            QVERIFY2(check.value(0).toString() == QLatin1String("ok"),
                     qPrintable(context + check.value(0).toString()));
            QVERIFY2(rowsOfSurvey(connection) == 0, qPrintable(context + "rows of the survey remain"));
            QCOMPARE(count(connection, "Veh_Data"), m_otherVehicles);
            QCOMPARE(count(connection, "Header") + count(connection, "Summary"), 2);

            // The same import then succeeds.
            check.finish();
            QVERIFY2(cli(importArguments(m_folder.path(), file)) == 0, qPrintable(context + "import again"));
            QCOMPARE(rowsOfSurvey(), kVehicles + 2);
        }
    }

private:
    int cli(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(PELMOR_CLI), arguments);
        if (!process.waitForFinished(120000))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    static qint64 count(db::Connection& connection, const char* table, const QString& batch = QString())
    {
        QSqlQuery query = connection.prepareUnlogged(
            QStringLiteral("SELECT count(*) FROM \"%1\"%2")
                .arg(QLatin1String(table),
                     batch.isEmpty() ? QString() : QStringLiteral(" WHERE Batch_Number = ?")));
        if (!batch.isEmpty())
            query.bindValue(0, batch);
        return query.exec() && query.next() ? query.value(0).toLongLong() : -1;
    }
    // The survey's vehicle, header and statistics rows together.
    static qint64 rowsOfSurvey(db::Connection& connection)
    {
        return count(connection, "Veh_Data", kBatch) + count(connection, "Header", kBatch) +
               count(connection, "Summary", kBatch);
    }
    qint64 rowsOfSurvey()
    {
        db::Connection connection({m_folder.databasePath(), nullptr});
        return rowsOfSurvey(connection);
    }
    void restoreDatabase()
    {
        QFile::remove(m_folder.databasePath());
        QVERIFY(QFile::copy(m_folder.filePath(QStringLiteral("before.mdb")), m_folder.databasePath()));
        db::Connection connection({m_folder.databasePath(), nullptr});
        m_otherVehicles = count(connection, "Veh_Data");
    }

    test::TempProgramFolder m_folder;
    qint64 m_importMs = 0;
    qint64 m_otherVehicles = 0;
};

QTEST_GUILESS_MAIN(TstKilledImport)
#include "tst_killedimport.moc"
