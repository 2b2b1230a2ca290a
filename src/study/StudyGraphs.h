#pragma once

#include "charts/HeatMap.h"
#include "charts/LineGraph.h"
#include "study/SpeedStudy.h"

// The two graphs of the study, as models for the chart renderers.
namespace pelmor::study {

// The cumulative speed distribution (the S-curve): the per cent of the
// vehicles at or below each speed, for both directions together and, fainter,
// for each direction alone; the ranked 15th, 50th and 85th percentiles of
// both directions and the posted limit marked. For a black-and-white
// printer the lines are black and grey and told apart by their dashes.
charts::LineGraph speedCurve(const SpeedStudy& study, bool blackAndWhite = false);

// The hours of the week, Monday first: each cell coloured by the per cent of
// its vehicles over the limit and showing how many vehicles it holds; in
// shades of grey for a black-and-white printer.
charts::HeatMap weeklyHeatMap(const SpeedStudy& study, bool blackAndWhite = false);

} // namespace pelmor::study
