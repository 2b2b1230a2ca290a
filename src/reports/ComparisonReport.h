#pragma once

#include "reports/DocumentInputs.h"
#include "reports/PageItems.h"

#include <optional>

namespace pelmor::reports {

// The comparison of two surveys on two pages, under the agency's name and
// the title, for a council or a traffic committee:
//   1. which two surveys (place, direction, period, posted limit, unit and
//      any conversion), the change in one line with what its terms mean,
//      the warnings where the two may not compare fairly (or that they
//      do), the figures side by side with their changes, and the three
//      tests of significance with their p-values and verdicts in words;
//   2. the two cumulative speed distributions over each other, drawn as
//      lines and text, with how to read them. The tests go over to page 2
//      when page 1 has no room left for them.
// Built from the comparison in the inputs; without one, the first page
// says so. Nothing when the document cannot be started on the paper.
std::optional<PagedDocument> buildComparisonReport(const DocumentInputs& inputs);

} // namespace pelmor::reports
