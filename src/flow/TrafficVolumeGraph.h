#pragma once

#include "charts/GraphResult.h"
#include "db/Database.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"

#include <QString>

#include <vector>

namespace pelmor::flow {

// The number at the start of a text, as far as it reads as one ("035" gives
// 35, "35 MPH" 35, "12.5x" 12.5); a text that does not begin with a number
// gives 0.
double leadingNumber(QStringView text);

// Vehicles per measured speed: one bar for each speed that was measured, in
// ascending order, labelled with the speed on every third bar and coloured
// against the survey's posted speed (the number its stored limit text
// begins with). Flat bars in greys for a black-and-white printer (light
// under the limit, dark over it, black at it), 3-D bars in colour.
//
// Without vehicle rows for the survey, or when the database cannot be read,
// the result carries the message to show instead of a graph. A limit text
// that does not begin with a number counts as 0, and the warning says so.
charts::GraphResult trafficVolumeGraph(const db::Database& database, const survey::SurveyRecord& survey,
                                       bool blackAndWhite);
// The same from the survey's vehicles counted per speed, read before
// (stats::readSpeedCounts); `message` says why when there are none.
charts::GraphResult trafficVolumeGraph(const std::vector<store::SpeedCount>& rows, const QString& message,
                                       const survey::SurveyRecord& survey, bool blackAndWhite);

} // namespace pelmor::flow
