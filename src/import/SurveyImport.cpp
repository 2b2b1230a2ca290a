#include "import/SurveyImport.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/FieldValues.h"
#include "db/Recordset.h"
#include "db/Schema.h"
#include "import/LogParser.h"
#include "text/Formats.h"

#include <QSqlQuery>
#include <QVariant>

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

// Vehicle rows of one import, written in one transaction through one
// prepared statement.
class VehicleWriter {
public:
    VehicleWriter(db::Connection& connection, const SurveyHeader& header, const QDate& startDate,
                  ImportReport& report, qint64 expected)
        : m_set(connection.openRecordset(QStringLiteral("select * from Veh_Data")))
        , m_header(header)
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
        const QString offset = QString::fromLatin1(offsetText);
        const auto seconds = text::toWholeNumber(offset);
        if (!seconds)
            throw db::DbError(QStringLiteral("The offset \"%1\" is not a number.").arg(offset));
        const VehicleClock clock = vehicleClock(*seconds, m_startHour, m_startMinute);

        m_set.addNew();
        m_set.setValue(kBatch, m_header.batchNumber);
        m_set.setValue(kOffset, *seconds);
        m_set.setValue(kDirection, QString::fromLatin1(direction));
        m_set.setValue(kSpeed, QString::fromLatin1(speed));
        m_set.setValue(kTime, timeText(clock));
        m_set.setValue(kDate, dateOf(clock.days));
        m_set.update();
        if (++m_count % 4096 == 0)
            m_report.progress(m_count, m_expected);
    }

    qint64 count() const { return m_count; }

private:
    static constexpr int kBatch = 0, kOffset = 1, kDirection = 2, kSpeed = 3, kTime = 4, kDate = 5;

    // The clock time as "hh:mm AMPM"; an hour or minute out of range stays
    // as it is and is refused by the time field.
    static QVariant timeText(const VehicleClock& clock)
    {
        if (clock.hour >= 0 && clock.hour < 24 && clock.minute >= 0 && clock.minute < 60)
            return QTime(clock.hour, clock.minute);
        return text::formatTextAsTimeAmPm(text::format00(clock.hour) + QLatin1Char(':') +
                                          text::format00(clock.minute));
    }

    // The date as its "mm/dd/yy" text reads back, so that a two-digit year
    // means the same here as in the date queries. Vehicles come in time
    // order, so the last date is worth keeping.
    const QVariant& dateOf(qint64 days)
    {
        if (days != m_lastDays || !m_lastDate.isValid()) {
            m_lastDays = days;
            const auto date = text::parseDate(text::formatDateMdy(m_startDate.addDays(days)));
            m_lastDate = date ? QVariant(*date) : QVariant(text::formatDateMdy(m_startDate.addDays(days)));
        }
        return m_lastDate;
    }

    db::Recordset m_set;
    const SurveyHeader& m_header;
    QDate m_startDate;
    ImportReport& m_report;
    qint64 m_expected;
    qint64 m_count = 0;
    bool m_startParsed = false;
    int m_startHour = 0;
    int m_startMinute = 0;
    qint64 m_lastDays = -1;
    QVariant m_lastDate;
};

// The newest vehicle row, so that a failed import can remove exactly the rows
// it wrote.
qint64 lastVehicleRow(db::Connection& connection)
{
    QSqlQuery query =
        connection.prepareUnlogged(QStringLiteral("SELECT coalesce(max(rowid), 0) FROM \"Veh_Data\""));
    if (!query.exec() || !query.next())
        connection.fail(query, QStringLiteral("last vehicle row"));
    return query.value(0).toLongLong();
}

// Removes what a failed import wrote: every header row of the batch (the
// duplicate check guarantees none existed before) and the vehicle rows after
// `lastRowBefore`.
void removeSurveyRows(const QString& databasePath, const QString& batchNumber, qint64 lastRowBefore)
{
    db::Connection connection(databasePath);
    db::Transaction transaction(connection);
    db::Recordset headers = db::Recordset::openTable(connection, *db::findTable(QStringLiteral("header")));
    for (headers.moveFirst(); !headers.eof(); headers.moveNext()) {
        if (headers.text(QStringLiteral("Batch_Number")) == batchNumber)
            headers.deleteCurrent();
    }
    QSqlQuery vehicles = connection.prepareUnlogged(
        QStringLiteral("DELETE FROM \"Veh_Data\" WHERE rowid > ? AND \"Batch_Number\" = ?"));
    vehicles.bindValue(0, lastRowBefore);
    vehicles.bindValue(1, batchNumber);
    if (!vehicles.exec())
        connection.fail(vehicles, QStringLiteral("removing vehicle rows"));
    transaction.commit();
}

// Reports a data error and removes the survey again. Should even that fail
// (the file locked by another program, say), the user is told what is left.
void dataError(const QString& databasePath, const QString& batchNumber, qint64 lastRowBefore, bool written,
               ImportReport& report)
{
    report.message(messages::kDataError);
    if (!written)
        return;
    try {
        removeSurveyRows(databasePath, batchNumber, lastRowBefore);
    } catch (const std::exception& error) {
        report.message(QStringLiteral("The survey %1 could not be removed from the database again: %2")
                           .arg(batchNumber, QString::fromStdString(error.what())));
    }
}

bool batchIsStored(db::Connection& connection, const QString& batchNumber)
{
    db::Recordset batches =
        connection.openRecordset(QStringLiteral("Select Distinct [Batch_Number] from Header"));
    for (batches.moveFirst(); !batches.eof(); batches.moveNext()) {
        if (batches.text(QStringLiteral("Batch_Number")) == batchNumber)
            return true;
    }
    return false;
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

ImportResult importSurvey(const QString& databasePath, const SurveyHeader& header, const QByteArray& buffer,
                          ImportReport& report)
{
    ImportResult result;
    if (const auto refusal = checkHeader(header)) {
        report.message(*refusal);
        return result;
    }

    qint64 lastRowBefore = 0;
    bool written = false;
    try {
        db::Connection connection(databasePath);
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
        lastRowBefore = lastVehicleRow(connection);

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
            written = true;
        }
        {
            db::Recordset radar = connection.openRecordset(QStringLiteral("select * from Radar"));
            radar.edit();
            radar.setValue(QStringLiteral("radar_mode"), header.unit);
            radar.update();
        }
        {
            db::Transaction transaction(connection);
            VehicleWriter writer(connection, header, start->date(), report, buffer.count(',') / 3);
            const ParseResult parsed = parseVehicles(
                buffer, [&writer](QByteArrayView offset, QByteArrayView direction, QByteArrayView speed) {
                    writer.write(offset, direction, speed);
                });
            if (!parsed.ok)
                throw db::DbError(QStringLiteral("The download has no end mark after its vehicle data."));
            transaction.commit();
            result.vehicles = writer.count();
        }
    } catch (const std::exception&) {
        dataError(databasePath, header.batchNumber, lastRowBefore, written, report);
        result.outcome = ImportResult::Outcome::DataError;
        return result;
    }

    report.recordsAdded(result.vehicles);
    try {
        db::Connection connection(databasePath);
        const stats::SummaryInputs inputs{header.batchNumber, header.postedSpeed, header.unit,
                                          header.startTime, header.startDate};
        result.summary = stats::summary(connection, inputs);
        stats::storeSummary(connection, *result.summary);
    } catch (const std::exception&) {
        dataError(databasePath, header.batchNumber, lastRowBefore, written, report);
        result.summary.reset();
        result.outcome = ImportResult::Outcome::DataError;
        return result;
    }
    result.outcome = ImportResult::Outcome::Imported;
    return result;
}

} // namespace pelmor::import
