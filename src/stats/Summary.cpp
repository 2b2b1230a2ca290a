#include "stats/Summary.h"

#include "db/Connection.h"
#include "db/Recordset.h"
#include "db/Schema.h"
#include "db/SqlText.h"
#include "stats/Pace.h"
#include "text/Formats.h"

#include <QVariant>

#include <limits>

namespace pelmor::stats {
namespace {

// A query's single value, by its alias.
QVariant valueOf(db::Connection& connection, const QString& statement, const char* alias)
{
    return connection.scalar(statement, QLatin1String(alias));
}

qint64 countOf(db::Connection& connection, const QString& statement, const char* alias)
{
    return valueOf(connection, statement, alias).toLongLong();
}

// A number of the start time text: characters 1-2 are the hour, 4-5 the minute.
qint64 startTimePart(const QString& startTime, int position, const char* what)
{
    const auto number = text::toWholeNumber(startTime.mid(position - 1, 2));
    if (!number)
        throw StatisticsError(QStringLiteral("The %1 of the start time \"%2\" is not a number.")
                                  .arg(QLatin1String(what), startTime));
    return *number;
}

int postedLimitNumber(const QString& postedLimit)
{
    const double limit = text::roundHalfToEven(numberFromText(postedLimit, "posted limit"));
    if (limit < std::numeric_limits<qint32>::min() || limit > std::numeric_limits<qint32>::max())
        throw StatisticsError(QStringLiteral("The posted limit \"%1\" is out of range.").arg(postedLimit));
    return static_cast<int>(limit);
}

QString limitPlus(int limit, int amount)
{
    const qint64 bound = qint64(limit) + amount;
    if (bound > std::numeric_limits<qint32>::max())
        throw StatisticsError(QStringLiteral("A speed band of the limit %1 is out of range.").arg(limit));
    return QString::number(bound);
}

} // namespace

survey::SummaryRow computeSummary(db::Connection& connection, const SummaryInputs& inputs)
{
    // The queries below read the survey's part of the index about twenty
    // times; a page cache large enough for a month of traffic (a limit, taken
    // only as pages are read) reads it from the file once.
    connection.executeUnlogged(QStringLiteral("PRAGMA cache_size = -131072"));
    survey::SummaryRow v;
    const QString b = db::escapeText(inputs.batchNumber);
    const QString ofBatch =
        QStringLiteral(" from [Veh_Data] where [Batch_Number] = '") + b + QLatin1Char('\'');
    v.batchNumber = inputs.batchNumber;
    v.postedLimit = inputs.postedLimit;
    const int limit = postedLimitNumber(inputs.postedLimit);
    const QString p = QString::number(limit);

    // Vehicles at or under the limit and over it, and the violators' average.
    v.numberUnder = QString::number(
        countOf(connection, QStringLiteral("select count(speed) as TUnder") + ofBatch + " and Speed <= " + p,
                "TUnder"));
    v.numberOver = QString::number(countOf(
        connection, QStringLiteral("select count(speed) as Tover") + ofBatch + " and Speed > " + p, "Tover"));
    const QVariant averageOver = valueOf(
        connection, QStringLiteral("select avg(speed) as AVover") + ofBatch + " and Speed > " + p, "AVover");
    if (!averageOver.isNull() && averageOver.toDouble() != 0)
        v.averageOver = text::formatOneDecimal(averageOver.toDouble());

    v.minSpeed =
        valueOf(connection, QStringLiteral("select min(speed) as Minspeed") + ofBatch, "Minspeed").toString();
    v.maxSpeed =
        valueOf(connection, QStringLiteral("select max(speed) as Maxspeed") + ofBatch, "Maxspeed").toString();

    const QVariant average =
        valueOf(connection, QStringLiteral("select avg(speed) as AVspeed") + ofBatch, "AVspeed");
    if (average.isNull())
        throw StatisticsError(QStringLiteral("The survey %1 has no vehicles.").arg(inputs.batchNumber));
    if (average.toDouble() != 0)
        v.averageSpeed = text::formatOneDecimal(average.toDouble());

    // The pace window around the unrounded average, the vehicles in it, all
    // vehicles, the share in the pace and the 85th percentile.
    const PaceWindow pace = paceWindow(average.toDouble(), inputs.unit);
    v.paceLow = pace.low;
    v.paceHigh = pace.high;
    const qint64 inPace = countOf(connection,
                                  QStringLiteral("select count(speed) as TVpace") + ofBatch +
                                      " and speed >= " + text::shortestDecimal(pace.lowBound) +
                                      " and Speed <= " + text::shortestDecimal(pace.highBound),
                                  "TVpace");
    v.paceTotal = QString::number(inPace);
    const qint64 total = countOf(connection, QStringLiteral("select count(speed) as TVeh") + ofBatch, "TVeh");
    v.totalVehicles = QString::number(total);
    v.pacePercent = pacePercent(inPace, total);
    v.percentile85 = percentile85(v.averageSpeed);

    // Directions.
    const QString ofBatchDirection =
        QStringLiteral(" from [Veh_Data] where [Batch_Number] = '") + b + "' and [Veh_Direction] = ";
    v.totalApproach = QString::number(
        countOf(connection, QStringLiteral("select count(Veh_Direction) as Tapp") + ofBatchDirection + "'+'",
                "Tapp"));
    v.totalReceding = QString::number(
        countOf(connection, QStringLiteral("select count(Veh_Direction) as Trecd") + ofBatchDirection + "'-'",
                "Trecd"));
    v.totalUnknown = QString::number(countOf(
        connection, QStringLiteral("select count(Veh_Direction) as Tquest") + ofBatchDirection + "'?'",
        "Tquest"));

    // Duration, and from it the stop time and date.
    const qint64 seconds =
        countOf(connection, QStringLiteral("select max(Offset) as Ttime") + ofBatch, "Ttime");
    qint64 days = seconds / 3600 / 24;
    const qint64 hours = seconds / 3600 % 24;
    const qint64 minutes = seconds / 60 % 60;
    v.totalTime = QStringLiteral("%1 Days, %2 Hrs, %3 Min").arg(days).arg(hours).arg(text::format00(minutes));
    v.startTime = text::formatTextAsTimeAmPm(inputs.startTime);
    qint64 stopHour = hours + startTimePart(inputs.startTime, 1, "hour");
    qint64 stopMinute = minutes + startTimePart(inputs.startTime, 4, "minute");
    if (stopMinute > 59) {
        stopMinute -= 60;
        stopHour += 1;
    }
    if (stopHour >= 24) {
        stopHour -= 24;
        days += 1;
    }
    v.stopTime =
        text::formatTextAsTimeAmPm(text::format00(stopHour) + QLatin1Char(':') + text::format00(stopMinute));
    const auto startDate = text::parseDateTime(inputs.startDate);
    if (!startDate)
        throw StatisticsError(QStringLiteral("The start date \"%1\" is not a date.").arg(inputs.startDate));
    v.startDate = text::formatDateMdy(startDate->date());
    v.stopDate = text::formatDateMdy(startDate->date().addDays(days));

    // Six bands over the limit: 5 mph or 10 km/h wide, the last one open.
    const int width = inputs.unit == QLatin1String("KPH") ? 10 : 5;
    if (inputs.unit == QLatin1String("MPH") || inputs.unit == QLatin1String("KPH")) {
        const QString over = QStringLiteral("select count(speed) as Over") + ofBatch + " and speed > ";
        for (int band = 0; band < 5; ++band) {
            const QString suffix = band == 0 ? QStringLiteral(" and speed <= ")
                                             : QStringLiteral(" + %1 and speed <= ").arg(band * width);
            v.overBands[band] = QString::number(
                countOf(connection, over + p + suffix + limitPlus(limit, (band + 1) * width), "Over"));
        }
        v.overBands[5] = QString::number(countOf(connection, over + limitPlus(limit, 5 * width), "Over"));
    }
    return v;
}

void storeSummary(db::Connection& connection, const survey::SummaryRow& values)
{
    db::Recordset set = db::Recordset::openTable(connection, *db::findTable(QStringLiteral("Summary")));
    set.addNew();
    for (const auto& [field, text] : values.storedFields())
        set.setValue(field, text);
    set.update();
}

} // namespace pelmor::stats
