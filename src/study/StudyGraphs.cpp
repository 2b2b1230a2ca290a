#include "study/StudyGraphs.h"

#include "study/StudyText.h"
#include "text/Formats.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace pelmor::study {
namespace {

// The lines of the S-curve: both directions, approaching, receding, the
// posted limit and the percentile markers, in colour or for a
// black-and-white printer.
struct CurveLook {
    QColor both;
    QColor approaching;
    Qt::PenStyle approachingStyle;
    QColor receding;
    Qt::PenStyle recedingStyle;
    QColor limit;
    QColor percentile;
};

const CurveLook& curveLook(bool blackAndWhite)
{
    static const CurveLook colour{QColor(31, 78, 140), QColor(46, 139, 87), Qt::DashLine,
                                  QColor(214, 118, 0), Qt::DashLine,        QColor(200, 0, 0),
                                  QColor(60, 60, 60)};
    static const CurveLook grey{QColor(0, 0, 0),    QColor(0, 0, 0), Qt::DashLine,      QColor(90, 90, 90),
                                Qt::DashDotDotLine, QColor(0, 0, 0), QColor(90, 90, 90)};
    return blackAndWhite ? grey : colour;
}

// A count in three or four characters, for a cell too narrow for it in
// full: 4,470 is "4.5k", 12,345 "12k", 1,234,567 "1.2M".
QString shortCount(qint64 count)
{
    const auto scaled = [](double value, const char* suffix) {
        const int decimals = value < 9.95 ? 1 : 0;
        return QString::number(value, 'f', decimals) + QLatin1String(suffix);
    };
    if (count < 1000)
        return QString::number(count);
    if (count < 999500)
        return scaled(double(count) / 1e3, "k");
    return scaled(double(count) / 1e6, "M");
}

} // namespace

std::vector<charts::LinePoint> cumulativePoints(const DirectionFigures& figures, double scale)
{
    std::vector<charts::LinePoint> points;
    if (figures.isEmpty())
        return points;
    // A point at every whole speed from just below the slowest, but across
    // a stretch without vehicles wider than any span of road speeds, where
    // the flat line needs only its two ends.
    qint64 atOrBelow = 0;
    qint64 previous = 0;
    bool first = true;
    figures.speeds.forEachSpeed([&](qint64 speed, qint64 vehicles) {
        const qint64 below = saturatedSum(speed, -1);
        const bool wideGap =
            !first && quint64(below) - quint64(previous) > quint64(SpeedHistogram::kArraySpeeds);
        if (first || wideGap) {
            points.push_back({double(below) * scale, figures.percentOf(atOrBelow)});
        } else {
            for (qint64 between = previous + 1; between < speed; ++between)
                points.push_back({double(between) * scale, figures.percentOf(atOrBelow)});
        }
        atOrBelow += vehicles;
        points.push_back({double(speed) * scale, figures.percentOf(atOrBelow)});
        previous = speed;
        first = false;
    });
    return points;
}

std::pair<double, double> bulkOfSpeeds(const DirectionFigures& figures)
{
    // A handful of freak readings at either end would squeeze the curve
    // into a corner.
    if (figures.vehicles >= 200)
        return {figures.speeds.rankedPercentile(1), figures.speeds.rankedPercentile(99) + 1};
    // Of fewer vehicles, the slowest and fastest speeds of road traffic: a
    // false reading of millions would stretch the scale out of sight.
    std::optional<std::pair<double, double>> span;
    figures.speeds.forEachSpeed([&span](qint64 speed, qint64) {
        if (speed < 0 || speed >= SpeedHistogram::kArraySpeeds)
            return;
        if (!span)
            span = std::pair<double, double>(double(speed), double(speed));
        span->second = double(speed);
    });
    return span.value_or(std::pair<double, double>(double(figures.minimum), double(figures.maximum)));
}

void fitSpeedScale(charts::LineGraph& graph, double low, double high)
{
    // Never wider than the speeds of road traffic, so the scale keeps a
    // few dozen ticks at most.
    const double widest = double(SpeedHistogram::kArraySpeeds);
    low = std::clamp(low, -widest, widest);
    high = std::clamp(high, low, widest);
    low -= 1;
    high += 1;
    const double span = high - low;
    graph.xStep = span > 600 ? 100 : span > 200 ? 50 : span > 60 ? 10 : 5;
    graph.xMinimum = std::max(0.0, std::floor(low / graph.xStep) * graph.xStep);
    graph.xMaximum = std::ceil(high / graph.xStep) * graph.xStep;
}

charts::LineGraph speedCurve(const SpeedStudy& study, bool blackAndWhite)
{
    const CurveLook& look = curveLook(blackAndWhite);
    const QString unit = unitText(study.unit);
    const DirectionFigures& both = study.directionFigures(Direction::Both);
    charts::LineGraph graph;
    graph.title = QStringLiteral("Cumulative speed distribution, survey %1").arg(study.batchNumber);
    graph.leftTitle = QStringLiteral("Vehicles at or below the speed");
    graph.bottomTitle = QStringLiteral("Speed (%1)").arg(unit);
    graph.ySuffix = QStringLiteral(" %");
    graph.guides = {15, 50, 85};

    // The scale spans the bulk of the traffic and the limit.
    const auto [low, high] = bulkOfSpeeds(both);
    fitSpeedScale(graph, std::min(low, double(study.limit)), std::max(high, double(study.limit)));

    for (const Direction direction : {Direction::Approaching, Direction::Receding}) {
        const DirectionFigures& figures = study.directionFigures(direction);
        if (figures.isEmpty() || figures.vehicles == both.vehicles)
            continue;
        const bool approaching = direction == Direction::Approaching;
        graph.series.push_back({directionName(direction), cumulativePoints(figures),
                                approaching ? look.approaching : look.receding, 1.0,
                                approaching ? look.approachingStyle : look.recedingStyle});
    }
    graph.series.insert(graph.series.begin(),
                        charts::LineSeries{directionName(Direction::Both), cumulativePoints(both), look.both,
                                           2.5, Qt::SolidLine});
    if (graph.series.size() == 1)
        graph.series.front().name.clear();

    for (const int percent : {15, 50, 85}) {
        const double speed = both.percentile(percent).ranked;
        graph.markers.push_back(
            {speed, QStringLiteral("%1th percentile %2 %3").arg(percent).arg(formatDecimal(speed), unit),
             look.percentile, Qt::DashLine});
    }
    graph.markers.push_back({double(study.limit),
                             QStringLiteral("Posted limit %1 %2").arg(study.limit).arg(unit), look.limit,
                             Qt::SolidLine, true});
    return graph;
}

charts::HeatMap weeklyHeatMap(const SpeedStudy& study, bool blackAndWhite)
{
    charts::HeatMap map;
    map.greyScale = blackAndWhite;
    map.title =
        QStringLiteral("Vehicles over the limit by hour of the week, survey %1").arg(study.batchNumber);
    map.rowLabels = {QStringLiteral("Mon"), QStringLiteral("Tue"), QStringLiteral("Wed"),
                     QStringLiteral("Thu"), QStringLiteral("Fri"), QStringLiteral("Sat"),
                     QStringLiteral("Sun")};
    for (int hour = 0; hour < 24; ++hour)
        map.columnLabels << text::format00(hour);
    map.scaleSuffix = QStringLiteral(" %");
    map.scaleTitle = QStringLiteral("Over %1 %2").arg(study.limit).arg(unitText(study.unit));
    map.notObservedText = QStringLiteral("not surveyed");
    map.note =
        QStringLiteral("Colour: per cent of the vehicles over the limit. Number: vehicles in the hour, "
                       "all weeks together.");
    map.shortTextsNote = QStringLiteral("k: thousand.");
    map.textsLeftOutNote = QStringLiteral("The numbers show on a wider graph.");
    double highest = 0;
    for (const auto& day : study.weekly) {
        std::vector<charts::HeatCell> row;
        for (const WeekCell& cell : day) {
            charts::HeatCell shown;
            shown.observed = cell.hoursObserved > 0 || cell.vehicles > 0;
            if (cell.vehicles > 0) {
                shown.value = cell.percentOverLimit();
                highest = std::max(highest, *shown.value);
            }
            if (shown.observed) {
                shown.text = text::formatCount(cell.vehicles);
                shown.shortText = shortCount(cell.vehicles);
            }
            row.push_back(shown);
        }
        map.cells.push_back(row);
    }
    // A scale to the next ten above the highest share, so the colours spread
    // over the shares that occur.
    map.scaleMaximum = std::clamp(std::ceil(highest / 10.0) * 10.0, 10.0, 100.0);
    return map;
}

} // namespace pelmor::study
