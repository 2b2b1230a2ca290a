#include "maintenance/Repair.h"

#include "db/DbError.h"
#include "db/DurableFiles.h"
#include "db/Files.h"
#include "db/Schema.h"
#include "maintenance/DatabaseCheck.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/DatabasePages.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/SqliteFile.h"
#include "maintenance/WriteLock.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace pelmor::maintenance {
namespace {

// Whether a value may stand in a field of the kind: STRICT tables hold
// whole numbers in INTEGER fields and texts in the others, or nothing.
bool fitsField(const StoredValue& value, db::FieldKind kind)
{
    if (value.kind == StoredValue::Kind::Null)
        return true;
    return kind == db::FieldKind::Integer ? value.kind == StoredValue::Kind::Integer
                                          : value.kind == StoredValue::Kind::Text;
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
    TableSalvage(SqliteFile& rebuilt, const db::TableInfo& table)
        : m_rebuilt(rebuilt)
        , m_table(table)
    {
        QStringList columns, parameters{QStringLiteral("?1")};
        for (size_t i = 0; i < table.fields.size(); ++i) {
            columns << QLatin1Char('"') + table.fields[i].name + QLatin1Char('"');
            parameters << QLatin1Char('?') + QString::number(i + 2);
        }
        // The first path that gives a row keeps it: the table's own pages
        // are read first.
        m_insert = std::make_unique<SqliteQuery>(
            rebuilt,
            QStringLiteral("INSERT OR IGNORE INTO \"%1\" (rowid, %2) VALUES (%3)")
                .arg(table.name, columns.join(QStringLiteral(", ")), parameters.join(QStringLiteral(", "))));
        if (!m_insert->isPrepared())
            throw db::DbError(
                QStringLiteral("The new database has no table %1: %2").arg(table.name, rebuilt.errorText()));
    }

    const db::TableInfo& table() const { return m_table; }

    bool fits(const StoredRecord& record) const
    {
        if (record.size() != m_table.fields.size())
            return false;
        for (size_t i = 0; i < record.size(); ++i) {
            if (!fitsField(record[i], m_table.fields[i].kind))
                return false;
        }
        return true;
    }

    // Stores a row under its own row number. The template's own rows of the
    // table go at the first row saved from the damaged file.
    void store(qint64 rowid, const std::vector<const StoredValue*>& values)
    {
        if (!m_cleared) {
            if (m_rebuilt.exec(QStringLiteral("DELETE FROM \"%1\"").arg(m_table.name)) != SQLITE_OK)
                throw db::DbError(m_rebuilt.errorText());
            m_cleared = true;
        }
        m_insert->reset();
        sqlite3_bind_int64(m_insert->statement(), 1, rowid);
        for (size_t i = 0; i < values.size(); ++i)
            bindValue(*m_insert, int(i) + 2, *values[i]);
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
        SqliteQuery count(m_rebuilt, QStringLiteral("SELECT count(*) FROM \"%1\"").arg(m_table.name));
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
    const db::TableInfo& m_table;
    std::unique_ptr<SqliteQuery> m_insert;
    bool m_cleared = false;
    qint64 m_refused = 0;
    std::optional<qint64> m_wholeCount;
};

// An index that holds every field of its table: each entry is a whole row
// with its row number at the end.
struct CoveringIndex {
    const db::IndexInfo* index;
    TableSalvage* table;
    std::vector<int> fieldOfColumn; // the table field each index column holds

    bool fits(const StoredRecord& entry) const
    {
        if (entry.size() != fieldOfColumn.size() + 1 || entry.back().kind != StoredValue::Kind::Integer)
            return false;
        for (size_t i = 0; i < fieldOfColumn.size(); ++i) {
            if (!fitsField(entry[i], table->table().fields[size_t(fieldOfColumn[i])].kind))
                return false;
        }
        return true;
    }

    void store(const StoredRecord& entry) const
    {
        std::vector<const StoredValue*> values(fieldOfColumn.size());
        for (size_t i = 0; i < fieldOfColumn.size(); ++i)
            values[size_t(fieldOfColumn[i])] = &entry[i];
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
        for (const db::TableInfo& table : db::tables())
            m_tables.push_back(std::make_unique<TableSalvage>(rebuilt, table));
        for (const db::IndexInfo& index : db::indexes()) {
            TableSalvage* table = tableNamed(index.table);
            CoveringIndex covering{&index, table, {}};
            for (const QString& field : index.fields)
                covering.fieldOfColumn.push_back(table->table().fieldIndex(field));
            if (covering.fieldOfColumn.size() == table->table().fields.size())
                m_indexes.push_back(covering);
        }
    }

    void run()
    {
        const std::vector<DatabasePages::SchemaEntry> schema = m_pages.schemaEntries();
        const auto rootOf = [&schema](const QString& type, const QString& name) -> quint32 {
            for (const DatabasePages::SchemaEntry& entry : schema) {
                if (entry.type == type && entry.name.compare(name, Qt::CaseInsensitive) == 0)
                    return entry.rootPage;
            }
            return 0;
        };
        std::vector<const TableSalvage*> damagedTables;
        for (const auto& table : m_tables) {
            const quint32 root = rootOf(QStringLiteral("table"), table->table().name);
            if (root == 0) {
                damagedTables.push_back(table.get());
                continue;
            }
            const DatabasePages::Walk walk =
                m_pages.walkTable(root, [&table](qint64 rowid, const StoredRecord& row) {
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
        // An index is read to the end in any case, so that its pages are
        // not taken for pages cut off from a tree; its rows are stored when
        // the table's own tree was damaged.
        for (const CoveringIndex& index : m_indexes) {
            const quint32 root = rootOf(QStringLiteral("index"), index.index->name);
            if (root == 0)
                continue;
            const bool needed =
                std::find(damagedTables.begin(), damagedTables.end(), index.table) != damagedTables.end();
            const DatabasePages::Walk walk = m_pages.walkIndex(root, [&](const StoredRecord& entry) {
                if (!index.fits(entry))
                    return false;
                if (needed)
                    index.store(entry);
                return true;
            });
            if (walk.damagedPages == 0)
                index.table->readWhole(walk.entries);
        }
        m_pages.walkUnreachedPages(
            [this](const DatabasePages::LeafRows& rows) { return storeCutOffRows(rows); },
            [this](const DatabasePages::IndexEntries& entries) { return storeCutOffEntries(entries); });
    }

    const std::vector<std::unique_ptr<TableSalvage>>& tables() const { return m_tables; }

private:
    TableSalvage* tableNamed(const QString& name) const
    {
        for (const auto& table : m_tables) {
            if (table->table().name == name)
                return table.get();
        }
        throw db::DbError(QStringLiteral("No table %1 in the schema.").arg(name));
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

QString lossReport(const Salvage& salvage, bool everyPageRead, const QStringList& headerless)
{
    QStringList lines;
    for (const auto& table : salvage.tables()) {
        const QString name = table->table().name;
        const std::optional<qint64> lost = table->lost(everyPageRead);
        if (!lost)
            lines << QStringLiteral("Some rows of %1 could not be saved; how many cannot be told.").arg(name);
        else if (*lost == 1)
            lines << QStringLiteral("1 row of %1 could not be saved.").arg(name);
        else if (*lost > 1)
            lines << QStringLiteral("%1 rows of %2 could not be saved.").arg(*lost).arg(name);
    }
    if (lines.isEmpty())
        lines << QStringLiteral("The damaged database was rebuilt; every row was saved.");
    // A badly damaged file can leave many; the first ones are named.
    constexpr int kNamed = 10;
    QString named = headerless.mid(0, kNamed).join(QStringLiteral(", "));
    if (headerless.size() > kNamed)
        named += QStringLiteral(" and %1 more").arg(headerless.size() - kNamed);
    if (headerless.size() == 1)
        lines << QStringLiteral("The vehicles or statistics of %1 were kept without the survey's header: "
                                "delete that survey, then import its download again.")
                     .arg(named);
    else if (headerless.size() > 1)
        lines << QStringLiteral("The vehicles or statistics of %1 were kept without the surveys' headers: "
                                "delete those surveys, then import their downloads again.")
                     .arg(named);
    return lines.join(QStringLiteral("\r\n"));
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
        // them as they are and is brought up to date when next opened.
        db::createEmptyDatabase(files.repairing(), 0);
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
        if (rebuilt.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN")) !=
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
            report = lossReport(salvage, pages.everyPageRead(), batchesWithoutHeader(rebuilt));
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
