#include "store/SurveyStore.h"

#include "store/PgSurveyStore.h"
#include "store/SqliteSurveyStore.h"

namespace pelmor::store {

std::unique_ptr<SurveyStore> openStore(const db::Database& database)
{
    if (!database.server.isEmpty())
        return std::make_unique<PgSurveyStore>(database);
    return std::make_unique<SqliteSurveyStore>(database);
}

} // namespace pelmor::store
