#include "app/GraphDrawer.h"

#include "app/AppState.h"
#include "session/SurveyWork.h"
#include "ui/BusyCursor.h"
#include "ui/Messages.h"

#include <utility>

namespace pelmor::app {

using reports::ReportChoice;

GraphDrawer::GraphDrawer(AppState& state, ui::Messages& messages, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_messages(messages)
{
}

bool GraphDrawer::drawSpeedDistribution()
{
    return draw(ReportChoice::PercentileReport, true);
}

bool GraphDrawer::drawTrafficVolume()
{
    return draw(ReportChoice::TrafficFlowGraphReport, true);
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
    if (m_shown != ReportChoice::None && !draw(m_shown, false)) {
        m_shown = ReportChoice::None;
        m_state.current.clearGraph();
    }
}

bool GraphDrawer::draw(ReportChoice graph, bool tellWhyNot)
{
    session::GraphOutcome outcome;
    {
        const ui::BusyCursor busy;
        outcome = session::drawGraph(m_state.database, m_state.current.record(), graph,
                                     m_state.current.blackAndWhite());
    }
    // The pointer is back to normal before any message.
    if (!outcome.graph) {
        if (tellWhyNot)
            m_messages.tell(outcome.message);
        return false;
    }
    m_shown = graph;
    m_state.current.setGraph(std::move(*outcome.graph));
    // What the graph lacks is told once, not again at each redrawing.
    const QString& warning = outcome.warning;
    if (!warning.isEmpty() && warning != std::exchange(m_toldWarning, warning))
        m_messages.tell(warning, ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
    if (warning.isEmpty())
        m_toldWarning.clear();
    return true;
}

} // namespace pelmor::app
