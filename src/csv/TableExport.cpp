#include "csv/TableExport.h"

#include "csv/CsvWriter.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "db/Recordset.h"
#include "db/SafeFileWriter.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "flow/FlowBreakdown.h"
#include "survey/SurveyRecord.h"

#include <QTime>

namespace pelmor::csv {
namespace {

QString writeVehicles(db::Connection& connection, const QString& batchNumber, Writer& writer)
{
    const char* const columns[] = {"Batch_Number", "Date", "Time", "Offset", "Veh_Direction", "Speed"};
    QStringList names;
    for (const char* column : columns)
        names << QLatin1String(column);
    db::SqliteStatement rows(connection,
                             QStringLiteral("SELECT \"Batch_Number\", \"Date\", \"Time\", \"Offset\", "
                                            "\"Veh_Direction\", \"Speed\" FROM \"Veh_Data\" "
                                            "WHERE \"Batch_Number\" = ? ORDER BY rowid"));
    rows.bind(0, batchNumber);
    // Nothing at all is written for a survey without vehicles.
    if (!rows.nextRow())
        return QStringLiteral("The database holds no vehicles of survey %1.").arg(batchNumber);
    writer.write(names);
    do {
        writer.write(
            {rows.textAt(0), rows.textAt(1), rows.textAt(2), rows.textAt(3), rows.textAt(4), rows.textAt(5)});
    } while (rows.nextRow());
    return QString();
}

// Whether a breakdown's bins are hours ("08:00 - 09:00"), so that its
// totals are those of days, rather than quarter hours.
bool binsAreHours(const std::vector<flow::BreakdownRow>& rows)
{
    for (const flow::BreakdownRow& row : rows) {
        const QTime from =
            QTime::fromString(row.cTime.section(QStringLiteral(" - "), 0, 0), QStringLiteral("HH:mm"));
        const QTime to =
            QTime::fromString(row.cTime.section(QStringLiteral(" - "), 1, 1), QStringLiteral("HH:mm"));
        if (from.isValid() && to.isValid())
            return (from.secsTo(to) + 86400) % 86400 == 3600;
    }
    return false;
}

// The breakdown for a spreadsheet: plain column names, and the date on
// every row, where the grid shows it on a day's first row alone. A total
// row carries the date of the bins it adds up.
QString writeBreakdown(const std::vector<flow::BreakdownRow>& rows, Writer& writer)
{
    writer.write({QStringLiteral("Date"), QStringLiteral("Time"), QStringLiteral("Vehicles"),
                  binsAreHours(rows) ? QStringLiteral("Day total") : QStringLiteral("Hour total")});
    QString date;
    for (const flow::BreakdownRow& row : rows) {
        if (!row.cDate.isEmpty())
            date = row.cDate;
        writer.write(QStringList{date, row.cTime, row.cCount, row.cHourTotal});
    }
    return QString();
}

QString writeSummary(db::Connection& connection, const QString& batchNumber, Writer& writer)
{
    const survey::SurveyRecord survey = survey::loadSurvey(connection, batchNumber);
    if (!survey.hasSummary)
        return QStringLiteral("The database holds no statistics for survey %1.").arg(batchNumber);
    QStringList names, texts;
    for (const auto& [name, text] : survey.summary.storedFields()) {
        names << name;
        texts << text;
    }
    writer.write(names);
    writer.write(texts);
    return QString();
}

} // namespace

QString suggestedFileName(const QString& batchNumber, const QString& what)
{
    return QStringLiteral("%1 %2.csv").arg(batchNumber, what);
}

QString writeTable(const db::Database& database, Table table, const QString& batchNumber, QIODevice& device,
                   const std::vector<flow::BreakdownRow>& breakdown)
{
    if (table != Table::Breakdown && batchNumber.isEmpty())
        return survey::noSurveyMessage();
    Writer writer(device);
    QString failure;
    try {
        if (table == Table::Breakdown) {
            failure = writeBreakdown(breakdown, writer);
        } else {
            db::Connection connection(database);
            if (table == Table::Vehicles)
                failure = writeVehicles(connection, batchNumber, writer);
            else
                failure = writeSummary(connection, batchNumber, writer);
        }
    } catch (const db::DbError& error) {
        failure = error.message();
    }
    const QString written = writer.finish();
    return failure.isEmpty() ? written : failure;
}

QString saveTable(const db::Database& database, Table table, const QString& batchNumber, const QString& path,
                  const std::vector<flow::BreakdownRow>& breakdown)
{
    return db::saveFile(
        path, [&](QIODevice& device) { return writeTable(database, table, batchNumber, device, breakdown); });
}

} // namespace pelmor::csv
