// Backup, restore, replace and repair run by pelmor-cli while an import
// by a second pelmor-cli waits for the database and a third process and a
// connection of this one read it. The maintenance is held just before its
// new file takes the database's name (the test-only rename delay), so the
// import always asks for the database while the old file still bears the
// name. Every time, the imported survey is in the database that results,
// or the import was refused because the database was in use; and SQLite's
// integrity check passes on the database and on the backup.
#include "MaintenanceFixture.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "db/SqliteStatement.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using namespace pelmor;

namespace {

constexpr int kRuns = 20;
constexpr int kRenameDelayMs = 400;
const QString kImported = QStringLiteral("050326-Z");

std::unique_ptr<QProcess> startCli(const QString& folder, const QStringList& arguments, int renameDelayMs = 0)
{
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (renameDelayMs > 0)
        environment.insert(QStringLiteral("PELMOR_TEST_RENAME_DELAY_MS"), QString::number(renameDelayMs));
    process->setProcessEnvironment(environment);
    process->start(QStringLiteral(PELMOR_CLI), QStringList{QStringLiteral("--db"), folder} + arguments);
    if (!process->waitForStarted())
        qFatal("pelmor-cli does not start");
    return process;
}

bool running(const std::unique_ptr<QProcess>& process)
{
    return process->state() != QProcess::NotRunning;
}

QString errorsOf(QProcess& process)
{
    return QString::fromUtf8(process.readAllStandardError()).trimmed();
}

} // namespace

class TstRaceSafety : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void backup()
    {
        race({"backup"}, [](const QString&) {});
    }

    void restore()
    {
        race({"restore", "--yes"}, [](const QString& folder) {
            // The backup holds one survey fewer than the database.
            QVERIFY(
                QFile::copy(db::databasePath(folder), QDir(folder).filePath(QStringLiteral("pelmor.bak"))));
            QCOMPARE(test::runCli(folder, {"delete", "050126-A"}).exitCode, 0);
        });
    }

    void replace()
    {
        race({"replace", "--yes"}, [](const QString&) {});
    }

    void repair()
    {
        race({"repair"}, [](const QString& folder) { test::damageVehiclePage(db::databasePath(folder)); });
    }

private:
    void race(const QStringList& operation, const std::function<void(const QString&)>& prepare)
    {
        const test::TempProgramFolder start;
        test::storeSurveys(start.databasePath(), 3, 2000);
        prepare(start.path());
        if (QTest::currentTestFailed())
            return;
        QTemporaryDir trial;
        const QString database = db::databasePath(trial.path());
        const QStringList workFiles = {"pelmor.mdb.compacting", "pelmor.mdb.partial", "pelmor.mdb.repairing"};
        const QStringList import = {"import",      QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                                    "--trailer",   "Z",
                                    "--location",  "Elm Street",
                                    "--direction", "North",
                                    "--zone",      "School"};

        int imported = 0, refused = 0, reads = 0;
        for (int run = 0; run < kRuns; ++run) {
            test::copyFolder(start.path(), trial.path());
            const QString what =
                QStringLiteral("%1, run %2").arg(operation.join(QLatin1Char(' '))).arg(run + 1);
            // A reader of this process keeps its connection across the
            // swap, as an open window keeps its views.
            auto reader = std::make_unique<db::Connection>(db::Database{database});
            const auto readOnce = [&reader, &reads] {
                try {
                    db::SqliteStatement query(*reader, QStringLiteral("SELECT count(*) FROM Veh_Data"));
                    if (query.nextRow())
                        ++reads;
                } catch (const db::DbError&) {
                    // busy while the file is swapped: this read is not counted
                }
            };

            const auto maintenance = startCli(trial.path(), operation, kRenameDelayMs);
            // The work file stands once the maintenance holds the lock.
            QElapsedTimer clock;
            clock.start();
            const auto holdsLock = [&] {
                return std::any_of(workFiles.begin(), workFiles.end(), [&](const QString& name) {
                    return QFile::exists(QDir(trial.path()).filePath(name));
                });
            };
            while (!holdsLock() && running(maintenance) && clock.elapsed() < 30000)
                maintenance->waitForFinished(1);
            QVERIFY2(running(maintenance), qPrintable(what + QStringLiteral(": ended before its rename: ") +
                                                      errorsOf(*maintenance)));

            const auto importer = startCli(trial.path(), import);
            auto lister = startCli(trial.path(), {"surveys"});
            while (running(maintenance) || running(importer)) {
                if (!running(lister)) {
                    QVERIFY2(lister->exitCode() == 0,
                             qPrintable(what + QStringLiteral(": reader: ") + errorsOf(*lister)));
                    ++reads;
                    lister = startCli(trial.path(), {"surveys"});
                }
                readOnce();
                // A process is seen to end only while waited for.
                for (QProcess* process : {maintenance.get(), importer.get(), lister.get()})
                    process->waitForFinished(1);
            }
            lister->waitForFinished();
            reader.reset();

            QVERIFY2(maintenance->exitStatus() == QProcess::NormalExit && maintenance->exitCode() == 0,
                     qPrintable(what + QStringLiteral(": ") + errorsOf(*maintenance)));
            QCOMPARE(test::integrityOf(database), QStringLiteral("ok"));
            const QString backup = QDir(trial.path()).filePath(QStringLiteral("pelmor.bak"));
            if (QFile::exists(backup))
                QCOMPARE(test::integrityOf(backup), QStringLiteral("ok"));
            const QStringList surveys = test::surveyContent(database);
            const bool stored = std::any_of(surveys.begin(), surveys.end(), [](const QString& line) {
                return line.startsWith(kImported + QStringLiteral(" header 1 summary 1 vehicles 2947 "));
            });
            const QString importErrors = errorsOf(*importer);
            if (importer->exitCode() == 0) {
                QVERIFY2(stored, qPrintable(what +
                                            QStringLiteral(": the import said it was done, the database "
                                                           "holds: ") +
                                            surveys.join(QStringLiteral(" / "))));
                ++imported;
            } else {
                QVERIFY2(importErrors.contains(QStringLiteral("in use by another program")),
                         qPrintable(what + QStringLiteral(": import: ") + importErrors));
                QVERIFY(!stored);
                ++refused;
            }
        }
        qInfo("%s: %d runs, the survey imported %d times, refused as in use %d times, %d reads",
              qPrintable(operation.join(QLatin1Char(' '))), kRuns, imported, refused, reads);
    }
};

QTEST_GUILESS_MAIN(TstRaceSafety)
#include "tst_racesafety.moc"
