#include "survey/SurveyRecord.h"

#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/SqliteStatement.h"

#include <QHash>
#include <QLocale>

namespace pelmor::survey {
namespace {

// The fields of the row a query stands on into the fields of `row`, found
// by name whatever their case; a field the row lacks reads empty.
template <typename Row> void readFields(const db::SqliteStatement& query, Row& row)
{
    QHash<QString, int> columns;
    for (int i = 0; i < query.columnCount(); ++i)
        columns.insert(query.columnName(i).toLower(), i);
    Row::forEachField(row, [&](const char* name, QString& text) {
        const int column = columns.value(QLatin1String(name).toString().toLower(), -1);
        text = column < 0 ? QString() : query.valueAt(column).toString();
    });
}

// The first row of `table` for the batch number, in table order, into the
// fields of `row`; false when there is none. The machinery's own read: it is
// not one of the statements the program's procedures issue.
template <typename Row>
bool readFirstRow(db::Connection& connection, const char* table, const QString& batchNumber, Row& row)
{
    db::SqliteStatement query(
        connection,
        QStringLiteral("SELECT * FROM \"%1\" WHERE \"Batch_Number\" = ? ORDER BY rowid LIMIT 1")
            .arg(QLatin1String(table)),
        QStringLiteral("reading the %1 row of survey %2").arg(QLatin1String(table), batchNumber));
    query.bind(0, batchNumber);
    if (!query.nextRow())
        return false;
    readFields(query, row);
    query.reset();
    return true;
}

template <typename Row> std::vector<std::pair<QString, QString>> fieldsOf(const Row& row)
{
    std::vector<std::pair<QString, QString>> fields;
    Row::forEachField(row, [&fields](const char* name, const QString& text) {
        fields.emplace_back(QLatin1String(name), text);
    });
    return fields;
}

} // namespace

std::vector<std::pair<QString, QString>> HeaderRow::storedFields() const
{
    return fieldsOf(*this);
}

std::vector<std::pair<QString, QString>> SummaryRow::storedFields() const
{
    return fieldsOf(*this);
}

SurveyRecord loadSurvey(db::Connection& connection, const QString& batchNumber)
{
    SurveyRecord record;
    record.batchNumber = batchNumber;
    record.hasHeader = readFirstRow(connection, "Header", batchNumber, record.header);
    record.hasSummary = readFirstRow(connection, "Summary", batchNumber, record.summary);
    return record;
}

SurveyRecord loadSurvey(const db::Database& database, const QString& batchNumber)
{
    db::Connection connection(database);
    return loadSurvey(connection, batchNumber);
}

QStringList storedBatches(const db::Database& database)
{
    db::Connection connection(database);
    db::Recordset surveys =
        connection.openRecordset(QStringLiteral("select distinct [Batch_Number] from  Header"));
    QStringList batches;
    for (surveys.moveFirst(); !surveys.eof(); surveys.moveNext())
        batches << surveys.text(QStringLiteral("Batch_Number"));
    return batches;
}

std::vector<ListedSurvey> listedSurveys(const db::Database& database)
{
    const QStringList batches = storedBatches(database);
    db::Connection connection(database);
    // The first Header row of each batch number, and its vehicles counted
    // through the index on Veh_Data.
    db::SqliteStatement query(
        connection,
        QStringLiteral("SELECT h.*, (SELECT COUNT(*) FROM \"Veh_Data\" v WHERE v.\"Batch_Number\" = "
                       "h.\"Batch_Number\") AS listed_vehicles FROM \"Header\" h WHERE h.rowid IN (SELECT "
                       "MIN(rowid) FROM \"Header\" GROUP BY \"Batch_Number\")"),
        QStringLiteral("listing the stored surveys"));
    QHash<QString, ListedSurvey> found;
    const int vehicles = query.columnIndex(QStringLiteral("listed_vehicles"));
    while (query.nextRow()) {
        ListedSurvey survey;
        readFields(query, survey.header);
        survey.vehicles = query.integerAt(vehicles);
        found.insert(survey.header.batchNumber, survey);
    }
    std::vector<ListedSurvey> surveys;
    surveys.reserve(static_cast<size_t>(batches.size()));
    for (const QString& batch : batches) {
        ListedSurvey survey = found.value(batch);
        survey.header.batchNumber = batch;
        surveys.push_back(survey);
    }
    return surveys;
}

QString listText(const ListedSurvey& survey)
{
    QStringList parts;
    for (const QString& text : {survey.header.location.simplified(), survey.header.direction.simplified(),
                                survey.header.date.trimmed()})
        if (!text.isEmpty())
            parts << text;
    parts << QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(survey.vehicles),
                                         survey.vehicles == 1 ? QStringLiteral("vehicle")
                                                              : QStringLiteral("vehicles"));
    return survey.header.batchNumber + QStringLiteral("  ") + parts.join(QStringLiteral(", "));
}

QString noSurveyMessage()
{
    return QStringLiteral("The Database is empty OR you have to select a SURVEY on the second tab.");
}

QString bandHeading(const QString& unit)
{
    return unit == QLatin1String("KPH") ? QStringLiteral("KPH Over Speed Limit")
                                        : QStringLiteral("MPH Over Speed Limit");
}

QStringList bandCaptions(const QString& unit)
{
    if (unit == QLatin1String("KPH"))
        return {QStringLiteral("1-10"),  QStringLiteral("11-20"), QStringLiteral("21-30"),
                QStringLiteral("31-40"), QStringLiteral("41-50"), QStringLiteral("51+")};
    return {QStringLiteral("1-5"),   QStringLiteral("6-10"),  QStringLiteral("11-15"),
            QStringLiteral("16-20"), QStringLiteral("21-25"), QStringLiteral("26+")};
}

} // namespace pelmor::survey
