#include "store/SurveyStore.h"

#include "store/PgSurveyStore.h"
#include "store/SqliteSurveyStore.h"

namespace pelmor::store {

QString deletionRefused()
{
    return QStringLiteral("Only an administrator of the agency database can delete surveys.");
}

std::unique_ptr<SurveyStore> openStore(const db::Database& database)
{
    if (!database.server.isEmpty())
        return std::make_unique<PgSurveyStore>(database);
    return std::make_unique<SqliteSurveyStore>(database);
}

} // namespace pelmor::store
