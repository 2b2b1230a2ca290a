#include "store/SqliteSurveyStore.h"

namespace pelmor::store {

SqliteSurveyStore::SqliteSurveyStore(const db::Database& database)
    : m_connection(database)
{
}

Capabilities SqliteSurveyStore::capabilities() const
{
    Capabilities capabilities;
    capabilities.fileMaintenance = true;
    capabilities.deleteSurveys = true;
    return capabilities;
}

} // namespace pelmor::store
