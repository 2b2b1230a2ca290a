#pragma once

#include "db/Database.h"
#include "store/SurveyStore.h"
#include "study/SpeedHistogram.h"
#include "survey/SurveyRecord.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The measured speed study of a survey: the figures a traffic engineer
// reports from the ranked speeds of every vehicle, by direction, by hour of
// the day and by hour of the week, with warnings where the data cannot carry
// them. Computed from the survey's vehicle rows whenever it is shown; nothing
// of it is stored.
namespace pelmor::study {

enum class Direction { Both, Approaching, Receding };
inline constexpr std::array<Direction, 3> kDirections = {Direction::Both, Direction::Approaching,
                                                         Direction::Receding};
// "Both directions", "Approaching", "Receding".
QString directionName(Direction direction);
// "both", "approaching", "receding": the keys of the exports.
QString directionKey(Direction direction);

// The percentiles reported, in per cent.
inline constexpr std::array<int, 5> kPercentiles = {15, 50, 85, 95, 98};
// The margin over the posted limit at which a driver counts as speeding,
// in the survey's own unit (10 mph, or 10 km/h): the figures kept as
// "over_limit_10" in the study, the comparison and the sites.
inline constexpr int kSpeedingMargin = 10;
// The margins over the posted limit whose vehicles are counted, each in the
// survey's own unit: the limit itself, then 5, 10 and 15 over it.
inline constexpr std::array<int, 4> kLimitMargins = {0, 5, kSpeedingMargin, 15};
// The width of the speed bins.
inline constexpr int kBinWidth = 5;
// Fewer vehicles than this in a direction is too small a sample for a spot
// speed study.
inline constexpr qint64 kMinimumSample = 100;

struct PercentileFigure {
    int percent = 0;
    double ranked = 0;       // the speed at rank ceil(p * n)
    double interpolated = 0; // read from the cumulative curve of grouped speeds
};

struct SpeedBin {
    qint64 low = 0; // low <= speed < low + kBinWidth
    qint64 vehicles = 0;
    double percent = 0;
    double cumulativePercent = 0;
};

// The figures of one direction (or of both together).
struct DirectionFigures {
    SpeedHistogram speeds;
    qint64 vehicles = 0;
    double mean = 0;
    double standardDeviation = 0; // sample (n - 1); from two vehicles on
    double standardError = 0;
    double confidenceLow = 0; // 95 % confidence interval of the mean
    double confidenceHigh = 0;
    qint64 minimum = 0;
    qint64 maximum = 0;
    std::array<PercentileFigure, kPercentiles.size()> percentiles{};
    qint64 paceLow = 0; // paceLow <= speed < paceHigh
    qint64 paceHigh = 0;
    qint64 paceVehicles = 0;
    // Vehicles faster than the limit plus each of kLimitMargins.
    std::array<qint64, kLimitMargins.size()> overLimit{};
    qint64 overThreshold = 0;
    std::vector<SpeedBin> bins;

    bool isEmpty() const { return vehicles == 0; }
    bool hasSpread() const { return vehicles >= 2; }
    // A count as a share of this direction's vehicles, in per cent.
    double percentOf(qint64 count) const
    {
        return vehicles > 0 ? 100.0 * double(count) / double(vehicles) : 0;
    }
    const PercentileFigure& percentile(int percent) const;
};

// One hour of the day (all directions) over every day of the survey.
struct HourFigures {
    int hour = 0;
    qint64 vehicles = 0;       // on every day, the partial first and last hours included
    int fullDays = 0;          // days on which the survey covered the whole hour
    double vehiclesPerDay = 0; // average over those days; only when fullDays > 0
    double mean = 0;
    double median = 0;       // ranked 50th percentile
    double percentile85 = 0; // ranked
    qint64 overLimit = 0;

    double percentOverLimit() const
    {
        return vehicles > 0 ? 100.0 * double(overLimit) / double(vehicles) : 0;
    }
};

// One hour of one day of the week, over every such day of the survey.
struct WeekCell {
    qint64 vehicles = 0;
    qint64 overLimit = 0;
    int hoursObserved = 0; // such hours the survey covered, wholly or in part

    double percentOverLimit() const
    {
        return vehicles > 0 ? 100.0 * double(overLimit) / double(vehicles) : 0;
    }
};

// What the data may not carry, with the figures that show it. The code
// names the kind for programs that read the exports.
struct Warning {
    QString code;
    QString text;
};

// A stretch of the daytime (07:00 to 19:00) without any vehicle.
struct DaytimeGap {
    QDateTime from;
    QDateTime to;
    qint64 minutes() const { return from.secsTo(to) / 60; }
};

struct SpeedStudy {
    QString batchNumber;
    QString unit;         // "KPH" or "MPH"
    int limit = 0;        // the posted limit
    qint64 threshold = 0; // the enforcement threshold, a speed up to the 64-bit range
    int paceWidth = 10;
    QDateTime start;            // the survey's start (minutes)
    QDateTime lastVehicle;      // the clock of the last vehicle (minutes)
    qint64 durationSeconds = 0; // from the start to the last vehicle
    std::array<DirectionFigures, kDirections.size()> directions;
    std::array<HourFigures, 24> hourly;
    std::array<std::array<WeekCell, 24>, 7> weekly; // Monday first
    // The most telling first: too few vehicles, unknown directions, the
    // sign off or blocked, too short a survey, doubtful speeds, possible
    // double detections, partial hours.
    std::vector<Warning> warnings;
    std::vector<DaytimeGap> daytimeGaps; // longer than two hours, in order

    const DirectionFigures& directionFigures(Direction direction) const
    {
        return directions[size_t(direction)];
    }
    bool isKph() const { return unit == QLatin1String("KPH"); }
};

// What a study is computed from: the survey's key, unit, limit and start as
// stored, and the enforcement threshold (the limit plus 10 when not given).
struct StudyInputs {
    QString batchNumber;
    QString unit;
    QString postedLimit; // "035"
    QString startDate;   // the statistics' start, "05/03/02"
    QString startTime;   // "08:12 AM"
    std::optional<qint64> threshold;

    static StudyInputs of(const survey::SurveyRecord& survey, std::optional<qint64> threshold = std::nullopt);
};

// A study, or why there is none, in words to show the user.
struct StudyResult {
    std::optional<SpeedStudy> study;
    QString message;

    bool ok() const { return study.has_value(); }
};

// Reads every vehicle of the survey in one pass, in the order of the clock,
// and works out the study; the first form opens a store for it.
StudyResult runStudy(const db::Database& database, const StudyInputs& inputs);
StudyResult runStudy(store::SurveyStore& store, const StudyInputs& inputs);

// The figures of vehicles counted per speed, measured by the study's
// limit, enforcement threshold and pace width.
DirectionFigures directionFigures(const SpeedHistogram& speeds, const SpeedStudy& study);

// The enforcement threshold of a study for which none was given.
inline qint64 defaultThreshold(int limit)
{
    return qint64(limit) + 10;
}

// Counts the vehicles over another enforcement threshold, in every direction.
void setThreshold(SpeedStudy& study, qint64 threshold);

// "mph" or "km/h".
QString unitText(const QString& unit);

} // namespace pelmor::study
