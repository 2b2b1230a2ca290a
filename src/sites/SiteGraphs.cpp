#include "sites/SiteGraphs.h"

#include "charts/Palette.h"
#include "sites/SiteExport.h"
#include "study/StudyText.h"

#include <algorithm>
#include <cmath>

namespace pelmor::sites {
namespace {

// A step of the y scale that gives about five lines up to `highest`.
double stepFor(double highest)
{
    const double rough = std::max(highest, 1.0) / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= rough)
            return factor * power;
    }
    return 10.0 * power;
}

void fitScales(charts::LineGraph& graph, size_t surveys, double highest)
{
    graph.xMinimum = 0.5;
    graph.xMaximum = double(std::max<size_t>(surveys, 1)) + 0.5;
    graph.xStep = 1;
    graph.yStep = stepFor(highest * 1.1);
    graph.yMaximum = std::max(graph.yStep, std::ceil(highest * 1.1 / graph.yStep) * graph.yStep);
    graph.bottomTitle = QStringLiteral("Survey, in time order (as numbered in the table)");
}

} // namespace

charts::LineGraph speedHistoryGraph(const SiteHistory& history, bool blackAndWhite)
{
    const QString unit = study::unitText(history.unit);
    charts::LineGraph graph;
    graph.title = QStringLiteral("Speeds at %1").arg(siteTitle(history.site));
    graph.leftTitle = QStringLiteral("Speed (%1)").arg(unit);
    charts::LineSeries p85{QStringLiteral("85th percentile"),
                           {},
                           blackAndWhite ? charts::kInk : charts::paletteColour(0),
                           2.5,
                           Qt::SolidLine};
    charts::LineSeries mean{QStringLiteral("Mean"),
                            {},
                            blackAndWhite ? charts::kInk : charts::paletteColour(1),
                            1.5,
                            blackAndWhite ? Qt::DashLine : Qt::SolidLine};
    charts::LineSeries limit{QStringLiteral("Posted limit"),
                             {},
                             blackAndWhite ? QColor(96, 96, 96) : QColor(200, 0, 0),
                             1.5,
                             Qt::DotLine};
    double highest = 0;
    for (size_t i = 0; i < history.rows.size(); ++i) {
        const HistoryRow& row = history.rows[i];
        const double x = double(i + 1);
        p85.points.push_back({x, row.percentile85});
        mean.points.push_back({x, row.mean});
        limit.points.push_back({x, row.limit});
        highest = std::max({highest, row.percentile85, row.mean, row.limit});
    }
    p85.markPoints = mean.markPoints = true;
    graph.series = {p85, mean, limit};
    fitScales(graph, history.rows.size(), highest);
    return graph;
}

charts::LineGraph volumeHistoryGraph(const SiteHistory& history, bool blackAndWhite)
{
    charts::LineGraph graph;
    graph.title = QStringLiteral("Traffic at %1").arg(siteTitle(history.site));
    graph.leftTitle = QStringLiteral("Vehicles per day");
    charts::LineSeries volume{
        QString(), {}, blackAndWhite ? charts::kInk : charts::paletteColour(2), 2.5, Qt::SolidLine};
    double highest = 0;
    for (size_t i = 0; i < history.rows.size(); ++i) {
        if (!history.rows[i].vehiclesPerDay)
            continue;
        volume.points.push_back({double(i + 1), *history.rows[i].vehiclesPerDay});
        highest = std::max(highest, *history.rows[i].vehiclesPerDay);
    }
    volume.markPoints = true;
    graph.series = {volume};
    fitScales(graph, history.rows.size(), highest);
    return graph;
}

} // namespace pelmor::sites
