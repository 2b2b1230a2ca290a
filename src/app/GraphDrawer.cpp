#include "app/GraphDrawer.h"

#include "app/AppState.h"
#include "session/SurveyWork.h"
#include "ui/Messages.h"
#include "worker/Run.h"

#include <memory>
#include <utility>

namespace pelmor::app {

using reports::ReportChoice;

GraphDrawer::GraphDrawer(AppState& state, ui::Messages& messages, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_messages(messages)
    , m_task(new worker::BackgroundTask(this))
{
}

void GraphDrawer::drawSpeedDistribution()
{
    draw(ReportChoice::PercentileReport, true);
}

void GraphDrawer::drawTrafficVolume()
{
    draw(ReportChoice::TrafficFlowGraphReport, true);
}

void GraphDrawer::redrawForPrinterMode()
{
    if (m_state.current.reportChoice() == ReportChoice::PercentileReport)
        drawSpeedDistribution();
    else
        drawTrafficVolume();
}

void GraphDrawer::followSurveyChoice()
{
    if (m_shown != ReportChoice::None)
        draw(m_shown, false);
}

void GraphDrawer::draw(ReportChoice graph, bool tellWhyNot)
{
    if (m_task->isRunning()) {
        // The one running is for a survey, printer mode or graph no longer
        // wanted: it stops, and this one follows.
        m_next.emplace(Request{graph, tellWhyNot});
        m_task->cancel();
        return;
    }
    start(Request{graph, tellWhyNot});
}

void GraphDrawer::start(const Request& request)
{
    const QString batch = m_state.current.batchNumber();
    const bool blackAndWhite = m_state.current.blackAndWhite();
    const QString what = request.graph == ReportChoice::PercentileReport
                             ? QStringLiteral("Drawing the speed distribution of survey %1").arg(batch)
                             : QStringLiteral("Drawing the traffic volume of survey %1").arg(batch);
    // A drawing reads and changes nothing stored: it can stop at any time.
    worker::run(
        *m_task, this,
        [database = m_state.database, record = m_state.current.record(), graph = request.graph,
         blackAndWhite](worker::BackgroundTask& task) {
            return session::drawGraph(database, record, graph, blackAndWhite, &task);
        },
        [this, request, batch, blackAndWhite](worker::Done<session::GraphOutcome> done) {
            session::GraphOutcome& outcome = done.value;
            if (m_next) {
                const Request next = *m_next;
                m_next.reset();
                start(next);
                return;
            }
            // A graph for a survey or printer mode no longer chosen is not shown.
            const bool current =
                batch == m_state.current.batchNumber() && blackAndWhite == m_state.current.blackAndWhite();
            if (m_task->isCancelled() || !current) {
                Q_EMIT drawingEnded();
                return;
            }
            if (!outcome.graph) {
                if (request.tellWhyNot) {
                    m_messages.tell(outcome.message);
                } else {
                    // Nothing to draw for the survey now chosen: no graph.
                    m_shown = ReportChoice::None;
                    m_state.current.clearGraph();
                }
                Q_EMIT drawingEnded();
                return;
            }
            m_shown = request.graph;
            m_state.current.setGraph(std::move(*outcome.graph));
            // What the graph lacks is told once, not again at each redrawing.
            const QString& warning = outcome.warning;
            if (!warning.isEmpty() && warning != std::exchange(m_toldWarning, warning))
                m_messages.tell(warning, ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
            if (warning.isEmpty())
                m_toldWarning.clear();
            Q_EMIT drawingEnded();
        },
        what, true);
}

} // namespace pelmor::app
