#pragma once

#include "compare/ComparisonMaths.h"
#include "db/Database.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QString>

#include <optional>
#include <vector>

// Two surveys side by side, usually of one street before and after a
// change: the speed study figures of each in one unit, what changed, and
// whether each change is larger than chance alone would make it. Worked out
// from the two speed studies; nothing of it is stored.
namespace pelmor::compare {

// One mile is exactly 1.609344 kilometres.
inline constexpr double kKilometresPerMile = 1.609344;
// A change is significant when chance alone would make one at least as
// large less often than this: the 95 % level.
inline constexpr double kSignificanceLevel = 0.05;
// One survey lasting less than this share of the other's time is too short
// to set beside it.
inline constexpr double kShortestDurationRatio = 0.5;
// Shares of the surveyed hours falling on a Saturday or Sunday further
// apart than this (in per cent) mix weekend traffic into the change.
inline constexpr double kWeekendShareTolerance = 10.0;

// The figures of one survey that are set beside the other's, in the unit
// of the comparison.
struct SideFigures {
    qint64 vehicles = 0;
    std::optional<double> vehiclesPerDay; // vehicles over the surveyed days; none for no time
    double mean = 0;
    double standardDeviation = 0; // sample (n - 1)
    double percentile15 = 0;      // ranked, as in the speed study
    double percentile50 = 0;
    double percentile85 = 0;
    double percentile95 = 0;
    double limit = 0; // the survey's own posted limit
    // Vehicles faster than the limit and than the limit + 10 (of the
    // comparison's unit): the readings over the bound, which for a survey
    // converted to another unit is the bound converted to the survey's own.
    qint64 overLimit = 0;
    double percentOverLimit = 0;
    qint64 overLimitPlus10 = 0;
    double percentOverLimitPlus10 = 0;
    // The vehicles over the limit with the readings at the whole speed the
    // bound falls in apportioned (see apportionedAtOrBelow): a survey in
    // the other unit then reads as the same traffic measured in this one.
    // What the two-proportion test compares; equal to overLimit in one unit.
    double apportionedOverLimit = 0;
};

// One of the two surveys.
struct ComparedSurvey {
    study::SpeedStudy study; // in the survey's own unit
    QString location;
    QString locationCode;
    QString direction; // of travel, as stored
    // Speeds of the survey's unit times this factor are speeds of the
    // comparison's unit: 1, 1 / 1.609344 or 1.609344.
    double toComparisonUnit = 1.0;
    SideFigures figures;
    double weekendPercent = 0; // of the surveyed hours, on a Saturday or Sunday
    bool converted() const { return toComparisonUnit != 1.0; }
};

// One test of significance: its statistic, p-value and verdict in words.
struct TestOutcome : Significance {
    QString verdict;

    bool significant() const { return computed && pValue < kSignificanceLevel; }
};

// What changed from survey A to survey B: B minus A, in the comparison's
// unit; shares in percentage points.
struct Changes {
    std::optional<double> vehiclesPerDay;
    double mean = 0;
    double percentile15 = 0;
    double percentile50 = 0;
    double percentile85 = 0;
    double percentile95 = 0;
    double percentOverLimit = 0;
    double percentOverLimitPlus10 = 0;
};

struct Comparison {
    QString unit; // the comparison's unit: survey A's, "MPH" or "KPH"
    ComparedSurvey a;
    ComparedSurvey b;
    Changes changes;
    // Whether the two means differ (Welch's t-test), whether the speeds are
    // distributed differently (two-sample Kolmogorov-Smirnov test) and
    // whether the share over the limit changed (two-proportion z-test).
    TestOutcome meanTest;
    TestOutcome distributionTest;
    TestOutcome overLimitTest;
    // The change in one line: "85th percentile down 3.2 mph; the drop of
    // the mean is significant at 95 %."
    QString headline;
    // Says that one survey's speeds were converted, and at which factor;
    // empty when both share a unit.
    QString conversionNote;
    // Why the two surveys may not be fairly compared; the code names the
    // kind for programs that read the exports.
    std::vector<study::Warning> warnings;

    // Whether survey A began before survey B, so that the two read as
    // "before" and "after".
    bool inOrder() const { return a.study.start < b.study.start; }
    bool isKph() const { return unit == QLatin1String("KPH"); }
};

// A survey as it is compared: its study (any threshold) and its Header row.
struct SurveyInput {
    study::SpeedStudy study;
    survey::HeaderRow header;
};

// Which tests a comparison makes: all three, or the test of the means
// alone for a view that shows no other and sets many surveys side by side
// (the exact distribution test of two surveys of a few thousand vehicles
// each takes some 0.1 s).
enum class Tests { All, MeansOnly };

// Sets survey B beside survey A, in A's unit.
Comparison compareStudies(const SurveyInput& a, const SurveyInput& b, Tests tests = Tests::All);

// A comparison, or why there is none, in words to show the user.
struct ComparisonResult {
    std::optional<Comparison> comparison;
    QString message;
    // Why there is none: a survey not stored, or the database failed.
    bool surveyMissing = false;
    bool databaseFailed = false;

    bool ok() const { return comparison.has_value(); }
};

// Loads both surveys from the store, works out their speed studies and
// compares them (in ComparisonLoading.cpp, the one part that reads the store).
ComparisonResult compareSurveys(const db::Database& database, const QString& batchA, const QString& batchB);

// A p-value as the verdicts quote it: "p = 0.042", or "p < 0.001".
QString pValueText(double p);

// Whether the two posted limits are the same: survey B's limit, converted
// to the comparison's unit, rounds to survey A's (56 km/h to 35 mph).
bool sameLimit(const Comparison& comparison);

// The speed of one survey's own unit above which its vehicles count as
// over the posted limit plus a margin of the comparison's unit. A limit is
// posted in whole speeds, so a survey is over 35 mph from 35.5 mph on; a
// converted survey with the same limit as survey A is measured against
// A's limit, one with another limit against its own.
double overLimitBound(const Comparison& comparison, const ComparedSurvey& side, double margin);

// "38.2 mph before, 35.2 mph after", or, for surveys not in order,
// "38.2 mph in survey 030926-A, 35.2 mph in survey 030226-A".
QString bothValues(const Comparison& comparison, const QString& valueA, const QString& valueB);

// "Before" and "After", or "Survey 030226-A" and "Survey 030926-A".
QString sideName(const Comparison& comparison, bool sideA);

} // namespace pelmor::compare
