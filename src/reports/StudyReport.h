#pragma once

#include "reports/DocumentInputs.h"
#include "reports/PageItems.h"

#include <optional>

namespace pelmor::reports {

// The speed study report, three pages to attach to a speed-limit memo,
// each under the agency's name and the title:
//   1. the survey (batch, site, period, posted limit, vehicles), the
//      data-quality warnings in a shaded box, and the measured figures by
//      direction with the 85th percentile row picked out;
//   2. the cumulative speed distribution and the speed bins;
//   3. the hourly profile and the weekly heat map.
// The graphs are drawn into the page as lines and text, in colour or for
// a black-and-white printer. Built from the study in the inputs; without
// one, the first page says so. Nothing when the document cannot be
// started on the paper it is given.
std::optional<PagedDocument> buildStudyReport(const DocumentInputs& inputs);

} // namespace pelmor::reports
