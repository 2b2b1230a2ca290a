// Repair on real damaged files: a healthy file is left as it is; pages
// overwritten with random bytes and a truncated file are rebuilt from the
// rows that can still be read, and the message counts the rows lost.
#include "MaintenanceFixture.h"
#include "db/Connection.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/Repair.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTest>

#include <memory>

using namespace pelmor;
using maintenance::Outcome;
using test::row;

namespace {

const QString kVehicleIndex = QStringLiteral("Veh_Data_Batch_Date_Time");
constexpr int kPageSize = 4096;

struct Page {
    int number = 0;
    int cells = 0; // rows on a leaf of a table
};

// The pages of a table or index, in the order of the tree, as SQLite's page
// statistics give them: its "root", its other "internal" pages or its "leaf" pages.
std::vector<Page> pagesOf(const QString& databasePath, const QString& name, const QString& kind)
{
    const QString condition = kind == QLatin1String("root") ? QStringLiteral("path = '/'")
                              : kind == QLatin1String("internal")
                                  ? QStringLiteral("pagetype = 'internal' AND path <> '/'")
                                  : QStringLiteral("pagetype = 'leaf'");
    db::Connection connection({databasePath, nullptr});
    QSqlQuery pages = connection.prepareUnlogged(
        QStringLiteral("SELECT pageno, ncell FROM dbstat WHERE name = '%1' AND %2 ORDER BY path")
            .arg(name, condition));
    if (!pages.exec())
        connection.fail(pages, QStringLiteral("dbstat"));
    std::vector<Page> found;
    while (pages.next())
        found.push_back({pages.value(0).toInt(), pages.value(1).toInt()});
    return found;
}

// The number a query gives, with another database attached as "original".
int scalarOf(const QString& databasePath, const QString& statement, const QString& original = QString())
{
    db::Connection connection({databasePath, nullptr});
    if (!original.isEmpty())
        connection.executeUnlogged(QStringLiteral("ATTACH '%1' AS original").arg(original));
    QSqlQuery query = connection.prepareUnlogged(statement);
    if (!query.exec() || !query.next())
        connection.fail(query, statement);
    return int(query.value(0).toDouble());
}

// The rows of a table on its leaves that lie within the first `pages`
// pages of the file and are reached only through pages that do too.
int reachableRows(const QString& databasePath, const QString& table, int pages)
{
    return scalarOf(databasePath,
                    QStringLiteral("SELECT total(leaf.ncell) FROM dbstat leaf WHERE leaf.name = '%1' "
                                   "AND leaf.pagetype = 'leaf' AND leaf.pageno <= %2 AND NOT EXISTS ("
                                   "SELECT 1 FROM dbstat above WHERE above.name = '%1' "
                                   "AND above.pagetype = 'internal' AND above.pageno > %2 "
                                   "AND substr(leaf.path, 1, length(above.path)) = above.path)")
                        .arg(table)
                        .arg(pages));
}

} // namespace

class TstRepair : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_seed = std::make_unique<test::TempProgramFolder>();
        // Enough vehicles for a tree of three levels.
        test::storeSurveys(m_seed->databasePath(), 4, 15000);
        {
            db::Connection connection({m_seed->databasePath(), nullptr});
            connection.execute(QStringLiteral("insert into Agency (Admin_Agency) values ('County Sheriff')"));
        }
        QCOMPARE(scalarOf(m_seed->databasePath(), QStringLiteral("PRAGMA page_size")), kPageSize);
        m_vehicles = scalarOf(m_seed->databasePath(), QStringLiteral("SELECT count(*) FROM Veh_Data"));
        QCOMPARE(m_vehicles, 60000);
    }

    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        QFile::remove(database());
        QVERIFY(QFile::copy(m_seed->databasePath(), database()));
    }

    void healthyFileIsLeftAsItIs()
    {
        const QByteArray before = test::fileBytes(database());
        const Outcome outcome = maintenance::repairDatabase(m_folder->path());
        QVERIFY(outcome.isDone());
        QCOMPARE(outcome.message, maintenance::texts::kRepairComplete);
        QCOMPARE(test::fileBytes(database()), before);
    }

    void damagedPages_data()
    {
        QTest::addColumn<QString>("tree");     // the table or index whose page is overwritten
        QTest::addColumn<QString>("kind");     // "root", "internal" or "leaf"
        QTest::addColumn<QString>("lostLine"); // the line the message adds; %1: the rows on the page
        row("a leaf of the vehicle table", QStringLiteral("Veh_Data"), QStringLiteral("leaf"),
            QStringLiteral("%1 rows of Veh_Data could not be saved."));
        row("an inner page of the vehicle table", QStringLiteral("Veh_Data"), QStringLiteral("internal"),
            QStringLiteral("%1 rows of Veh_Data could not be saved."));
        row("the root of the vehicle table", QStringLiteral("Veh_Data"), QStringLiteral("root"),
            QStringLiteral("%1 rows of Veh_Data could not be saved."));
        row("a leaf of the vehicle index", kVehicleIndex, QStringLiteral("leaf"),
            QStringLiteral("The damaged database was rebuilt; every row was saved."));
        row("the only page of the survey headers", QStringLiteral("Header"), QStringLiteral("leaf"),
            QStringLiteral("Some rows of Header could not be saved; how many cannot be told."));
    }
    void damagedPages()
    {
        QFETCH(QString, tree);
        QFETCH(QString, kind);
        QFETCH(QString, lostLine);
        const std::vector<Page> pages = pagesOf(database(), tree, kind);
        QVERIFY(!pages.empty());
        // A page in the middle of the tree: rows on both sides of it survive.
        const Page page = pages[pages.size() / 2];
        test::overwritePage(database(), page.number);
        QVERIFY(test::integrityOf(database()) != QLatin1String("ok"));

        const Outcome outcome = maintenance::repairDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
        QCOMPARE(test::filesIn(m_folder->path()), (QStringList{"pelmor.emp", "pelmor.mdb"}));

        // Every row kept is a row of the original, unchanged and under its
        // own row number; what is missing is counted in the message.
        const int lost = m_vehicles - scalarOf(database(), QStringLiteral("SELECT count(*) FROM Veh_Data"));
        QCOMPARE(unchangedRows(QStringLiteral("Veh_Data")), m_vehicles - lost);
        for (const char* table : {"Summary", "Agency", "Radar"})
            QCOMPARE(unchangedRows(QLatin1String(table)), table[0] == 'S' ? 4 : 1);
        if (tree == QLatin1String("Veh_Data")) {
            QVERIFY(lost > 0);
            // A leaf held the rows that are gone, numbered one after another.
            if (kind == QLatin1String("leaf"))
                QCOMPARE(lost, page.cells);
            QCOMPARE(scalarOf(database(),
                              QStringLiteral("SELECT max(rowid) - min(rowid) + 1 FROM original.Veh_Data "
                                             "WHERE rowid NOT IN (SELECT rowid FROM main.Veh_Data)"),
                              m_seed->databasePath()),
                     lost);
        } else {
            QCOMPARE(lost, 0);
        }
        QCOMPARE(unchangedRows(QStringLiteral("Header")), tree == QLatin1String("Header") ? 0 : 4);
        QCOMPARE(outcome.message,
                 maintenance::texts::kRepairComplete + QStringLiteral("\r\n") +
                     (lostLine.contains(QLatin1String("%1")) ? lostLine.arg(lost) : lostLine));
    }

    void truncatedFile()
    {
        // The file ends early, as a copy that stopped short does.
        const int wholePages = int(QFileInfo(database()).size() * 3 / 4 / kPageSize);
        const int reachable = reachableRows(database(), QStringLiteral("Veh_Data"), wholePages);
        QVERIFY(reachable > 0);
        QFile file(database());
        QVERIFY(file.resize(qint64(wholePages) * kPageSize));
        file.close();

        const Outcome outcome = maintenance::repairDatabase(m_folder->path());
        QVERIFY2(outcome.isDone(), qPrintable(outcome.message + outcome.details));
        QCOMPARE(test::integrityOf(database()), QStringLiteral("ok"));
        // Every row that the pages left can still lead to is kept, unchanged.
        QCOMPARE(unchangedRows(QStringLiteral("Veh_Data")), reachable);
        QCOMPARE(scalarOf(database(), QStringLiteral("SELECT count(*) FROM Veh_Data")), reachable);
        for (const char* table : {"Header", "Summary", "Radar", "Agency"})
            QCOMPARE(unchangedRows(QLatin1String(table)),
                     scalarOf(m_seed->databasePath(),
                              QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table)));
        QVERIFY2(outcome.message.startsWith(maintenance::texts::kRepairComplete + QStringLiteral("\r\n")),
                 qPrintable(outcome.message));
        QVERIFY2(outcome.message.contains(QStringLiteral(" of Veh_Data could not be saved")),
                 qPrintable(outcome.message));
    }

    void firstPageDestroyed()
    {
        test::overwritePage(database(), 1);
        const QByteArray damaged = test::fileBytes(database());
        const Outcome outcome = maintenance::repairDatabase(m_folder->path());
        QCOMPARE(outcome.status, Outcome::Status::Failed);
        QCOMPARE(
            outcome.message,
            QStringLiteral("Repair Database failed: the database %1 is damaged beyond repair, SQLite cannot "
                           "read it as a database. Restore the backup or replace the database. The file is "
                           "as it was.")
                .arg(database()));
        QCOMPARE(test::fileBytes(database()), damaged);
    }

private:
    QString database() const { return m_folder->databasePath(); }

    // Rows of a table of the repaired database that stand in the original
    // under the same row number with the same values.
    int unchangedRows(const QString& table)
    {
        return scalarOf(database(),
                        QStringLiteral("SELECT count(*) FROM (SELECT rowid, * FROM main.\"%1\" INTERSECT "
                                       "SELECT rowid, * FROM original.\"%1\")")
                            .arg(table),
                        m_seed->databasePath());
    }

    std::unique_ptr<test::TempProgramFolder> m_seed;
    int m_vehicles = 0;
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstRepair)
#include "tst_repair.moc"
