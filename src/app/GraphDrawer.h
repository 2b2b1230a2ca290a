#pragma once

#include "reports/ReportChoice.h"

#include <QObject>
#include <QString>

namespace pelmor::ui {
class Messages;
}

namespace pelmor::app {

struct AppState;

// Draws the two speed graphs for the current survey, with its statistics
// and in the printer mode chosen. A drawn graph becomes the current
// survey's graph, which the graph area shows and the graph reports place;
// when there is nothing to draw the user gets the reason and the last graph
// stays as it was. A graph drawn with less than it should show (a
// statistic that cannot be read) is shown, and the user told once what it
// lacks. Nothing is put on the system clipboard.
class GraphDrawer : public QObject {
    Q_OBJECT
public:
    GraphDrawer(AppState& state, ui::Messages& messages, QObject* parent = nullptr);

    // The speed distribution with pace and 85th percentile, and the vehicles
    // per speed against the posted limit. Each returns whether it drew.
    bool drawSpeedDistribution();
    bool drawTrafficVolume();

    // What a click on a printer mode does: the speed distribution again
    // when its report is chosen, the traffic volume graph otherwise.
    void redrawForPrinterMode();

    // Another survey was chosen: the graph on show is drawn again for it, so
    // the graph area never shows one survey's graph beside another survey's
    // figures. When the new survey has nothing to draw, there is no graph,
    // and no message.
    void followSurveyChoice();

private:
    // Builds the graph under the busy pointer, then makes it the current
    // survey's, or tells the reason why there is none when `tellWhyNot`;
    // returns whether it drew.
    bool draw(reports::ReportChoice graph, bool tellWhyNot);

    AppState& m_state;
    ui::Messages& m_messages;
    // The graph drawn last, to draw again for another survey.
    reports::ReportChoice m_shown = reports::ReportChoice::None;
    // The warning told with the last graph drawn.
    QString m_toldWarning;
};

} // namespace pelmor::app
