#pragma once

#include "reports/DocumentInputs.h"
#include "reports/PageItems.h"

#include <optional>

// The one-page reports of a survey's statistics. Each prints the survey's
// stored texts exactly as they are, under the agency's name, and returns
// nothing when the document cannot be started on the paper it is given.
namespace pelmor::reports {

// The survey's settings and results with the over-limit bands and a line
// for the issuing officer's signature.
std::optional<PagedDocument> buildSurveySummaryReport(const DocumentInputs& inputs);

// The statistics with the speed distribution graph and a legend for its
// 85th percentile marker and pace band (grey for a black-and-white
// printer, green in colour).
std::optional<PagedDocument> buildPercentileReport(const DocumentInputs& inputs);

// The statistics with the traffic volume graph.
std::optional<PagedDocument> buildTrafficFlowGraphReport(const DocumentInputs& inputs);

} // namespace pelmor::reports
