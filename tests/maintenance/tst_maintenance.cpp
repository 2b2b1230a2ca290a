// The maintenance operations on real database files in a program folder of
// their own: backup, replace, restore, repair of damaged and truncated
// files, the deletion of surveys, each refusing while another connection
// writes or when there is no database; and pelmor-cli running them, failing
// for real on a read-only folder and on a full disk (a file size limit)
// with every file of the folder as it was.
#include "MaintenanceFixture.h"
#include "SurveyFixture.h"
#include "db/Connection.h"
#include "db/Files.h"
#include "db/SqliteStatement.h"
#include "import/SurveyImport.h"
#include "maintenance/FileMaintenance.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/Repair.h"
#include "maintenance/SurveyDeletion.h"
#include "maintenance/WriteLock.h"
#include "sites/SitePlacement.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"
#include "text/Formats.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

using namespace pelmor;
using maintenance::Outcome;
using test::row;

namespace {

const QStringList kTables = {"Veh_Data", "Header",    "Summary", "Agency",
                             "Officer",  "Breakdown", "Radar",   "Survey_Source"};

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
             return maintenance::deleteSurvey({db::databasePath(folder)}, QStringLiteral("050126-A"));
         }},
        {QStringLiteral("delete all"),
         [](const QString& folder) {
             return maintenance::deleteAllSurveys({db::databasePath(folder)});
         }},
    };
    return all.at(name)(folder);
}

// The number a query gives, with another database attached as "original".
int scalarOf(const QString& databasePath, const QString& statement, const QString& original = QString())
{
    db::Connection connection({databasePath});
    if (!original.isEmpty())
        connection.executeUnlogged(QStringLiteral("ATTACH '%1' AS original").arg(original));
    db::SqliteStatement query(connection, statement);
    if (!query.nextRow())
        qFatal("no row from %s", qPrintable(statement));
    return int(query.valueAt(0).toDouble());
}

int rowsOf(const QString& databasePath, const QString& table)
{
    return scalarOf(databasePath, QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table));
}

// The lines of the tables that no deletion touches.
QStringList untouchedTables(const QString& databasePath)
{
    QStringList lines = test::databaseContent(databasePath);
    lines.removeIf([](const QString& line) {
        return line.startsWith(QLatin1String("Header ")) || line.startsWith(QLatin1String("Summary ")) ||
               line.startsWith(QLatin1String("Veh_Data ")) || line.startsWith(QLatin1String("Site_Survey "));
    });
    return lines;
}

// Spoils a database file: "junk", "empty" (0 bytes), "first page" or "all
// pages" (but the first) overwritten, or "page count": the size in pages
// at offset 28, half the true one, which counts as long as the change
// counter at 24 matches the one at 92.
void spoil(const QString& path, const QString& how)
{
    const qint64 pages = QFileInfo(path).size() / 4096;
    if (how == QLatin1String("junk"))
        QVERIFY(test::writeFile(path, "junk\n"));
    else if (how == QLatin1String("empty"))
        QVERIFY(test::writeFile(path, QByteArray()));
    else if (how == QLatin1String("first page"))
        test::overwritePage(path, 1);
    else if (how == QLatin1String("all pages"))
        for (int page = 2; page <= pages; ++page)
            test::overwritePage(path, page);
    else
        test::patchFile(path, 28,
                        QByteArray::fromHex(QByteArray::number(pages / 2, 16).rightJustified(8, '0')));
}

} // namespace

class TstMaintenance : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Four surveys with enough vehicles for a tree of three levels (and for
    // a full disk to stop SQLite part way through its writes), a survey under
    // the same date with the letter B, one with an apostrophe in its batch
    // number, and rows in every table that deletion leaves alone; stored
    // once per run and copied into each test's folder.
    void storeTheSeed()
    {
        QFile::remove(QStringLiteral(PELMOR_MAINTENANCE_SEED));
        seed();
    }

    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        QFile::remove(database());
        QVERIFY(QFile::copy(seed(), database()));
    }
    void cleanup() { test::setFolderReadOnly(m_folder->path(), false); }

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
            QVERIFY(maintenance::deleteSurvey({database()}, QStringLiteral("050226-A")).isDone());
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
            QVERIFY(maintenance::deleteAllSurveys({database()}).isDone());
        } else if (databaseState == QLatin1String("garbage")) {
            QVERIFY(test::writeFile(database(), QByteArray(8192, 'x')));
        } else if (databaseState == QLatin1String("missing")) {
            // A program killed while writing left the journal; the file has
            // gone since. The old file's journal must not be played into the new one.
            test::leaveHotJournal(database(), database() + QStringLiteral("-journal"));
            QVERIFY(QFile::remove(database()));
        }
        const QStringList files = test::filesIn(m_folder->path());

        const Outcome outcome = runOperation(operation, m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        // One line says what was done.
        QCOMPARE(outcome.message,
                 restore ? QStringLiteral("The database was restored from the backup: it holds 6 surveys and "
                                          "60,006 vehicles.")
                         : QStringLiteral("The database was replaced with an empty database: no survey is "
                                          "stored now."));
        QCOMPARE(test::fileBytes(database()), source);
        QCOMPARE(test::surveyContent(database()).size(), restore ? 6 : 0);
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
                writer = std::make_unique<db::Connection>(db::Database{database()});
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
        // A read transaction: the reader holds the file as it was.
        db::Connection reader({database()});
        reader.executeUnlogged(QStringLiteral("BEGIN"));
        QCOMPARE(
            reader.scalar(QStringLiteral("select count(*) as n from Header"), QStringLiteral("n")).toInt(),
            6);
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
        QCOMPARE(test::surveyContent(database()).size(), 6);
    }

    void healthyFileIsLeftAsItIs()
    {
        const QByteArray before = test::fileBytes(database());
        QVERIFY(maintenance::repairDatabase(m_folder->path()).isDone());
        QCOMPARE(test::fileBytes(database()), before);
    }

    // Damage of a page: the database is rebuilt from every row that can
    // still be read, through the table's own pages, through the index that
    // holds whole rows, or from pages the damage cut off from their tree;
    // the message counts what is truly gone, or says it cannot be told.
    void damagedPages_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("pages");     // where in SQLite's page statistics
        QTest::addColumn<QString>("table");     // whose rows are lost
        QTest::addColumn<QString>("lostLines"); // the lines the message adds
        const QString everyRow =
            QStringLiteral("The damaged database was rebuilt; every row was saved: nothing was lost.");
        row("the root of the vehicle table zeroed", QStringLiteral("zeros"),
            QStringLiteral("name = 'Veh_Data' AND path = '/'"), QString(), everyRow);
        row("an inner page of the vehicle table zeroed", QStringLiteral("zeros"),
            QStringLiteral("name = 'Veh_Data' AND pagetype = 'internal' AND path <> '/'"), QString(),
            everyRow);
        row("a leaf of the vehicle table overwritten", QStringLiteral("noise"),
            QStringLiteral("name = 'Veh_Data' AND pagetype = 'leaf'"), QString(), everyRow);
        row("a leaf of the vehicle index overwritten", QStringLiteral("noise"),
            QStringLiteral("name = 'Veh_Data_Batch_Date_Time' AND pagetype = 'leaf'"), QString(), everyRow);
        row("seven bytes of the schema on page 1 flipped", QStringLiteral("schema"), QString(), QString(),
            everyRow);
        row("the only page of the survey headers overwritten", QStringLiteral("noise"),
            QStringLiteral("name = 'Header'"), QStringLiteral("Header"),
            QStringLiteral("6 rows of Header could not be saved.\r\n"
                           "The vehicles or statistics of 050126-A, 050226-A, 050226-B, 050326-A, 050426-A, "
                           "O'1 were kept without the surveys' headers: delete those surveys, then import "
                           "their downloads again."));
    }
    void damagedPages()
    {
        QFETCH(QString, damage);
        QFETCH(QString, pages);
        QFETCH(QString, table);
        QFETCH(QString, lostLines);
        if (damage == QLatin1String("schema")) {
            // Inside the text that defines the header table, past its name.
            const QByteArray firstPage = test::fileBytes(database()).left(4096);
            const qsizetype at = firstPage.indexOf("CREATE TABLE \"Header\"");
            QVERIFY(at > 0);
            QByteArray flipped = firstPage.mid(at + 40, 7);
            for (char& byte : flipped)
                byte = char(~byte);
            test::patchFile(database(), at + 40, flipped);
        } else {
            const std::vector<test::Page> found = test::pagesOf(database(), pages);
            QVERIFY(!found.empty());
            // A page in the middle of the tree: rows on both sides of it survive.
            const int page = found[found.size() / 2].number;
            if (damage == QLatin1String("zeros"))
                test::zeroPage(database(), page);
            else
                test::overwritePage(database(), page);
        }
        QVERIFY(test::integrityOf(database()) != QLatin1String("ok"));

        const Outcome outcome = maintenance::repairDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(outcome.message, maintenance::texts::kRepairComplete + QStringLiteral("\r\n") + lostLines);
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
        QCOMPARE(test::filesIn(m_folder->path()), (QStringList{"pelmor.emp", "pelmor.mdb"}));
        // Every row kept is a row of the original, unchanged and under its
        // own row number; only the damaged table lost rows.
        for (const QString& name : kTables) {
            const int kept = rowsOf(database(), name);
            QCOMPARE(unchangedRows(name), kept);
            QCOMPARE(kept, name == table ? 0 : rowsOf(seed(), name));
        }
    }

    void truncatedFile()
    {
        // The file ends early, as a copy that stopped short does. Every row
        // that the pages left can still lead to is kept, unchanged: at least
        // those the table's own pages lead to, and more through the index.
        const int pageSize = scalarOf(database(), QStringLiteral("PRAGMA page_size"));
        const int wholePages = int(QFileInfo(database()).size() * 3 / 4 / pageSize);
        const int reachable =
            scalarOf(database(),
                     QStringLiteral("SELECT total(leaf.ncell) FROM dbstat leaf WHERE leaf.name = 'Veh_Data' "
                                    "AND leaf.pagetype = 'leaf' AND leaf.pageno <= %1 AND NOT EXISTS ("
                                    "SELECT 1 FROM dbstat above WHERE above.name = 'Veh_Data' "
                                    "AND above.pagetype = 'internal' AND above.pageno > %1 "
                                    "AND substr(leaf.path, 1, length(above.path)) = above.path)")
                         .arg(wholePages));
        QVERIFY(reachable > 0);
        QFile file(database());
        QVERIFY(file.resize(qint64(wholePages) * pageSize));
        file.close();

        const Outcome outcome = maintenance::repairDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
        for (const QString& name : kTables) {
            QCOMPARE(unchangedRows(name), rowsOf(database(), name));
            if (name == QLatin1String("Veh_Data"))
                QVERIFY(rowsOf(database(), name) >= reachable);
            else
                QCOMPARE(rowsOf(database(), name), rowsOf(seed(), name));
        }
        // Neither the table nor its index could be read to the end: the
        // surveys' statistics tell what is missing.
        QCOMPARE(outcome.message, maintenance::texts::kRepairComplete + QStringLiteral("\r\n") +
                                      vehicleLossLines().join(QStringLiteral("\r\n")));
    }

    // Surveys at sites the officer worked on: two locations merged into
    // one site, a survey split off to a site of its own, coordinates. A
    // repair keeps every site row whose page can be read; where one cannot
    // be read the message says what to make again, and names the surveys
    // that lost vehicles with what they keep.
    void repairKeepsTheSites_data()
    {
        QTest::addColumn<QStringList>("zeroed");    // "name:first|middle|last|all" pages of dbstat
        QTest::addColumn<bool>("vehiclesLost");     // the zeroed vehicle leaf's rows: no other path
        QTest::addColumn<QString>("siteTable");     // the one site table whose rows change
        QTest::addColumn<QStringList>("siteRows");  // its rows after the repair
        QTest::addColumn<QStringList>("siteLines"); // the lines the message adds about sites
        const QString index = QStringLiteral("Veh_Data_Batch_Date_Time");
        row("vehicle pages of other rows zeroed in the table and its index: nothing lost",
            QStringList{"Veh_Data:first", index + ":last"}, false, QString(), QStringList(), QStringList());
        row("a vehicle leaf zeroed with every page of the index: its rows lost",
            QStringList{"Veh_Data:middle", index + ":all"}, true, QString(), QStringList(), QStringList());
        row("the sites' page zeroed", QStringList{"Site:all"}, false, QStringLiteral("Site"),
            QStringList{"Site|1|Main St|North||", "Site|2|Main St|North||"},
            QStringList{"Sites 1, 2 could not be saved: they were made again from their surveys, each named "
                        "after the location of its first survey and without coordinates. Set their "
                        "coordinates again where they had any.",
                        "Sites without surveys may have been lost."});
        row("the location names' page zeroed", QStringList{"Site_Name:all"}, false,
            QStringLiteral("Site_Name"), QStringList(),
            QStringList{"2 location names that lead surveys to their sites could not be saved: a survey "
                        "stored from now on at such a location may start a site of its own; merge it into "
                        "its site again."});
        row("the surveys' sites' page zeroed", QStringList{"Site_Survey:all"}, false,
            QStringLiteral("Site_Survey"), QStringList(),
            QStringList{
                "The sites of surveys 050126-A, 050226-A, 050326-A, 050426-A, 050226-B, O'1 could not "
                "be saved: each goes to the site of its location when the sites are next shown. A "
                "survey that had been split off to a site of its own must be split off again."});
    }
    void repairKeepsTheSites()
    {
        QFETCH(QStringList, zeroed);
        QFETCH(bool, vehiclesLost);
        QFETCH(QString, siteTable);
        QFETCH(QStringList, siteRows);
        QFETCH(QStringList, siteLines);
        db::Connection({database()})
            .execute(
                QStringLiteral("update Header set Location = 'Main Street' where Batch_Number = '050226-B'"));
        {
            const std::unique_ptr<store::SurveyStore> store = store::openStore(m_folder->database());
            QCOMPARE(sites::placeSurveysWithoutSiteFigures(*store), 6);
            QVERIFY(store->mergeSites(2, 1));
            QCOMPARE(store->splitSurvey(QStringLiteral("050426-A")), 2);
            QVERIFY(store->setSiteCoordinates(1, 45.5, -122.25));
        }
        const QStringList siteTables = {"Site", "Site_Name", "Site_Survey"};
        std::map<QString, QStringList> sitesBefore;
        for (const QString& table : siteTables)
            sitesBefore[table] = siteRowsOf(table);
        int zeroedVehicles = 0;
        for (const QString& pages : zeroed) {
            const QString name = pages.section(QLatin1Char(':'), 0, 0);
            const QString which = pages.section(QLatin1Char(':'), 1);
            std::vector<test::Page> found = test::pagesOf(
                database(),
                QStringLiteral("name = '%1'%2")
                    .arg(name, which == QLatin1String("all") ? QString() : " AND pagetype = 'leaf'"));
            QVERIFY(!found.empty());
            if (which != QLatin1String("all"))
                found = {which == QLatin1String("first")  ? found.front()
                         : which == QLatin1String("last") ? found.back()
                                                          : found[found.size() / 2]};
            for (const test::Page& page : found) {
                test::zeroPage(database(), page.number);
                zeroedVehicles += name == QLatin1String("Veh_Data") ? page.cells : 0;
            }
        }

        const Outcome outcome = maintenance::repairDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
        QStringList lines = vehicleLossLines() + siteLines;
        if (lines.isEmpty())
            lines << QStringLiteral(
                "The damaged database was rebuilt; every row was saved: nothing was lost.");
        QCOMPARE(outcome.message, maintenance::texts::kRepairComplete + QStringLiteral("\r\n") +
                                      lines.join(QStringLiteral("\r\n")));
        QCOMPARE(rowsOf(seed(), QStringLiteral("Veh_Data")) - rowsOf(database(), QStringLiteral("Veh_Data")),
                 vehiclesLost ? zeroedVehicles : 0);
        for (const QString& table : siteTables)
            QCOMPARE(siteRowsOf(table), table == siteTable ? siteRows : sitesBefore[table]);
    }

    // A file that SQLite cannot open as the program does is never called
    // repaired: it is rebuilt, and the next command works, or it is left as
    // it was and said to be beyond repair.
    void repairOfAFileThatFails_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("message"); // DIR/ stands for the folder
        row("the header's page count too small", QStringLiteral("page count"),
            QStringLiteral(
                "Repair of the database is complete.\r\nThe damaged database was rebuilt; every row "
                "was saved: nothing was lost."));
        row("the first page overwritten", QStringLiteral("first page"),
            QStringLiteral(
                "Repair Database failed: the database DIR/pelmor.mdb is damaged beyond repair, SQLite "
                "cannot read it as a database. Restore the backup or replace the database. The file "
                "is as it was."));
        row("every page but the first overwritten", QStringLiteral("all pages"),
            QStringLiteral(
                "Repair Database failed: the database DIR/pelmor.mdb is damaged beyond repair, no row "
                "of it can be read. Restore the backup or replace the database. The file is as it "
                "was."));
        row("a file of 0 bytes", QStringLiteral("empty"),
            QStringLiteral(
                "Repair Database failed: the database DIR/pelmor.mdb is damaged beyond repair, it is "
                "empty (0 bytes). Restore the backup or replace the database. The file is as it was."));
    }
    void repairOfAFileThatFails()
    {
        QFETCH(QString, damage);
        QFETCH(QString, message);
        const QStringList content = test::databaseContent(database());
        spoil(database(), damage);
        const QByteArray damaged = test::fileBytes(database());
        const QStringList readVehicles = {"export", "vehicles", "050426-A"};
        QVERIFY(test::runCli(m_folder->path(), readVehicles).exitCode != 0);

        const test::CliRun repair = test::runCli(m_folder->path(), {"repair"});
        message.replace(QLatin1String("DIR/"), m_folder->path() + QLatin1Char('/'));
        if (repair.exitCode != 0) {
            QCOMPARE(repair.err.section(QLatin1Char('\n'), 0, 0), message);
            QCOMPARE(test::fileBytes(database()), damaged);
            return;
        }
        QCOMPARE(repair.out, QString(message).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        QCOMPARE(test::databaseContent(database()), content);
        const test::CliRun next = test::runCli(m_folder->path(), readVehicles);
        QVERIFY2(next.exitCode == 0, qPrintable(next.err));
    }

    // Exactly the survey named goes, letter case counting; the others stay
    // whole, and so do the tables no deletion touches.
    void deleteSurvey_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<bool>("headerLost"); // the survey's Header row deleted first
        QTest::addColumn<QString>("message");
        const QString notStored = QStringLiteral("No survey %1 is stored; nothing was deleted.");
        row("one of several", QStringLiteral("050226-A"), false,
            QStringLiteral("The survey 050226-A and its 15,000 vehicles were deleted."));
        row("an apostrophe in the batch number", QStringLiteral("O'1"), false,
            QStringLiteral("The survey O'1 and its 3 vehicles were deleted."));
        row("no choice: nothing", QString(), false, QString());
        row("not stored: nothing", QStringLiteral("123199-Z"), false, notStored.arg("123199-Z"));
        row("vehicles and statistics without their header", QStringLiteral("050126-A"), true,
            QStringLiteral("The 15,000 vehicles and the statistics stored under 050126-A without a survey "
                           "header were deleted."));
    }
    void deleteSurvey()
    {
        QFETCH(QString, batch);
        QFETCH(bool, headerLost);
        QFETCH(QString, message);
        if (headerLost)
            db::Connection({database()})
                .execute(QStringLiteral("delete from Header where Batch_Number = '") + batch +
                         QLatin1Char('\''));
        QStringList expected = test::surveyContent(database());
        expected.removeIf([&](const QString& line) { return line.section(QLatin1Char(' '), 0, 0) == batch; });
        const QStringList untouched = untouchedTables(database());

        const Outcome outcome = maintenance::deleteSurvey(m_folder->database(), batch);
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(outcome.message, message);
        QCOMPARE(test::surveyContent(database()), expected);
        QCOMPARE(untouchedTables(database()), untouched);
    }

    void deleteAll_data()
    {
        QTest::addColumn<QString>("before"); // rows removed before the complete deletion
        QTest::addColumn<QString>("message");
        row("surveys stored", QString(), maintenance::texts::kDeletingFinished);
        row("vehicle rows without headers or statistics", QStringLiteral("Header Summary"),
            maintenance::texts::kDeletingFinished);
        row("headers without vehicle rows", QStringLiteral("Veh_Data"), QStringLiteral("Database is empty."));
    }
    void deleteAll()
    {
        QFETCH(QString, before);
        QFETCH(QString, message);
        {
            db::Connection connection({database()});
            for (const QString& table : before.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                connection.execute(QStringLiteral("delete from ") + table);
            // A survey at its site: the survey leaves it, the site stays.
            connection.execute(
                QStringLiteral("insert into Site (Name, Direction) values ('Elm Street', 'North')"));
            connection.execute(QStringLiteral("insert into Site_Survey values ('050126-A', 1, 1, '{}')"));
        }
        const QStringList untouched = untouchedTables(database());
        const Outcome outcome = maintenance::deleteAllSurveys(m_folder->database());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(outcome.message, message);
        QCOMPARE(test::surveyContent(database()), QStringList());
        QCOMPARE(untouchedTables(database()), untouched);
        QCOMPARE(test::rowTexts(database(), QStringLiteral("select count(*) as n from Site_Survey"), {"n"}),
                 QStringList{"0"});
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // on the output after a success, else on the error stream
        QTest::addColumn<int>("surveysAfter");
        using namespace maintenance::texts;
        // As the console shows them.
        const QString notConfirmed = QStringLiteral("\nNothing was changed: add --yes to go ahead.");
        const QString replace = QString(kReplaceQuestion).replace(QLatin1String("\r\n"), QLatin1String("\n"));
        const QString deleteAll =
            QString(kDeleteAllQuestion).replace(QLatin1String("\r\n"), QLatin1String("\n"));
        // The question says what its Yes erases.
        const QString erased = QStringLiteral("\nAll 6 surveys and 60,006 vehicles will be erased.");
        row("replace asks for --yes", QStringList{"replace"}, 1, replace + erased + notConfirmed, 6);
        row("replace", QStringList{"replace", "--yes"}, 0, kReplaced, 0);
        row("delete all asks for --yes", QStringList{"delete", "--all"}, 1, deleteAll + erased + notConfirmed,
            6);
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

    // A file that fails the check as the program opens it never takes the
    // place of a good one: a damaged database is not backed up over the
    // backup, a spoilt backup or template is not restored or put in place.
    void unusableFilesAreRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("spoilt");  // "junk", "empty", "page count" or "surveys"
        QTest::addColumn<QString>("message"); // the first line; DIR/ stands for the folder, * for any text
        const QString backup = QStringLiteral("Backup Database was not done: the database DIR/pelmor.mdb is "
                                              "damaged (%1). Run Repair Database first. The database and its "
                                              "backup are as they were.");
        const QString restore =
            QStringLiteral("Restore Backup Database was not done: the backup DIR/pelmor.bak "
                           "is not a usable survey database (%1). Nothing was changed. Repair "
                           "the database instead if it is damaged.");
        const QString replace =
            QStringLiteral("Replace Database was not done: the empty database "
                           "DIR/pelmor.emp is not a usable survey database (%1). Nothing "
                           "was changed. Write it again with \"pelmor-cli init\", which keeps "
                           "the surveys.");
        row("backup, database of 0 bytes", QStringList{"backup"}, QStringLiteral("pelmor.mdb"),
            QStringLiteral("empty"), backup.arg("it is empty (0 bytes)"));
        row("backup, database with a wrong page count", QStringList{"backup"}, QStringLiteral("pelmor.mdb"),
            QStringLiteral("page count"),
            backup.arg("SQLite's check finds: On tree page * invalid page number *"));
        row("restore, backup of junk", QStringList{"restore", "--yes"}, QStringLiteral("pelmor.bak"),
            QStringLiteral("junk"), restore.arg("file is not a database"));
        row("restore, backup of 0 bytes", QStringList{"restore", "--yes"}, QStringLiteral("pelmor.bak"),
            QStringLiteral("empty"), restore.arg("it is empty (0 bytes)"));
        row("replace, template of junk", QStringList{"replace", "--yes"}, QStringLiteral("pelmor.emp"),
            QStringLiteral("junk"), replace.arg("file is not a database"));
        row("replace, template holding surveys", QStringList{"replace", "--yes"},
            QStringLiteral("pelmor.emp"), QStringLiteral("surveys"), replace.arg("it holds surveys"));
    }
    void unusableFilesAreRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, file);
        QFETCH(QString, spoilt);
        QFETCH(QString, message);
        QCOMPARE(test::runCli(m_folder->path(), {"backup"}).exitCode, 0);
        const QString path = m_folder->filePath(file);
        if (spoilt == QLatin1String("surveys"))
            QVERIFY(QFile::remove(path) && QFile::copy(database(), path));
        else
            spoil(path, spoilt);
        const QMap<QString, QByteArray> before = test::folderSnapshot(m_folder->path());

        const test::CliRun run = test::runCli(m_folder->path(), arguments);
        QCOMPARE(run.exitCode, 1);
        const QString firstLine = run.err.section(QLatin1Char('\n'), 0, 0);
        message.replace(QLatin1String("DIR/"), m_folder->path() + QLatin1Char('/'));
        QVERIFY2(QRegularExpression::fromWildcard(message, Qt::CaseSensitive).match(firstLine).hasMatch(),
                 qPrintable(firstLine));
        QCOMPARE(test::folderSnapshot(m_folder->path()), before);
    }

    // Vehicles that a repair kept without their survey's header are named,
    // deleted by their batch number, and never doubled by importing the
    // same download again.
    void headerlessVehicles()
    {
        test::overwritePage(database(),
                            test::pagesOf(database(), QStringLiteral("name = 'Header'")).at(0).number);
        QCOMPARE(test::runCli(m_folder->path(), {"repair"}).exitCode, 0);
        const QStringList import = {"import",      QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx"),
                                    "--location",  "Elm Street",
                                    "--direction", "North",
                                    "--zone",      "School"};
        const QString batch = QStringLiteral("050326-A"); // the sample's start and trailer A
        const auto surveyLine = [this, &batch] {
            const QStringList lines = test::surveyContent(database()).filter(batch + QLatin1Char(' '));
            return lines.value(0).section(QLatin1Char(' '), 1, 6);
        };
        QCOMPARE(surveyLine(), QStringLiteral("header 0 summary 1 vehicles 15000"));

        const test::CliRun doubled = test::runCli(m_folder->path(), import);
        QCOMPARE(doubled.exitCode, 1);
        QCOMPARE(doubled.err, import::messages::kDuplicate);
        QCOMPARE(surveyLine(), QStringLiteral("header 0 summary 1 vehicles 15000"));

        const test::CliRun deletion = test::runCli(m_folder->path(), {"delete", batch});
        QCOMPARE(deletion.exitCode, 0);
        QCOMPARE(deletion.out, QStringLiteral("The 15,000 vehicles and the statistics stored under 050326-A "
                                              "without a survey header were deleted."));
        QCOMPARE(surveyLine(), QString());
        QCOMPARE(test::runCli(m_folder->path(), import).exitCode, 0);
        QCOMPARE(surveyLine(), QStringLiteral("header 1 summary 1 vehicles 2947"));
    }

    // Each command on a folder that it cannot write to, or with a disk
    // that fills up (files cannot grow past 1 MiB, the database is larger).
    void failures_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("message"); // DIR/ stands for the folder
        const auto failed = [](const char* operation, const QString& what) {
            return QStringLiteral("%1 failed: %2 The database and its backup are as they were.")
                .arg(QLatin1String(operation), what);
        };
        const QString restore =
            failed("Restore Backup Database",
                   QStringLiteral("DIR/pelmor.bak could not be copied to DIR/pelmor.mdb.partial."));
        const QString deleteOne = QStringLiteral(
            "Delete Selected failed: the database could not be changed. Every survey is as it was.");
        const QString deleteAll = QStringLiteral(
            "Delete Complete Database failed: the database could not be changed. Every survey is as it was.");
        row("backup, read-only folder", QStringList{"backup"}, true,
            failed("Backup Database", QStringLiteral("The backup DIR/pelmor.bak.new could not be written.")));
        row("backup, full disk after the database is set aside", QStringList{"backup"}, false,
            failed("Backup Database",
                   QStringLiteral("The database could not be compacted into DIR/pelmor.mdb.compacting.")));
        row("restore, read-only folder", QStringList{"restore", "--yes"}, true, restore);
        row("restore, full disk", QStringList{"restore", "--yes"}, false, restore);
        row("replace, read-only folder", QStringList{"replace", "--yes"}, true,
            failed("Replace Database",
                   QStringLiteral("DIR/pelmor.emp could not be copied to DIR/pelmor.mdb.partial.")));
        row("repair, read-only folder", QStringList{"repair"}, true,
            failed("Repair Database",
                   QStringLiteral("A new database could not be written as DIR/pelmor.mdb.repairing.")));
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
        test::setFolderReadOnly(m_folder->path(), readOnly);
        const test::CliRun run = test::runCli(m_folder->path(), arguments, limits);
        test::setFolderReadOnly(m_folder->path(), false);

        QCOMPARE(run.exitCode, 1);
        const QString firstLine = run.err.section(QLatin1Char('\n'), 0, 0);
        if (message.isEmpty())
            QVERIFY2(firstLine.startsWith(QStringLiteral("Repair Database failed: ")), qPrintable(firstLine));
        else
            QCOMPARE(firstLine, message.replace(QLatin1String("DIR/"), m_folder->path() + QLatin1Char('/')));
        // The reason the system or the engine gave follows.
        QVERIFY2(!run.err.section(QLatin1Char('\n'), 1).isEmpty(), qPrintable(run.err));
        // No file added or left behind, none changed.
        QCOMPARE(test::folderSnapshot(m_folder->path()), before);
    }

private:
    QString database() const { return m_folder->databasePath(); }
    QString backupFile() const { return m_folder->filePath(QStringLiteral("pelmor.bak")); }

    // Rows of a table of the repaired database that stand in the original
    // under the same row number with the same values.
    int unchangedRows(const QString& table)
    {
        return scalarOf(database(),
                        QStringLiteral("SELECT count(*) FROM (SELECT rowid, * FROM main.\"%1\" INTERSECT "
                                       "SELECT rowid, * FROM original.\"%1\")")
                            .arg(table),
                        seed());
    }

    // The rows of a table of the sites, in row number order.
    QStringList siteRowsOf(const QString& table) const
    {
        return test::rowTexts(database(),
                              QStringLiteral("SELECT '%1', * FROM \"%1\" ORDER BY rowid").arg(table));
    }

    // What a repair says of the vehicles the database lost against the
    // seed: the rows lost, and each survey that keeps fewer in the order
    // they were stored.
    QStringList vehicleLossLines() const
    {
        const auto vehicles = [](const QString& database) {
            std::map<QString, int> counts;
            for (const QString& line : test::surveyContent(database))
                counts[line.section(QLatin1Char(' '), 0, 0)] = line.section(QLatin1Char(' '), 6, 6).toInt();
            return counts;
        };
        std::map<QString, int> before = vehicles(seed()), after = vehicles(database());
        QStringList surveys;
        int lost = 0;
        for (const QString& batch :
             test::rowTexts(seed(), QStringLiteral("SELECT Batch_Number FROM Summary"))) {
            if (after[batch] == before[batch])
                continue;
            lost += before[batch] - after[batch];
            surveys << QStringLiteral("Survey %1 keeps %2 of its %3 vehicles.")
                           .arg(batch, text::formatCount(after[batch]), text::formatCount(before[batch]));
        }
        if (surveys.isEmpty())
            return {};
        return QStringList{
                   QStringLiteral("%1 rows of Veh_Data could not be saved.").arg(text::formatCount(lost))} +
               surveys +
               QStringList{
                   QStringLiteral("%1 not whole: delete %2 and import its saved download again, or keep "
                                  "it knowing that its statistics count vehicles that are gone.")
                       .arg(surveys.size() == 1 ? "That survey is" : "Those surveys are",
                            surveys.size() == 1 ? "it" : "each")};
    }

    static QString seed()
    {
        return test::storedOnce(QStringLiteral(PELMOR_MAINTENANCE_SEED), [](const QString& database) {
            test::storeSurveys(database, 4, 15000);
            for (const char* batch : {"050226-B", "O'1"}) {
                test::Survey survey;
                survey.batchNumber = QString::fromLatin1(batch);
                survey.speeds = {30, 31, 32};
                test::storeSurvey(database, survey);
            }
            db::Connection connection({database});
            for (const char* statement :
                 {"insert into Agency (Admin_Agency) values ('County Sheriff')",
                  "insert into Officer (Admin_Officer) values ('Sgt. Lee')",
                  "insert into Breakdown (cDate, cTime, cCount) values ('05/01/26', '08:00 - 08:15', '12')",
                  // A survey read from another device's log: some vehicles with lengths.
                  "update Veh_Data set Length = Speed / 8.0 where rowid % 3 = 0",
                  "insert into Survey_Source values ('O''1', 'Impactor radar counter')"})
                connection.execute(QLatin1String(statement));
        });
    }

    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstMaintenance)
#include "tst_maintenance.moc"
