#pragma once

#include "charts/BarGraph.h"
#include "db/Database.h"
#include "store/SurveyStore.h"

#include <QString>
#include <QtGlobal>

#include <vector>

// What both speed graphs (the speed distribution and the traffic volume by
// speed) are built from: the survey's vehicles counted per speed.
namespace pelmor::stats {

using SpeedCount = store::SpeedCount;

// The survey's vehicles grouped by speed, in ascending order of speed, read
// from a store opened for this one query. Empty when the survey has no
// vehicle rows (or no survey is chosen); then `message` says why, in the
// words to show the user: the database's error, or survey::noSurveyMessage().
std::vector<SpeedCount> readSpeedCounts(const db::Database& database, const QString& batchNumber,
                                        QString& message);

// An empty graph of vehicles per speed with its title (at 140 %), the axis
// titles both speed graphs carry (at 120 %) and horizontal grid lines.
charts::BarGraph speedGraph(const QString& title);

} // namespace pelmor::stats
