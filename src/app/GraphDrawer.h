#pragma once

#include <QObject>

#include <functional>

namespace pelmor::charts {
struct GraphResult;
}
namespace pelmor::ui {
class Messages;
}

namespace pelmor::app {

struct AppState;
class GraphsTab;
class ReportsTab;

// Draws the two speed graphs of the graphs tab for the survey that the
// reports tab shows, with the statistics shown there and in the printer mode
// chosen on the graphs tab. A drawn graph goes into the graph area and onto
// the clipboard, from where the graph reports take it; when there is nothing
// to draw the user gets the reason and the last graph stays as it was.
class GraphDrawer : public QObject {
    Q_OBJECT
public:
    GraphDrawer(AppState& state, ui::Messages& messages, ReportsTab& reports, GraphsTab& graphs,
                QObject* parent = nullptr);

    // The speed distribution with pace and 85th percentile, and the vehicles
    // per speed against the posted limit. Each returns whether it drew.
    bool drawSpeedDistribution();
    bool drawTrafficVolume();

    // What a click on a printer mode does: the speed distribution again
    // when its report is chosen, the traffic volume graph otherwise.
    void redrawForPrinterMode();

private:
    // Builds the graph under the busy pointer, then shows it or the reason
    // why there is none.
    bool draw(const std::function<charts::GraphResult()>& build);

    AppState& m_state;
    ui::Messages& m_messages;
    ReportsTab& m_reports;
    GraphsTab& m_graphs;
};

} // namespace pelmor::app
