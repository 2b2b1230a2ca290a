#include "stats/SpeedGraphSource.h"

#include "db/DbError.h"
#include "survey/SurveyRecord.h"

namespace pelmor::stats {

std::vector<SpeedCount> readSpeedCounts(const db::Database& database, const QString& batchNumber,
                                        QString& message)
{
    std::vector<SpeedCount> counts;
    try {
        counts = store::openStore(database)->speedCounts(batchNumber);
    } catch (const db::DbError& error) {
        message = error.message();
        return {};
    }
    if (counts.empty())
        message = survey::noSurveyMessage();
    return counts;
}

charts::BarGraph speedGraph(const QString& title)
{
    charts::BarGraph graph;
    graph.title = title;
    graph.leftTitle = QStringLiteral("Number of Vehicles");
    graph.bottomTitle = QStringLiteral("Measured Vehicle Speed");
    graph.titleScale = 1.4;
    graph.axisTitleScale = 1.2;
    graph.horizontalGrid = true;
    return graph;
}

} // namespace pelmor::stats
