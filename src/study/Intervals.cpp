#include "study/Intervals.h"

namespace pelmor::study {
namespace {

constexpr qint64 kMinutesInDay = 24 * 60;

// Minutes counted from the start of the Julian day count, so that a
// stretch's first minute is a plain whole number to round down.
qint64 clockMinuteOf(const QDate& date, int secondOfDay)
{
    return date.toJulianDay() * kMinutesInDay + secondOfDay / 60;
}

QDateTime clockDateTimeOf(qint64 minute)
{
    const QDate date = QDate::fromJulianDay(minute / kMinutesInDay);
    return QDateTime(date, QTime(0, 0).addSecs(int(minute % kMinutesInDay) * 60), Qt::UTC);
}

} // namespace

namespace {

// Each length with its key in an address, its name and its minutes.
struct LengthText {
    IntervalLength length;
    const char* key;
    const char* name;
    int minutes;
};

constexpr LengthText kLengths[] = {
    {IntervalLength::QuarterHour, "15m", "15 minutes", 15},
    {IntervalLength::Hour, "1h", "1 hour", 60},
    {IntervalLength::Day, "1d", "1 day", int(kMinutesInDay)},
};

const LengthText& textOf(IntervalLength length)
{
    for (const LengthText& entry : kLengths) {
        if (entry.length == length)
            return entry;
    }
    return kLengths[1];
}

} // namespace

QString intervalKey(IntervalLength length)
{
    return QLatin1String(textOf(length).key);
}

std::optional<IntervalLength> intervalLengthOf(const QString& key)
{
    for (const LengthText& entry : kLengths) {
        if (key == QLatin1String(entry.key))
            return entry.length;
    }
    return std::nullopt;
}

QString intervalName(IntervalLength length)
{
    return QLatin1String(textOf(length).name);
}

int intervalMinutes(IntervalLength length)
{
    return textOf(length).minutes;
}

IntervalTally::IntervalTally(const IntervalRequest& request)
    : m_request(request)
{
}

qint64 IntervalTally::startMinuteOf(const QDate& date, int secondOfDay) const
{
    const qint64 minute = clockMinuteOf(date, secondOfDay);
    return minute - minute % intervalMinutes(m_request.length);
}

void IntervalTally::add(const QDate& date, int secondOfDay, qint64 speed)
{
    if ((m_request.from && date < *m_request.from) || (m_request.until && date > *m_request.until))
        return;
    const qint64 start = startMinuteOf(date, secondOfDay);
    m_speeds[start].add(speed);
    if (!m_surveyFirst || start < *m_surveyFirst)
        m_surveyFirst = start;
    if (!m_surveyLast || start > *m_surveyLast)
        m_surveyLast = start;
}

void IntervalTally::endSurvey()
{
    if (m_surveyFirst && m_surveyLast) {
        const qint64 step = intervalMinutes(m_request.length);
        if ((*m_surveyLast - *m_surveyFirst) / step <= kMostFilledIntervals) {
            for (qint64 start = *m_surveyFirst; start < *m_surveyLast; start += step)
                m_speeds.try_emplace(start);
        }
    }
    m_surveyFirst.reset();
    m_surveyLast.reset();
}

std::vector<IntervalFigures> IntervalTally::figures() const
{
    std::vector<IntervalFigures> result;
    result.reserve(m_speeds.size());
    for (const auto& [start, speeds] : m_speeds) {
        IntervalFigures figures;
        figures.start = clockDateTimeOf(start);
        figures.vehicles = speeds.total();
        if (!speeds.isEmpty()) {
            figures.median = speeds.rankedPercentile(50);
            figures.percentile85 = speeds.rankedPercentile(85);
            figures.percentile98 = speeds.rankedPercentile(98);
            figures.highest = speeds.maximum();
            figures.overLimit = speeds.countOver(m_request.limit);
        }
        result.push_back(figures);
    }
    return result;
}

std::vector<IntervalFigures> intervalFigures(store::SurveyStore& store, const QStringList& batchNumbers,
                                             const IntervalRequest& request)
{
    IntervalTally tally(request);
    for (const QString& batchNumber : batchNumbers) {
        store.scanVehicles(batchNumber, store::VehicleOrder::Stored, [&tally](const store::VehicleRow& row) {
            tally.add(row.date, row.secondOfDay, row.speed);
            return true;
        });
        tally.endSurvey();
    }
    return tally.figures();
}

} // namespace pelmor::study
