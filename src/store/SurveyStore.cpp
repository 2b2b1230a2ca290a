#include "store/SurveyStore.h"

#include "db/Files.h"
#include "store/PgSurveyStore.h"
#include "store/SqliteSurveyStore.h"
#include "text/Formats.h"

#include <algorithm>

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

Capabilities capabilitiesOf(const db::Database& database)
{
    if (!database.server.isEmpty())
        return PgSurveyStore::describedCapabilities();
    return SqliteSurveyStore::describedCapabilities();
}

QString databaseInUse(const db::Database& database, const QString& serverName)
{
    if (capabilitiesOf(database).keeper == Keeper::AgencyServer)
        return QStringLiteral("Agency server: %1").arg(serverName);
    return QStringLiteral("This computer: %1").arg(db::displayPath(database.path));
}

void orderByStart(std::vector<survey::ListedSurvey>& surveys)
{
    // A start time that cannot be read counts as the day's beginning.
    const auto startOf = [](const survey::ListedSurvey& listed) -> std::optional<QDateTime> {
        const std::optional<QDate> date = text::parseDate(listed.header.date);
        if (!date)
            return std::nullopt;
        return QDateTime(*date, text::parseTime(listed.header.time).value_or(QTime(0, 0)), Qt::UTC);
    };
    std::stable_sort(surveys.begin(), surveys.end(),
                     [&startOf](const survey::ListedSurvey& a, const survey::ListedSurvey& b) {
                         const std::optional<QDateTime> first = startOf(a);
                         const std::optional<QDateTime> second = startOf(b);
                         if (!first || !second)
                             return first.has_value() && !second.has_value();
                         return *first < *second;
                     });
}

} // namespace pelmor::store
