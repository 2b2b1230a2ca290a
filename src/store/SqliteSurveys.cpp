#include "store/SqliteSurveyStore.h"

#include "db/SqliteStatement.h"

#include <sqlite3.h>

// The surveys of the SQLite file, through the survey library's readers.
namespace pelmor::store {

std::vector<survey::ListedSurvey> SqliteSurveyStore::listSurveys()
{
    return survey::listedSurveys(m_connection.location());
}

survey::SurveyRecord SqliteSurveyStore::loadSurvey(const QString& batchNumber)
{
    return survey::loadSurvey(m_connection, batchNumber);
}

bool SqliteSurveyStore::deleteSurvey(const QString& batchNumber)
{
    db::Transaction transaction(m_connection);
    bool found = false;
    for (const char* table : {"Veh_Data", "Summary", "Header"}) {
        db::SqliteStatement remove(
            m_connection,
            QStringLiteral("DELETE FROM \"%1\" WHERE \"Batch_Number\" = ?").arg(QLatin1String(table)));
        remove.bind(0, batchNumber);
        remove.run();
        found = sqlite3_changes(m_connection.sqliteHandle()) > 0;
    }
    transaction.commit();
    return found;
}

} // namespace pelmor::store
