#pragma once

#include "charts/LineGraph.h"
#include "compare/Comparison.h"

// The graph of a comparison, as a model for the line graph renderer.
namespace pelmor::compare {

// The two cumulative speed distributions (S-curves) over one speed scale
// in the comparison's unit: survey A in a solid dark blue line, survey B in
// a dashed orange one, so the two also part on a black-and-white page; the
// 85th percentile of each marked in its line's colour and style, and the
// posted limit (both limits when they differ). For a black-and-white
// printer survey A is black and survey B dark grey, still told apart by
// their dashes.
charts::LineGraph comparisonCurve(const Comparison& comparison, bool blackAndWhite = false);

} // namespace pelmor::compare
