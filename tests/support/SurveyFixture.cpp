#include "SurveyFixture.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/FieldValues.h"
#include "db/SqliteStatement.h"
#include "store/SqliteSchema.h"
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

const store::TableInfo& tableNamed(const QString& name)
{
    for (const store::TableInfo& table : store::tables()) {
        if (table.name == name)
            return table;
    }
    throw db::DbError(QStringLiteral("The database has no table %1.").arg(name));
}

// Adds rows to a table: the fields named, each value given as a window
// shows it and stored in its field's form; the rest stay empty.
class RowInserter {
public:
    RowInserter(db::Connection& connection, const QString& table, const QStringList& fields)
        : m_table(tableNamed(table))
    {
        QStringList names, places;
        for (const QString& field : fields) {
            const int index = m_table.fieldIndex(field);
            if (index < 0)
                throw db::DbError(QStringLiteral("The table %1 has no field %2.").arg(table, field));
            m_fields.push_back(&m_table.fields.at(size_t(index)));
            names << QLatin1Char('"') + m_fields.back()->name + QLatin1Char('"');
            places << QStringLiteral("?");
        }
        m_insert = std::make_unique<db::SqliteStatement>(
            connection, QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                            .arg(m_table.name, names.join(QLatin1Char(',')), places.join(QLatin1Char(','))));
    }
    void add(const QStringList& values)
    {
        for (qsizetype i = 0; i < values.size(); ++i)
            m_insert->bind(int(i), db::toStored(*m_fields.at(size_t(i)), values.at(i)));
        m_insert->run();
    }

private:
    const store::TableInfo& m_table;
    std::vector<const db::FieldInfo*> m_fields;
    std::unique_ptr<db::SqliteStatement> m_insert;
};

void addSurvey(db::Connection& connection, const Survey& survey)
{
    using Fields = QList<std::pair<QString, QString>>;
    const auto add = [&](const char* table, const Fields& fields, const QHash<QString, QString>& more) {
        QStringList names, values;
        for (const auto& [field, value] : fields) {
            names << field;
            values << value;
        }
        for (auto field = more.begin(); field != more.end(); ++field) {
            // A field given again takes the later value.
            const auto earlier = std::find_if(names.begin(), names.end(), [&field](const QString& name) {
                return name.compare(field.key(), Qt::CaseInsensitive) == 0;
            });
            if (earlier != names.end()) {
                values[earlier - names.begin()] = field.value();
                continue;
            }
            names << field.key();
            values << field.value();
        }
        RowInserter(connection, QLatin1String(table), names).add(values);
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
    RowInserter vehicles(connection, QStringLiteral("Veh_Data"),
                         {QStringLiteral("Batch_Number"), QStringLiteral("Offset"),
                          QStringLiteral("Veh_Direction"), QStringLiteral("Speed"), QStringLiteral("Time"),
                          QStringLiteral("Date")});
    for (size_t i = 0; i < count; ++i) {
        const qint64 offset = i < survey.offsets.size() ? survey.offsets[i]
                              : count > 1               ? qint64(i) * survey.durationSeconds / qint64(count)
                                                        : 0;
        const QDateTime when = survey.start.addSecs(offset);
        const char direction = i < size_t(survey.directions.size()) ? survey.directions[qsizetype(i)] : '+';
        vehicles.add({survey.batchNumber, QString::number(offset), QString(QLatin1Char(direction)),
                      QString::number(i < survey.speeds.size() ? survey.speeds[i] : 35),
                      text::formatTimeAmPm(when.time()), text::formatDateMdy(when.date())});
    }
    // The count the survey list reads, as the program's writer keeps it.
    if (count > 0 && db::hasTable(connection, "Survey_Vehicles")) {
        db::SqliteStatement kept(connection, QStringLiteral("INSERT INTO \"Survey_Vehicles\" VALUES (?, ?)"));
        kept.bind(0, survey.batchNumber);
        kept.bindInteger(1, qint64(count));
        kept.run();
    }
}

} // namespace

void storeSurvey(const QString& databasePath, const Survey& survey)
{
    storeSurveys(databasePath, {survey});
}

void storeSurveys(const QString& databasePath, const std::vector<Survey>& surveys)
{
    db::Connection connection({databasePath});
    db::Transaction transaction(connection);
    for (const Survey& survey : surveys)
        addSurvey(connection, survey);
    transaction.commit();
}

} // namespace pelmor::test
