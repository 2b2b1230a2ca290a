#pragma once

#include "charts/LineGraph.h"
#include "sites/SiteTrends.h"

// The two graphs of a site's history, as models for the line graph
// renderer: the surveys in time order along the bottom, numbered as the
// history table lists them.
namespace pelmor::sites {

// The 85th percentile and the mean of each survey, with the posted limit
// as a line of its own; for a black-and-white printer the lines are told
// apart by their dashes.
charts::LineGraph speedHistoryGraph(const SiteHistory& history, bool blackAndWhite = false);

// The vehicles per day of each survey that has a length to count days in.
charts::LineGraph volumeHistoryGraph(const SiteHistory& history, bool blackAndWhite = false);

} // namespace pelmor::sites
