#include "stats/SpeedDistributionGraph.h"

#include "stats/Pace.h"
#include "stats/SpeedGraphSource.h"

#include <cmath>
#include <optional>
#include <vector>

namespace pelmor::stats {
namespace {

// Palette indices of the bars: 0 black, 7 light grey, 10 light green,
// 11 light cyan, 12 light red.
struct Colours {
    int outsidePace; // below the pace, or above it
    int inPace;      // in the pace, but not the 85th percentile speed
    int percentile;  // the 85th percentile speed
    int noVehicles;  // a speed at which no vehicle was measured
};

// On a black-and-white printer every bar is a grey: black outside the pace,
// light grey in it, dark grey at the 85th percentile.
Colours coloursFor(bool blackAndWhite)
{
    if (blackAndWhite)
        return {0, 7, 8, 7};
    return {11, 10, 12, 11};
}

} // namespace

charts::GraphResult speedDistributionGraph(const db::Database& database, const survey::SurveyRecord& survey,
                                           bool blackAndWhite)
{
    QString message;
    const std::vector<SpeedCount> rows = readSpeedCounts(database, survey.batchNumber, message);
    return speedDistributionGraph(rows, message, survey, blackAndWhite);
}

charts::GraphResult speedDistributionGraph(const std::vector<SpeedCount>& rows, const QString& message,
                                           const survey::SurveyRecord& survey, bool blackAndWhite)
{
    if (rows.empty())
        return {std::nullopt, message, QString()};

    // The bands of the colours come from the stored statistics. One that
    // is not a number leaves every bar in the plain colour, and the user is
    // told which, rather than shown colours that mean nothing.
    QStringList unreadable;
    const auto statistic = [&unreadable](const QString& text, const char* what) {
        try {
            return numberFromText(text, what);
        } catch (const StatisticsError& error) {
            unreadable << QString::fromStdString(error.what());
            return 0.0;
        }
    };
    const double paceLow = statistic(survey.summary.paceLow, "pace low speed");
    const double paceHigh = statistic(survey.summary.paceHigh, "pace high speed");
    const double percentile = statistic(survey.summary.percentile85, "85th percentile");
    const bool banded = unreadable.isEmpty();
    // The graph runs on past its usual end to the 85th percentile speed when
    // that lies beyond it, so its marker is always drawn.
    const int usualTop = survey.isKph() ? 150 : 100;
    const int topSpeed = percentile > usualTop && percentile <= 2 * usualTop
                             ? static_cast<int>(std::ceil(percentile))
                             : usualTop;

    std::vector<std::optional<qint64>> counts(static_cast<size_t>(topSpeed) + 1);
    for (const SpeedCount& row : rows) {
        if (row.speed >= 1 && row.speed <= topSpeed)
            counts[static_cast<size_t>(row.speed)] = row.count;
    }

    const Colours colours = coloursFor(blackAndWhite);
    charts::BarGraph graph =
        speedGraph(QStringLiteral("85th Percentile & Pace for Batch #") + survey.batchNumber);
    graph.style = charts::BarStyle::Flat;
    graph.labelEvery = 10;
    // The 85th percentile report lays its legend over the upper right
    // corner of the picture (from 81 % to the right edge across, from 22 %
    // to 38 % down): the bars there stay under it.
    graph.keepClear = QRectF(0.8, 0, 0.2, 0.4);
    graph.points.reserve(static_cast<size_t>(topSpeed));
    for (int speed = 1; speed <= topSpeed; ++speed) {
        charts::BarPoint point;
        point.label = QString::number(speed);
        const std::optional<qint64>& count = counts[static_cast<size_t>(speed)];
        if (!count) {
            point.paletteIndex = colours.noVehicles;
        } else if (!banded) {
            point.value = static_cast<double>(*count);
            point.paletteIndex = colours.outsidePace;
        } else {
            // The first band that holds the speed, in this order.
            point.value = static_cast<double>(*count) * (speed == percentile ? 3 : 1);
            if (speed < paceLow)
                point.paletteIndex = colours.outsidePace;
            else if (speed < percentile)
                point.paletteIndex = colours.inPace;
            else if (speed == percentile)
                point.paletteIndex = colours.percentile;
            else if (speed <= paceHigh)
                point.paletteIndex = colours.inPace;
            else
                point.paletteIndex = colours.outsidePace;
        }
        graph.points.push_back(point);
    }
    QString warning;
    if (!banded)
        warning = QStringLiteral("The statistics of survey %1 cannot be read: %2\nThe graph is drawn without "
                                 "the pace and 85th percentile colours. Import the survey again to have its "
                                 "statistics worked out anew.")
                      .arg(survey.batchNumber, unreadable.join(QLatin1Char(' ')));
    return {graph, QString(), warning};
}

} // namespace pelmor::stats
