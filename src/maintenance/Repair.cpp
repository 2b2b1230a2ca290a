#include "maintenance/Repair.h"

#include "db/DbError.h"
#include "db/DurableFiles.h"
#include "db/Files.h"
#include "maintenance/DatabaseCheck.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/DatabasePages.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/RepairReport.h"
#include "maintenance/SqliteFile.h"
#include "maintenance/WriteLock.h"
#include "store/SqliteSchema.h"
#include "text/Formats.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace pelmor::maintenance {
namespace {

// A column of a table of the rebuilt database, as SQLite describes it.
struct ColumnShape {
    enum class Kind { Text, Integer, Real };
    QString name;
    Kind kind = Kind::Text;
    bool notNull = false;
};

// A table of the rebuilt database: the survey tables and the sites' alike.
struct TableShape {
    QString name;
    std::vector<ColumnShape> columns;
    // The column that is the row number itself (an INTEGER PRIMARY KEY),
    // which a stored row holds as nothing; -1 when there is none.
    int rowNumberColumn = -1;
    // The columns every row holds: those a later layout added at the end
    // are missing from the rows stored before, which read them as null.
    size_t heldByAll = 0;
};

// An index of the rebuilt database: the table column of each of its key
// columns, -1 for the row number or an expression.
struct IndexShape {
    QString name;
    QString table;
    std::vector<int> columns;
};

// The tables of the rebuilt database, in the order they were made.
std::vector<TableShape> tableShapes(SqliteFile& file)
{
    std::vector<TableShape> shapes;
    SqliteQuery tables(file, QStringLiteral("SELECT name FROM sqlite_schema WHERE type = 'table' AND name "
                                            "NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid"));
    while (tables.step() == SQLITE_ROW)
        shapes.push_back({tables.columnText(0), {}, -1});
    SqliteQuery columns(file, QStringLiteral("SELECT name, upper(type), \"notnull\", pk FROM "
                                             "pragma_table_info(?1) ORDER BY cid"));
    for (TableShape& shape : shapes) {
        columns.reset();
        columns.bindText(1, shape.name);
        int keyColumns = 0;
        int keyColumn = -1;
        while (columns.step() == SQLITE_ROW) {
            const QString type = columns.columnText(1);
            const ColumnShape::Kind kind = type == QLatin1String("INTEGER") ? ColumnShape::Kind::Integer
                                           : type == QLatin1String("REAL")  ? ColumnShape::Kind::Real
                                                                            : ColumnShape::Kind::Text;
            if (columns.columnInt64(3) > 0) {
                ++keyColumns;
                keyColumn = int(shape.columns.size());
            }
            shape.columns.push_back({columns.columnText(0), kind, columns.columnInt64(2) != 0});
        }
        if (keyColumns == 1 && shape.columns[size_t(keyColumn)].kind == ColumnShape::Kind::Integer)
            shape.rowNumberColumn = keyColumn;
        shape.heldByAll = shape.columns.size();
        const auto& added = store::addedColumns();
        while (shape.heldByAll > 0 && std::any_of(added.begin(), added.end(), [&](const auto& column) {
                   return shape.name.compare(QLatin1String(column.table), Qt::CaseInsensitive) == 0 &&
                          shape.columns[shape.heldByAll - 1].name == QLatin1String(column.name);
               }))
            --shape.heldByAll;
    }
    return shapes;
}

std::vector<IndexShape> indexShapes(SqliteFile& file)
{
    std::vector<IndexShape> shapes;
    SqliteQuery indexes(file,
                        QStringLiteral("SELECT name, tbl_name FROM sqlite_schema WHERE type = 'index'"));
    while (indexes.step() == SQLITE_ROW)
        shapes.push_back({indexes.columnText(0), indexes.columnText(1), {}});
    SqliteQuery columns(file, QStringLiteral("SELECT max(cid, -1) FROM pragma_index_xinfo(?1) WHERE key "
                                             "ORDER BY seqno"));
    for (IndexShape& shape : shapes) {
        columns.reset();
        columns.bindText(1, shape.name);
        while (columns.step() == SQLITE_ROW)
            shape.columns.push_back(int(columns.columnInt64(0)));
    }
    return shapes;
}

void bindValue(SqliteQuery& statement, int parameter, const StoredValue& value)
{
    sqlite3_stmt* prepared = statement.statement();
    switch (value.kind) {
    case StoredValue::Kind::Null:
        sqlite3_bind_null(prepared, parameter);
        break;
    case StoredValue::Kind::Integer:
        sqlite3_bind_int64(prepared, parameter, value.integer);
        break;
    case StoredValue::Kind::Real:
        sqlite3_bind_double(prepared, parameter, value.real);
        break;
    case StoredValue::Kind::Text:
        sqlite3_bind_text(prepared, parameter, value.bytes.constData(), int(value.bytes.size()),
                          SQLITE_STATIC);
        break;
    case StoredValue::Kind::Blob:
        sqlite3_bind_blob(prepared, parameter, value.bytes.constData(), int(value.bytes.size()),
                          SQLITE_STATIC);
        break;
    }
}

// One table of the rebuilt database and what became of its rows.
class TableSalvage {
public:
    TableSalvage(SqliteFile& rebuilt, TableShape shape)
        : m_rebuilt(rebuilt)
        , m_shape(std::move(shape))
    {
        // The row number goes in as the row's own; its column, when the
        // table has one, is the same value.
        QStringList columns, parameters{QStringLiteral("?1")};
        for (size_t i = 0; i < m_shape.columns.size(); ++i) {
            if (int(i) == m_shape.rowNumberColumn)
                continue;
            columns << QLatin1Char('"') + m_shape.columns[i].name + QLatin1Char('"');
            parameters << QLatin1Char('?') + QString::number(parameters.size() + 1);
        }
        // The first path that gives a row keeps it: the table's own pages
        // are read first.
        m_insert = std::make_unique<SqliteQuery>(
            rebuilt, QStringLiteral("INSERT OR IGNORE INTO \"%1\" (rowid, %2) VALUES (%3)")
                         .arg(m_shape.name, columns.join(QStringLiteral(", ")),
                              parameters.join(QStringLiteral(", "))));
        if (!m_insert->isPrepared())
            throw db::DbError(QStringLiteral("The new database has no table %1: %2")
                                  .arg(m_shape.name, rebuilt.errorText()));
    }

    const TableShape& shape() const { return m_shape; }
    const QString& name() const { return m_shape.name; }

    // Whether a value may stand in a column: STRICT tables hold whole
    // numbers in INTEGER columns, texts in TEXT ones, and numbers in REAL
    // ones (which the file stores as whole numbers where it can); nothing
    // where it is allowed, as always in the row number's own column.
    bool fits(size_t column, const StoredValue& value) const
    {
        const ColumnShape& shape = m_shape.columns[column];
        if (value.kind == StoredValue::Kind::Null)
            return !shape.notNull;
        if (int(column) == m_shape.rowNumberColumn)
            return false;
        switch (shape.kind) {
        case ColumnShape::Kind::Integer:
            return value.kind == StoredValue::Kind::Integer;
        case ColumnShape::Kind::Real:
            return value.kind == StoredValue::Kind::Integer || value.kind == StoredValue::Kind::Real;
        case ColumnShape::Kind::Text:
            return value.kind == StoredValue::Kind::Text;
        }
        return false;
    }

    bool fits(const StoredRecord& record) const
    {
        if (record.size() < m_shape.heldByAll || record.size() > m_shape.columns.size())
            return false;
        for (size_t i = 0; i < record.size(); ++i) {
            if (!fits(i, record[i]))
                return false;
        }
        return true;
    }

    // Stores a row under its own row number, given its value of each
    // column (none needed in the row number's own, nor in the columns a
    // later layout added, which are then null). The template's own rows of
    // the table go at the first row saved from the damaged file.
    void store(qint64 rowid, const std::vector<const StoredValue*>& values)
    {
        if (!m_cleared) {
            if (m_rebuilt.exec(QStringLiteral("DELETE FROM \"%1\"").arg(m_shape.name)) != SQLITE_OK)
                throw db::DbError(m_rebuilt.errorText());
            m_cleared = true;
        }
        m_insert->reset();
        sqlite3_bind_int64(m_insert->statement(), 1, rowid);
        int parameter = 2;
        for (size_t i = 0; i < m_shape.columns.size(); ++i) {
            if (int(i) == m_shape.rowNumberColumn)
                continue;
            if (i < values.size() && values[i])
                bindValue(*m_insert, parameter++, *values[i]);
            else
                sqlite3_bind_null(m_insert->statement(), parameter++);
        }
        const int result = m_insert->step();
        // A full disk stops the repair; a row the table refuses is counted.
        if ((result & 0xff) == SQLITE_FULL || (result & 0xff) == SQLITE_IOERR)
            throw db::DbError(m_rebuilt.errorText());
        if (result != SQLITE_DONE)
            ++m_refused;
        m_insert->reset();
    }

    void store(qint64 rowid, const StoredRecord& record)
    {
        std::vector<const StoredValue*> values;
        values.reserve(record.size());
        for (const StoredValue& value : record)
            values.push_back(&value);
        store(rowid, values);
    }

    // A path that read every row of the table: how many it read.
    void readWhole(qint64 rows) { m_wholeCount = std::max(m_wholeCount.value_or(0), rows); }

    // Rows saved in the rebuilt database.
    qint64 saved() const
    {
        if (!m_cleared)
            return 0;
        SqliteQuery count(m_rebuilt, QStringLiteral("SELECT count(*) FROM \"%1\"").arg(m_shape.name));
        return count.step() == SQLITE_ROW ? count.columnInt64(0) : 0;
    }

    // Rows the damaged file held that the rebuilt one lacks: those refused
    // when every page was read, or those a whole path read beyond the ones
    // saved; none when that cannot be told.
    std::optional<qint64> lost(bool everyPageRead) const
    {
        if (everyPageRead)
            return m_refused;
        if (m_wholeCount)
            return std::max<qint64>(0, *m_wholeCount - saved());
        return std::nullopt;
    }

private:
    SqliteFile& m_rebuilt;
    TableShape m_shape;
    std::unique_ptr<SqliteQuery> m_insert;
    bool m_cleared = false;
    qint64 m_refused = 0;
    std::optional<qint64> m_wholeCount;
};

// An index that holds every column of its table: each entry is a whole row
// with its row number at the end. The index of an older layout lacks the
// keys of the columns added since, at its end.
struct CoveringIndex {
    QString name;
    TableSalvage* table;
    std::vector<int> columnOfKey; // the table column each key of the index holds
    size_t keysOfAll = 0;         // the keys of the columns every row holds, first

    bool fits(const StoredRecord& entry) const
    {
        if (entry.size() < keysOfAll + 1 || entry.size() > columnOfKey.size() + 1 ||
            entry.back().kind != StoredValue::Kind::Integer)
            return false;
        for (size_t i = 0; i + 1 < entry.size(); ++i) {
            if (!table->fits(size_t(columnOfKey[i]), entry[i]))
                return false;
        }
        return true;
    }

    void store(const StoredRecord& entry) const
    {
        std::vector<const StoredValue*> values(table->shape().columns.size());
        for (size_t i = 0; i + 1 < entry.size(); ++i)
            values[size_t(columnOfKey[i])] = &entry[i];
        table->store(entry.back().integer, values);
    }
};

// Saves every row of the damaged file that can still be read into the
// rebuilt one: through each table's own tree, through each index that
// holds whole rows, and from the pages that damage cut off from their
// trees. A row found on several paths is stored once.
class Salvage {
public:
    Salvage(DatabasePages& pages, SqliteFile& rebuilt)
        : m_pages(pages)
    {
        for (TableShape& table : tableShapes(rebuilt))
            m_tables.push_back(std::make_unique<TableSalvage>(rebuilt, std::move(table)));
        for (const IndexShape& index : indexShapes(rebuilt)) {
            TableSalvage* table = tableNamed(index.table);
            if (!table)
                continue;
            const TableShape& shape = table->shape();
            std::set<int> held(index.columns.begin(), index.columns.end());
            held.insert(shape.rowNumberColumn);
            held.erase(-1);
            const size_t columns = shape.columns.size() - (shape.rowNumberColumn >= 0 ? 1 : 0);
            // The keys of the columns a later layout added come last.
            const auto firstAdded =
                std::find_if(index.columns.begin(), index.columns.end(),
                             [&shape](int column) { return size_t(column) >= shape.heldByAll; });
            const bool addedLast = std::all_of(firstAdded, index.columns.end(), [&shape](int column) {
                return size_t(column) >= shape.heldByAll;
            });
            if (std::find(index.columns.begin(), index.columns.end(), -1) == index.columns.end() &&
                index.columns.size() == columns && held.size() == shape.columns.size() && addedLast)
                m_indexes.push_back(
                    {index.name, table, index.columns, size_t(firstAdded - index.columns.begin())});
        }
    }

    void run()
    {
        const std::vector<DatabasePages::SchemaEntry> schema = m_pages.schemaEntries();
        std::vector<const TableSalvage*> damagedTables;
        for (const auto& table : m_tables) {
            const auto entry = std::find_if(schema.begin(), schema.end(), [&table](const auto& entry) {
                return entry.type == QLatin1String("table") &&
                       entry.name.compare(table->name(), Qt::CaseInsensitive) == 0;
            });
            if (entry == schema.end()) {
                // A table added by a later layout than the file's lost
                // none of its rows.
                const store::AddedTable* added = store::findAddedTable(table->name());
                if (added && m_pages.userVersion() < quint32(added->version))
                    table->readWhole(0);
                else
                    damagedTables.push_back(table.get());
                continue;
            }
            const DatabasePages::Walk walk =
                m_pages.walkTable(entry->rootPage, [&table](qint64 rowid, const StoredRecord& row) {
                    if (!table->fits(row))
                        return false;
                    table->store(rowid, row);
                    return true;
                });
            if (walk.damagedPages == 0)
                table->readWhole(walk.entries);
            else
                damagedTables.push_back(table.get());
        }
        // Every index of a table is read to the end, so that its pages are
        // not taken for pages cut off from a tree; one read whole has an
        // entry for each row of its table. The rows of an index that holds
        // whole rows are stored when the table's own tree was damaged.
        for (const DatabasePages::SchemaEntry& entry : schema) {
            if (entry.type != QLatin1String("index"))
                continue;
            TableSalvage* table = tableNamed(entry.table);
            if (!table)
                continue;
            const auto covering =
                std::find_if(m_indexes.begin(), m_indexes.end(), [&entry](const auto& index) {
                    return index.name.compare(entry.name, Qt::CaseInsensitive) == 0;
                });
            const CoveringIndex* index = covering != m_indexes.end() ? &*covering : nullptr;
            const bool needed =
                index && std::find(damagedTables.begin(), damagedTables.end(), table) != damagedTables.end();
            const DatabasePages::Walk walk = m_pages.walkIndex(entry.rootPage, [&](const StoredRecord& key) {
                if (!index)
                    return key.size() >= 2 && key.back().kind == StoredValue::Kind::Integer;
                if (!index->fits(key))
                    return false;
                if (needed)
                    index->store(key);
                return true;
            });
            if (walk.damagedPages == 0)
                table->readWhole(walk.entries);
        }
        m_pages.walkUnreachedPages(
            [this](const DatabasePages::LeafRows& rows) { return storeCutOffRows(rows); },
            [this](const DatabasePages::IndexEntries& entries) { return storeCutOffEntries(entries); });
    }

    const std::vector<std::unique_ptr<TableSalvage>>& tables() const { return m_tables; }

private:
    // A table by its name, which SQLite matches without regard to case;
    // null when the rebuilt database has none of that name.
    TableSalvage* tableNamed(const QString& name) const
    {
        for (const auto& table : m_tables) {
            if (table->name().compare(name, Qt::CaseInsensitive) == 0)
                return table.get();
        }
        return nullptr;
    }

    // A leaf cut off from its tree belongs to the one table whose rows all
    // of its rows fit; rows that would fit several tables are not guessed at.
    bool storeCutOffRows(const DatabasePages::LeafRows& rows)
    {
        if (rows.empty())
            return true;
        TableSalvage* owner = nullptr;
        for (const auto& table : m_tables) {
            const bool fitsAll = std::all_of(rows.begin(), rows.end(),
                                             [&table](const auto& row) { return table->fits(row.second); });
            if (!fitsAll)
                continue;
            if (owner)
                return false;
            owner = table.get();
        }
        if (!owner)
            return false;
        for (const auto& [rowid, row] : rows)
            owner->store(rowid, row);
        return true;
    }

    bool storeCutOffEntries(const DatabasePages::IndexEntries& entries)
    {
        if (entries.empty())
            return true;
        for (const CoveringIndex& index : m_indexes) {
            if (!std::all_of(entries.begin(), entries.end(),
                             [&index](const StoredRecord& entry) { return index.fits(entry); }))
                continue;
            for (const StoredRecord& entry : entries)
                index.store(entry);
            return true;
        }
        return false;
    }

    DatabasePages& m_pages;
    std::vector<std::unique_ptr<TableSalvage>> m_tables;
    std::vector<CoveringIndex> m_indexes;
};

// The vehicles kept of each survey against the count its statistics row
// gives.
struct VehicleCount {
    std::vector<SurveyShortfall> shortfalls;
    // The vehicles missing from the surveys that keep fewer.
    qint64 missing = 0;
    // Whether every vehicle kept belongs to a survey whose statistics count
    // at least as many: then `missing` is every vehicle lost.
    bool allAccounted = true;
};

VehicleCount vehiclesAgainstStatistics(SqliteFile& rebuilt)
{
    std::map<QString, qint64> kept;
    SqliteQuery vehicles(rebuilt,
                         QStringLiteral("SELECT Batch_Number, count(*) FROM Veh_Data GROUP BY Batch_Number"));
    while (vehicles.step() == SQLITE_ROW)
        kept[vehicles.columnText(0)] = vehicles.columnInt64(1);
    VehicleCount count;
    SqliteQuery statistics(rebuilt,
                           QStringLiteral("SELECT Batch_Number, Total_Vehicles FROM Summary ORDER BY rowid"));
    std::set<QString> seen;
    while (statistics.step() == SQLITE_ROW) {
        const QString batch = statistics.columnText(0);
        if (!seen.insert(batch).second)
            continue;
        const std::optional<qint64> stated = text::toWholeNumber(statistics.columnText(1));
        const auto found = kept.find(batch);
        const qint64 have = found != kept.end() ? found->second : 0;
        if (found != kept.end())
            kept.erase(found);
        if (!stated || *stated < have) {
            count.allAccounted = false;
        } else if (*stated > have) {
            count.shortfalls.push_back({batch, have, *stated});
            count.missing += *stated - have;
        }
    }
    if (!kept.empty())
        count.allAccounted = false;
    return count;
}

// Makes each site again whose row was lost while surveys saved with their
// header are still at it, named after the first of them, so that the
// surveys stay together; the location names and survey places that lead to
// a site that cannot be made again are removed, so that those surveys go
// to the site of their location as any survey without a site does. Returns
// the sites made again and the location names removed.
std::pair<std::vector<RemadeSite>, qint64> remakeLostSites(SqliteFile& rebuilt)
{
    std::vector<RemadeSite> remade;
    {
        SqliteQuery lost(
            rebuilt, QStringLiteral("SELECT p.Site_Id, coalesce(h.Location, ''), coalesce(h.Direction, ''), "
                                    "min(h.rowid) FROM Site_Survey p JOIN Header h ON h.Batch_Number = "
                                    "p.Batch_Number WHERE p.Site_Id NOT IN (SELECT Site_Id FROM Site) "
                                    "GROUP BY p.Site_Id ORDER BY p.Site_Id"));
        while (lost.step() == SQLITE_ROW)
            remade.push_back({lost.columnInt64(0), lost.columnText(1), lost.columnText(2)});
    }
    SqliteQuery add(rebuilt,
                    QStringLiteral("INSERT INTO Site (Site_Id, Name, Direction) VALUES (?1, ?2, ?3)"));
    for (const RemadeSite& site : remade) {
        add.reset();
        add.bindInt64(1, site.id);
        add.bindText(2, site.name);
        add.bindText(3, site.direction);
        if (add.step() != SQLITE_DONE)
            throw db::DbError(rebuilt.errorText());
    }
    if (rebuilt.exec(QStringLiteral(
            "DELETE FROM Site_Survey WHERE Site_Id NOT IN (SELECT Site_Id FROM Site)")) != SQLITE_OK)
        throw db::DbError(rebuilt.errorText());
    if (rebuilt.exec(QStringLiteral(
            "DELETE FROM Site_Name WHERE Site_Id NOT IN (SELECT Site_Id FROM Site)")) != SQLITE_OK)
        throw db::DbError(rebuilt.errorText());
    const qint64 namesRemoved = sqlite3_changes(rebuilt.handle());
    return {remade, namesRemoved};
}

// What the salvage could not save, with the vehicles of each survey counted
// against its statistics where the pages cannot tell how many were lost.
// Puts the sites back together on the way.
RepairFindings findingsOf(const Salvage& salvage, bool everyPageRead, SqliteFile& rebuilt)
{
    RepairFindings found;
    std::map<QString, std::optional<qint64>> lostOfSites;
    for (const auto& table : salvage.tables()) {
        if (store::findTable(table->name()))
            found.lostRows.emplace_back(table->name(), table->lost(everyPageRead));
        else
            lostOfSites[table->name()] = table->lost(everyPageRead);
    }
    const auto lostOf = [&found](const char* table) -> std::optional<qint64>& {
        return std::find_if(found.lostRows.begin(), found.lostRows.end(),
                            [table](const auto& lost) { return lost.first == QLatin1String(table); })
            ->second;
    };
    std::optional<qint64>& vehicles = lostOf("Veh_Data");
    if (vehicles != 0) {
        VehicleCount count = vehiclesAgainstStatistics(rebuilt);
        if (!vehicles && count.allAccounted && lostOf("Summary") == 0)
            vehicles = count.missing;
        found.shortfalls = std::move(count.shortfalls);
    }
    found.headerless = batchesWithoutHeader(rebuilt);

    const std::optional<qint64> lostSites = lostOfSites[QLatin1String(store::kSiteTable)];
    const std::optional<qint64> lostNames = lostOfSites[QLatin1String(store::kSiteNameTable)];
    const std::optional<qint64> lostPlaces = lostOfSites[QLatin1String(store::kSiteSurveyTable)];
    const auto [remade, namesRemoved] = remakeLostSites(rebuilt);
    found.remadeSites = remade;
    found.lostSitesWithoutSurveys =
        lostSites ? std::optional(std::max<qint64>(0, *lostSites - qint64(remade.size()))) : std::nullopt;
    found.lostSiteNames = lostNames ? std::optional(*lostNames + namesRemoved) : std::nullopt;
    if (lostPlaces != 0) {
        SqliteQuery unplaced(rebuilt,
                             QStringLiteral("SELECT Batch_Number FROM Header h WHERE NOT EXISTS (SELECT "
                                            "1 FROM Site_Survey p WHERE p.Batch_Number = "
                                            "h.Batch_Number) ORDER BY rowid"));
        while (unplaced.step() == SQLITE_ROW)
            found.surveysWithoutSite << unplaced.columnText(0);
    }
    return found;
}

Outcome beyondRepair(const QString& database, const QString& why, const QString& details)
{
    return Outcome::failed(
        QStringLiteral("%1 failed: the database %2 is damaged beyond repair, %3. Restore the "
                       "backup or replace the database. The file is as it was.")
            .arg(texts::kRepairOperation, db::displayPath(database), why),
        details);
}

} // namespace

Outcome repairDatabase(const QString& folder)
{
    const QString& operation = texts::kRepairOperation;
    const DatabaseFiles files(folder);
    WriteLock lock(files.database);
    if (lock.state() == WriteLock::State::Damaged)
        return beyondRepair(files.database, QStringLiteral("SQLite cannot read it as a database"),
                            lock.reason());
    if (!lock.isHeld())
        return lockRefusal(lock, operation, files.database);
    files.removeWorkFiles();

    // A file that opens as the program opens it, with every table and
    // nothing SQLite's full check finds wrong, is left exactly as it is.
    const DatabaseCheck check = checkDatabaseFile(files.database, CheckDepth::Full);
    if (check.usable)
        return Outcome::done(texts::kRepairComplete);
    DatabasePages pages(lock);
    if (!pages.hasHeader())
        return beyondRepair(files.database,
                            check.problem.startsWith(QLatin1String("it "))
                                ? check.problem
                                : QStringLiteral("its header is lost"),
                            check.problem);

    const auto fail = [&](const QString& what, const QString& reason) {
        files.removeWorkFiles();
        return stepFailure(operation, what, reason);
    };
    const QString cannotWrite =
        QStringLiteral("The new database %1 could not be written.").arg(db::displayPath(files.repairing()));
    try {
        // Saved rows may break the identity keys (a batch number stored
        // twice, vehicles whose header was lost): the rebuilt file takes
        // them as they are, with the sites' tables, the vehicles' lengths
        // and the surveys' sources beside them, and is brought up to date
        // when next opened.
        store::createEmptyDatabase(files.repairing(), 0);
    } catch (const db::DbError& error) {
        return fail(QStringLiteral("A new database could not be written as %1.")
                        .arg(db::displayPath(files.repairing())),
                    error.message());
    }
    QString report;
    {
        SqliteFile rebuilt(files.repairing(), SqliteFile::Mode::ReadWrite);
        // The new file is flushed to the disk once, when complete; until it
        // takes the database's place a crash only leaves a work file.
        if (rebuilt.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN; ") +
                         (store::siteStatements() + store::lengthStatements()).join(QStringLiteral("; "))) !=
            SQLITE_OK)
            return fail(cannotWrite, rebuilt.errorText());
        try {
            Salvage salvage(pages, rebuilt);
            salvage.run();
            qint64 saved = 0;
            for (const auto& table : salvage.tables())
                saved += table->saved();
            if (saved == 0) {
                files.removeWorkFiles();
                return beyondRepair(files.database, QStringLiteral("no row of it can be read"),
                                    check.problem);
            }
            report = repairReport(findingsOf(salvage, pages.everyPageRead(), rebuilt));
        } catch (const db::DbError& error) {
            return fail(cannotWrite, error.message());
        }
        if (rebuilt.exec(QStringLiteral("COMMIT")) != SQLITE_OK)
            return fail(cannotWrite, rebuilt.errorText());
    }
    // The rebuilt file is checked as the program will open it.
    const DatabaseCheck rebuiltCheck = checkDatabaseFile(files.repairing(), CheckDepth::Full);
    if (!rebuiltCheck.usable)
        return fail(QStringLiteral("The rebuilt database did not pass SQLite's integrity check."),
                    rebuiltCheck.problem);
    QString reason;
    if (!db::syncFile(files.repairing(), &reason))
        return fail(cannotWrite, reason);
    if (!moveIntoPlace(lock, files.repairing(), files.database, &reason)) {
        QFile::remove(files.repairing());
        return stepFailure(operation,
                           QStringLiteral("The rebuilt database could not take the place of %1.")
                               .arg(db::displayPath(files.database)),
                           reason);
    }
    return Outcome::done(texts::kRepairComplete + QStringLiteral("\r\n") + report);
}

} // namespace pelmor::maintenance
