// Backup, replace and restore on real database files in a folder of their
// own, and every maintenance operation refusing while another connection
// holds the database for writing, or when there is no database.
#include "MaintenanceFixture.h"
#include "db/Connection.h"
#include "db/Files.h"
#include "maintenance/FileMaintenance.h"
#include "maintenance/Repair.h"
#include "maintenance/SurveyDeletion.h"
#include "maintenance/WriteLock.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

using namespace pelmor;
using maintenance::Outcome;
using test::row;

namespace {

// Every maintenance operation, by name, on a program folder.
Outcome runOperation(const QString& name, const QString& folder)
{
    static const std::map<QString, std::function<Outcome(const QString&)>> all = {
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
    return all.at(name)(folder);
}

void overwrite(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TstFileMaintenance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Four surveys, stored once and copied into each test's folder.
        test::storeSurveys(m_seed.databasePath(), 4, 5000);
    }

    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        QFile::remove(database());
        QVERIFY(QFile::copy(m_seed.databasePath(), database()));
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
            QVERIFY(maintenance::deleteSurvey({database(), nullptr}, QStringLiteral("050226-A")).isDone());
        const QByteArray before = test::fileBytes(database());
        const QStringList content = test::databaseContent(database());

        const Outcome outcome = maintenance::backupDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        // The backup is the file as it was, the database the same rows in
        // a file no larger; no work file is left behind.
        QCOMPARE(test::fileBytes(backupFile()), before);
        QCOMPARE(test::databaseContent(database()), content);
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
        const qint64 size = QFileInfo(database()).size();
        QVERIFY2(surveyDeletedFirst ? size < before.size() : size <= before.size(),
                 qPrintable(QStringLiteral("%1 of %2").arg(size).arg(before.size())));
        QCOMPARE(test::filesIn(m_folder->path()), (QStringList{"pelmor.bak", "pelmor.emp", "pelmor.mdb"}));
    }

    // Restore and Replace put a copy of the backup or of the template in
    // place of the database, whatever became of it.
    void putACopyInPlace_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("databaseState");
        row("restore, surveys deleted since the backup", QStringLiteral("restore"),
            QStringLiteral("changed"));
        row("restore, database not a database", QStringLiteral("restore"), QStringLiteral("garbage"));
        row("replace, surveys stored", QStringLiteral("replace"), QStringLiteral("as it was"));
        row("replace, database missing, its journal left behind", QStringLiteral("replace"),
            QStringLiteral("missing"));
    }
    void putACopyInPlace()
    {
        QFETCH(QString, operation);
        QFETCH(QString, databaseState);
        const bool restore = operation == QLatin1String("restore");
        if (restore)
            QVERIFY(maintenance::backupDatabase(m_folder->path()).isDone());
        const QByteArray source =
            test::fileBytes(restore ? backupFile() : m_folder->filePath(QStringLiteral("pelmor.emp")));
        if (databaseState == QLatin1String("changed")) {
            QVERIFY(maintenance::deleteAllSurveys({database(), nullptr}).isDone());
        } else if (databaseState == QLatin1String("garbage")) {
            overwrite(database(), QByteArray(8192, 'x'));
        } else if (databaseState == QLatin1String("missing")) {
            // A program killed while writing left the journal; the file has
            // gone since. The old file's journal must not be played into the new one.
            test::leaveHotJournal(database(), database() + QStringLiteral("-journal"));
            QVERIFY(QFile::remove(database()));
        }
        const QStringList files = test::filesIn(m_folder->path());

        const Outcome outcome = runOperation(operation, m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(test::fileBytes(database()), source);
        QCOMPARE(test::surveyContent(database()).size(), restore ? 4 : 0);
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
        QCOMPARE(test::filesIn(m_folder->path()),
                 restore ? files : (QStringList{"pelmor.emp", "pelmor.mdb"}));
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

    // Every operation refuses, changing nothing, while another program is
    // in the middle of a write (it holds SQLite's write lock until it
    // commits or rolls back), and goes ahead once it is done; all but
    // Restore and Replace refuse without a database.
    void refusals_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("missing");
        for (const char* name : {"backup", "repair", "replace", "restore", "delete one", "delete all"}) {
            QTest::addRow("%s, database in use", name) << QString::fromLatin1(name) << false;
            if (QByteArray(name) != "replace" && QByteArray(name) != "restore")
                QTest::addRow("%s, database missing", name) << QString::fromLatin1(name) << true;
        }
    }
    void refusals()
    {
        QFETCH(QString, operation);
        QFETCH(bool, missing);
        QVERIFY(maintenance::backupDatabase(m_folder->path()).isDone());
        if (missing)
            QVERIFY(QFile::remove(database()));
        const QMap<QString, QByteArray> before = test::folderSnapshot(m_folder->path());
        {
            std::unique_ptr<db::Connection> writer;
            std::unique_ptr<db::Transaction> transaction;
            if (!missing) {
                writer = std::make_unique<db::Connection>(db::Database{database(), nullptr});
                transaction = std::make_unique<db::Transaction>(*writer);
                writer->execute(QStringLiteral("delete from Agency"));
            }
            const Outcome outcome = runOperation(operation, m_folder->path());
            QCOMPARE(outcome.status, Outcome::Status::Refused);
            const QString reason = missing ? QStringLiteral(" was not found.")
                                           : QStringLiteral(" is in use by another program. Close that "
                                                            "program, then try again.");
            QVERIFY2(outcome.message.endsWith(
                         QStringLiteral(" was not done: the database %1").arg(database()) + reason),
                     qPrintable(outcome.message));
            QCOMPARE(outcome.details.isEmpty(), missing);
        }
        QCOMPARE(test::folderSnapshot(m_folder->path()), before);
        if (!missing) {
            const Outcome outcome = runOperation(operation, m_folder->path());
            QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        }
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
        QCOMPARE(test::surveyContent(database()).size(), 4);
    }

private:
    QString database() const { return m_folder->databasePath(); }
    QString backupFile() const { return m_folder->filePath(QStringLiteral("pelmor.bak")); }

    test::TempProgramFolder m_seed;
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstFileMaintenance)
#include "tst_filemaintenance.moc"
