#include "maintenance/Repair.h"

#include "db/DbError.h"
#include "db/DurableFiles.h"
#include "db/Files.h"
#include "db/Schema.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/SqliteFile.h"
#include "maintenance/WriteLock.h"

#include <QFile>

#include <sqlite3.h>

#include <limits>
#include <optional>
#include <vector>

namespace pelmor::maintenance {
namespace {

constexpr qint64 kLowest = std::numeric_limits<qint64>::min();
constexpr qint64 kHighest = std::numeric_limits<qint64>::max();
constexpr quint64 kHighestStride = std::numeric_limits<quint64>::max() / 2;
constexpr qint64 kUnknown = -1;

// What a repair saved of one table.
struct TableSalvage {
    QString table;
    qint64 saved = 0;
    qint64 lost = 0; // rows the damaged file held that the new one lacks; kUnknown when that cannot be told
};

// How far apart two row numbers are, without overflow.
quint64 distance(qint64 low, qint64 high)
{
    return quint64(high) - quint64(low);
}

// Copies the rows of one table from the damaged file into the new one, in
// the order of their row numbers, keeping each row's number (so a table
// read in insertion order keeps it). A damaged page stops a read at some
// row; the walk then looks for the lowest row number from which reading
// works again, first in growing strides, then by halving, and goes on
// from there. What lies between could not be read.
class TableSalvager {
public:
    TableSalvager(SqliteFile& damaged, SqliteFile& target, const db::TableInfo& table)
        : m_damaged(damaged)
        , m_table(table)
        , m_read(damaged, QStringLiteral("SELECT rowid, %1 FROM \"%2\" WHERE rowid >= ?1 ORDER BY rowid")
                              .arg(columnList(), table.name))
        , m_write(target, QStringLiteral("INSERT OR REPLACE INTO \"%1\" (rowid, %2) VALUES (%3)")
                              .arg(table.name, columnList(), parameterList()))
    {
        if (!m_write.isPrepared())
            throw db::DbError(
                QStringLiteral("The new database has no table %1: %2").arg(table.name, target.errorText()));
    }

    TableSalvage run()
    {
        TableSalvage result{m_table.name};
        if (!m_read.isPrepared()) {
            // Not even the table's description can be read.
            result.lost = kUnknown;
            return result;
        }
        bool damaged = false;
        qint64 refused = 0;    // rows read whose values the new table does not take
        qint64 next = kLowest; // every row numbered below has been read or given up
        for (;;) {
            m_read.reset();
            m_read.bindInt64(1, next);
            int status;
            bool atEnd = false;
            while ((status = m_read.step()) == SQLITE_ROW) {
                const qint64 rowid = m_read.columnInt64(0);
                if (rowid < next) {
                    // Rows out of order: a damaged page of the table's tree.
                    status = SQLITE_CORRUPT;
                    break;
                }
                if (copyCurrentRow())
                    ++result.saved;
                else
                    ++refused;
                if (rowid == kHighest) {
                    atEnd = true;
                    break;
                }
                next = rowid + 1;
            }
            if (status == SQLITE_DONE || atEnd)
                break;
            damaged = true;
            const std::optional<qint64> resume = nextReadable(next);
            if (!resume)
                break;
            next = *resume;
        }
        m_read.reset();
        result.lost = damaged ? lostRows(result.saved) : refused;
        return result;
    }

private:
    QString columnList() const
    {
        QStringList columns;
        for (const db::FieldInfo& field : m_table.fields)
            columns << QLatin1Char('"') + field.name + QLatin1Char('"');
        return columns.join(QStringLiteral(", "));
    }

    QString parameterList() const
    {
        QStringList parameters;
        for (size_t i = 0; i <= m_table.fields.size(); ++i)
            parameters << QLatin1Char('?') + QString::number(i + 1);
        return parameters.join(QStringLiteral(", "));
    }

    bool copyCurrentRow()
    {
        const int columns = int(m_table.fields.size()) + 1;
        for (int column = 0; column < columns; ++column)
            sqlite3_bind_value(m_write.statement(), column + 1,
                               sqlite3_column_value(m_read.statement(), column));
        const bool stored = m_write.step() == SQLITE_DONE;
        m_write.reset();
        return stored;
    }

    // Whether reading from row number `from` on gives a row numbered from
    // there on, or the table's end. Reading from a readable place gives at
    // least one row (or ends the table), so the walk always moves on.
    bool readable(qint64 from)
    {
        m_read.reset();
        m_read.bindInt64(1, from);
        const int status = m_read.step();
        return status == SQLITE_DONE || (status == SQLITE_ROW && m_read.columnInt64(0) >= from);
    }

    // The lowest row number above `unreadable` from which reading works;
    // none when the rest of the table cannot be read.
    std::optional<qint64> nextReadable(qint64 unreadable)
    {
        qint64 bad = unreadable;
        qint64 good = 0;
        for (quint64 stride = 1;; stride *= 2) {
            // The last probe is the highest row number, at the latest when
            // the stride could double no further.
            const bool last = distance(bad, kHighest) <= stride || stride > kHighestStride;
            const qint64 probe = last ? kHighest : qint64(quint64(bad) + stride);
            if (readable(probe)) {
                good = probe;
                break;
            }
            if (last)
                return std::nullopt;
        }
        while (distance(bad, good) > 1) {
            const qint64 middle = bad + qint64(distance(bad, good) / 2);
            if (readable(middle))
                good = middle;
            else
                bad = middle;
        }
        return good;
    }

    // The rows the table held, counted through one of its indexes (each
    // holds one entry per row, on pages of its own), less those saved;
    // unknown when no index can be read to the end.
    qint64 lostRows(qint64 saved)
    {
        SqliteQuery indexes(
            m_damaged,
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = '%1'")
                .arg(m_table.name));
        if (!indexes.isPrepared())
            return kUnknown;
        QStringList names;
        while (indexes.step() == SQLITE_ROW)
            names << indexes.columnText(0);
        for (const QString& index : names) {
            // count(rowid), not count(*): SQLite counts all rows from the
            // table's own tree, but a row number from the index alone.
            SqliteQuery count(
                m_damaged,
                QStringLiteral("SELECT count(rowid) FROM \"%1\" INDEXED BY \"%2\"").arg(m_table.name, index));
            if (count.isPrepared() && count.step() == SQLITE_ROW && count.columnInt64(0) >= saved)
                return count.columnInt64(0) - saved;
        }
        return kUnknown;
    }

    SqliteFile& m_damaged;
    const db::TableInfo& m_table;
    SqliteQuery m_read;
    SqliteQuery m_write;
};

QString lossReport(const std::vector<TableSalvage>& tables)
{
    QStringList lines;
    for (const TableSalvage& table : tables) {
        if (table.lost == kUnknown)
            lines << QStringLiteral("Some rows of %1 could not be saved; how many cannot be told.")
                         .arg(table.table);
        else if (table.lost == 1)
            lines << QStringLiteral("1 row of %1 could not be saved.").arg(table.table);
        else if (table.lost > 1)
            lines << QStringLiteral("%1 rows of %2 could not be saved.").arg(table.lost).arg(table.table);
    }
    if (lines.isEmpty())
        lines << QStringLiteral("The damaged database was rebuilt; every row was saved.");
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

Outcome repairDatabase(const QString& folder)
{
    const QString& operation = texts::kRepairOperation;
    const DatabaseFiles files(folder);
    WriteLock lock(files.database);
    if (lock.state() == WriteLock::State::Damaged)
        return Outcome::failed(
            QStringLiteral("%1 failed: the database %2 is damaged beyond repair, SQLite cannot "
                           "read it as a database. Restore the backup or replace the "
                           "database. The file is as it was.")
                .arg(operation, db::displayPath(files.database)),
            lock.reason());
    if (!lock.isHeld())
        return lockRefusal(lock, operation, files.database);
    files.removeWorkFiles();

    // The file is read through a second handle while the lock holds other
    // writers off.
    std::vector<TableSalvage> salvage;
    {
        SqliteFile damaged(files.database, SqliteFile::Mode::ReadOnly);
        // Reads past a header that claims more pages than the file has.
        damaged.exec(QStringLiteral("PRAGMA writable_schema = ON"));
        if (damaged.integrityCheck() == QLatin1String("ok"))
            return Outcome::done(texts::kRepairComplete);

        const auto fail = [&](const QString& what, const QString& reason) {
            files.removeWorkFiles();
            return stepFailure(operation, what, reason);
        };
        try {
            db::createEmptyDatabase(files.repairing());
        } catch (const db::DbError& error) {
            return fail(QStringLiteral("A new database could not be written as %1.")
                            .arg(db::displayPath(files.repairing())),
                        error.message());
        }
        SqliteFile rebuilt(files.repairing(), SqliteFile::Mode::ReadWrite);
        // The new file is flushed to the disk once, when complete; until it
        // takes the database's place a crash only leaves a work file.
        if (rebuilt.exec(QStringLiteral("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; BEGIN")) !=
            SQLITE_OK)
            return fail(QStringLiteral("The new database %1 could not be written.")
                            .arg(db::displayPath(files.repairing())),
                        rebuilt.errorText());
        try {
            for (const db::TableInfo& table : db::tables())
                salvage.push_back(TableSalvager(damaged, rebuilt, table).run());
        } catch (const db::DbError& error) {
            return fail(QStringLiteral("The new database %1 could not be written.")
                            .arg(db::displayPath(files.repairing())),
                        error.message());
        }
        if (rebuilt.exec(QStringLiteral("COMMIT")) != SQLITE_OK)
            return fail(QStringLiteral("The new database %1 could not be written.")
                            .arg(db::displayPath(files.repairing())),
                        rebuilt.errorText());
        const QString check = rebuilt.quickCheck();
        if (check != QLatin1String("ok"))
            return fail(QStringLiteral("The rebuilt database did not pass SQLite's integrity check."), check);
    }
    QString reason;
    if (!db::syncFile(files.repairing(), &reason)) {
        files.removeWorkFiles();
        return stepFailure(operation,
                           QStringLiteral("The new database %1 could not be written.")
                               .arg(db::displayPath(files.repairing())),
                           reason);
    }
    lock.release();
    if (!db::replaceFile(files.repairing(), files.database, &reason)) {
        QFile::remove(files.repairing());
        return stepFailure(operation,
                           QStringLiteral("The rebuilt database could not take the place of %1.")
                               .arg(db::displayPath(files.database)),
                           reason);
    }
    return Outcome::done(texts::kRepairComplete + QStringLiteral("\r\n") + lossReport(salvage));
}

} // namespace pelmor::maintenance
