#pragma once

#include "reports/DocumentInputs.h"
#include "reports/PageItems.h"

#include <optional>

namespace pelmor::reports {

// The field setup sheet that goes out with the sign: trailer and batch,
// times and dates, the site, the sign's settings, room for notes and a
// sketch, and who set the sign up. Filled in with the setup inputs, or
// with underscore blanks to fill in by hand. Nothing when the document
// cannot be started on the paper it is given.
std::optional<PagedDocument> buildFieldSheet(const DocumentInputs& inputs, bool filledIn);

} // namespace pelmor::reports
