#include "session/SurveyWork.h"

#include "worker/BackgroundTask.h"

#include "charts/BarGraphRenderer.h"
#include "db/DbError.h"
#include "flow/TrafficVolumeGraph.h"
#include "reports/FlowReports.h"
#include "stats/SpeedDistributionGraph.h"

namespace pelmor::session {

GraphOutcome drawGraph(const db::Database& database, const survey::SurveyRecord& survey,
                       reports::ReportChoice document, bool blackAndWhite, worker::BackgroundTask* task)
{
    if (task)
        task->setProgress(0, 2);
    const charts::GraphResult result = document == reports::ReportChoice::PercentileReport
                                           ? stats::speedDistributionGraph(database, survey, blackAndWhite)
                                           : flow::trafficVolumeGraph(database, survey, blackAndWhite);
    GraphOutcome outcome;
    outcome.warning = result.warning;
    if (!result.drawn()) {
        outcome.message = result.message;
        return outcome;
    }
    if (task) {
        if (task->isCancelled())
            return outcome;
        task->setProgress(1, 2);
    }
    outcome.graph = DrawnGraph{survey.header.batchNumber, document, blackAndWhite,
                               charts::BarGraphRenderer(*result.graph).render()};
    if (task)
        task->setProgress(2, 2);
    return outcome;
}

BreakdownOutcome breakDownSurvey(const db::Database& database, const survey::SurveyRecord& survey,
                                 flow::BinLength bins)
{
    BreakdownOutcome outcome;
    const flow::BreakdownInputs inputs = flow::BreakdownInputs::of(survey);
    outcome.failure = flow::checkInputs(inputs);
    if (!outcome.failure.isEmpty())
        return outcome;
    outcome.databaseFailure = true;
    flow::BreakdownResult result = flow::runBreakdown(database, inputs, bins);
    outcome.failure = result.failure;
    if (!outcome.failure.isEmpty())
        return outcome;
    outcome.breakdown = SurveyBreakdown{inputs.batchNumber, bins, std::move(result.rows)};
    outcome.databaseFailure = false;
    return outcome;
}

} // namespace pelmor::session
