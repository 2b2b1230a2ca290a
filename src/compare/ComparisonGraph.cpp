#include "compare/ComparisonGraph.h"

#include "compare/ComparisonTables.h"
#include "study/StudyGraphs.h"
#include "study/StudyText.h"

#include <algorithm>
#include <cmath>

namespace pelmor::compare {
namespace {

// The two surveys' lines and the posted limit, in colour or for a
// black-and-white printer.
struct CurveColours {
    QColor a;
    QColor b;
    QColor limit;
};

const CurveColours& curveColours(bool blackAndWhite)
{
    static const CurveColours colour{QColor(31, 78, 140), QColor(204, 85, 0), QColor(200, 0, 0)};
    static const CurveColours grey{QColor(0, 0, 0), QColor(100, 100, 100), QColor(0, 0, 0)};
    return blackAndWhite ? grey : colour;
}

} // namespace

charts::LineGraph comparisonCurve(const Comparison& comparison, bool blackAndWhite)
{
    const CurveColours& colours = curveColours(blackAndWhite);
    const QString unit = study::unitText(comparison.unit);
    charts::LineGraph graph;
    graph.title = comparison.inOrder()
                      ? QStringLiteral("Vehicles at or below each speed, before and after")
                      : QStringLiteral("Vehicles at or below each speed, surveys %1 and %2")
                            .arg(comparison.a.study.batchNumber, comparison.b.study.batchNumber);
    graph.leftTitle = QStringLiteral("Vehicles at or below the speed");
    graph.bottomTitle = QStringLiteral("Speed (%1)").arg(unit);
    graph.ySuffix = QStringLiteral(" %");
    graph.guides = {50, 85};

    double low = std::min(comparison.a.figures.limit, comparison.b.figures.limit);
    double high = std::max(comparison.a.figures.limit, comparison.b.figures.limit);
    struct Line {
        const ComparedSurvey& side;
        bool isA;
        QColor colour;
        double width;
        Qt::PenStyle style;
    };
    for (const Line& line : {Line{comparison.a, true, colours.a, 2.5, Qt::SolidLine},
                             Line{comparison.b, false, colours.b, 2.5, Qt::DashLine}}) {
        const study::DirectionFigures& both = line.side.study.directionFigures(study::Direction::Both);
        const double scale = line.side.toComparisonUnit;
        if (!both.isEmpty()) {
            const auto [bulkLow, bulkHigh] = study::bulkOfSpeeds(both);
            low = std::min(low, bulkLow * scale);
            high = std::max(high, bulkHigh * scale);
        }
        const QString name = comparison.inOrder() ? sideName(comparison, line.isA)
                                                  : QStringLiteral("Survey ") + line.side.study.batchNumber;
        graph.series.push_back(
            {comparison.inOrder() ? QStringLiteral("%1 (%2)").arg(name, line.side.study.batchNumber) : name,
             study::cumulativePoints(both, scale), line.colour, line.width, line.style});
        if (!both.isEmpty())
            graph.markers.push_back(
                {line.side.figures.percentile85,
                 QStringLiteral("85th percentile %1 %2 %3")
                     .arg(comparison.inOrder() ? name.toLower() : line.side.study.batchNumber,
                          study::formatDecimal(line.side.figures.percentile85), unit),
                 line.colour, line.style == Qt::SolidLine ? Qt::DashDotLine : Qt::DashLine});
    }
    study::fitSpeedScale(graph, low, high);

    const double limitA = comparison.a.figures.limit;
    const double limitB = comparison.b.figures.limit;
    if (std::lround(limitA) == std::lround(limitB)) {
        // Survey A's limit is a whole speed of the comparison's unit.
        graph.markers.push_back({limitA,
                                 QStringLiteral("Posted limit %1 %2").arg(comparison.a.study.limit).arg(unit),
                                 colours.limit, Qt::SolidLine, true});
    } else {
        for (const bool isA : {true, false}) {
            const double limit = isA ? limitA : limitB;
            graph.markers.push_back(
                {limit,
                 QStringLiteral("Posted limit %1 %2")
                     .arg(comparison.inOrder() ? sideName(comparison, isA).toLower()
                                               : (isA ? comparison.a : comparison.b).study.batchNumber,
                          limitText(isA ? comparison.a : comparison.b, comparison.unit)),
                 colours.limit, isA ? Qt::SolidLine : Qt::DotLine, true});
        }
    }
    return graph;
}

} // namespace pelmor::compare
