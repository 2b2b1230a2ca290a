#include "maintenance/MaintenanceTexts.h"

#include "text/Formats.h"

namespace pelmor::maintenance::texts {
QString counted(qint64 count, const char* one, const char* many)
{
    return text::formatCount(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

QString surveysAndVehicles(const StoredAmounts& amounts)
{
    return counted(amounts.surveys, "survey", "surveys") + QStringLiteral(" and ") +
           counted(amounts.vehicles, "vehicle", "vehicles");
}

QString erasureLine(const std::optional<StoredAmounts>& amounts)
{
    if (!amounts)
        return QStringLiteral("Everything the database holds will be erased.");
    if (amounts->surveys == 0 && amounts->vehicles == 0)
        return QStringLiteral("The database holds no survey: no survey will be erased.");
    return QStringLiteral("All %1 will be erased.").arg(surveysAndVehicles(*amounts));
}

QString restoredMessage(const StoredAmounts& amounts)
{
    return QStringLiteral("The database was restored from the backup: it holds %1.")
        .arg(surveysAndVehicles(amounts));
}

} // namespace pelmor::maintenance::texts
