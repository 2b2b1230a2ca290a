#include "import/SurveyImport.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/FieldValues.h"
#include "db/Recordset.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "import/LogParser.h"
#include "stats/Summary.h"
#include "text/Formats.h"

#include <QVariant>

#include <array>
#include <memory>

namespace pelmor::import {
namespace {

// Characters 1-2 (hour) or 4-5 (minute) of the start time as a number.
int startTimePart(const QString& startTime, int position)
{
    const auto number = text::toWholeNumber(QStringView(startTime).mid(position - 1, 2));
    if (!number || *number < INT_MIN / 2 || *number > INT_MAX / 2)
        throw db::DbError(
            QStringLiteral("The start time \"%1\" does not begin with a number.").arg(startTime));
    return static_cast<int>(*number);
}

// Vehicle rows of one import, written through one prepared insert with each
// value bound in its stored form. The texts that repeat row after row (the
// batch number, a day's date, a minute's time, the direction characters) are
// made once and bound again only when they change: a month-long survey is a
// million rows.
class VehicleWriter {
public:
    VehicleWriter(db::Connection& connection, const SurveyHeader& header, const QDate& startDate,
                  ImportReport& report, qint64 expected)
        : m_set(connection.openRecordset(QStringLiteral("select * from Veh_Data")))
        , m_insert(m_set.prepareRowInsert())
        , m_fields(m_set.table()->fields)
        , m_header(header)
        , m_batch(header.batchNumber.toUtf8())
        , m_startDate(startDate)
        , m_report(report)
        , m_expected(expected)
    {
    }

    void write(QByteArrayView offsetText, QByteArrayView direction, QByteArrayView speed)
    {
        if (!m_startParsed) {
            m_startHour = startTimePart(m_header.startTime, 1);
            m_startMinute = startTimePart(m_header.startTime, 4);
            m_startParsed = true;
        }
        const qint64 seconds = wholeNumber(kOffset, offsetText);
        const VehicleClock clock = vehicleClock(seconds, m_startHour, m_startMinute);
        m_insert->bindText(kBatch, m_batch);
        m_insert->bindInteger(kOffset, seconds);
        m_insert->bindText(kDirection, directionText(direction));
        m_insert->bindInteger(kSpeed, wholeNumber(kSpeed, speed));
        m_insert->bindText(kTime, timeOf(clock));
        m_insert->bindText(kDate, dateOf(clock.days));
        m_insert->run();
        if (++m_count % 4096 == 0)
            m_report.progress(m_count, m_expected);
    }

    qint64 count() const { return m_count; }

private:
    static constexpr int kBatch = 0, kOffset = 1, kDirection = 2, kSpeed = 3, kTime = 4, kDate = 5;

    // A field's text as the whole number the field stores: plain digits at
    // once, anything else through the field's own conversion, which refuses
    // a text that is no number (an empty speed, a word).
    qint64 wholeNumber(int field, QByteArrayView text) const
    {
        if (!text.isEmpty() && text.size() <= 18) {
            // At most 18 digits: the value cannot overflow. The first
            // other character ends the quick path before it is added in.
            qint64 value = 0;
            bool digits = true;
            for (const char c : text) {
                if (c < '0' || c > '9') {
                    digits = false;
                    break;
                }
                value = value * 10 + (c - '0');
            }
            if (digits)
                return value;
        }
        return db::toStored(m_fields[field], QString::fromLatin1(text)).toLongLong();
    }

    // The direction text as parsed; the one-character texts are made once.
    const QByteArray& directionText(QByteArrayView direction)
    {
        if (direction.size() == 1 && uchar(direction.front()) < m_oneCharacter.size()) {
            QByteArray& text = m_oneCharacter[uchar(direction.front())];
            if (text.isNull())
                text = QByteArray(direction.data(), 1);
            return text;
        }
        m_otherDirection = QString::fromLatin1(direction).toUtf8();
        return m_otherDirection;
    }

    // The clock time in its stored form, one text per minute of the day. An
    // hour or minute out of range goes to the time field as "hh:mm AMPM",
    // which refuses it.
    const QByteArray& timeOf(const VehicleClock& clock)
    {
        if (clock.hour >= 0 && clock.hour < 24 && clock.minute >= 0 && clock.minute < 60) {
            QByteArray& text = m_times[size_t(clock.hour * 60 + clock.minute)];
            if (text.isNull())
                text = db::storedTime(QTime(clock.hour, clock.minute)).toUtf8();
            return text;
        }
        m_otherTime = db::toStored(m_fields[kTime],
                                   text::formatTextAsTimeAmPm(text::format00(clock.hour) + QLatin1Char(':') +
                                                              text::format00(clock.minute)))
                          .toString()
                          .toUtf8();
        return m_otherTime;
    }

    // The vehicle's date in its stored form. A date is stored as its
    // "mm/dd/yy" text reads back, and a two-digit year names 2000-2099 alone,
    // so a date outside those years cannot be stored: the survey is refused.
    // Vehicles come in time order, so the last date is worth keeping.
    const QByteArray& dateOf(qint64 days)
    {
        if (days != m_lastDays || m_lastDate.isNull()) {
            const QDate date = m_startDate.addDays(days);
            if (!text::fitsTwoDigitYear(date))
                throw db::DbError(QStringLiteral("A vehicle of %1 would be dated %2, outside the years 2000 "
                                                 "to 2099 that a two-digit year can name.")
                                      .arg(m_header.batchNumber, date.toString(Qt::ISODate)));
            m_lastDays = days;
            m_lastDate = db::storedDate(date).toUtf8();
        }
        return m_lastDate;
    }

    db::Recordset m_set;
    std::unique_ptr<db::SqliteStatement> m_insert;
    const std::vector<db::FieldInfo>& m_fields;
    const SurveyHeader& m_header;
    const QByteArray m_batch;
    QDate m_startDate;
    ImportReport& m_report;
    qint64 m_expected;
    qint64 m_count = 0;
    bool m_startParsed = false;
    int m_startHour = 0;
    int m_startMinute = 0;
    std::array<QByteArray, 128> m_oneCharacter;
    QByteArray m_otherDirection;
    std::array<QByteArray, 24 * 60> m_times;
    QByteArray m_otherTime;
    qint64 m_lastDays = -1;
    QByteArray m_lastDate;
};

bool batchIsStored(db::Connection& connection, const QString& batchNumber)
{
    {
        db::Recordset batches =
            connection.openRecordset(QStringLiteral("Select Distinct [Batch_Number] from Header"));
        for (batches.moveFirst(); !batches.eof(); batches.moveNext()) {
            if (batches.text(QStringLiteral("Batch_Number")) == batchNumber)
                return true;
        }
    }
    // Vehicles or statistics left under the number without their header
    // (by a repair that could not save it) would be doubled by a new import.
    db::SqliteStatement leftOver(
        connection, QStringLiteral("SELECT EXISTS (SELECT 1 FROM Veh_Data WHERE Batch_Number = ?1) "
                                   "OR EXISTS (SELECT 1 FROM Summary WHERE Batch_Number = ?1)"));
    leftOver.bind(0, batchNumber);
    bool found = false;
    while (leftOver.nextRow())
        found = leftOver.integerAt(0) != 0;
    return found;
}

} // namespace

std::optional<QString> checkHeader(const SurveyHeader& header)
{
    if (header.location.isEmpty())
        return messages::kNoLocation;
    if (header.direction.isEmpty())
        return messages::kNoDirection;
    if (header.zone.isEmpty())
        return messages::kNoZone;
    if (header.postedSpeed.isEmpty())
        return messages::kNoPostedSpeed;
    return std::nullopt;
}

VehicleClock vehicleClock(qint64 offset, int startHour, int startMinute)
{
    qint64 days = offset / 3600 / 24;
    qint64 hour = startHour + offset / 3600 % 24;
    qint64 minute = startMinute + offset / 60 % 60;
    if (minute > 59) {
        minute -= 60;
        hour += 1;
    }
    if (hour >= 24) {
        hour -= 24;
        days += 1;
    }
    return {static_cast<int>(hour), static_cast<int>(minute), days};
}

ImportResult importSurvey(const db::Database& database, const SurveyHeader& header, const QByteArray& buffer,
                          ImportReport& report)
{
    ImportResult result;
    if (const auto refusal = checkHeader(header)) {
        report.message(*refusal);
        return result;
    }

    try {
        db::Connection connection(database);
        // Everything from here lands together or not at all, and no other
        // program stores the same batch number between the check and the
        // writes.
        db::Transaction transaction(connection);
        if (batchIsStored(connection, header.batchNumber)) {
            report.message(messages::kDuplicate);
            return result;
        }
        // The start date is tested before anything is written, so a bad
        // date leaves the database as it was.
        const auto start = text::parseDateTime(header.startDate);
        if (!start) {
            report.message(messages::kNonDate);
            result.outcome = ImportResult::Outcome::NonDate;
            return result;
        }

        {
            db::Recordset headers = connection.openRecordset(QStringLiteral("select * from Header"));
            headers.addNew();
            headers.setValue(QStringLiteral("Batch_Number"), header.batchNumber);
            headers.setValue(QStringLiteral("Location_Code"), header.locationCode);
            headers.setValue(QStringLiteral("Location"), header.location);
            headers.setValue(QStringLiteral("Date"), header.startDate);
            headers.setValue(QStringLiteral("Time"), header.startTime);
            headers.setValue(QStringLiteral("Violation_Alert"), header.postedSpeed);
            headers.setValue(QStringLiteral("Blank_Speed"), header.cutoff);
            headers.setValue(QStringLiteral("Alarm_Speed"), header.alarm);
            headers.setValue(QStringLiteral("Radar_Mode"), header.unit);
            headers.setValue(QStringLiteral("Direction"), header.direction);
            headers.setValue(QStringLiteral("Zone"), header.zone);
            headers.update();
        }
        {
            db::Recordset radar = connection.openRecordset(QStringLiteral("select * from Radar"));
            radar.edit();
            radar.setValue(QStringLiteral("radar_mode"), header.unit);
            radar.update();
        }
        {
            VehicleWriter writer(connection, header, start->date(), report, buffer.count(',') / 3);
            const ParseResult parsed = parseVehicles(
                buffer, [&writer](QByteArrayView offset, QByteArrayView direction, QByteArrayView speed) {
                    writer.write(offset, direction, speed);
                });
            if (!parsed.ok)
                throw db::DbError(QStringLiteral("The download has no end mark after its vehicle data."));
            result.vehicles = writer.count();
        }
        report.recordsAdded(result.vehicles);

        const stats::SummaryInputs inputs{header.batchNumber, header.postedSpeed, header.unit,
                                          header.startTime, header.startDate};
        survey::SummaryRow summary = stats::computeSummary(connection, inputs);
        stats::storeSummary(connection, summary);
        transaction.commit();
        result.summary = std::move(summary);
    } catch (const std::exception& error) {
        report.message(messages::kDataError, QString::fromUtf8(error.what()));
        result.summary.reset();
        result.outcome = ImportResult::Outcome::DataError;
        return result;
    }
    result.outcome = ImportResult::Outcome::Imported;
    return result;
}

} // namespace pelmor::import
