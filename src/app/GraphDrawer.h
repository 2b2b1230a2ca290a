#pragma once

#include "reports/ReportChoice.h"

#include <QObject>
#include <QString>

#include <optional>

namespace pelmor::worker {
class BackgroundTask;
}
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
// lacks. Nothing is put on the system clipboard. The graph is read and
// drawn on a worker with a connection of its own; the window's thread only
// shows it. A cancelled drawing leaves the graph on show as it was.
class GraphDrawer : public QObject {
    Q_OBJECT
public:
    GraphDrawer(AppState& state, ui::Messages& messages, QObject* parent = nullptr);

    // The speed distribution with pace and 85th percentile, and the vehicles
    // per speed against the posted limit, drawn on the worker. A drawing
    // asked for while another runs replaces it.
    void drawSpeedDistribution();
    void drawTrafficVolume();

    // What a click on a printer mode does: the speed distribution again
    // when its report is chosen, the traffic volume graph otherwise.
    void redrawForPrinterMode();

    // Another survey was chosen: the graph on show is drawn again for it, so
    // the graph area never shows one survey's graph beside another survey's
    // figures. When the new survey has nothing to draw, there is no graph,
    // and no message.
    void followSurveyChoice();

    // The worker the graphs are drawn on.
    worker::BackgroundTask* task() const { return m_task; }

Q_SIGNALS:
    // A drawing has ended: drawn, refused, failed or cancelled.
    void drawingEnded();

private:
    struct Request {
        reports::ReportChoice graph = reports::ReportChoice::None;
        bool tellWhyNot = false;
    };
    // Starts building the graph on the worker; once built it becomes the
    // current survey's, or the reason why there is none is told when
    // `tellWhyNot`.
    void draw(reports::ReportChoice graph, bool tellWhyNot);
    void start(const Request& request);

    AppState& m_state;
    ui::Messages& m_messages;
    worker::BackgroundTask* m_task;
    // A drawing asked for while another ran: it follows once that one ends.
    std::optional<Request> m_next;
    // The graph drawn last, to draw again for another survey.
    reports::ReportChoice m_shown = reports::ReportChoice::None;
    // The warning told with the last graph drawn.
    QString m_toldWarning;
};

} // namespace pelmor::app
