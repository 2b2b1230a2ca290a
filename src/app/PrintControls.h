#pragma once

#include "compare/Comparison.h"
#include "reports/Documents.h"
#include "reports/widgets/ReportWindow.h"
#include "session/DocumentPreparation.h"
#include "study/SpeedStudy.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace pelmor::worker {
class BackgroundTask;
}
namespace pelmor::ui {
class Messages;
}

namespace pelmor::app {

struct AppState;
class ReportNames;

// What the print buttons of the main window do, and the report window they
// open: "Print Selected Report", "Print Graph /Chart" and the two field
// sheet buttons. Each sets the document to build and shows the report
// window, which builds the document from the current survey each time it
// becomes active. What the document draws on is brought up to date for
// the current survey on the report window's worker (its graph, its
// breakdown, the speed study with the threshold chosen on the Speed Study
// tab, the comparison with the survey chosen there), unless it was worked
// out for it already. The three buttons that print what was chosen elsewhere
// disable the main window while the report window is up; hiding the
// report window always enables it again.
class PrintControls : public QObject {
    Q_OBJECT
public:
    using FieldSheetSource = std::function<reports::FieldSheetInputs()>;

    PrintControls(AppState& state, ui::Messages& messages, const ReportNames& names,
                  FieldSheetSource fieldSheet, QWidget& mainWindow);
    ~PrintControls() override;

    reports::ReportWindow* reportWindow() const { return m_reportWindow.get(); }

    // "Print Selected Report": the document whose name the report list
    // shows exactly; any other text does nothing.
    void printSelectedReport(const QString& listText);
    // "Print Graph /Chart": the document chosen last, whichever it is.
    void printChosenDocument();
    // "Print Filled In Form" and "Print Blank Form".
    void printFieldSheet(bool filledIn);
    // Document 10 of a site, or document 11 with the ranking's filter, as
    // the Sites tab asks for them.
    void printSiteDocument(pelmor::reports::ReportChoice document, qint64 site,
                           const pelmor::sites::PriorityFilter& filter);

    // The inputs of a document for the current survey as it stands now,
    // with what was worked out for it already; the rest is worked out on
    // the report window's worker (preparation()), and received back by
    // receivePrepared().
    std::optional<reports::DocumentInputs> gatherInputs(reports::ReportChoice choice, QSizeF pageSize);
    // The worker the report window builds its documents on.
    worker::BackgroundTask* task() const;

Q_SIGNALS:
    // A graph document is to be printed: its graph is to be drawn and shown
    // as its graph button would (PercentileReport or
    // TrafficFlowGraphReport).
    void graphWanted(pelmor::reports::ReportChoice document);

private:
    bool prepare(const reports::DocumentKind& kind);
    // The enforcement threshold the Speed Study tab shows for the survey
    // of `inputs`, when the tab shows that survey.
    std::optional<qint64> chosenThreshold(const study::StudyInputs& inputs) const;
    // The study worked out last, with the threshold chosen now, when it was
    // worked out for the survey chosen now as it stands.
    std::optional<study::SpeedStudy> heldStudy() const;
    // The survey to set beside the chosen one: the one the Speed Study tab
    // sets beside it, else, unless `anew`, the one of the last comparison
    // of the chosen survey. Tells the user when there is none, and what to
    // do to have one, and returns an empty text.
    QString secondSurvey(bool anew);
    void showReportWindow(bool disableMainWindow);
    reports::ReportWindow::Preparer preparation(const reports::DocumentKind& kind);
    bool receivePrepared(const reports::DocumentInputs& inputs, const QString& failure);

    AppState& m_state;
    ui::Messages& m_messages;
    const ReportNames& m_names;
    FieldSheetSource m_fieldSheet;
    QWidget& m_mainWindow;
    // The study worked out last, and the inputs it was worked out from.
    std::optional<study::SpeedStudy> m_study;
    study::StudyInputs m_studyInputs;
    // The comparison worked out last.
    std::optional<compare::Comparison> m_comparison;
    // What gatherInputs() found worked out already, for the preparation
    // that follows it; and the outcome of the last preparation.
    session::HeldResults m_held;
    session::PreparationChoices m_choices;
    // The site and filter of the Sites tab's last print.
    qint64 m_site = 0;
    sites::PriorityFilter m_priorityFilter;
    std::shared_ptr<session::Preparation> m_prepared;
    // The survey and bins whose rows the last preparation walks, if any.
    std::optional<std::pair<QString, flow::BinLength>> m_walking;
    // The agency or officer name that could not be read, as last told.
    QString m_toldNameFailure;
    // A window of its own, not a child: it stays enabled while the main
    // window is disabled.
    std::unique_ptr<reports::ReportWindow> m_reportWindow;
};

} // namespace pelmor::app
