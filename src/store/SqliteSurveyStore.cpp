#include "store/SqliteSurveyStore.h"

#include "store/SqliteSchema.h"

#include <algorithm>

namespace pelmor::store {

SqliteSurveyStore::SqliteSurveyStore(const db::Database& database)
    : m_connection(database)
    // A file of an older layout is brought up to date once, by whichever
    // program opens it first.
    , m_duplicatedBatches(upgradeSchema(m_connection))
{
}

bool SqliteSurveyStore::hasAddedTable(const char* name)
{
    // The connection opened the file anew: it may be another file, of an
    // older layout.
    if (m_tablesOpening != m_connection.openings()) {
        m_tablesFound.clear();
        m_tablesOpening = m_connection.openings();
    }
    if (std::find(m_tablesFound.begin(), m_tablesFound.end(), name) != m_tablesFound.end())
        return true;
    if (!db::hasTable(m_connection, name))
        return false;
    m_tablesFound.emplace_back(name);
    return true;
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
