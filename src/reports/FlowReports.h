#pragma once

#include "db/Database.h"
#include "flow/FlowBreakdown.h"
#include "reports/DocumentInputs.h"
#include "reports/PageItems.h"

#include <vector>

// The flow reports: the rows of the last breakdown as a table under the
// survey's particulars, continued over as many pages as it takes.
namespace pelmor::reports {

// The quarter-hour report (hour totals) or the hourly report (day totals),
// by `bins`; it prints the breakdown rows of the inputs whichever walk
// wrote them.
PagedDocument buildFlowReport(const DocumentInputs& inputs, flow::BinLength bins);

} // namespace pelmor::reports
