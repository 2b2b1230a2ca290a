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
#include <QLineEdit>

namespace pelmor::app {
namespace {

QString shownText(const ReportsTab& reports, const char* name)
{
    const QLabel* label = reports.valueLabel(QLatin1String(name));
    return label ? label->text() : QString();
}

} // namespace

GraphDrawer::GraphDrawer(AppState& state, ui::Messages& messages, ReportsTab& reports, GraphsTab& graphs,
                         QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_messages(messages)
    , m_reports(reports)
    , m_graphs(graphs)
{
}

bool GraphDrawer::Percent85()
{
    stats::SpeedDistributionInputs inputs;
    inputs.databasePath = m_state.databasePath;
    inputs.batchNumber = m_reports.batchChoice()->text();
    inputs.unit = m_reports.unitLabel()->text();
    inputs.paceLow = shownText(m_reports, "Pace_Low");
    inputs.paceHigh = shownText(m_reports, "Pace_High");
    inputs.percentile85 = shownText(m_reports, "Percent_85");
    inputs.blackAndWhite = m_graphs.isBlackAndWhite();
    return draw([&inputs] { return stats::Percent85(inputs); });
}

bool GraphDrawer::TrafficFlow_Graph()
{
    flow::TrafficVolumeInputs inputs;
    inputs.databasePath = m_state.databasePath;
    inputs.batchNumber = m_reports.batchChoice()->text();
    inputs.postedSpeed = shownText(m_reports, "Posted_Speed");
    inputs.blackAndWhite = m_graphs.isBlackAndWhite();
    return draw([&inputs] { return flow::TrafficFlow_Graph(inputs); });
}

void GraphDrawer::redrawForPrinterMode()
{
    if (m_state.reportChoice == 1)
        Percent85();
    else
        TrafficFlow_Graph();
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
