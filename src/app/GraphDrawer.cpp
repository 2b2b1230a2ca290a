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
    return draw([this] {
        return stats::speedDistributionGraph(m_state.database, m_reports.currentSurvey(),
                                             m_graphs.isBlackAndWhite());
    });
}

bool GraphDrawer::drawTrafficVolume()
{
    return draw([this] {
        return flow::trafficVolumeGraph(m_state.database, m_reports.currentSurvey(),
                                        m_graphs.isBlackAndWhite());
    });
}

void GraphDrawer::redrawForPrinterMode()
{
    if (m_state.reportChoice == reports::ReportChoice::PercentileReport)
        drawSpeedDistribution();
    else
        drawTrafficVolume();
}

bool GraphDrawer::draw(const std::function<charts::GraphResult()>& build)
{
    QString message;
    QImage image;
    {
        const ui::BusyCursor busy;
        const charts::GraphResult result = build();
        if (result.drawn())
            image = charts::BarGraphRenderer(*result.graph).render();
        else
            message = result.message;
    }
    // The pointer is back to normal before any message.
    if (image.isNull()) {
        m_messages.tell(message);
        return false;
    }
    QGuiApplication::clipboard()->setImage(image);
    m_graphs.setGraphImage(image);
    m_graphs.graphArea()->show();
    return true;
}

} // namespace pelmor::app
