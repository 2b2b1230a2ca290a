#pragma once

#include <QObject>

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
// to draw the user gets the reason and the last graph stays as it was. A
// graph drawn with less than it should show (a statistic that cannot be
// read) is shown, and the user told once what it lacks.
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

    // Another survey was chosen: the graph on show is drawn again for it, so
    // the graph area and the clipboard never show one survey's graph beside
    // another survey's figures. When the new survey has nothing to draw, the
    // graph area is emptied without a message.
    void followSurveyChoice();

private:
    enum class Shown { Nothing, SpeedDistribution, TrafficVolume };

    charts::GraphResult build(Shown graph) const;
    // Builds the graph under the busy pointer, then shows it, or the reason
    // why there is none when `tellWhyNot`; returns whether it drew.
    bool draw(Shown graph, bool tellWhyNot);

    AppState& m_state;
    ui::Messages& m_messages;
    ReportsTab& m_reports;
    GraphsTab& m_graphs;
    Shown m_shown = Shown::Nothing;
    // The warning told with the last graph drawn.
    QString m_toldWarning;
};

} // namespace pelmor::app
