#include "SurveyFixture.h"

#include "db/Connection.h"
#include "db/Recordset.h"
#include "text/Formats.h"

#include <algorithm>

namespace pelmor::test {

QDateTime at(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '));
    return QDateTime(*text::parseDate(parts.at(0)), *text::parseTime(parts.at(1)), Qt::UTC);
}

void Survey::passAt(const QStringList& times)
{
    for (const QString& time : times)
        offsets.push_back(start.secsTo(at(time)));
}

void Survey::addSpeeds(const std::vector<std::pair<int, int>>& counts)
{
    for (const auto& [speed, count] : counts)
        speeds.insert(speeds.end(), static_cast<size_t>(count), speed);
}

namespace {

void addSurvey(db::Connection& connection, const Survey& survey)
{
    using Fields = QList<std::pair<QString, QString>>;
    const auto add = [&](const char* table, const Fields& fields, const QHash<QString, QString>& more) {
        db::Recordset set = connection.openRecordset(QStringLiteral("select * from ") + QLatin1String(table));
        set.addNew();
        for (const auto& [field, value] : fields)
            set.setValue(field, value);
        for (auto field = more.begin(); field != more.end(); ++field)
            set.setValue(field.key(), field.value());
        set.update();
    };
    const size_t count =
        std::max({survey.offsets.size(), survey.speeds.size(), size_t(survey.directions.size())});
    const QDateTime stop = survey.stopTime();
    add("Header",
        {{"Batch_Number", survey.batchNumber},
         {"Location", survey.location},
         {"Zone", "School"},
         {"Direction", "North"},
         {"Date", survey.start.date().toString(QStringLiteral("MM/dd/yyyy"))},
         {"Violation_Alert", survey.postedSpeed},
         {"Radar_Mode", survey.unit}},
        survey.headerFields);
    if (survey.withSummary)
        add("Summary",
            {{"Batch_Number", survey.batchNumber},
             {"Total_Vehicles", QString::number(count)},
             {"Average_Speed", "33.4"},
             {"Pace_Low", survey.paceLow},
             {"Pace_High", survey.paceHigh},
             {"85th_Percentile", survey.percentile85},
             {"Start_Date", text::formatDateMdy(survey.start.date())},
             {"Start_Time", text::formatTimeAmPm(survey.start.time())},
             {"Stop_Date", text::formatDateMdy(stop.date())},
             {"Stop_Time", text::formatTimeAmPm(stop.time())}},
            survey.summaryFields);
    db::Recordset vehicles = connection.openRecordset(QStringLiteral("select * from Veh_Data"));
    for (size_t i = 0; i < count; ++i) {
        const qint64 offset = i < survey.offsets.size() ? survey.offsets[i]
                              : count > 1               ? qint64(i) * survey.durationSeconds / qint64(count)
                                                        : 0;
        const QDateTime when = survey.start.addSecs(offset);
        const char direction = i < size_t(survey.directions.size()) ? survey.directions[qsizetype(i)] : '+';
        vehicles.addNew();
        vehicles.setValue(QStringLiteral("Batch_Number"), survey.batchNumber);
        vehicles.setValue(QStringLiteral("Offset"), QString::number(offset));
        vehicles.setValue(QStringLiteral("Veh_Direction"), QString(QLatin1Char(direction)));
        vehicles.setValue(QStringLiteral("Speed"),
                          QString::number(i < survey.speeds.size() ? survey.speeds[i] : 35));
        vehicles.setValue(QStringLiteral("Time"), text::formatTimeAmPm(when.time()));
        vehicles.setValue(QStringLiteral("Date"), text::formatDateMdy(when.date()));
        vehicles.update();
    }
}

} // namespace

void storeSurvey(const QString& databasePath, const Survey& survey)
{
    storeSurveys(databasePath, {survey});
}

void storeSurveys(const QString& databasePath, const std::vector<Survey>& surveys)
{
    db::Connection connection({databasePath, nullptr});
    db::Transaction transaction(connection);
    for (const Survey& survey : surveys)
        addSurvey(connection, survey);
    transaction.commit();
}

} // namespace pelmor::test
