#pragma once

#include "compare/Comparison.h"
#include "reports/Documents.h"
#include "study/SpeedStudy.h"

#include <QObject>

#include <memory>
#include <optional>

class QWidget;

namespace pelmor::reports {
class ReportWindow;
}
namespace pelmor::study {
class StudyTab;
}
namespace pelmor::ui {
class Messages;
}

namespace pelmor::app {

struct AppState;
class AdminTab;
class BoundViews;
class GraphDrawer;
class GraphsTab;
class ReportsTab;

// The print controls of the main window and the report window they open:
// the report list ("Print_choice") with "Print Selected Report", "Print
// Graph /Chart" and the two field sheet buttons. Each sets the document to
// build, brings its data up to date (draws its graph, walks its breakdown,
// works out the speed study with the threshold set on the Speed Study tab,
// compares the survey with the one the Speed Study tab compares it with)
// and shows the report window, which builds the document from the data of
// the main window each time it becomes active. The three buttons that
// print what was chosen elsewhere disable the main window while the report
// window is up; hiding the report window always enables it again.
class PrintControls : public QObject {
    Q_OBJECT
public:
    PrintControls(AppState& state, ui::Messages& messages, BoundViews& views, ReportsTab& reports,
                  GraphsTab& graphs, AdminTab& admin, study::StudyTab& studyTab, GraphDrawer& drawer,
                  QWidget& mainWindow);
    ~PrintControls() override;

    reports::ReportWindow* reportWindow() const { return m_reportWindow.get(); }

    // "Print Selected Report": the document whose name the report list
    // shows exactly; any other text does nothing.
    void printSelectedReport();
    // "Print Graph /Chart": the document chosen last, whichever it is.
    void printChosenDocument();
    // "Print Filled In Form" and "Print Blank Form".
    void printFieldSheet(bool filledIn);

    // The inputs of a document as the main window shows them now.
    std::optional<reports::DocumentInputs> gatherInputs(reports::ReportChoice choice, QSizeF pageSize);

private:
    bool prepare(reports::Preparation preparation);
    // The speed study of the survey chosen now, with the enforcement
    // threshold the Speed Study tab shows for it (the limit + 10 when the
    // tab shows another survey): worked out `anew`, or else only when the
    // survey or its texts changed since the last one. Tells the user when
    // there is none.
    std::optional<study::SpeedStudy> currentStudy(bool anew);
    // The survey chosen now compared with the survey the Speed Study tab
    // sets beside it: worked out `anew`, or else only when the second
    // survey on the tab changed since the last one. Without a second
    // survey on the tab the last comparison of the chosen survey serves
    // when `anew` is false. Tells the user when there is none, and what to
    // do to have one.
    std::optional<compare::Comparison> currentComparison(bool anew);
    void showReportWindow(bool disableMainWindow);

    AppState& m_state;
    ui::Messages& m_messages;
    BoundViews& m_views;
    ReportsTab& m_reports;
    GraphsTab& m_graphs;
    AdminTab& m_admin;
    study::StudyTab& m_studyTab;
    GraphDrawer& m_drawer;
    QWidget& m_mainWindow;
    // The study worked out last, and the inputs it was worked out from.
    std::optional<study::SpeedStudy> m_study;
    study::StudyInputs m_studyInputs;
    // The comparison worked out last.
    std::optional<compare::Comparison> m_comparison;
    // The agency or officer name that could not be read, as last told.
    QString m_toldNameFailure;
    // A window of its own, not a child: it stays enabled while the main
    // window is disabled.
    std::unique_ptr<reports::ReportWindow> m_reportWindow;
};

} // namespace pelmor::app
