#pragma once

#include "survey/SurveyRecord.h"

#include <QString>

namespace pelmor::store {
class SpeedTally;
}

namespace pelmor::stats {

// What the statistics of a new survey are computed from: the texts of the
// import header.
struct SummaryInputs {
    QString batchNumber;
    QString postedLimit; // as typed, e.g. "035"
    QString unit;        // "MPH" or "KPH"
    QString startTime;   // "hh:mm"
    QString startDate;   // "05/03/2002"
};

// Computes the statistics of a survey from the figures of its vehicles,
// asked one after another in a fixed order. Throws (a database or
// statistics error) when a value cannot be computed, for example for a
// survey without vehicles; nothing is stored here.
survey::SummaryRow computeSummary(store::SpeedTally& figures, const SummaryInputs& inputs);

} // namespace pelmor::stats
