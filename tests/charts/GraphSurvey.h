#pragma once

#include <QString>

#include <utility>
#include <vector>

namespace pelmor::test {

// A stored survey for the graph tests: its Header and Summary texts as the
// statistics tab shows them, and one speed per vehicle.
struct GraphSurvey {
    QString batchNumber = QStringLiteral("050302-A");
    QString unit = QStringLiteral("MPH");
    QString postedSpeed = QStringLiteral("035");
    QString paceLow = QStringLiteral("27.5");
    QString paceHigh = QStringLiteral("37.5");
    QString percentile85 = QStringLiteral("38");
    std::vector<int> speeds;
    // The vehicles are spread evenly over this many seconds from 08:00 on
    // the survey's start date.
    qint64 durationSeconds = 3600;
};

// Speeds with repeats: {{37, 12}, {38, 5}} gives twelve vehicles at 37 and
// five at 38.
std::vector<int> speedsWithCounts(const std::vector<std::pair<int, int>>& counts);

// Writes the survey's Header, Summary and vehicle rows into the database at
// `path` in one transaction, through record sets as the import does.
void storeGraphSurvey(const QString& path, const GraphSurvey& survey);

} // namespace pelmor::test
