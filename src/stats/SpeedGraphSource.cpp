#include "stats/SpeedGraphSource.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Recordset.h"
#include "db/SqlText.h"
#include "survey/SurveyRecord.h"

namespace pelmor::stats {

std::vector<SpeedCount> speedCounts(db::Connection& connection, const QString& batchNumber)
{
    db::Recordset rows = connection.openRecordset(
        QStringLiteral("SELECT(Speed), COUNT(speed) as NumCount from [Veh_Data] WHERE [Batch_Number] = '") +
        db::escapeText(batchNumber) + QStringLiteral("' group by Speed"));
    std::vector<SpeedCount> counts;
    for (; !rows.eof(); rows.moveNext())
        counts.push_back({rows.value(QStringLiteral("Speed")).toLongLong(),
                          rows.value(QStringLiteral("NumCount")).toLongLong()});
    return counts;
}

std::vector<SpeedCount> readSpeedCounts(const db::Database& database, const QString& batchNumber,
                                        QString& message)
{
    std::vector<SpeedCount> counts;
    try {
        db::Connection connection(database);
        counts = speedCounts(connection, batchNumber);
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
