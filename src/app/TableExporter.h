#pragma once

#include "csv/TableExport.h"

#include <QObject>

class QWidget;

namespace pelmor::worker {
class BackgroundTask;
}
namespace pelmor::ui {
class Messages;
}

namespace pelmor::app {

struct AppState;
class GraphsTab;

// "Export CSV..." on the graphs tab: writes the chosen survey's vehicles or
// statistics row, or the breakdown in the grid, where the user says, on the
// window's worker, and says where it went. The file is written whole or not
// at all, so a cancelled export leaves none.
class TableExporter : public QObject {
    Q_OBJECT
public:
    // `window` holds the file question.
    TableExporter(AppState& state, ui::Messages& messages, worker::BackgroundTask& task, GraphsTab& graphs,
                  QWidget* window);

    void exportTable(csv::Table table);

private:
    AppState& m_state;
    ui::Messages& m_messages;
    worker::BackgroundTask& m_task;
    GraphsTab& m_graphs;
    QWidget* m_window;
};

} // namespace pelmor::app
