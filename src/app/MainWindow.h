#pragma once

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <utility>
#include <vector>

class QTabWidget;

namespace pelmor::worker {
class BackgroundTask;
class ProgressStrip;
} // namespace pelmor::worker
namespace pelmor::upload {
class UploadWindow;
}
namespace pelmor::ui {
class BusyCursor;
class Messages;
} // namespace pelmor::ui

namespace pelmor::app {

struct AppState;
class AdminTab;
class FlowBreakdowns;
class GraphDrawer;
class GraphsTab;
class ImportTab;
class PrintControls;
class ReportNames;
class ReportsTab;
class SitesTab;
class StudyTab;
class TableExporter;

// The main window: the tabs of the program on a tiled background.
// Loading it sets the database path and reads the agency and officer the
// reports carry; a database that cannot be opened is reported by name and
// the window stays usable. Any "Close" button ends the program, at once unless data from the
// sign would be lost: then it asks first.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    MainWindow(AppState& state, ui::Messages& messages, QWidget* parent = nullptr);
    ~MainWindow() override;

    static QString caption();
    // Whether long work (an import, a breakdown, a study, a graph, a
    // comparison, a document) runs on a worker now.
    bool isBusy() const;
    // Shows the long work running, with its progress and "Cancel".
    worker::ProgressStrip* progressStrip() const { return m_progress; }

    QTabWidget* tabs() const { return m_tabs; }
    // The agency and officer the reports are headed and signed with.
    ReportNames& reportNames() const { return *m_reportNames; }
    ImportTab* importTab() const { return m_importTab; }
    ReportsTab* reportsTab() const { return m_reportsTab; }
    GraphsTab* graphsTab() const { return m_graphsTab; }
    AdminTab* adminTab() const { return m_adminTab; }
    StudyTab* studyTab() const { return m_studyTab; }
    SitesTab* sitesTab() const { return m_sitesTab; }
    // Draws the two speed graphs of the graphs tab.
    GraphDrawer* graphDrawer() const { return m_graphDrawer; }
    // The print buttons and the report window they open.
    PrintControls* printControls() const { return m_printControls; }
    // "Send Surveys to the Agency Server...": opens the upload window, or
    // brings it forward; null until it was opened.
    void openUpload();
    upload::UploadWindow* uploadWindow() const { return m_upload; }

Q_SIGNALS:
    // A "Close" button was pressed, or the window closed, and nothing is
    // lost by ending: the program ends.
    void endRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void load();
    void centreOnScreen();
    void connectReportsAndFlow();
    void connectGraphs();
    void connectPrinting();
    void connectStudyAndExports();
    void followWork();
    void placeProgressStrip();
    // The workers the window's long work runs on.
    std::vector<worker::BackgroundTask*> workers() const;
    // A "Close" button, or closing the window: true when the program may
    // end, after asking when a download from the sign is neither saved nor
    // stored.
    bool mayEnd();
    void requestEnd();

    AppState& m_state;
    ui::Messages& m_messages;
    ReportNames* m_reportNames;
    // Runs the window's long work off its thread, one piece at a time.
    worker::BackgroundTask* m_work;
    worker::ProgressStrip* m_progress = nullptr;
    // The window was closed while work ran: it closes once the work has stopped.
    bool m_closeWhenIdle = false;
    QPixmap m_background;
    QTabWidget* m_tabs;
    ImportTab* m_importTab;
    ReportsTab* m_reportsTab;
    GraphsTab* m_graphsTab;
    AdminTab* m_adminTab;
    StudyTab* m_studyTab;
    SitesTab* m_sitesTab;
    GraphDrawer* m_graphDrawer = nullptr;
    PrintControls* m_printControls = nullptr;
    FlowBreakdowns* m_flowBreakdowns = nullptr;
    TableExporter* m_tableExporter = nullptr;
    upload::UploadWindow* m_upload = nullptr; // a child window, hidden when closed
};

} // namespace pelmor::app
