#include "db/SqliteStatement.h"
#include "store/SqliteSchema.h"
#include "store/SqliteSurveyStore.h"

namespace pelmor::store {

SurveyContents SqliteSurveyStore::surveyContents(const QString& batchNumber)
{
    SurveyContents contents;
    db::SqliteStatement header(
        m_connection,
        QStringLiteral(
            "SELECT \"Location\", \"Direction\", \"Date\" FROM \"Header\" WHERE \"Batch_Number\" = ?"));
    header.bind(0, batchNumber);
    contents.header = header.nextRow();
    for (int column = 0; contents.header && column < 3; ++column)
        contents.about << QString::fromUtf8(header.textAt(column));
    db::SqliteStatement vehicles(
        m_connection, QStringLiteral("SELECT count(*) FROM \"Veh_Data\" WHERE \"Batch_Number\" = ?"));
    vehicles.bind(0, batchNumber);
    if (vehicles.nextRow())
        contents.vehicles = vehicles.integerAt(0);
    return contents;
}

bool SqliteSurveyStore::deleteAllSurveys()
{
    db::Transaction transaction(m_connection);
    const bool hadVehicles =
        m_connection
            .scalar(QStringLiteral("select count(*) as Vehicles from Veh_Data"), QStringLiteral("Vehicles"))
            .toLongLong() > 0;
    for (const char* table : {"Header", "Summary", "Veh_Data"})
        m_connection.execute(QStringLiteral("delete from ") + QLatin1String(table));
    // The surveys leave their sites and their downloads; the sites, their
    // names and their coordinates stay for the surveys to come. A file not
    // yet brought up to date lacks the later tables.
    for (const AddedTable& table : addedTables()) {
        if (table.perSurvey && hasAddedTable(table.name))
            m_connection.execute(QStringLiteral("delete from ") + QLatin1String(table.name));
    }
    transaction.commit();
    return hadVehicles;
}

} // namespace pelmor::store
