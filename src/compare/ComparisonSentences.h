#pragma once

#include "compare/Comparison.h"

#include <QString>

#include <vector>

// The words of a comparison: the verdict of each test, the headline, the
// note on a converted survey and the warnings, written from its figures
// and the outcomes of its tests.
namespace pelmor::compare {

// The change of the mean in words, with Welch's t-test's verdict.
QString meanVerdict(const Comparison& comparison);
// Whether the distribution of speeds changed, with the Kolmogorov-Smirnov
// test's verdict.
QString distributionVerdict(const Comparison& comparison);
// The change of the share over the posted limit, with the two-proportion
// z-test's verdict.
QString overLimitVerdict(const Comparison& comparison);
// "85th percentile down 3.2 mph; the drop of the mean is significant at 95 %."
QString headlineOf(const Comparison& comparison);
// Which survey was converted to the comparison's unit; empty for none.
QString conversionNoteOf(const Comparison& comparison);
// Why the two surveys may not be fairly compared.
std::vector<study::Warning> warningsOf(const Comparison& comparison);

} // namespace pelmor::compare
