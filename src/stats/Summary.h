#pragma once

#include <QString>

#include <array>
#include <utility>
#include <vector>

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

// The statistics of one survey, each as the text that is shown and stored.
struct SummaryValues {
    QString batchNumber;
    QString postedLimit;
    QString numberUnder;
    QString numberOver;
    QString averageOver;
    QString minSpeed;
    QString maxSpeed;
    QString averageSpeed;
    QString paceLow;
    QString paceHigh;
    QString paceTotal;
    QString totalVehicles;
    QString pacePercent;
    QString percentile85;
    QString totalApproach;
    QString totalReceding;
    QString totalUnknown;
    QString timeOffset; // the duration in seconds: shown, not stored
    QString totalTime;
    QString startTime;
    QString stopTime;
    QString startDate;
    QString stopDate;
    std::array<QString, 6> overBands; // Over_5, Over_10, Over_15, Over_20, Over_25, Over_26

    // The stored fields of the Summary row with their texts.
    std::vector<std::pair<QString, QString>> storedFields() const;
};

// Computes the statistics of a survey whose vehicle rows are stored, with
// one aggregate query after another, in a fixed order. Throws (a database or
// statistics error) when a value cannot be computed, for example for a
// survey without vehicles; nothing is stored here.
SummaryValues summary(db::Connection& connection, const SummaryInputs& inputs);

// Adds the survey's Summary row, complete, in one transaction.
void storeSummary(db::Connection& connection, const SummaryValues& values);

} // namespace pelmor::stats
