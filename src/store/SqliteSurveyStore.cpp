#include "store/SqliteSurveyStore.h"

namespace pelmor::store {

SqliteSurveyStore::SqliteSurveyStore(const db::Database& database)
    : m_connection(database)
{
}

Capabilities SqliteSurveyStore::describedCapabilities()
{
    Capabilities capabilities;
    capabilities.keeper = Keeper::ThisComputer;
    capabilities.fileMaintenance = true;
    capabilities.deleteAll = true;
    capabilities.deleteSurveys = true;
    return capabilities;
}

Capabilities SqliteSurveyStore::capabilities() const
{
    return describedCapabilities();
}

} // namespace pelmor::store
