#pragma once

#include "charts/GraphResult.h"
#include "db/Database.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"

#include <vector>

namespace pelmor::stats {

// The speed distribution of the survey: one bar per speed from 1 to the top
// speed (150 for a survey in "KPH", 100 for any other unit text, or the 85th
// percentile speed when that lies beyond, up to twice as far), as high as
// the number of vehicles measured at that speed (the bar of the 85th
// percentile speed three times as high), coloured by where the speed lies
// against the survey's stored pace and 85th percentile, for a black-and-white
// or a colour printer (in greys only for black and white); the bars under
// the upper right corner, where the printed report lays its legend, stay
// below it. Speeds beyond the range are left out. When a statistics text is
// not a number every bar is drawn in the plain colour, none three times as
// high, and the result's warning names the text.
//
// Without vehicle rows for the survey, or when the database cannot be read,
// the result carries the message to show instead of a graph.
charts::GraphResult speedDistributionGraph(const db::Database& database, const survey::SurveyRecord& survey,
                                           bool blackAndWhite);
// The same from the survey's vehicles counted per speed, read before
// (readSpeedCounts); `message` says why when there are none.
charts::GraphResult speedDistributionGraph(const std::vector<store::SpeedCount>& rows, const QString& message,
                                           const survey::SurveyRecord& survey, bool blackAndWhite);

} // namespace pelmor::stats
