#pragma once

#include "charts/GraphResult.h"

#include <QString>

namespace pelmor::stats {

// What the speed distribution graph is drawn from: the current survey and
// the texts the statistics tab shows for it, and the printer mode.
struct SpeedDistributionInputs {
    QString databasePath;
    QString batchNumber;
    QString unit;         // "KPH" gives speeds 1 to 150; any other text 1 to 100
    QString paceLow;      // "27.5"
    QString paceHigh;     // "37.5"
    QString percentile85; // "38"
    bool blackAndWhite = false;
};

// The speed distribution of the survey: one bar per speed from 1 to the top
// speed, as high as the number of vehicles measured at that speed (the bar
// of the 85th percentile speed three times as high), coloured by where the
// speed lies against the pace and the 85th percentile. Speeds beyond the
// range are left out. A statistics text that is not a number counts as 0.
//
// Without vehicle rows for the survey, or when the database cannot be read,
// the result carries the message to show instead of a graph.
charts::GraphResult Percent85(const SpeedDistributionInputs& inputs);

} // namespace pelmor::stats
