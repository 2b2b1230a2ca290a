#include "app/FlowBreakdowns.h"

#include "app/AppState.h"
#include "app/GraphsTab.h"
#include "app/ImportTab.h"
#include "session/SurveyWork.h"
#include "ui/Messages.h"
#include "worker/Run.h"

#include <QFrame>

#include <utility>

namespace pelmor::app {

FlowBreakdowns::FlowBreakdowns(AppState& state, ui::Messages& messages, worker::BackgroundTask& task,
                               GraphsTab& graphs, ImportTab& import, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_messages(messages)
    , m_task(task)
    , m_graphs(graphs)
    , m_import(import)
{
    connect(&m_state.current, &session::CurrentSurvey::breakdownChanged, this,
            &FlowBreakdowns::showBreakdown);
}

void FlowBreakdowns::breakDown(flow::BinLength bins)
{
    session::CurrentSurvey& current = m_state.current;
    const QString refusal = flow::checkInputs(flow::BreakdownInputs::of(current.record()));
    if (!refusal.isEmpty()) {
        m_messages.tell(refusal);
        return;
    }
    if (m_task.isRunning())
        return;
    m_import.setResetEnabled(false);
    current.setReportChoice(bins == flow::BinLength::QuarterHour
                                ? reports::ReportChoice::QuarterHourFlowReport
                                : reports::ReportChoice::HourlyFlowReport);
    const QString batch = current.batchNumber();
    // The walk runs on the worker with a connection of its own and writes
    // only the scratch table of the breakdown: stopping it keeps the grid
    // as it was.
    worker::run(
        m_task, this,
        [database = m_state.database, record = current.record(), bins](worker::BackgroundTask&) {
            return session::breakDownSurvey(database, record, bins);
        },
        [this, bins, batch](worker::Done<session::BreakdownOutcome> done) {
            session::BreakdownOutcome& outcome = done.value;
            if (m_task.isCancelled()) {
                m_import.setResetEnabled(true);
                return;
            }
            // Kept only while the survey it was made for is still the one on show.
            if (outcome.breakdown && m_state.current.batchNumber() == batch)
                m_state.current.setBreakdown(std::move(*outcome.breakdown));
            const QString failure = m_graphs.showFlowGrid(bins, outcome.failure);
            m_import.setResetEnabled(true);
            if (!failure.isEmpty())
                m_messages.tell(failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
        },
        QStringLiteral("Breaking survey %1 down into %2")
            .arg(batch, bins == flow::BinLength::QuarterHour ? QStringLiteral("quarter hours")
                                                             : QStringLiteral("hours")),
        true);
}

// The grid shows the breakdown of the survey on show, or none; a grid on
// show marks its button.
void FlowBreakdowns::showBreakdown()
{
    const std::optional<session::SurveyBreakdown>& breakdown = m_state.current.breakdown();
    m_graphs.showBreakdownRows(breakdown ? breakdown->rows : std::vector<flow::BreakdownRow>{});
    if (!breakdown)
        return;
    if (m_graphs.gridFrame()->isVisibleTo(&m_graphs))
        m_graphs.markGraphType(breakdown->bins == flow::BinLength::QuarterHour ? 4 : 5);
}

} // namespace pelmor::app
