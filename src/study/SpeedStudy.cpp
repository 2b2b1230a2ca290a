#include "study/SpeedStudy.h"

#include "db/DbError.h"
#include "store/SurveyStore.h"
#include "study/Distributions.h"
#include "study/StudyText.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace pelmor::study {
namespace {

constexpr qint64 kMinutesPerDay = 24 * 60;
// The part of the day in which a long stretch without any vehicle means the
// sign was probably off or blocked, and how long such a stretch must be.
constexpr int kDaytimeFrom = 7 * 60;
constexpr int kDaytimeTo = 19 * 60;
constexpr qint64 kLongestQuietMinutes = 120;
// More vehicles of unknown direction than this share makes the per-direction
// figures doubtful.
constexpr double kUnknownShareLimit = 10.0;
constexpr int kSlowestPlausible = 5;
constexpr qint64 kShortestFullSurvey = 24 * 3600;

// A clock time as minutes since the start of the Julian day count, so that
// minutes of different days compare and subtract.
qint64 minuteOf(const QDate& date, int minuteOfDay)
{
    return date.toJulianDay() * kMinutesPerDay + minuteOfDay;
}

QDate dayOf(qint64 minute)
{
    return QDate::fromJulianDay(minute / kMinutesPerDay);
}

QString clockOf(qint64 minute)
{
    return text::formatMinuteOfDay(int(minute % kMinutesPerDay));
}

QDateTime dateTimeOf(qint64 minute)
{
    const int ofDay = int(minute % kMinutesPerDay);
    return QDateTime(dayOf(minute), QTime(ofDay / 60, ofDay % 60), Qt::UTC);
}

// A stretch of the daytime without any vehicle.
struct QuietStretch {
    qint64 from;
    qint64 to;
};

// Everything counted in the one pass over the vehicles.
class Tally {
public:
    Tally(int limit, std::optional<qint64> start)
        : m_limit(limit)
        , m_start(start)
    {
    }

    // One vehicle, as stored: its date and clock time, direction, speed and
    // offset in seconds from the start.
    void add(const store::VehicleRow& vehicle)
    {
        if (!m_slots || vehicle.date != m_date)
            changeDay(vehicle.date);
        const int hour = vehicle.secondOfDay / 3600;
        const qint64 minute = m_dayMinute + vehicle.secondOfDay / 60;
        const qint64 speed = vehicle.speed;

        if (m_vehicles == 0) {
            m_first = minute;
            // A start later than the first vehicle cannot be right.
            m_previous = m_start && *m_start <= minute ? *m_start : minute;
        }
        if (minute - m_previous > kLongestQuietMinutes)
            noteQuietDaytime(m_previous, minute);
        m_previous = std::max(m_previous, minute);
        m_last = std::max(m_last, minute);
        m_longestOffset = std::max(m_longestOffset, vehicle.offset);
        ++m_vehicles;

        const size_t way = vehicle.direction == QLatin1Char('+')   ? 0
                           : vehicle.direction == QLatin1Char('-') ? 1
                                                                   : 2;
        m_byDirection[way].add(speed);
        if (minute != m_pairMinute) {
            countPairs();
            m_pairMinute = minute;
        }
        if (way < 2)
            m_minuteVehicles.push_back({vehicle.offset, speed, way});
        m_byHour[size_t(hour)].add(speed);
        (*m_slots)[size_t(hour)] += 1;
        WeekCell& cell = m_week[size_t(m_weekday)][size_t(hour)];
        ++cell.vehicles;
        if (speed > m_limit)
            ++cell.overLimit;
    }

    qint64 vehicles() const { return m_vehicles; }
    // Pairs of vehicles of one offset second and speed going opposite
    // ways, each vehicle in one pair at most: perhaps one vehicle seen
    // twice. Asked once every vehicle is added.
    qint64 oppositePairs()
    {
        countPairs();
        return m_pairs;
    }
    qint64 first() const { return m_first; }
    qint64 last() const { return m_last; }
    qint64 longestOffset() const { return m_longestOffset; }
    const std::array<SpeedHistogram, 3>& byDirection() const { return m_byDirection; }
    const std::array<SpeedHistogram, 24>& byHour() const { return m_byHour; }
    const std::array<std::array<WeekCell, 24>, 7>& week() const { return m_week; }
    const std::vector<QuietStretch>& quietStretches() const { return m_quiet; }
    // Vehicles counted in one clock hour of one day (a minute of that hour).
    qint64 vehiclesInHour(qint64 hourStart) const
    {
        const auto day = m_days.find(hourStart / kMinutesPerDay);
        return day == m_days.end() ? 0 : day->second[size_t(hourStart % kMinutesPerDay / 60)];
    }

private:
    // Vehicles of one offset share a clock minute, whatever order a scan
    // gives the vehicles of that minute in: they are matched minute by minute.
    void countPairs()
    {
        auto& seen = m_minuteVehicles;
        const auto sameMoment = [](const MinuteVehicle& a, const MinuteVehicle& b) {
            return a.offset == b.offset && a.speed == b.speed;
        };
        const auto earlier = [](const MinuteVehicle& a, const MinuteVehicle& b) {
            return std::tie(a.offset, a.speed) < std::tie(b.offset, b.speed);
        };
        // A scan in clock order gives them sorted but for a few speeds.
        if (!std::is_sorted(seen.begin(), seen.end(), earlier))
            std::sort(seen.begin(), seen.end(), earlier);
        for (auto group = seen.begin(); group != seen.end();) {
            std::array<qint64, 2> ways{};
            auto next = group;
            for (; next != seen.end() && sameMoment(*next, *group); ++next)
                ++ways[next->way];
            m_pairs += std::min(ways[0], ways[1]);
            group = next;
        }
        seen.clear(); // keeps its room for the next minute
    }

    void changeDay(const QDate& date)
    {
        m_date = date;
        m_dayMinute = minuteOf(date, 0);
        m_weekday = date.dayOfWeek() - 1;
        m_slots = &m_days[date.toJulianDay()];
    }

    // The daytime of each day between two vehicles, where it is longer than
    // the longest quiet stretch allowed.
    void noteQuietDaytime(qint64 from, qint64 to)
    {
        for (qint64 day = from / kMinutesPerDay; day <= to / kMinutesPerDay; ++day) {
            const qint64 quietFrom = std::max(from, day * kMinutesPerDay + kDaytimeFrom);
            const qint64 quietTo = std::min(to, day * kMinutesPerDay + kDaytimeTo);
            if (quietTo - quietFrom > kLongestQuietMinutes)
                m_quiet.push_back({quietFrom, quietTo});
        }
    }

    int m_limit;
    std::optional<qint64> m_start;
    QDate m_date;
    qint64 m_dayMinute = 0;
    int m_weekday = 0;
    std::array<qint64, 24>* m_slots = nullptr;
    std::map<qint64, std::array<qint64, 24>> m_days; // by Julian day
    qint64 m_vehicles = 0;
    qint64 m_first = 0;
    qint64 m_last = 0;
    qint64 m_previous = 0;
    qint64 m_longestOffset = 0;
    std::array<SpeedHistogram, 3> m_byDirection; // approaching, receding, unknown
    std::array<SpeedHistogram, 24> m_byHour;
    std::array<std::array<WeekCell, 24>, 7> m_week{};
    std::vector<QuietStretch> m_quiet;
    // The vehicles of the current minute going either way.
    struct MinuteVehicle {
        qint64 offset;
        qint64 speed;
        size_t way; // 0 approaching, 1 receding
    };
    std::vector<MinuteVehicle> m_minuteVehicles;
    qint64 m_pairMinute = -1;
    qint64 m_pairs = 0;
};

// The low bound of the bin of a speed: the multiple of the bin width at or
// below it, also for speeds below zero.
qint64 binLowOf(qint64 speed)
{
    const qint64 into = (speed % kBinWidth + kBinWidth) % kBinWidth;
    return saturatedSum(speed, -into);
}

// The bins of a direction from its slowest to its fastest: every bin on
// the way, but for a stretch of empty bins wider than any span of road
// speeds, which is left out, so that one false reading of millions adds
// one bin, not millions.
std::vector<SpeedBin> binsOf(const SpeedHistogram& speeds, const DirectionFigures& figures)
{
    std::vector<SpeedBin> bins;
    qint64 cumulative = 0;
    const auto addBin = [&](qint64 low, qint64 vehicles) {
        cumulative += vehicles;
        bins.push_back({low, vehicles, figures.percentOf(vehicles), figures.percentOf(cumulative)});
    };
    speeds.forEachSpeed([&](qint64 speed, qint64 vehicles) {
        const qint64 low = binLowOf(speed);
        if (!bins.empty() && bins.back().low == low) {
            cumulative += vehicles;
            bins.back().vehicles += vehicles;
            bins.back().percent = figures.percentOf(bins.back().vehicles);
            bins.back().cumulativePercent = figures.percentOf(cumulative);
            return;
        }
        if (!bins.empty() &&
            quint64(low) - quint64(bins.back().low) <= quint64(SpeedHistogram::kArraySpeeds)) {
            for (qint64 empty = bins.back().low + kBinWidth; empty < low; empty += kBinWidth)
                addBin(empty, 0);
        }
        addBin(low, vehicles);
    });
    return bins;
}

DirectionFigures siteFiguresOf(const SpeedHistogram& speeds, const SpeedStudy& study)
{
    DirectionFigures figures;
    figures.speeds = speeds;
    figures.vehicles = speeds.total();
    for (size_t i = 0; i < kPercentiles.size(); ++i)
        figures.percentiles[i].percent = kPercentiles[i];
    if (figures.isEmpty())
        return figures;
    figures.mean = speeds.mean();
    figures.minimum = speeds.minimum();
    figures.maximum = speeds.maximum();
    if (figures.hasSpread()) {
        figures.standardDeviation = speeds.standardDeviation();
        figures.standardError = figures.standardDeviation / std::sqrt(double(figures.vehicles));
        const double margin = studentT95(figures.vehicles - 1) * figures.standardError;
        figures.confidenceLow = figures.mean - margin;
        figures.confidenceHigh = figures.mean + margin;
    } else {
        figures.confidenceLow = figures.confidenceHigh = figures.mean;
    }
    for (size_t i = 0; i < kPercentiles.size(); ++i)
        figures.percentiles[i] = {kPercentiles[i], speeds.rankedPercentile(kPercentiles[i]),
                                  speeds.groupedPercentile(kPercentiles[i])};
    const SpeedHistogram::Window pace = speeds.busiestWindow(study.paceWidth);
    figures.paceLow = pace.low;
    figures.paceHigh = saturatedSum(pace.low, study.paceWidth);
    figures.paceVehicles = pace.vehicles;
    for (size_t i = 0; i < kLimitMargins.size(); ++i)
        figures.overLimit[i] = speeds.countOver(study.limit + kLimitMargins[i]);
    figures.overThreshold = speeds.countOver(study.threshold);
    figures.bins = binsOf(speeds, figures);
    return figures;
}

void addHourlyProfile(SpeedStudy& study, const Tally& tally, qint64 start, qint64 end)
{
    for (int hour = 0; hour < 24; ++hour) {
        HourFigures& row = study.hourly[size_t(hour)];
        const SpeedHistogram& speeds = tally.byHour()[size_t(hour)];
        row.hour = hour;
        row.vehicles = speeds.total();
        row.mean = speeds.mean();
        row.median = speeds.rankedPercentile(50);
        row.percentile85 = speeds.rankedPercentile(85);
        row.overLimit = speeds.countOver(study.limit);
        qint64 onFullDays = 0;
        for (qint64 day = start / kMinutesPerDay; day <= end / kMinutesPerDay; ++day) {
            const qint64 from = day * kMinutesPerDay + hour * 60;
            const qint64 to = from + 59;
            if (to >= start && from <= end)
                ++study.weekly[size_t(dayOf(from).dayOfWeek() - 1)][size_t(hour)].hoursObserved;
            if (from >= start && to <= end) {
                ++row.fullDays;
                onFullDays += tally.vehiclesInHour(from);
            }
        }
        if (row.fullDays > 0)
            row.vehiclesPerDay = double(onFullDays) / row.fullDays;
    }
}

// "1 vehicle", "2 vehicles", "1,234 vehicles".
QString vehicles(qint64 count)
{
    return formatCount(count) + (count == 1 ? QStringLiteral(" vehicle") : QStringLiteral(" vehicles"));
}

// "3 vehicles (0.2 %)".
QString vehiclesAndShare(qint64 count, const DirectionFigures& of)
{
    return QStringLiteral("%1 (%2)").arg(vehicles(count), formatPercent(of.percentOf(count)));
}

// The readings a warning names, to follow a count: " at 3 mph", " at 0, 2
// and 4 mph", or of more than three speeds the three furthest out,
// ", the fastest at 88, 86 and 85 mph". `speeds` holds them furthest out
// first.
QString speedsNamed(const std::vector<qint64>& speeds, const char* extreme, const QString& unit)
{
    QStringList texts;
    for (size_t i = 0; i < speeds.size() && i < 3; ++i)
        texts << formatCount(speeds[i]);
    const QString last = texts.takeLast();
    return (speeds.size() > 3 ? QStringLiteral(", the %1 at ").arg(QLatin1String(extreme))
                              : QStringLiteral(" at ")) +
           (texts.isEmpty() ? last : texts.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last) +
           QLatin1Char(' ') + unit;
}

// The speeds with vehicles below a bound, slowest first, and above one,
// fastest first.
std::vector<qint64> speedsBelow(const SpeedHistogram& speeds, qint64 bound)
{
    std::vector<qint64> found;
    speeds.forEachSpeed([&](qint64 speed, qint64) {
        if (speed < bound)
            found.push_back(speed);
    });
    return found;
}

std::vector<qint64> speedsAbove(const SpeedHistogram& speeds, qint64 bound)
{
    std::vector<qint64> found;
    speeds.forEachSpeed([&](qint64 speed, qint64) {
        if (speed > bound)
            found.push_back(speed);
    });
    std::reverse(found.begin(), found.end());
    return found;
}

void addWarnings(SpeedStudy& study, Tally& tally, qint64 start, qint64 end)
{
    const QString unit = unitText(study.unit);
    const auto warn = [&study](const char* code, const QString& text) {
        study.warnings.push_back({QLatin1String(code), text});
    };
    for (const Direction direction : kDirections) {
        const DirectionFigures& figures = study.directionFigures(direction);
        if (figures.vehicles >= kMinimumSample)
            continue;
        warn("small_sample",
             figures.isEmpty()
                 ? QStringLiteral("%1: no vehicles, so this direction has no figures.")
                       .arg(directionName(direction))
                 : QStringLiteral(
                       "%1: %2, fewer than the %3 a spot speed study needs; its figures are uncertain.")
                       .arg(directionName(direction), vehicles(figures.vehicles),
                            formatCount(kMinimumSample)));
    }
    const DirectionFigures& all = study.directionFigures(Direction::Both);
    const qint64 unknown = tally.byDirection()[2].total();
    if (all.percentOf(unknown) > kUnknownShareLimit)
        warn("unknown_direction", QStringLiteral("Unknown direction: %1, more than 10 %; the approaching and "
                                                 "receding figures leave them out.")
                                      .arg(vehiclesAndShare(unknown, all)));
    for (const QuietStretch& quiet : tally.quietStretches()) {
        study.daytimeGaps.push_back({dateTimeOf(quiet.from), dateTimeOf(quiet.to)});
        warn("daytime_gap", QStringLiteral("No vehicle for %1 on %2, from %3 to %4: in the daytime (07:00 to "
                                           "19:00) the sign may have been off or blocked.")
                                .arg(formatDuration(quiet.to - quiet.from), formatDay(dayOf(quiet.from)),
                                     clockOf(quiet.from), clockOf(quiet.to)));
    }
    if (study.durationSeconds < kShortestFullSurvey)
        warn("short_survey", QStringLiteral("The survey lasted %1, less than 24 hours, so it does not cover "
                                            "every hour of the day.")
                                 .arg(formatDuration(study.durationSeconds / 60)));
    const qint64 slow = all.speeds.countUnder(kSlowestPlausible);
    if (slow > 0)
        warn("speeds_below_5",
             QStringLiteral("Speeds below 5 %1: %2%3: perhaps pedestrians, cyclists or false readings.")
                 .arg(unit, vehiclesAndShare(slow, all),
                      speedsNamed(speedsBelow(all.speeds, kSlowestPlausible), "slowest", unit)));
    const qint64 fast = all.speeds.countOver(2 * study.limit);
    if (fast > 0)
        warn("speeds_above_twice_limit",
             QStringLiteral("Speeds above %1 %2, twice the limit: %3%4: perhaps false readings.")
                 .arg(QString::number(2 * study.limit), unit, vehiclesAndShare(fast, all),
                      speedsNamed(speedsAbove(all.speeds, 2 * study.limit), "fastest", unit)));
    const qint64 pairs = tally.oppositePairs();
    if (pairs > 0)
        warn(
            "double_detections",
            QStringLiteral("Possible double detections: %1 of vehicles at the same second and speed going "
                           "opposite ways; each may be one vehicle seen twice. They are counted as they are.")
                .arg(pairs == 1 ? QStringLiteral("1 pair") : formatCount(pairs) + QStringLiteral(" pairs")));
    if (start % 60 != 0)
        warn("partial_first_hour",
             QStringLiteral("The first hour is partial: the survey starts at %1 on %2, so that hour is left "
                            "out of the vehicles per hour.")
                 .arg(clockOf(start), formatDay(dayOf(start))));
    if (end % 60 != 59)
        warn("partial_last_hour",
             QStringLiteral("The last hour is partial: the last vehicle passed at %1 on %2, so that hour is "
                            "left out of the vehicles per hour.")
                 .arg(clockOf(end), formatDay(dayOf(end))));
}

// The start as the statistics show it, as a minute; none when it cannot be read.
std::optional<qint64> startMinute(const StudyInputs& inputs)
{
    const auto start = text::parseStart(inputs.startDate, inputs.startTime);
    if (!start)
        return std::nullopt;
    return minuteOf(start->date(), start->time().hour() * 60 + start->time().minute());
}

} // namespace

// The name and the export key of each direction, in the order of Direction.
const char* const kDirectionTexts[][2] = {
    {"Both directions", "both"}, {"Approaching", "approaching"}, {"Receding", "receding"}};

QString directionName(Direction direction)
{
    return QLatin1String(kDirectionTexts[size_t(direction)][0]);
}

QString directionKey(Direction direction)
{
    return QLatin1String(kDirectionTexts[size_t(direction)][1]);
}

QString unitText(const QString& unit)
{
    return unit == QLatin1String("KPH") ? QStringLiteral("km/h") : QStringLiteral("mph");
}

const PercentileFigure& DirectionFigures::percentile(int percent) const
{
    for (const PercentileFigure& figure : percentiles) {
        if (figure.percent == percent)
            return figure;
    }
    return percentiles.front();
}

StudyInputs StudyInputs::of(const survey::SurveyRecord& survey, std::optional<qint64> threshold)
{
    return {survey.batchNumber,       survey.header.radarMode,  survey.header.violationAlert,
            survey.summary.startDate, survey.summary.startTime, threshold};
}

void setThreshold(SpeedStudy& study, qint64 threshold)
{
    study.threshold = threshold;
    for (DirectionFigures& figures : study.directions)
        figures.overThreshold = figures.speeds.countOver(threshold);
}

StudyResult runStudy(const db::Database& database, const StudyInputs& inputs)
{
    std::unique_ptr<store::SurveyStore> store;
    try {
        store = store::openStore(database);
    } catch (const db::DbError& error) {
        StudyResult result;
        result.message = error.message();
        return result;
    }
    return runStudy(*store, inputs);
}

DirectionFigures directionFigures(const SpeedHistogram& speeds, const SpeedStudy& study)
{
    return siteFiguresOf(speeds, study);
}

StudyResult runStudy(store::SurveyStore& store, const StudyInputs& inputs)
{
    StudyResult result;
    if (inputs.batchNumber.isEmpty()) {
        result.message = survey::noSurveyMessage();
        return result;
    }
    const std::optional<qint64> limit = text::toWholeNumber(inputs.postedLimit);
    if (!limit || *limit <= 0 || *limit > 10000) {
        result.message = QStringLiteral("The posted limit of survey %1 (%2) is not a speed, so its "
                                        "vehicles cannot be measured against it.")
                             .arg(inputs.batchNumber, text::quotedValue(inputs.postedLimit));
        return result;
    }
    SpeedStudy study;
    study.batchNumber = inputs.batchNumber;
    study.unit = inputs.unit == QLatin1String("KPH") ? QStringLiteral("KPH") : QStringLiteral("MPH");
    study.limit = int(*limit);
    study.threshold = inputs.threshold.value_or(defaultThreshold(study.limit));
    study.paceWidth = study.isKph() ? 16 : 10;

    Tally tally(study.limit, startMinute(inputs));
    try {
        store.scanVehicles(inputs.batchNumber, store::VehicleOrder::Clock,
                           [&tally](const store::VehicleRow& vehicle) {
                               tally.add(vehicle);
                               return true;
                           });
    } catch (const db::DbError& error) {
        result.message = error.message();
        return result;
    }
    if (tally.vehicles() == 0) {
        result.message = survey::noSurveyMessage();
        return result;
    }

    const std::optional<qint64> statedStart = startMinute(inputs);
    const qint64 start = statedStart ? std::min(*statedStart, tally.first()) : tally.first();
    const qint64 end = tally.last();
    study.start = dateTimeOf(start);
    study.lastVehicle = dateTimeOf(end);
    study.durationSeconds = tally.longestOffset();

    SpeedHistogram both;
    for (const SpeedHistogram& way : tally.byDirection())
        both.add(way);
    study.directions[size_t(Direction::Both)] = siteFiguresOf(both, study);
    study.directions[size_t(Direction::Approaching)] = siteFiguresOf(tally.byDirection()[0], study);
    study.directions[size_t(Direction::Receding)] = siteFiguresOf(tally.byDirection()[1], study);
    study.weekly = tally.week();
    addHourlyProfile(study, tally, start, end);
    addWarnings(study, tally, start, end);
    result.study = std::move(study);
    return result;
}

} // namespace pelmor::study
