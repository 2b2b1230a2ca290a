#pragma once

#include "db/Database.h"
#include "flow/FlowBreakdown.h"
#include "session/CurrentSurvey.h"
#include "survey/SurveyRecord.h"

#include <QString>

#include <optional>

// The pieces of work done for one survey before something shows or prints
// it: the same code for the window and the headless tool. Each takes its
// inputs as values and touches nothing but the database it is given, so it
// can run on a worker thread with a connection of its own.
namespace pelmor::worker {
class BackgroundTask;
}

namespace pelmor::session {

struct GraphOutcome {
    // The graph, when there is one; otherwise `message` says why.
    std::optional<DrawnGraph> graph;
    QString message;
    // What a drawn graph lacks (a statistic that cannot be read).
    QString warning;
};

// Draws the graph of a graph document (PercentileReport: the speed
// distribution; TrafficFlowGraphReport: the vehicles per speed). On a
// worker, `task` is told how far it is (read, then drawn), and a cancel
// between the two leaves no graph.
GraphOutcome drawGraph(const db::Database& database, const survey::SurveyRecord& survey,
                       reports::ReportChoice document, bool blackAndWhite,
                       worker::BackgroundTask* task = nullptr);

struct BreakdownOutcome {
    std::optional<SurveyBreakdown> breakdown;
    // Why there is no breakdown: the inputs are refused or the walk failed.
    QString failure;
    // Whether the failure came from the database rather than the inputs.
    bool databaseFailure = false;
};

// Walks the survey's breakdown into the Breakdown table and reads its rows
// back: the rows the flow grid shows and the flow documents print.
BreakdownOutcome breakDownSurvey(const db::Database& database, const survey::SurveyRecord& survey,
                                 flow::BinLength bins);

} // namespace pelmor::session
