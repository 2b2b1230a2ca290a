#include "store/SqliteSurveyStore.h"

#include "store/SqliteSchema.h"

namespace pelmor::store {

SqliteSurveyStore::SqliteSurveyStore(const db::Database& database)
    : m_connection(database)
    // A file of an older layout is brought up to date once, by whichever
    // program opens it first.
    , m_duplicatedBatches(upgradeSchema(m_connection))
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
