// pelmor-cli's maintenance commands, and the failures a child process
// meets for real: a read-only folder and a full disk (a file size limit).
// Whatever fails, every file of the folder is as it was.
#include "MaintenanceFixture.h"
#include "maintenance/MaintenanceTexts.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using namespace pelmor;
using test::row;

namespace {

// A message as the console shows it.
QString console(QString text)
{
    return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

} // namespace

class TstMaintenanceCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_seed = std::make_unique<test::TempProgramFolder>();
        // Large enough that a full disk stops SQLite part way through its writes.
        test::storeSurveys(m_seed->databasePath(), 4, 12000);
    }

    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        QFile::remove(database());
        QVERIFY(QFile::copy(m_seed->databasePath(), database()));
    }

    void cleanup() { test::setFolderReadOnly(m_folder->path(), false); }

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // on the output after a success, else on the error stream
        QTest::addColumn<int>("surveysAfter");
        using namespace maintenance::texts;
        const QString notConfirmed = QStringLiteral("\nNothing was changed: add --yes to go ahead.");
        row("replace asks for --yes", QStringList{"replace"}, 1, console(kReplaceQuestion) + notConfirmed, 4);
        row("replace", QStringList{"replace", "--yes"}, 0, QString(), 0);
        row("delete a survey", QStringList{"delete", "050226-A"}, 0, QString(), 3);
        row("delete a survey not stored", QStringList{"delete", "050226-B"}, 0,
            QStringLiteral("No survey 050226-B is stored; nothing was deleted."), 4);
        row("delete all asks for --yes", QStringList{"delete", "--all"}, 1,
            console(kDeleteAllQuestion) + notConfirmed, 4);
        row("delete all", QStringList{"delete", "--all", "--yes"}, 0, kDeletingFinished, 0);
    }
    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(int, surveysAfter);
        const test::CliRun run = test::runCli(m_folder->path(), arguments);
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(exitCode == 0 ? run.out : run.err, message);
        QCOMPARE(test::surveyContent(database()).size(), surveysAfter);
    }

    // Each command on a folder that it cannot write to, or with a disk
    // that fills up (files cannot grow past 1 MiB, the database is larger).
    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("message");
        const QString backup =
            QStringLiteral("Backup Database failed: The backup %1 could not be written. The "
                           "database and its backup are as they were.");
        const QString compacting =
            QStringLiteral("Backup Database failed: The database could not be compacted "
                           "into %1. The database and its backup are as they were.");
        const QString restore = QStringLiteral(
            "Restore Backup Database failed: %1 could not be copied to %2. The database and its "
            "backup are as they were.");
        const QString replace =
            QStringLiteral("Replace Database failed: %1 could not be copied to %2. The database and its "
                           "backup are as they were.");
        const QString repair =
            QStringLiteral("Repair Database failed: A new database could not be written as "
                           "%1. The database and its backup are as they were.");
        const QString deleteOne = QStringLiteral("Delete Selected failed: the database could not be changed. "
                                                 "Every survey is as it was.");
        const QString deleteAll = QStringLiteral("Delete Complete Database failed: the database could not be "
                                                 "changed. Every survey is as it was.");
        // DIR/ stands for the folder.
        row("backup, read-only folder", QStringList{"backup"}, true, backup.arg("DIR/pelmor.bak.new"));
        row("backup, full disk after the database is set aside", QStringList{"backup"}, false,
            compacting.arg("DIR/pelmor.mdb.compacting"));
        row("restore, read-only folder", QStringList{"restore", "--yes"}, true,
            restore.arg("DIR/pelmor.bak", "DIR/pelmor.mdb.partial"));
        row("restore, full disk", QStringList{"restore", "--yes"}, false,
            restore.arg("DIR/pelmor.bak", "DIR/pelmor.mdb.partial"));
        row("replace, read-only folder", QStringList{"replace", "--yes"}, true,
            replace.arg("DIR/pelmor.emp", "DIR/pelmor.mdb.partial"));
        row("repair, read-only folder", QStringList{"repair"}, true, repair.arg("DIR/pelmor.mdb.repairing"));
        row("repair, full disk", QStringList{"repair"}, false, QString());
        row("delete a survey, read-only folder", QStringList{"delete", "050226-A"}, true, deleteOne);
        row("delete a survey, full disk", QStringList{"delete", "050226-A"}, false, deleteOne);
        row("delete all, read-only folder", QStringList{"delete", "--all", "--yes"}, true, deleteAll);
        row("delete all, full disk", QStringList{"delete", "--all", "--yes"}, false, deleteAll);
    }
    void failures()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, readOnly);
        QFETCH(QString, message);
        // A backup to restore from (written while the folder still can be);
        // a repair needs a damaged database to have anything to write.
        QCOMPARE(test::runCli(m_folder->path(), {"backup"}).exitCode, 0);
        if (arguments.first() == QLatin1String("repair"))
            test::damageVehiclePage(database());
        const QMap<QString, QByteArray> before = test::folderSnapshot(m_folder->path());

        test::ChildLimits limits;
        limits.readOnly = readOnly;
        limits.maxFileSize = readOnly ? 0 : 1024 * 1024;
        if (readOnly)
            test::setFolderReadOnly(m_folder->path(), true);
        const test::CliRun run = test::runCli(m_folder->path(), arguments, limits);
        test::setFolderReadOnly(m_folder->path(), false);

        QCOMPARE(run.exitCode, 1);
        const QString firstLine = run.err.section(QLatin1Char('\n'), 0, 0);
        if (!message.isEmpty()) {
            QCOMPARE(firstLine,
                     QString(message).replace(QLatin1String("DIR/"), m_folder->path() + QLatin1Char('/')));
        } else {
            QVERIFY2(firstLine.startsWith(QStringLiteral("Repair Database failed: ")), qPrintable(firstLine));
        }
        // The reason the system or the engine gave follows.
        QVERIFY2(!run.err.section(QLatin1Char('\n'), 1).isEmpty(), qPrintable(run.err));
        // No file added or left behind, none changed.
        const QMap<QString, QByteArray> after = test::folderSnapshot(m_folder->path());
        QCOMPARE(after.keys(), before.keys());
        for (const QString& name : before.keys())
            QVERIFY2(after.value(name) == before.value(name), qPrintable(name + QStringLiteral(" changed")));
    }

private:
    QString database() const { return m_folder->databasePath(); }

    std::unique_ptr<test::TempProgramFolder> m_seed;
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstMaintenanceCli)
#include "tst_maintenancecli.moc"
