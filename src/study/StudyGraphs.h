#pragma once

#include "charts/HeatMap.h"
#include "charts/LineGraph.h"
#include "study/SpeedStudy.h"

#include <utility>
#include <vector>

// The two graphs of the study, as models for the chart renderers.
namespace pelmor::study {

// The cumulative speed distribution (the S-curve): the per cent of the
// vehicles at or below each speed, for both directions together and, fainter,
// for each direction alone; the ranked 15th, 50th and 85th percentiles of
// both directions and the posted limit marked. For a black-and-white
// printer the lines are black and grey and told apart by their dashes.
charts::LineGraph speedCurve(const SpeedStudy& study, bool blackAndWhite = false);

// The per cent of a direction's vehicles at or below each whole speed,
// from 0 just below the slowest to the fastest; the speeds times `scale`
// (to draw them in another unit).
std::vector<charts::LinePoint> cumulativePoints(const DirectionFigures& figures, double scale = 1.0);

// The speeds a speed scale should span for a direction: the 1st to the
// 99th percentile of 200 vehicles or more, else the slowest to the fastest.
std::pair<double, double> bulkOfSpeeds(const DirectionFigures& figures);

// Sets a graph's speed scale to span low to high with a unit to spare at
// each end, in steps of 5, or of 10 for a span over 60.
void fitSpeedScale(charts::LineGraph& graph, double low, double high);

// The hours of the week, Monday first: each cell coloured by the per cent of
// its vehicles over the limit and showing how many vehicles it holds; in
// shades of grey for a black-and-white printer.
charts::HeatMap weeklyHeatMap(const SpeedStudy& study, bool blackAndWhite = false);

} // namespace pelmor::study
