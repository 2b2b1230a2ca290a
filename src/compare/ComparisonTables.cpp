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
                    study::formatCountAndPercent(std::llround(a.overLimit), a.percentOverLimit),
                    study::formatCountAndPercent(std::llround(b.overLimit), b.percentOverLimit),
                    signedChange(a.percentOverLimit, b.percentOverLimit, points)});
    rows.push_back({QStringLiteral("Over the limit + 10%1").arg(unit),
                    study::formatCountAndPercent(std::llround(a.overLimitPlus10), a.percentOverLimitPlus10),
                    study::formatCountAndPercent(std::llround(b.overLimitPlus10), b.percentOverLimitPlus10),
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

QStringList verdictLines(const Comparison& comparison)
{
    return {comparison.meanTest.verdict, comparison.overLimitTest.verdict,
            comparison.distributionTest.verdict};
}

} // namespace pelmor::compare
