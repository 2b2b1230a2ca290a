#include "compare/Comparison.h"

#include "compare/ComparisonSentences.h"

#include <cmath>

namespace pelmor::compare {
namespace {

constexpr double kSecondsPerDay = 24 * 3600;

// The figures of a survey in the comparison's unit, but for the counts
// over the limit, which depend on both surveys' limits.
SideFigures siteFiguresOf(const study::SpeedStudy& study, double scale)
{
    const study::DirectionFigures& all = study.directionFigures(study::Direction::Both);
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
    const study::DirectionFigures& all = side.study.directionFigures(study::Direction::Both);
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

ComparedSurvey comparedSurvey(const SurveyInput& input, const QString& unit)
{
    ComparedSurvey side;
    side.study = input.study;
    side.location = input.header.location;
    side.locationCode = input.header.locationCode;
    side.direction = input.header.direction;
    if (input.study.unit != unit)
        side.toComparisonUnit = unit == QLatin1String("KPH") ? kKilometresPerMile : 1.0 / kKilometresPerMile;
    side.figures = siteFiguresOf(side.study, side.toComparisonUnit);
    side.weekendPercent = weekendPercent(side.study);
    return side;
}

SampleMoments momentsOf(const SideFigures& figures)
{
    return {figures.vehicles, figures.mean, figures.standardDeviation};
}

} // namespace

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
    c.conversionNote = conversionNoteOf(c);
    static_cast<Significance&>(c.meanTest) = welchTest(momentsOf(fa), momentsOf(fb));
    c.meanTest.verdict = meanVerdict(c);
    if (tests == Tests::All) {
        static_cast<Significance&>(c.distributionTest) =
            distributionTest(c.a.study.directionFigures(study::Direction::Both).speeds, c.a.toComparisonUnit,
                             c.b.study.directionFigures(study::Direction::Both).speeds, c.b.toComparisonUnit);
        c.distributionTest.verdict = distributionVerdict(c);
        static_cast<Significance&>(c.overLimitTest) =
            proportionTest(fa.apportionedOverLimit, fa.vehicles, fb.apportionedOverLimit, fb.vehicles);
        c.overLimitTest.verdict = overLimitVerdict(c);
    }
    c.headline = headlineOf(c);
    c.warnings = warningsOf(c);
    return c;
}

} // namespace pelmor::compare
