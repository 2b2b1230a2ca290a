#include "compare/Comparison.h"

#include "compare/ComparisonTables.h"

#include "db/DbError.h"
#include "sites/SitePlacement.h"
#include "store/SurveyStore.h"
#include "study/Distributions.h"
#include "study/StudyText.h"
#include "survey/FieldLimits.h"
#include "text/MessageText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelmor::compare {
namespace {

using study::formatDecimal;
using study::formatPercent;

constexpr double kSecondsPerDay = 24 * 3600;

// The figures of a survey in the comparison's unit, but for the counts
// over the limit, which depend on both surveys' limits.
SideFigures figuresOf(const study::SpeedStudy& study, double scale)
{
    const study::DirectionFigures& all = study.figures(study::Direction::Both);
    SideFigures figures;
    figures.vehicles = all.vehicles;
    if (study.durationSeconds > 0)
        figures.vehiclesPerDay = double(all.vehicles) / (double(study.durationSeconds) / kSecondsPerDay);
    figures.mean = all.mean * scale;
    figures.standardDeviation = all.standardDeviation * scale;
    figures.percentile15 = all.percentile(15).ranked * scale;
    figures.percentile50 = all.percentile(50).ranked * scale;
    figures.percentile85 = all.percentile(85).ranked * scale;
    figures.percentile95 = all.percentile(95).ranked * scale;
    figures.limit = study.limit * scale;
    return figures;
}

void countOverLimit(const Comparison& comparison, ComparedSurvey& side)
{
    const study::DirectionFigures& all = side.study.figures(study::Direction::Both);
    const auto percent = [&all](double vehicles) {
        return all.vehicles > 0 ? 100.0 * vehicles / double(all.vehicles) : 0.0;
    };
    SideFigures& figures = side.figures;
    const double bound = overLimitBound(comparison, side, 0);
    figures.overLimit = readingsOver(all.speeds, bound);
    figures.apportionedOverLimit = double(all.vehicles) - apportionedAtOrBelow(all.speeds, bound);
    figures.percentOverLimit = percent(double(figures.overLimit));
    figures.overLimitPlus10 =
        readingsOver(all.speeds, overLimitBound(comparison, side, study::kSpeedingMargin));
    figures.percentOverLimitPlus10 = percent(double(figures.overLimitPlus10));
}

// The share of the surveyed hours that fall on a Saturday or Sunday.
double weekendPercent(const study::SpeedStudy& study)
{
    qint64 all = 0;
    qint64 weekend = 0;
    for (size_t day = 0; day < study.weekly.size(); ++day) {
        for (const study::WeekCell& cell : study.weekly[day]) {
            all += cell.hoursObserved;
            if (day >= 5)
                weekend += cell.hoursObserved;
        }
    }
    return all > 0 ? 100.0 * double(weekend) / double(all) : 0.0;
}

// The days of the week a survey covers: "every day of the week", or
// "Mon, Tue and Wed".
QString daysCovered(const study::SpeedStudy& study)
{
    static const char* const names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    QStringList days;
    for (size_t day = 0; day < study.weekly.size(); ++day) {
        const auto& hours = study.weekly[day];
        if (std::any_of(hours.begin(), hours.end(),
                        [](const study::WeekCell& cell) { return cell.hoursObserved > 0; }))
            days << QLatin1String(names[day]);
    }
    if (days.size() == 7)
        return QStringLiteral("every day of the week");
    if (days.size() < 2)
        return days.join(QString());
    const QString last = days.takeLast();
    return days.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

ComparedSurvey comparedSurvey(const SurveyInput& input, const QString& unit)
{
    ComparedSurvey side;
    side.study = input.study;
    side.location = input.header.location;
    side.locationCode = input.header.locationCode;
    side.direction = input.header.direction;
    if (input.study.unit != unit)
        side.toComparisonUnit = unit == QLatin1String("KPH") ? kKilometresPerMile : 1.0 / kKilometresPerMile;
    side.figures = figuresOf(side.study, side.toComparisonUnit);
    side.weekendPercent = weekendPercent(side.study);
    return side;
}

// Places, directions and location codes read alike as the sites read
// them: two surveys that are one site are never told they differ.
bool readAlike(const QString& first, const QString& second)
{
    return sites::siteKey(first, QString()) == sites::siteKey(second, QString());
}

// "drop", "rise" or "change": what a difference is.
QString changeNoun(double difference)
{
    return difference < 0   ? QStringLiteral("drop")
           : difference > 0 ? QStringLiteral("rise")
                            : QStringLiteral("change");
}

// "This drop is significant at 95 %: ... (Welch's t-test: t = -3.10, p = 0.002)."
QString significanceSentence(const TestOutcome& test, double difference, const QString& figures)
{
    return QStringLiteral("This %1 %2 (%3, %4).")
        .arg(changeNoun(difference),
             test.significant()
                 ? QStringLiteral("is significant at 95 %: chance alone would rarely make one so large")
                 : QStringLiteral("is not significant at 95 %: chance alone could make one so large"),
             figures, pValueText(test.pValue));
}

// "down 3.0 mph", "up 0.4 mph", or "unchanged" when the two read alike.
QString movement(double valueA, double valueB, const QString& unitSuffix)
{
    if (formatDecimal(valueA) == formatDecimal(valueB))
        return QStringLiteral("unchanged");
    const double change = shownChange(valueA, valueB);
    return (change < 0 ? QStringLiteral("down ") : QStringLiteral("up ")) + formatDecimal(std::abs(change)) +
           unitSuffix;
}

void testMeans(Comparison& c)
{
    const SideFigures& a = c.a.figures;
    const SideFigures& b = c.b.figures;
    const QString unit = study::unitText(c.unit);
    const QString change = QStringLiteral("Mean speed: %1, %2.")
                               .arg(bothValues(c, formatDecimal(a.mean) + QLatin1Char(' ') + unit,
                                               formatDecimal(b.mean) + QLatin1Char(' ') + unit),
                                    movement(a.mean, b.mean, QLatin1Char(' ') + unit));
    TestOutcome& test = c.meanTest;
    const double varianceA =
        a.vehicles > 1 ? a.standardDeviation * a.standardDeviation / double(a.vehicles) : 0;
    const double varianceB =
        b.vehicles > 1 ? b.standardDeviation * b.standardDeviation / double(b.vehicles) : 0;
    const double standardError = std::sqrt(varianceA + varianceB);
    if (a.vehicles < 2 || b.vehicles < 2 || !(standardError > 0)) {
        test.verdict = change + QStringLiteral(" Too few vehicles, or speeds that do not vary, to test "
                                               "whether the mean changed.");
        return;
    }
    test.computed = true;
    test.statistic = (b.mean - a.mean) / standardError;
    // Welch-Satterthwaite: the degrees of freedom of the two unequal variances.
    test.degreesOfFreedom =
        (varianceA + varianceB) * (varianceA + varianceB) /
        (varianceA * varianceA / double(a.vehicles - 1) + varianceB * varianceB / double(b.vehicles - 1));
    test.pValue = study::studentTTwoSided(test.statistic, test.degreesOfFreedom);
    test.verdict = change + QLatin1Char(' ') +
                   significanceSentence(
                       test, b.mean - a.mean,
                       QStringLiteral("Welch's t-test: t = %1").arg(QString::number(test.statistic, 'f', 2)));
}

void testDistributions(Comparison& c)
{
    const study::SpeedHistogram& speedsA = c.a.study.figures(study::Direction::Both).speeds;
    const study::SpeedHistogram& speedsB = c.b.study.figures(study::Direction::Both).speeds;
    TestOutcome& test = c.distributionTest;
    if (speedsA.isEmpty() || speedsB.isEmpty()) {
        test.verdict = QStringLiteral("A survey without vehicles has no speed distribution to compare.");
        return;
    }
    test.computed = true;
    test.statistic = kolmogorovDistance(speedsA, c.a.toComparisonUnit, speedsB, c.b.toComparisonUnit);
    if (speedsA.total() <= kExactDistributionTest / speedsB.total()) {
        test.exact = true;
        // In one unit the surveys share whole speeds, and their ties are
        // those of the pooled speeds. In two units the distance spreads each
        // reading over the speeds that round to it, as if no two vehicles
        // drove alike: the distribution without ties.
        std::vector<qint64> ties;
        if (c.a.toComparisonUnit == c.b.toComparisonUnit) {
            study::SpeedHistogram pooled = speedsA;
            pooled.add(speedsB);
            pooled.forEachSpeed([&ties](qint64, qint64 vehicles) { ties.push_back(vehicles); });
        }
        test.pValue = study::kolmogorovSmirnovExact(speedsA.total(), speedsB.total(), test.statistic, ties);
    } else {
        const double nA = double(speedsA.total());
        const double nB = double(speedsB.total());
        const double root = std::sqrt(nA * nB / (nA + nB));
        // The scale of the distance that follows the Kolmogorov distribution,
        // with the usual correction for samples of modest size.
        test.pValue = study::kolmogorovSurvival((root + 0.12 + 0.11 / root) * test.statistic);
    }
    const QString figures = QStringLiteral("Kolmogorov-Smirnov test: D = %1, %2")
                                .arg(QString::number(test.statistic, 'f', 3), pValueText(test.pValue));
    const QString gap = formatDecimal(100.0 * test.statistic);
    test.verdict =
        test.significant()
            ? QStringLiteral(
                  "The distribution of speeds changed: at one speed the share of the vehicles at or "
                  "below it differs by %1 percentage points between the surveys, more than chance "
                  "alone would make; significant at 95 % (%2).")
                  .arg(gap, figures)
            : QStringLiteral("The distribution of speeds may well be the same: the shares of the vehicles at "
                             "or below any speed differ by at most %1 percentage points, which chance alone "
                             "could make; not significant at 95 % (%2).")
                  .arg(gap, figures);
}

void testOverLimit(Comparison& c)
{
    const SideFigures& a = c.a.figures;
    const SideFigures& b = c.b.figures;
    TestOutcome& test = c.overLimitTest;
    const QString shares =
        QStringLiteral("Vehicles over the posted limit: %1, %2.")
            .arg(bothValues(c, formatPercent(a.percentOverLimit), formatPercent(b.percentOverLimit)),
                 movement(a.percentOverLimit, b.percentOverLimit, QStringLiteral(" percentage points")));
    if (a.vehicles == 0 || b.vehicles == 0) {
        test.verdict = QStringLiteral("A survey without vehicles has no share over the limit to compare.");
        return;
    }
    // The shares of the same traffic read alike in either unit: apportioned.
    const double pooled = (a.apportionedOverLimit + b.apportionedOverLimit) / double(a.vehicles + b.vehicles);
    if (pooled <= 0.0 || pooled >= 1.0) {
        test.verdict = shares + QLatin1Char(' ') +
                       (pooled <= 0.0 ? QStringLiteral("No vehicle of either survey was over the limit, so "
                                                       "there is no change to test.")
                                      : QStringLiteral("Every vehicle of both surveys was over the limit, so "
                                                       "there is no change to test."));
        return;
    }
    test.computed = true;
    const double standardError =
        std::sqrt(pooled * (1.0 - pooled) * (1.0 / double(a.vehicles) + 1.0 / double(b.vehicles)));
    test.statistic =
        (b.apportionedOverLimit / double(b.vehicles) - a.apportionedOverLimit / double(a.vehicles)) /
        standardError;
    test.pValue = study::normalTwoSided(test.statistic);
    test.verdict =
        shares + QLatin1Char(' ') +
        significanceSentence(
            test, b.percentOverLimit - a.percentOverLimit,
            QStringLiteral("two-proportion z-test: z = %1").arg(QString::number(test.statistic, 'f', 2)));
}

QString headlineOf(const Comparison& c)
{
    const QString unit = study::unitText(c.unit);
    const double p85A = c.a.figures.percentile85;
    const double p85B = c.b.figures.percentile85;
    QString headline =
        formatDecimal(p85A) == formatDecimal(p85B)
            ? QStringLiteral("85th percentile unchanged at %1 %2").arg(formatDecimal(p85A), unit)
            : QStringLiteral("85th percentile %1").arg(movement(p85A, p85B, QLatin1Char(' ') + unit));
    const double meanChange = c.b.figures.mean - c.a.figures.mean;
    if (!c.meanTest.computed)
        return headline + QStringLiteral("; too few vehicles to test the change of the mean.");
    if (c.meanTest.significant())
        return headline +
               QStringLiteral("; the %1 of the mean is significant at 95 %.").arg(changeNoun(meanChange));
    return headline + QStringLiteral("; the change of the mean is not significant at 95 %.");
}

// "before" and "after", or "in survey 030226-A".
QString sideWords(const Comparison& c, bool sideA)
{
    if (c.inOrder())
        return sideA ? QStringLiteral("before") : QStringLiteral("after");
    return QStringLiteral("in survey ") + (sideA ? c.a.study.batchNumber : c.b.study.batchNumber);
}

void addWarnings(Comparison& c)
{
    const auto warn = [&c](const char* code, const QString& text) {
        c.warnings.push_back({QLatin1String(code), text});
    };
    const ComparedSurvey& a = c.a;
    const ComparedSurvey& b = c.b;
    for (const bool sideA : {true, false}) {
        const qint64 vehicles = (sideA ? a : b).figures.vehicles;
        if (vehicles < study::kMinimumSample)
            warn("small_sample",
                 QStringLiteral("The survey %1 has %2 %3, fewer than the %4 a spot speed study needs; its "
                                "figures, and the tests that set them beside the other survey's, are "
                                "uncertain.")
                     .arg(sideWords(c, sideA), study::formatCount(vehicles),
                          vehicles == 1 ? QStringLiteral("vehicle") : QStringLiteral("vehicles"),
                          study::formatCount(study::kMinimumSample)));
    }
    if (!sameLimit(c))
        warn("different_limit",
             QStringLiteral("The posted limits differ: %1 %2, %3 %4. Each share over the limit is counted "
                            "against its own survey's limit.")
                 .arg(limitText(a, c.unit), sideWords(c, true), limitText(b, c.unit), sideWords(c, false)));
    const bool codesDiffer =
        !a.locationCode.isEmpty() && !b.locationCode.isEmpty() && !readAlike(a.locationCode, b.locationCode);
    if (!readAlike(a.location, b.location) || codesDiffer) {
        const auto place = [codesDiffer](const ComparedSurvey& side) {
            // A location of an older file may be longer than any the import
            // now takes; one that fits is quoted whole.
            return text::quotedValue(side.location.simplified(), survey::maximumLength("Location")) +
                   (codesDiffer ? QStringLiteral(" (location code %1)").arg(side.locationCode) : QString());
        };
        warn("different_location",
             QStringLiteral("The locations differ: %1 %2, %3 %4. A change between two places need not be "
                            "a change of the traffic at either.")
                 .arg(place(a), sideWords(c, true), place(b), sideWords(c, false)));
    }
    if (!readAlike(a.direction, b.direction))
        warn("different_direction",
             QStringLiteral("The directions of travel differ: %1 %2, %3 %4. The surveys may not have "
                            "measured the same traffic.")
                 .arg(a.direction.simplified(), sideWords(c, true), b.direction.simplified(),
                      sideWords(c, false)));
    const bool aShorter = a.study.durationSeconds < b.study.durationSeconds;
    const ComparedSurvey& shorter = aShorter ? a : b;
    const ComparedSurvey& longer = aShorter ? b : a;
    if (double(shorter.study.durationSeconds) < kShortestDurationRatio * double(longer.study.durationSeconds))
        warn("different_duration",
             QStringLiteral("The survey %1 lasted %2, less than half as long as the one %3 (%4); it may miss "
                            "busier or quieter days and hours that the other one holds.")
                 .arg(sideWords(c, aShorter), study::formatLength(shorter.study.durationSeconds / 60),
                      sideWords(c, !aShorter), study::formatLength(longer.study.durationSeconds / 60)));
    if (std::abs(a.weekendPercent - b.weekendPercent) > kWeekendShareTolerance)
        warn("different_days",
             QStringLiteral("The days of the week differ: the survey %1 covers %2 (%3 of its hours on a "
                            "Saturday or Sunday), the one %4 covers %5 (%6). Weekend traffic differs from "
                            "weekday traffic, so part of the change may come from the days surveyed.")
                 .arg(sideWords(c, true), daysCovered(a.study), formatPercent(a.weekendPercent),
                      sideWords(c, false), daysCovered(b.study), formatPercent(b.weekendPercent)));
}

} // namespace

QString pValueText(double p)
{
    return p < 0.001 ? QStringLiteral("p < 0.001") : QStringLiteral("p = %1").arg(p, 0, 'f', 3);
}

bool sameLimit(const Comparison& comparison)
{
    return std::lround(comparison.b.figures.limit) == std::lround(comparison.a.figures.limit);
}

double overLimitBound(const Comparison& comparison, const ComparedSurvey& side, double margin)
{
    const double scale = side.toComparisonUnit;
    // A limit is posted in whole speeds of its unit: a vehicle is over
    // 35 mph from the speeds that read 36, that is from 35.5 mph on.
    if (side.converted() && sameLimit(comparison))
        return (comparison.a.study.limit + 0.5 + margin) / scale;
    return side.study.limit + 0.5 + margin / scale;
}

namespace {

// A speed that need not be whole as the nearest 64-bit whole number, held
// within the range of those.
qint64 wholeWithin(double speed)
{
    constexpr double kLimit = 9.2e18;
    return qint64(std::clamp(speed, -kLimit, kLimit));
}

} // namespace

qint64 readingsOver(const study::SpeedHistogram& speeds, double bound)
{
    return speeds.total() - speeds.countAtOrBelow(wholeWithin(std::floor(bound)));
}

double apportionedAtOrBelow(const study::SpeedHistogram& speeds, double speed)
{
    // The whole speed whose span holds `speed`, and how far into the span it is.
    const double cell = std::floor(speed + 0.5);
    const double into = speed - (cell - 0.5);
    const qint64 whole = wholeWithin(cell);
    return double(speeds.countUnder(whole)) + into * double(speeds.countAt(whole));
}

double kolmogorovDistance(const study::SpeedHistogram& first, double scaleFirst,
                          const study::SpeedHistogram& second, double scaleSecond)
{
    if (first.isEmpty() || second.isEmpty())
        return 0.0;
    // The bounds of the wider speeds are where both shares are known best.
    const bool firstWider = scaleFirst >= scaleSecond;
    const study::SpeedHistogram& wide = firstWider ? first : second;
    const study::SpeedHistogram& narrow = firstWider ? second : first;
    const double wideScale = firstWider ? scaleFirst : scaleSecond;
    const double narrowScale = firstWider ? scaleSecond : scaleFirst;
    const double wideTotal = double(wide.total());
    const double narrowTotal = double(narrow.total());
    double distance = 0;
    // The gap at the upper bound of a whole speed of the wider histogram.
    const auto gapAt = [&](qint64 speed, qint64 wideAtOrBelow) {
        const double narrowAtOrBelow =
            apportionedAtOrBelow(narrow, (double(speed) + 0.5) * wideScale / narrowScale);
        distance =
            std::max(distance, std::abs(double(wideAtOrBelow) / wideTotal - narrowAtOrBelow / narrowTotal));
    };
    // Outside the wider histogram's speeds its share is 0 or 1 and the other
    // share only moves towards it. Between two of its speeds its share stays
    // and the other only rises, so the gap is widest at one end: at the
    // speed just below each of its speeds, and at each of them.
    qint64 wideAtOrBelow = 0;
    wide.forEachSpeed([&](qint64 speed, qint64 vehicles) {
        if (speed > std::numeric_limits<qint64>::min())
            gapAt(speed - 1, wideAtOrBelow);
        wideAtOrBelow += vehicles;
        gapAt(speed, wideAtOrBelow);
    });
    return distance;
}

QString bothValues(const Comparison& comparison, const QString& valueA, const QString& valueB)
{
    if (comparison.inOrder())
        return QStringLiteral("%1 before, %2 after").arg(valueA, valueB);
    return QStringLiteral("%1 in survey %2, %3 in survey %4")
        .arg(valueA, comparison.a.study.batchNumber, valueB, comparison.b.study.batchNumber);
}

QString sideName(const Comparison& comparison, bool sideA)
{
    if (comparison.inOrder())
        return sideA ? QStringLiteral("Before") : QStringLiteral("After");
    return QStringLiteral("Survey ") +
           (sideA ? comparison.a.study.batchNumber : comparison.b.study.batchNumber);
}

Comparison compareStudies(const SurveyInput& a, const SurveyInput& b, Tests tests)
{
    Comparison c;
    c.unit = a.study.unit;
    c.a = comparedSurvey(a, c.unit);
    c.b = comparedSurvey(b, c.unit);
    countOverLimit(c, c.a);
    countOverLimit(c, c.b);
    const SideFigures& fa = c.a.figures;
    const SideFigures& fb = c.b.figures;
    if (fa.vehiclesPerDay && fb.vehiclesPerDay)
        c.changes.vehiclesPerDay = *fb.vehiclesPerDay - *fa.vehiclesPerDay;
    c.changes.mean = fb.mean - fa.mean;
    c.changes.percentile15 = fb.percentile15 - fa.percentile15;
    c.changes.percentile50 = fb.percentile50 - fa.percentile50;
    c.changes.percentile85 = fb.percentile85 - fa.percentile85;
    c.changes.percentile95 = fb.percentile95 - fa.percentile95;
    c.changes.percentOverLimit = fb.percentOverLimit - fa.percentOverLimit;
    c.changes.percentOverLimitPlus10 = fb.percentOverLimitPlus10 - fa.percentOverLimitPlus10;
    for (const ComparedSurvey* side : {&c.a, &c.b}) {
        if (side->converted())
            c.conversionNote =
                QStringLiteral("Survey %1 was measured in %2: its speeds are shown in %3, converted at "
                               "1 mile = 1.609344 kilometres.")
                    .arg(side->study.batchNumber, study::unitText(side->study.unit), study::unitText(c.unit));
    }
    testMeans(c);
    if (tests == Tests::All) {
        testDistributions(c);
        testOverLimit(c);
    }
    c.headline = headlineOf(c);
    addWarnings(c);
    return c;
}

ComparisonResult compareSurveys(const db::Database& database, const QString& batchA, const QString& batchB)
{
    ComparisonResult result;
    if (batchA.isEmpty() || batchB.isEmpty()) {
        result.message = survey::noSurveyMessage();
        return result;
    }
    std::optional<SurveyInput> inputs[2];
    const QString batches[2] = {batchA, batchB};
    std::unique_ptr<store::SurveyStore> store;
    for (int i = 0; i < 2; ++i) {
        survey::SurveyRecord record;
        try {
            if (!store)
                store = store::openStore(database);
            record = store->loadSurvey(batches[i]);
        } catch (const db::DbError& error) {
            result.message = error.message();
            return result;
        }
        if (!record.hasHeader) {
            result.message = QStringLiteral("The database holds no survey %1.").arg(batches[i]);
            return result;
        }
        study::StudyResult studied = study::runStudy(*store, study::StudyInputs::of(record));
        if (!studied.ok()) {
            result.message = QStringLiteral("Survey %1: %2").arg(batches[i], studied.message);
            return result;
        }
        inputs[i] = SurveyInput{std::move(*studied.study), record.header};
    }
    result.comparison = compareStudies(*inputs[0], *inputs[1]);
    return result;
}

} // namespace pelmor::compare
