// pelmor-cli killed (SIGKILL) at random moments of a deletion, a backup, a
// repair and a restore of a database of 200,000 vehicles. After each kill
// the folder holds a database that passes SQLite's integrity check and
// holds every survey whole, as it was before the operation or as the
// operation leaves it; the backup is never lost with it; and the operation
// run again succeeds.
//
// The moments fall inside the operation: its length is measured once, with
// the time the program takes to start, and each kill comes at a random
// point between the two.
#include "MaintenanceFixture.h"
#include "db/Files.h"
#include "maintenance/SurveyDeletion.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>

using namespace pelmor;

namespace {

constexpr int kKills = 20;

// What a folder holds: its surveys, each summed up, in the database and in the backup.
struct FolderState {
    QStringList surveys; // surveyContent of pelmor.mdb
    QStringList backup;  // surveyContent of pelmor.bak; empty when there is none
    bool operator==(const FolderState& other) const
    {
        return surveys == other.surveys && backup == other.backup;
    }
};

FolderState stateOf(const QString& folder)
{
    const QString backup = QDir(folder).filePath(QStringLiteral("pelmor.bak"));
    return {test::surveyContent(db::databasePath(folder)),
            QFile::exists(backup) ? test::surveyContent(backup) : QStringList()};
}

} // namespace

class TstKillSafety : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        quint32 seed = QRandomGenerator::global()->generate();
        if (qEnvironmentVariableIsSet("PELMOR_KILL_SEED"))
            seed = quint32(qEnvironmentVariableIntValue("PELMOR_KILL_SEED"));
        m_random.seed(seed);
        qInfo("kill moments drawn with PELMOR_KILL_SEED=%u", seed);
    }

    // Four surveys of 50,000 vehicles, stored once for every operation's
    // test: CTest runs this first; run alone, an operation's test stores
    // them itself when they are not there yet.
    void storeTheDatabase()
    {
        QFile::remove(QStringLiteral(PELMOR_KILL_DATABASE));
        storedDatabase();
    }

    void killedDeletingASurvey()
    {
        killRepeatedly(QStringList{"delete", "050226-A"}, [](const QString&) {});
    }

    void killedDeletingAllSurveys()
    {
        killRepeatedly(QStringList{"delete", "--all", "--yes"}, [](const QString&) {});
    }

    void killedBackingUp()
    {
        // An earlier backup with one survey fewer: at every moment one of
        // the two backups is there.
        killRepeatedly(QStringList{"backup"}, [](const QString& folder) {
            const QString backup = QDir(folder).filePath(QStringLiteral("pelmor.bak"));
            QVERIFY(QFile::copy(db::databasePath(folder), backup));
            QVERIFY(maintenance::deleteSurvey({backup}, QStringLiteral("050426-A")).isDone());
        });
    }

    void killedRepairing()
    {
        killRepeatedly(QStringList{"repair"},
                       [](const QString& folder) { test::damageVehiclePage(db::databasePath(folder)); });
    }

    void killedRestoring()
    {
        // The backup holds four surveys, the database three.
        killRepeatedly(QStringList{"restore", "--yes"}, [](const QString& folder) {
            QVERIFY(
                QFile::copy(db::databasePath(folder), QDir(folder).filePath(QStringLiteral("pelmor.bak"))));
            QCOMPARE(test::runCli(folder, {"delete", "050126-A"}).exitCode, 0);
        });
    }

private:
    // Runs the command to the end once to learn its length and the state it
    // leaves, then kills it kKills times at random moments and checks what
    // each kill leaves.
    void killRepeatedly(const QStringList& arguments, const std::function<void(const QString&)>& prepare)
    {
        const test::TempProgramFolder start;
        QTemporaryDir trial;
        QFile::remove(start.databasePath());
        QVERIFY(QFile::copy(storedDatabase(), start.databasePath()));
        prepare(start.path());
        if (QTest::currentTestFailed())
            return;
        const QString database = db::databasePath(trial.path());
        const QString damaged = test::integrityOf(db::databasePath(start.path())) == QLatin1String("ok")
                                    ? QString()
                                    : db::databasePath(start.path());
        const QByteArray damagedBytes = damaged.isEmpty() ? QByteArray() : test::fileBytes(damaged);
        const FolderState before = damaged.isEmpty() ? stateOf(start.path()) : FolderState();

        // The program's start alone, then the whole operation.
        test::copyFolder(start.path(), trial.path());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(test::runCli(trial.path(), {"--help"}).exitCode, 0);
        const qint64 startNs = clock.nsecsElapsed();
        clock.restart();
        const test::CliRun reference = test::runCli(trial.path(), arguments);
        const qint64 wholeNs = clock.nsecsElapsed();
        QVERIFY2(reference.exitCode == 0, qPrintable(reference.err));
        const FolderState after = stateOf(trial.path());
        QCOMPARE(test::integrityOf(database), QStringLiteral("ok"));

        int leftBefore = 0, leftAfter = 0, leftBetween = 0;
        for (int kill = 0; kill < kKills; ++kill) {
            test::copyFolder(start.path(), trial.path());
            const qint64 earliest = startNs * 8 / 10;
            const qint64 latest = std::max(wholeNs * 105 / 100, earliest + 1000000);
            const qint64 momentNs = earliest + qint64(m_random.bounded(quint64(latest - earliest)));
            const QString moment = QStringLiteral("%1 killed after %2 ms (whole run %3 ms)")
                                       .arg(arguments.join(QLatin1Char(' ')))
                                       .arg(momentNs / 1e6, 0, 'f', 1)
                                       .arg(wholeNs / 1e6, 0, 'f', 1);
            QProcess child;
            clock.restart();
            child.start(QStringLiteral(PELMOR_CLI),
                        QStringList{QStringLiteral("--db"), trial.path()} + arguments);
            QVERIFY(child.waitForStarted());
            const qint64 wait = momentNs - clock.nsecsElapsed();
            if (wait > 0)
                QThread::usleep(quint64(wait / 1000));
            child.kill();
            QVERIFY(child.waitForFinished());

            // Never without a database; whole, and before or after.
            QVERIFY2(QFile::exists(database), qPrintable(moment));
            if (!damaged.isEmpty() && test::fileBytes(database) == damagedBytes) {
                ++leftBefore; // a repair that had not yet put the new file in place
            } else {
                QCOMPARE(test::integrityOf(database), QStringLiteral("ok"));
                const FolderState now = stateOf(trial.path());
                QVERIFY2(now.surveys == before.surveys || now.surveys == after.surveys,
                         qPrintable(moment + QStringLiteral(": ") + now.surveys.join(" / ")));
                // The backup, if there is one, is never lost with the database.
                QVERIFY2(now.backup == before.backup || now.backup == after.backup,
                         qPrintable(moment + QStringLiteral(": backup ") + now.backup.join(" / ")));
                ++(now == after ? leftAfter : now == before ? leftBefore : leftBetween);
            }

            const test::CliRun again = test::runCli(trial.path(), arguments);
            QVERIFY2(again.exitCode == 0, qPrintable(moment + QStringLiteral(", then: ") + again.err));
            QCOMPARE(test::surveyContent(database), after.surveys);
        }
        qInfo("%s: %d kills, %d left the state before, %d the state after, %d the database after and the "
              "backup before",
              qPrintable(arguments.join(' ')), kKills, leftBefore, leftAfter, leftBetween);
    }

    static QString storedDatabase()
    {
        return test::storedOnce(QStringLiteral(PELMOR_KILL_DATABASE),
                                [](const QString& database) { test::storeSurveys(database, 4, 50000); });
    }

    QRandomGenerator m_random;
};

QTEST_GUILESS_MAIN(TstKillSafety)
#include "tst_killsafety.moc"
