#pragma once

#include "flow/FlowBreakdown.h"

#include <QObject>

namespace pelmor::worker {
class BackgroundTask;
}
namespace pelmor::ui {
class Messages;
}

namespace pelmor::app {

struct AppState;
class GraphsTab;
class ImportTab;

// The flow buttons of the graphs tab: breaks the current survey down into
// quarter hours or hours on the window's worker, sets the report that
// "Print Graph /Chart" prints and keeps "R E S E T" disabled while the walk
// runs; the grid shows the rows once it has ended. A breakdown made
// elsewhere (for a flow document) shows in the grid too.
class FlowBreakdowns : public QObject {
    Q_OBJECT
public:
    FlowBreakdowns(AppState& state, ui::Messages& messages, worker::BackgroundTask& task, GraphsTab& graphs,
                   ImportTab& import, QObject* parent = nullptr);

    void breakDown(flow::BinLength bins);

private:
    void showBreakdown();

    AppState& m_state;
    ui::Messages& m_messages;
    worker::BackgroundTask& m_task;
    GraphsTab& m_graphs;
    ImportTab& m_import;
};

} // namespace pelmor::app
