#include "maintenance/DatabaseCheck.h"

#include "maintenance/SqliteFile.h"
#include "store/SqliteSchema.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace pelmor::maintenance {
namespace {

// The first number a query gives; none when it cannot be read.
std::optional<qint64> numberOf(SqliteFile& file, const QString& statement)
{
    SqliteQuery query(file, statement);
    if (!query.isPrepared() || query.step() != SQLITE_ROW)
        return std::nullopt;
    return query.columnInt64(0);
}

std::optional<StoredAmounts> amountsIn(SqliteFile& file)
{
    const auto surveys = numberOf(file, QStringLiteral("SELECT count(DISTINCT Batch_Number) FROM Header"));
    const auto vehicles = numberOf(file, QStringLiteral("SELECT count(*) FROM Veh_Data"));
    if (!surveys || !vehicles)
        return std::nullopt;
    return StoredAmounts{*surveys, *vehicles};
}

} // namespace

DatabaseCheck checkDatabaseFile(const QString& path, CheckDepth depth)
{
    DatabaseCheck result;
    const QFileInfo info(path);
    if (!info.exists()) {
        result.problem = QStringLiteral("it was not found");
        return result;
    }
    if (!info.isFile()) {
        result.problem = QStringLiteral("it is not a file");
        return result;
    }
    if (info.size() == 0) {
        result.problem = QStringLiteral("it is empty (0 bytes)");
        return result;
    }
    SqliteFile file(path, SqliteFile::Mode::ReadOnly);
    if (file.openResult() != SQLITE_OK) {
        result.problem = file.errorText();
        return result;
    }
    // Every field of every table, as the program's statements name them.
    for (const store::TableInfo& table : store::tables()) {
        QStringList fields;
        for (const db::FieldInfo& field : table.fields)
            fields << QLatin1Char('"') + field.name + QLatin1Char('"');
        const SqliteQuery probe(file, QStringLiteral("SELECT %1 FROM \"%2\" LIMIT 0")
                                          .arg(fields.join(QStringLiteral(", ")), table.name));
        if (!probe.isPrepared()) {
            result.problem = file.errorText();
            return result;
        }
    }
    const QString check = depth == CheckDepth::Quick ? file.quickCheck() : file.integrityCheck();
    if (check != QLatin1String("ok")) {
        // The first findings, on one line.
        QStringList findings = check.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        findings.removeIf([](const QString& line) { return line.startsWith(QLatin1String("***")); });
        result.problem =
            QStringLiteral("SQLite's check finds: %1").arg(findings.mid(0, 2).join(QStringLiteral("; ")));
        return result;
    }
    const auto amounts = amountsIn(file);
    const auto anyRows = numberOf(
        file, QStringLiteral("SELECT EXISTS (SELECT 1 FROM Header) OR EXISTS (SELECT 1 FROM Summary) "
                             "OR EXISTS (SELECT 1 FROM Veh_Data)"));
    if (!amounts || !anyRows) {
        result.problem = file.errorText();
        return result;
    }
    result.usable = true;
    result.amounts = *amounts;
    result.holdsSurveyRows = *anyRows != 0;
    return result;
}

std::optional<StoredAmounts> storedAmounts(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    SqliteFile file(path, SqliteFile::Mode::ReadOnly);
    if (file.openResult() != SQLITE_OK)
        return std::nullopt;
    return amountsIn(file);
}

QStringList batchesWithoutHeader(SqliteFile& file)
{
    SqliteQuery batches(file,
                        QStringLiteral("SELECT Batch_Number FROM Veh_Data UNION SELECT Batch_Number FROM "
                                       "Summary EXCEPT SELECT Batch_Number FROM Header"));
    QStringList found;
    while (batches.step() == SQLITE_ROW)
        found << batches.columnText(0);
    return found;
}

QStringList batchesWithoutHeader(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return {};
    SqliteFile file(path, SqliteFile::Mode::ReadOnly);
    return batchesWithoutHeader(file);
}

} // namespace pelmor::maintenance
