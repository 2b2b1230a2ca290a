// Backup, replace and restore on real database files in a folder of their
// own, and every maintenance operation refusing while another connection
// holds the database for writing.
#include "MaintenanceFixture.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/Files.h"
#include "maintenance/FileMaintenance.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/Repair.h"
#include "maintenance/SurveyDeletion.h"
#include "maintenance/WriteLock.h"

#include <QFile>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

using namespace pelmor;
using maintenance::Outcome;
using test::row;

namespace {

using Operation = std::function<Outcome(const QString& folder)>;

// Every maintenance operation, by name, on a program folder.
const std::map<QString, Operation>& operations()
{
    static const std::map<QString, Operation> all = {
        {QStringLiteral("backup"), maintenance::backupDatabase},
        {QStringLiteral("repair"), maintenance::repairDatabase},
        {QStringLiteral("replace"), maintenance::replaceDatabase},
        {QStringLiteral("restore"), maintenance::restoreDatabase},
        {QStringLiteral("delete one"),
         [](const QString& folder) {
             return maintenance::deleteSurvey({db::databasePath(folder), nullptr},
                                              QStringLiteral("050126-A"));
         }},
        {QStringLiteral("delete all"),
         [](const QString& folder) {
             return maintenance::deleteAllSurveys({db::databasePath(folder), nullptr});
         }},
    };
    return all;
}

} // namespace

class TstFileMaintenance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Four surveys, stored once and copied into each test's folder.
        m_seed = std::make_unique<test::TempProgramFolder>();
        m_batches = test::storeSurveys(m_seed->databasePath(), 4, 5000);
    }

    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        QFile::remove(database());
        QVERIFY(QFile::copy(m_seed->databasePath(), database()));
    }

    void backup_data()
    {
        QTest::addColumn<bool>("earlierBackup");
        QTest::addColumn<bool>("surveyDeletedFirst");
        row("first backup", false, false);
        row("an earlier backup is replaced", true, false);
        row("space freed by a deletion is given back", false, true);
    }
    void backup()
    {
        QFETCH(bool, earlierBackup);
        QFETCH(bool, surveyDeletedFirst);
        if (earlierBackup)
            QVERIFY(QFile::copy(m_folder->filePath(QStringLiteral("pelmor.emp")), backupFile()));
        if (surveyDeletedFirst)
            QVERIFY(maintenance::deleteSurvey({database(), nullptr}, m_batches[1]).isDone());
        const QByteArray before = test::fileBytes(database());
        const QStringList content = test::databaseContent(database());

        const Outcome outcome = maintenance::backupDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(outcome.message, maintenance::texts::kBackupComplete);
        // The backup is the file as it was, the database the same rows in
        // a file no larger; no work file is left behind.
        QCOMPARE(test::fileBytes(backupFile()), before);
        QCOMPARE(test::databaseContent(database()), content);
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
        const qint64 size = QFileInfo(database()).size();
        if (surveyDeletedFirst)
            QVERIFY2(size < before.size(),
                     qPrintable(QStringLiteral("%1 of %2").arg(size).arg(before.size())));
        else
            QVERIFY(size <= before.size());
        QCOMPARE(test::filesIn(m_folder->path()), (QStringList{"pelmor.bak", "pelmor.emp", "pelmor.mdb"}));
    }

    void twoBackupsInARow()
    {
        QVERIFY(maintenance::deleteSurvey({database(), nullptr}, m_batches[0]).isDone());
        QVERIFY(maintenance::backupDatabase(m_folder->path()).isDone());
        const QByteArray firstCompacted = test::fileBytes(database());
        QVERIFY(maintenance::backupDatabase(m_folder->path()).isDone());
        QCOMPARE(test::fileBytes(backupFile()), firstCompacted);
        QCOMPARE(test::surveyContent(database()).size(), 3);
    }

    void restore_data()
    {
        QTest::addColumn<QString>("databaseState"); // the database before the restore
        row("surveys deleted since the backup", QStringLiteral("changed"));
        row("database missing", QStringLiteral("missing"));
        row("database not a database", QStringLiteral("garbage"));
    }
    void restore()
    {
        QFETCH(QString, databaseState);
        QVERIFY(maintenance::backupDatabase(m_folder->path()).isDone());
        const QByteArray backup = test::fileBytes(backupFile());
        if (databaseState == QLatin1String("changed"))
            QVERIFY(maintenance::deleteAllSurveys({database(), nullptr}).isDone());
        else if (databaseState == QLatin1String("missing"))
            QVERIFY(QFile::remove(database()));
        else
            overwrite(database(), QByteArray(8192, 'x'));

        const Outcome outcome = maintenance::restoreDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(test::fileBytes(database()), backup);
        QCOMPARE(test::fileBytes(backupFile()), backup);
        QCOMPARE(test::surveyContent(database()).size(), m_batches.size());
    }

    void restoreWithoutBackup()
    {
        const QByteArray before = test::fileBytes(database());
        QVERIFY(!maintenance::backupExists(m_folder->path()));
        const Outcome outcome = maintenance::restoreDatabase(m_folder->path());
        QCOMPARE(outcome.status, Outcome::Status::Refused);
        QCOMPARE(outcome.message, maintenance::texts::kNoBackup);
        QCOMPARE(test::fileBytes(database()), before);
    }

    void replace_data()
    {
        QTest::addColumn<QString>("databaseState");
        row("surveys stored", QStringLiteral("surveys"));
        row("database missing, its journal left behind", QStringLiteral("missing"));
        row("database not a database", QStringLiteral("garbage"));
    }
    void replace()
    {
        QFETCH(QString, databaseState);
        if (databaseState == QLatin1String("missing")) {
            // A program killed while writing left the journal; the file has
            // gone since. The old file's journal must not be played into the new one.
            test::leaveHotJournal(database(), database() + QStringLiteral("-journal"));
            QVERIFY(QFile::remove(database()));
        } else if (databaseState == QLatin1String("garbage")) {
            overwrite(database(), QByteArray(8192, 'x'));
        }
        const Outcome outcome = maintenance::replaceDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(test::filesIn(m_folder->path()), (QStringList{"pelmor.emp", "pelmor.mdb"}));
        QCOMPARE(test::fileBytes(database()),
                 test::fileBytes(m_folder->filePath(QStringLiteral("pelmor.emp"))));
        QCOMPARE(test::surveyContent(database()), QStringList());
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
    }

    void replaceWithoutTemplate()
    {
        QVERIFY(QFile::remove(m_folder->filePath(QStringLiteral("pelmor.emp"))));
        const QByteArray before = test::fileBytes(database());
        const Outcome outcome = maintenance::replaceDatabase(m_folder->path());
        QCOMPARE(outcome.status, Outcome::Status::Refused);
        QCOMPARE(outcome.message,
                 QStringLiteral("Replace Database was not done: the empty database %1 was not "
                                "found. Nothing was changed.")
                     .arg(m_folder->filePath(QStringLiteral("pelmor.emp"))));
        QCOMPARE(test::fileBytes(database()), before);
        QCOMPARE(test::filesIn(m_folder->path()), QStringList{"pelmor.mdb"});
    }

    void refusedWhileAnotherConnectionWrites_data()
    {
        QTest::addColumn<QString>("operation");
        for (const auto& [name, operation] : operations())
            QTest::newRow(qPrintable(name)) << name;
    }
    void refusedWhileAnotherConnectionWrites()
    {
        QFETCH(QString, operation);
        QVERIFY(maintenance::backupDatabase(m_folder->path()).isDone());
        const QByteArray database = test::fileBytes(this->database());
        const QByteArray backup = test::fileBytes(backupFile());
        {
            // Another program in the middle of a write: it holds SQLite's
            // write lock until it commits or rolls back.
            db::Connection writer({this->database(), nullptr});
            db::Transaction transaction(writer);
            writer.execute(QStringLiteral("delete from Agency"));

            const Outcome outcome = operations().at(operation)(m_folder->path());
            QCOMPARE(outcome.status, Outcome::Status::Refused);
            QVERIFY2(
                outcome.message.endsWith(QStringLiteral(" was not done: the database %1 is in use by another "
                                                        "program. Close that program, then try again.")
                                             .arg(this->database())),
                qPrintable(outcome.message));
            QVERIFY(!outcome.details.isEmpty());
        }
        QCOMPARE(test::fileBytes(this->database()), database);
        QCOMPARE(test::fileBytes(backupFile()), backup);
        // Once the other program is done, the operation goes ahead.
        const Outcome outcome = operations().at(operation)(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
    }

    void readersDoNotStopABackup()
    {
        db::Connection reader({database(), nullptr});
        db::Transaction transaction(reader);
        QCOMPARE(
            reader.scalar(QStringLiteral("select count(*) as n from Header"), QStringLiteral("n")).toInt(),
            4);
        QVERIFY(maintenance::backupDatabase(m_folder->path()).isDone());
    }

    // Where the file system has no hard links the backup copies the file
    // through the handle that holds the lock: a second handle, closed,
    // would drop the lock on POSIX systems and let another program write.
    void copyThroughTheLockKeepsIt()
    {
        // (So neither may this test read the file while it holds the lock.)
        const QByteArray bytes = test::fileBytes(database());
        maintenance::WriteLock lock(database());
        QVERIFY(lock.isHeld());
        const QString copy = m_folder->filePath(QStringLiteral("copy.mdb"));
        QString reason;
        QVERIFY2(lock.copyDatabaseTo(copy, &reason), qPrintable(reason));
        QCOMPARE(test::fileBytes(copy), bytes);
        // Another program still finds the database locked.
        const test::CliRun other = test::runCli(m_folder->path(), {"delete", "--all", "--yes"});
        QCOMPARE(other.exitCode, 1);
        QVERIFY2(other.err.contains(QStringLiteral("is in use by another program")), qPrintable(other.err));
        QCOMPARE(test::surveyContent(database()).size(), m_batches.size());
    }

    void missingDatabase_data()
    {
        QTest::addColumn<QString>("operation");
        row("backup", QStringLiteral("backup"));
        row("repair", QStringLiteral("repair"));
        row("delete one", QStringLiteral("delete one"));
        row("delete all", QStringLiteral("delete all"));
    }
    void missingDatabase()
    {
        QFETCH(QString, operation);
        QVERIFY(QFile::remove(database()));
        const Outcome outcome = operations().at(operation)(m_folder->path());
        QCOMPARE(outcome.status, Outcome::Status::Refused);
        QVERIFY2(outcome.message.endsWith(
                     QStringLiteral(" was not done: the database %1 was not found.").arg(database())),
                 qPrintable(outcome.message));
        QCOMPARE(test::filesIn(m_folder->path()), QStringList{"pelmor.emp"});
    }

private:
    QString database() const { return m_folder->databasePath(); }
    QString backupFile() const { return m_folder->filePath(QStringLiteral("pelmor.bak")); }
    static void overwrite(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    std::unique_ptr<test::TempProgramFolder> m_seed;
    QStringList m_batches;
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstFileMaintenance)
#include "tst_filemaintenance.moc"
