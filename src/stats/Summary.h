#pragma once

#include "survey/SurveyRecord.h"

#include <QString>

namespace pelmor::db {
class Connection;
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

// Computes the statistics of a survey whose vehicle rows are stored, with
// one aggregate query after another, in a fixed order. Throws (a database or
// statistics error) when a value cannot be computed, for example for a
// survey without vehicles; nothing is stored here.
survey::SummaryRow computeSummary(db::Connection& connection, const SummaryInputs& inputs);

// Adds the survey's Summary row, complete; inside the caller's transaction,
// so the row lands together with the rows it was computed from.
void storeSummary(db::Connection& connection, const survey::SummaryRow& values);

} // namespace pelmor::stats
