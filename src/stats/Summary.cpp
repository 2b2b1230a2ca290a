#include "stats/Summary.h"

#include "stats/Pace.h"
#include "store/SurveyStore.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <limits>

namespace pelmor::stats {
namespace {

// A number of the start time text: characters 1-2 are the hour, 4-5 the minute.
qint64 startTimePart(const QString& startTime, int position, const char* what)
{
    const auto number = text::toWholeNumber(startTime.mid(position - 1, 2));
    if (!number)
        throw StatisticsError(QStringLiteral("The %1 of the start time %2 is not a number.")
                                  .arg(QLatin1String(what), text::quotedValue(startTime)));
    return *number;
}

int postedLimitNumber(const QString& postedLimit)
{
    const double limit = text::roundHalfToEven(numberFromText(postedLimit, "posted limit"));
    if (limit < std::numeric_limits<qint32>::min() || limit > std::numeric_limits<qint32>::max())
        throw StatisticsError(
            QStringLiteral("The posted limit %1 is out of range.").arg(text::quotedValue(postedLimit)));
    return static_cast<int>(limit);
}

qint64 limitPlus(int limit, int amount)
{
    const qint64 bound = qint64(limit) + amount;
    if (bound > std::numeric_limits<qint32>::max())
        throw StatisticsError(QStringLiteral("A speed band of the limit %1 is out of range.").arg(limit));
    return bound;
}

} // namespace

survey::SummaryRow computeSummary(store::SpeedTally& figures, const SummaryInputs& inputs)
{
    survey::SummaryRow v;
    v.batchNumber = inputs.batchNumber;
    v.postedLimit = inputs.postedLimit;
    const int limit = postedLimitNumber(inputs.postedLimit);

    // Vehicles at or under the limit and over it, and the violators' average.
    v.numberUnder = QString::number(figures.countAtMost(limit));
    v.numberOver = QString::number(figures.countOver(limit));
    const auto averageOver = figures.averageOver(limit);
    if (averageOver && *averageOver != 0)
        v.averageOver = text::formatOneDecimal(*averageOver);

    const auto speedText = [](std::optional<qint64> speed) {
        return speed ? QString::number(*speed) : QString();
    };
    v.minSpeed = speedText(figures.lowestSpeed());
    v.maxSpeed = speedText(figures.highestSpeed());

    const auto average = figures.averageSpeed();
    if (!average)
        throw StatisticsError(QStringLiteral("The survey %1 has no vehicles.").arg(inputs.batchNumber));
    if (*average != 0)
        v.averageSpeed = text::formatOneDecimal(*average);

    // The pace window around the unrounded average, the vehicles in it, all
    // vehicles, the share in the pace and the 85th percentile.
    const PaceWindow pace = paceWindow(*average, inputs.unit);
    v.paceLow = pace.low;
    v.paceHigh = pace.high;
    const qint64 inPace = figures.countWithin(pace.lowBound, pace.highBound);
    v.paceTotal = QString::number(inPace);
    const qint64 total = figures.vehicles();
    v.totalVehicles = QString::number(total);
    v.pacePercent = pacePercent(inPace, total);
    v.percentile85 = percentile85(v.averageSpeed);

    // Directions.
    v.totalApproach = QString::number(figures.countTravelling(store::Travel::Approaching));
    v.totalReceding = QString::number(figures.countTravelling(store::Travel::Receding));
    v.totalUnknown = QString::number(figures.countTravelling(store::Travel::Unknown));

    // Duration, and from it the stop time and date.
    const qint64 seconds = figures.largestOffset();
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
        throw StatisticsError(
            QStringLiteral("The start date %1 is not a date.").arg(text::quotedValue(inputs.startDate)));
    v.startDate = text::formatDateMdy(startDate->date());
    v.stopDate = text::formatDateMdy(startDate->date().addDays(days));

    // Six bands over the limit: 5 mph or 10 km/h wide, the last one open.
    const int width = inputs.unit == QLatin1String("KPH") ? 10 : 5;
    if (inputs.unit == QLatin1String("MPH") || inputs.unit == QLatin1String("KPH")) {
        for (int band = 0; band < 5; ++band)
            v.overBands[band] = QString::number(
                figures.countInBand(limit, band * width, limitPlus(limit, (band + 1) * width)));
        v.overBands[5] = QString::number(figures.countBeyond(limitPlus(limit, 5 * width)));
    }
    return v;
}

} // namespace pelmor::stats
