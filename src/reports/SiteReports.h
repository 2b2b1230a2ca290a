#pragma once

#include "reports/DocumentInputs.h"
#include "reports/PageItems.h"

#include <optional>

namespace pelmor::reports {

// A site's history on one or two pages, under the agency's name and the
// title: the site, its surveys in time order with their figures in the
// site's unit and the change from each survey to the next with whether it
// is significant, then the 85th percentile and the traffic over the years
// drawn as lines with the posted limit. Built from the history in the
// inputs; without one, the page says so.
std::optional<PagedDocument> buildSiteHistoryReport(const DocumentInputs& inputs);

// The sites ranked by their speeders per day, for deciding where the next
// enforcement goes: which surveys the ranking reads and how, then the
// ranking, continued on as many pages as it takes.
std::optional<PagedDocument> buildPrioritiesReport(const DocumentInputs& inputs);

} // namespace pelmor::reports
