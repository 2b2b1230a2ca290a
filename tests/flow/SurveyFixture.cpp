#include "SurveyFixture.h"

#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/Schema.h"
#include "text/Formats.h"

#include <QStringList>

namespace pelmor::test {
namespace {

db::Recordset tableSet(db::Connection& connection, const char* table)
{
    return db::Recordset::openTable(connection, *db::findTable(QLatin1String(table)));
}

} // namespace

QDateTime at(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    return QDateTime(*text::parseDate(parts.at(0)), *text::parseTime(parts.at(1)), Qt::UTC);
}

std::vector<QDateTime> vehiclesAt(const QStringList& times)
{
    std::vector<QDateTime> vehicles;
    for (const QString& time : times)
        vehicles.push_back(at(time));
    return vehicles;
}

void storeSurvey(const QString& databasePath, const FixtureSurvey& survey)
{
    db::Connection connection(databasePath);
    db::Transaction transaction(connection);
    {
        db::Recordset header = tableSet(connection, "Header");
        header.addNew();
        header.setValue(QStringLiteral("Batch_Number"), survey.batch);
        header.setValue(QStringLiteral("Location"), survey.location);
        header.setValue(QStringLiteral("Zone"), QStringLiteral("School"));
        header.setValue(QStringLiteral("Direction"), QStringLiteral("North"));
        header.setValue(QStringLiteral("Violation_Alert"), QStringLiteral("035"));
        header.setValue(QStringLiteral("Radar_Mode"), survey.unit);
        header.update();

        if (survey.withSummary) {
            db::Recordset summary = tableSet(connection, "Summary");
            summary.addNew();
            summary.setValue(QStringLiteral("Batch_Number"), survey.batch);
            summary.setValue(QStringLiteral("Total_Vehicles"), QString::number(survey.vehicles.size()));
            summary.setValue(QStringLiteral("Average_Speed"), QStringLiteral("33.4"));
            summary.setValue(QStringLiteral("Start_Date"), text::formatDateMdy(survey.start.date()));
            summary.setValue(QStringLiteral("Start_Time"), text::formatTimeAmPm(survey.start.time()));
            summary.setValue(QStringLiteral("Stop_Date"), text::formatDateMdy(survey.stop.date()));
            summary.setValue(QStringLiteral("Stop_Time"), text::formatTimeAmPm(survey.stop.time()));
            summary.update();
        }

        db::Recordset vehicles = tableSet(connection, "Veh_Data");
        for (const QDateTime& time : survey.vehicles) {
            vehicles.addNew();
            vehicles.setValue(QStringLiteral("Batch_Number"), survey.batch);
            vehicles.setValue(QStringLiteral("Offset"), QString::number(survey.start.secsTo(time)));
            vehicles.setValue(QStringLiteral("Veh_Direction"), QStringLiteral("+"));
            vehicles.setValue(QStringLiteral("Speed"), QStringLiteral("35"));
            vehicles.setValue(QStringLiteral("Time"), text::formatTimeAmPm(time.time()));
            vehicles.setValue(QStringLiteral("Date"), text::formatDateMdy(time.date()));
            vehicles.update();
        }
    }
    transaction.commit();
}

} // namespace pelmor::test
