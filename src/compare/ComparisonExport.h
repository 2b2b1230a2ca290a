#pragma once

#include "compare/Comparison.h"

#include <QJsonObject>

// The comparison for other programs: one JSON object. Speeds are in the
// comparison's unit (survey A's), differences are B minus A, shares are in
// per cent and their differences in percentage points; a statistic a test
// could not work out is null.
namespace pelmor::compare {

QJsonObject comparisonJson(const Comparison& comparison);

// The figures of one survey's both directions by the speed study's keys,
// in the comparison's unit: speeds converted, and the vehicles over the
// limit plus a margin counted with the margin in the comparison's unit
// (a share of a whole speed's vehicles where a converted bound falls
// inside it).
QJsonObject sideJson(const Comparison& comparison, const ComparedSurvey& side);

} // namespace pelmor::compare
