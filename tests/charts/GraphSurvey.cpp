#include "GraphSurvey.h"

#include "db/Connection.h"
#include "db/Recordset.h"
#include "text/Formats.h"

namespace pelmor::test {

std::vector<int> speedsWithCounts(const std::vector<std::pair<int, int>>& counts)
{
    std::vector<int> speeds;
    for (const auto& [speed, count] : counts)
        speeds.insert(speeds.end(), static_cast<size_t>(count), speed);
    return speeds;
}

void storeGraphSurvey(const QString& path, const GraphSurvey& survey)
{
    db::Connection connection(path);
    db::Transaction transaction(connection);

    db::Recordset header = connection.openRecordset(QStringLiteral("select * from Header"));
    header.addNew();
    header.setValue(QStringLiteral("Batch_Number"), survey.batchNumber);
    header.setValue(QStringLiteral("Radar_Mode"), survey.unit);
    header.setValue(QStringLiteral("Violation_Alert"), survey.postedSpeed);
    header.update();

    db::Recordset summary = connection.openRecordset(QStringLiteral("select * from Summary"));
    summary.addNew();
    summary.setValue(QStringLiteral("Batch_Number"), survey.batchNumber);
    summary.setValue(QStringLiteral("Pace_Low"), survey.paceLow);
    summary.setValue(QStringLiteral("Pace_High"), survey.paceHigh);
    summary.setValue(QStringLiteral("85th_Percentile"), survey.percentile85);
    summary.update();

    const QDateTime start(QDate(2002, 5, 3), QTime(8, 0), Qt::UTC);
    const auto count = static_cast<qint64>(survey.speeds.size());
    db::Recordset vehicles = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
    for (qint64 i = 0; i < count; ++i) {
        const qint64 offset = count > 1 ? i * survey.durationSeconds / count : 0;
        const QDateTime when = start.addSecs(offset);
        vehicles.addNew();
        vehicles.setValue(QStringLiteral("Batch_Number"), survey.batchNumber);
        vehicles.setValue(QStringLiteral("Offset"), QString::number(offset));
        vehicles.setValue(QStringLiteral("Veh_Direction"), QStringLiteral("+"));
        vehicles.setValue(QStringLiteral("Speed"), QString::number(survey.speeds[static_cast<size_t>(i)]));
        vehicles.setValue(QStringLiteral("Time"), text::formatTimeAmPm(when.time()));
        vehicles.setValue(QStringLiteral("Date"), text::formatDateMdy(when.date()));
        vehicles.update();
    }
    transaction.commit();
}

} // namespace pelmor::test
