#include "compare/ComparisonTables.h"

#include "study/StudyTables.h"
#include "study/StudyText.h"
#include "text/Formats.h"

#include <cmath>

namespace pelmor::compare {
namespace {

using study::formatDecimal;

// The change between two figures with its sign: "+0.4 mph", "-3.0 mph", "0.0 mph".
QString signedChange(double valueA, double valueB, const QString& suffix)
{
    const QString text = formatDecimal(shownChange(valueA, valueB));
    const bool positive = text != formatDecimal(0.0) && !text.startsWith(QLatin1Char('-'));
    return (positive ? QStringLiteral("+") : QString()) + text + suffix;
}

} // namespace

double shownChange(double valueA, double valueB)
{
    return text::roundHalfAwayFromZero(valueB, 1) - text::roundHalfAwayFromZero(valueA, 1);
}

QString limitText(const ComparedSurvey& side, const QString& unit)
{
    const QString own = QStringLiteral("%1 %2").arg(side.study.limit).arg(study::unitText(side.study.unit));
    if (!side.converted())
        return own;
    return own + QStringLiteral(" (%1 %2)").arg(formatDecimal(side.figures.limit), study::unitText(unit));
}

QStringList comparisonColumns(const Comparison& comparison)
{
    if (comparison.inOrder())
        return {QString(), QStringLiteral("Before (%1)").arg(comparison.a.study.batchNumber),
                QStringLiteral("After (%1)").arg(comparison.b.study.batchNumber), QStringLiteral("Change")};
    return {QString(), sideName(comparison, true), sideName(comparison, false), QStringLiteral("Change")};
}

std::vector<ComparisonRow> comparisonRows(const Comparison& c)
{
    const QString unit = QLatin1Char(' ') + study::unitText(c.unit);
    const SideFigures& a = c.a.figures;
    const SideFigures& b = c.b.figures;
    const QString points = QStringLiteral(" percentage points");
    const auto speed = [&unit](double value) {
        return formatDecimal(value) + unit;
    };
    const auto perDay = [](const std::optional<double>& value) {
        return value ? study::formatCount(std::llround(*value)) : QStringLiteral("-");
    };
    std::vector<ComparisonRow> rows;
    rows.push_back(
        {QStringLiteral("Posted limit"), limitText(c.a, c.unit), limitText(c.b, c.unit), QString()});
    rows.push_back({QStringLiteral("Vehicles"), study::formatCount(a.vehicles),
                    study::formatCount(b.vehicles), QString()});
    const qint64 perDayChange = a.vehiclesPerDay && b.vehiclesPerDay
                                    ? std::llround(*b.vehiclesPerDay) - std::llround(*a.vehiclesPerDay)
                                    : 0;
    rows.push_back({QStringLiteral("Vehicles per day"), perDay(a.vehiclesPerDay), perDay(b.vehiclesPerDay),
                    c.changes.vehiclesPerDay ? (perDayChange > 0 ? QStringLiteral("+") : QString()) +
                                                   study::formatCount(perDayChange)
                                             : QString()});
    rows.push_back(
        {QStringLiteral("Mean speed"), speed(a.mean), speed(b.mean), signedChange(a.mean, b.mean, unit)});
    rows.push_back({QStringLiteral("Median speed (50th percentile)"), speed(a.percentile50),
                    speed(b.percentile50), signedChange(a.percentile50, b.percentile50, unit)});
    rows.push_back({QStringLiteral("85th percentile speed"), speed(a.percentile85), speed(b.percentile85),
                    signedChange(a.percentile85, b.percentile85, unit)});
    rows.push_back({QStringLiteral("95th percentile speed"), speed(a.percentile95), speed(b.percentile95),
                    signedChange(a.percentile95, b.percentile95, unit)});
    rows.push_back({QStringLiteral("Over the posted limit"),
                    study::formatCountAndPercent(a.overLimit, a.percentOverLimit),
                    study::formatCountAndPercent(b.overLimit, b.percentOverLimit),
                    signedChange(a.percentOverLimit, b.percentOverLimit, points)});
    rows.push_back({QStringLiteral("More than 10%1 over the limit").arg(unit),
                    study::formatCountAndPercent(a.overLimitPlus10, a.percentOverLimitPlus10),
                    study::formatCountAndPercent(b.overLimitPlus10, b.percentOverLimitPlus10),
                    signedChange(a.percentOverLimitPlus10, b.percentOverLimitPlus10, points)});
    return rows;
}

QString surveyLine(const Comparison& comparison, bool sideA)
{
    const ComparedSurvey& side = sideA ? comparison.a : comparison.b;
    QString line = comparison.inOrder() ? sideName(comparison, sideA) + QStringLiteral(": survey ")
                                        : QStringLiteral("Survey ");
    line += side.study.batchNumber;
    for (const QString& text : {side.location.simplified(), side.direction.simplified()}) {
        if (!text.isEmpty())
            line += QStringLiteral(", ") + text;
    }
    return line + QStringLiteral(". ") + study::studyPeriod(side.study);
}

QString comparisonHeading(const Comparison& comparison)
{
    const QString place = comparison.a.location.simplified();
    const bool samePlace =
        !place.isEmpty() && place.compare(comparison.b.location.simplified(), Qt::CaseInsensitive) == 0;
    if (samePlace && comparison.inOrder())
        return place + QStringLiteral(": before and after");
    const QString surveys = QStringLiteral("surveys %1 and %2 compared")
                                .arg(comparison.a.study.batchNumber, comparison.b.study.batchNumber);
    if (samePlace)
        return place + QStringLiteral(": ") + surveys;
    return surveys.at(0).toUpper() + surveys.mid(1);
}

QString fairComparisonNote()
{
    return QStringLiteral(
        "The two surveys can be compared fairly: same place, direction, limit, length and days of the week.");
}

QString unfairComparisonHeading()
{
    return QStringLiteral("These surveys may not compare fairly:");
}

QString unitNote(const Comparison& comparison)
{
    if (!comparison.conversionNote.isEmpty())
        return comparison.conversionNote;
    const QString unit = study::unitText(comparison.unit);
    return QStringLiteral("Both surveys measured speeds in %1.").arg(unit);
}

QString plainTermsNote()
{
    return QStringLiteral(
        "The mean speed is the average of the vehicles' speeds. The 85th percentile speed is the speed that "
        "85 of every 100 vehicles drove at or below; speed limits are usually judged by it. A change is "
        "significant at 95 % when chance alone would make one as large less than once in 20 surveys: the "
        "p-value is that chance, and below 0.05 the change is taken as real.");
}

QStringList testColumns()
{
    return {QStringLiteral("Question"), QStringLiteral("Test"), QStringLiteral("Result"),
            QStringLiteral("Chance (p-value)"), QStringLiteral("At 95 %")};
}

std::vector<TestRow> testRows(const Comparison& comparison)
{
    const auto row = [](const QString& question, const QString& name, const TestOutcome& test,
                        const QString& symbol, int decimals) {
        if (!test.computed)
            return TestRow{question, name, QStringLiteral("-"), QStringLiteral("-"),
                           QStringLiteral("Not tested")};
        return TestRow{question, name,
                       QStringLiteral("%1 = %2").arg(symbol, QString::number(test.statistic, 'f', decimals)),
                       pValueText(test.pValue),
                       test.significant() ? QStringLiteral("Significant")
                                          : QStringLiteral("Not significant")};
    };
    return {row(QStringLiteral("Did the mean speed change?"), QStringLiteral("Welch's t-test"),
                comparison.meanTest, QStringLiteral("t"), 2),
            row(QStringLiteral("Did the share over the limit change?"),
                QStringLiteral("Two-proportion z-test"), comparison.overLimitTest, QStringLiteral("z"), 2),
            row(QStringLiteral("Did the mix of speeds change?"), QStringLiteral("Kolmogorov-Smirnov test"),
                comparison.distributionTest, QStringLiteral("D"), 3)};
}

QStringList verdictLines(const Comparison& comparison)
{
    return {comparison.meanTest.verdict, comparison.overLimitTest.verdict,
            comparison.distributionTest.verdict};
}

} // namespace pelmor::compare
