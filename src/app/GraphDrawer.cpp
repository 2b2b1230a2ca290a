#include "app/GraphDrawer.h"

#include "app/AppState.h"
#include "app/GraphsTab.h"
#include "app/ReportsTab.h"
#include "charts/BarGraphRenderer.h"
#include "flow/TrafficVolumeGraph.h"
#include "stats/SpeedDistributionGraph.h"
#include "ui/BusyCursor.h"
#include "ui/Messages.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>

#include <utility>

namespace pelmor::app {

GraphDrawer::GraphDrawer(AppState& state, ui::Messages& messages, ReportsTab& reports, GraphsTab& graphs,
                         QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_messages(messages)
    , m_reports(reports)
    , m_graphs(graphs)
{
}

bool GraphDrawer::drawSpeedDistribution()
{
    return draw(Shown::SpeedDistribution, true);
}

bool GraphDrawer::drawTrafficVolume()
{
    return draw(Shown::TrafficVolume, true);
}

void GraphDrawer::redrawForPrinterMode()
{
    if (m_state.reportChoice == reports::ReportChoice::PercentileReport)
        drawSpeedDistribution();
    else
        drawTrafficVolume();
}

void GraphDrawer::followSurveyChoice()
{
    if (m_shown != Shown::Nothing && !draw(m_shown, false)) {
        m_shown = Shown::Nothing;
        m_graphs.setGraphImage(QImage());
    }
}

charts::GraphResult GraphDrawer::build(Shown graph) const
{
    const survey::SurveyRecord& survey = m_reports.currentSurvey();
    const bool blackAndWhite = m_graphs.isBlackAndWhite();
    return graph == Shown::SpeedDistribution
               ? stats::speedDistributionGraph(m_state.database, survey, blackAndWhite)
               : flow::trafficVolumeGraph(m_state.database, survey, blackAndWhite);
}

bool GraphDrawer::draw(Shown graph, bool tellWhyNot)
{
    QString message;
    QString warning;
    QImage image;
    {
        const ui::BusyCursor busy;
        const charts::GraphResult result = build(graph);
        if (result.drawn())
            image = charts::BarGraphRenderer(*result.graph).render();
        else
            message = result.message;
        warning = result.warning;
    }
    // The pointer is back to normal before any message.
    if (image.isNull()) {
        if (tellWhyNot)
            m_messages.tell(message);
        return false;
    }
    m_shown = graph;
    QGuiApplication::clipboard()->setImage(image);
    m_graphs.setGraphImage(image);
    m_graphs.graphArea()->show();
    // What the graph lacks is told once, not again at each redrawing.
    if (!warning.isEmpty() && warning != std::exchange(m_toldWarning, warning))
        m_messages.tell(warning, ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
    if (warning.isEmpty())
        m_toldWarning.clear();
    return true;
}

} // namespace pelmor::app
