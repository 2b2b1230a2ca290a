#pragma once

#include "charts/BarGraph.h"
#include "db/Database.h"

#include <QString>
#include <QtGlobal>

#include <vector>

namespace pelmor::db {
class Connection;
}

// What both speed graphs (the speed distribution and the traffic volume by
// speed) are built from: the survey's vehicles counted per speed.
namespace pelmor::stats {

// The number of a survey's vehicles measured at one speed.
struct SpeedCount {
    qint64 speed = 0;
    qint64 count = 0;
};

// The survey's vehicles grouped by speed, in ascending order of speed. Empty
// when the survey has no vehicle rows (or no survey is chosen). Throws
// db::DbError.
std::vector<SpeedCount> speedCounts(db::Connection& connection, const QString& batchNumber);

// The same, on a database of its own opened for this one query. When the
// result is empty, `message` says why, in the words to show the user: the
// database's error, or survey::noSurveyMessage().
std::vector<SpeedCount> readSpeedCounts(const db::Database& database, const QString& batchNumber,
                                        QString& message);

// An empty graph of vehicles per speed with its title (at 140 %), the axis
// titles both speed graphs carry (at 120 %) and horizontal grid lines.
charts::BarGraph speedGraph(const QString& title);

} // namespace pelmor::stats
