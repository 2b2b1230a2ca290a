#include "compare/ComparisonSentences.h"

#include "compare/ComparisonTables.h"

#include "study/StudyText.h"
#include "survey/FieldLimits.h"
#include "survey/SiteKey.h"
#include "text/MessageText.h"

#include <algorithm>
#include <cmath>

namespace pelmor::compare {
namespace {

using study::formatDecimal;
using study::formatPercent;

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

// Places, directions and location codes read alike as the sites read
// them: two surveys that are one site are never told they differ.
bool readAlike(const QString& first, const QString& second)
{
    return survey::siteKey(first, QString()) == survey::siteKey(second, QString());
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

// "before" and "after", or "in survey 030226-A".
QString sideWords(const Comparison& c, bool sideA)
{
    if (c.inOrder())
        return sideA ? QStringLiteral("before") : QStringLiteral("after");
    return QStringLiteral("in survey ") + (sideA ? c.a.study.batchNumber : c.b.study.batchNumber);
}

} // namespace

QString pValueText(double p)
{
    return p < 0.001 ? QStringLiteral("p < 0.001") : QStringLiteral("p = %1").arg(p, 0, 'f', 3);
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

QString meanVerdict(const Comparison& c)
{
    const SideFigures& a = c.a.figures;
    const SideFigures& b = c.b.figures;
    const QString unit = study::unitText(c.unit);
    const QString change = QStringLiteral("Mean speed: %1, %2.")
                               .arg(bothValues(c, formatDecimal(a.mean) + QLatin1Char(' ') + unit,
                                               formatDecimal(b.mean) + QLatin1Char(' ') + unit),
                                    movement(a.mean, b.mean, QLatin1Char(' ') + unit));
    const TestOutcome& test = c.meanTest;
    if (!test.computed)
        return change + QStringLiteral(" Too few vehicles, or speeds that do not vary, to test "
                                       "whether the mean changed.");
    return change + QLatin1Char(' ') +
           significanceSentence(
               test, b.mean - a.mean,
               QStringLiteral("Welch's t-test: t = %1").arg(QString::number(test.statistic, 'f', 2)));
}

QString distributionVerdict(const Comparison& c)
{
    const TestOutcome& test = c.distributionTest;
    if (!test.computed)
        return QStringLiteral("A survey without vehicles has no speed distribution to compare.");
    const QString figures = QStringLiteral("Kolmogorov-Smirnov test: D = %1, %2")
                                .arg(QString::number(test.statistic, 'f', 3), pValueText(test.pValue));
    const QString gap = formatDecimal(100.0 * test.statistic);
    return test.significant()
               ? QStringLiteral(
                     "The distribution of speeds changed: at one speed the share of the vehicles at or "
                     "below it differs by %1 percentage points between the surveys, more than chance "
                     "alone would make; significant at 95 % (%2).")
                     .arg(gap, figures)
               : QStringLiteral("The distribution of speeds may well be the same: the shares of the vehicles "
                                "at or below any speed differ by at most %1 percentage points, which chance "
                                "alone could make; not significant at 95 % (%2).")
                     .arg(gap, figures);
}

QString overLimitVerdict(const Comparison& c)
{
    const SideFigures& a = c.a.figures;
    const SideFigures& b = c.b.figures;
    const TestOutcome& test = c.overLimitTest;
    if (a.vehicles == 0 || b.vehicles == 0)
        return QStringLiteral("A survey without vehicles has no share over the limit to compare.");
    const QString shares =
        QStringLiteral("Vehicles over the posted limit: %1, %2.")
            .arg(bothValues(c, formatPercent(a.percentOverLimit), formatPercent(b.percentOverLimit)),
                 movement(a.percentOverLimit, b.percentOverLimit, QStringLiteral(" percentage points")));
    if (!test.computed)
        return shares + QLatin1Char(' ') +
               (a.apportionedOverLimit + b.apportionedOverLimit <= 0.0
                    ? QStringLiteral("No vehicle of either survey was over the limit, so there is no change "
                                     "to test.")
                    : QStringLiteral(
                          "Every vehicle of both surveys was over the limit, so there is no change "
                          "to test."));
    return shares + QLatin1Char(' ') +
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

QString conversionNoteOf(const Comparison& c)
{
    QString note;
    for (const ComparedSurvey* side : {&c.a, &c.b}) {
        if (side->converted())
            note =
                QStringLiteral("Survey %1 was measured in %2: its speeds are shown in %3, converted at "
                               "1 mile = 1.609344 kilometres.")
                    .arg(side->study.batchNumber, study::unitText(side->study.unit), study::unitText(c.unit));
    }
    return note;
}

std::vector<study::Warning> warningsOf(const Comparison& c)
{
    std::vector<study::Warning> warnings;
    const auto warn = [&warnings](const char* code, const QString& text) {
        warnings.push_back({QLatin1String(code), text});
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
    return warnings;
}

} // namespace pelmor::compare
