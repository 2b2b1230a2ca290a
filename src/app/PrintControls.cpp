#include "app/PrintControls.h"

#include "app/AdminTab.h"
#include "app/AppState.h"
#include "app/BoundViews.h"
#include "app/GraphDrawer.h"
#include "app/GraphsTab.h"
#include "app/ReportsTab.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "flow/FlowBreakdown.h"
#include "reports/FlowReports.h"
#include "reports/widgets/ReportWindow.h"
#include "study/widgets/StudyTab.h"
#include "ui/BusyCursor.h"
#include "ui/Messages.h"

#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>

#include <utility>

namespace pelmor::app {

PrintControls::PrintControls(AppState& state, ui::Messages& messages, BoundViews& views, ReportsTab& reports,
                             GraphsTab& graphs, AdminTab& admin, study::StudyTab& studyTab,
                             GraphDrawer& drawer, QWidget& mainWindow)
    : QObject(&mainWindow)
    , m_state(state)
    , m_messages(messages)
    , m_views(views)
    , m_reports(reports)
    , m_graphs(graphs)
    , m_admin(admin)
    , m_studyTab(studyTab)
    , m_drawer(drawer)
    , m_mainWindow(mainWindow)
{
    m_reportWindow = std::make_unique<reports::ReportWindow>(
        messages, [this] { return m_state.reportChoice; },
        [this](reports::ReportChoice choice, QSizeF pageSize) { return gatherInputs(choice, pageSize); });
    connect(m_reportWindow.get(), &reports::ReportWindow::closed, this,
            [this] { m_mainWindow.setEnabled(true); });

    connect(m_reports.printButton(), &QPushButton::clicked, this, &PrintControls::printSelectedReport);
    connect(m_graphs.printGraphButton(), &QPushButton::clicked, this, &PrintControls::printChosenDocument);
    connect(m_admin.printFilledFormButton(), &QPushButton::clicked, this, [this] { printFieldSheet(true); });
    connect(m_admin.printBlankFormButton(), &QPushButton::clicked, this, [this] { printFieldSheet(false); });
}

PrintControls::~PrintControls()
{
    // The main window is going: a report window hidden on its way out has
    // nothing to enable.
    m_reportWindow->disconnect(this);
}

void PrintControls::printSelectedReport()
{
    const reports::DocumentKind* kind = reports::listedDocument(m_reports.reportChoice()->currentText());
    if (!kind)
        return;
    m_state.reportChoice = kind->choice;
    if (!prepare(kind->preparation))
        return;
    showReportWindow(false);
}

bool PrintControls::prepare(reports::Preparation preparation)
{
    using reports::Preparation;
    switch (preparation) {
    case Preparation::None:
        return true;
    case Preparation::SpeedDistributionGraph:
    case Preparation::TrafficVolumeGraph: {
        // The graph drawn for the report is the one the graphs tab shows.
        const bool speeds = preparation == Preparation::SpeedDistributionGraph;
        m_graphs.showGraphFrame();
        m_graphs.markGraphType(speeds ? 1 : 2);
        if (speeds)
            m_drawer.drawSpeedDistribution();
        else
            m_drawer.drawTrafficVolume();
        return true;
    }
    case Preparation::SpeedStudy:
        return currentStudy(true).has_value();
    case Preparation::Comparison:
        return currentComparison(true).has_value();
    case Preparation::QuarterHourBreakdown:
    case Preparation::HourlyBreakdown:
        break;
    }
    const flow::BreakdownInputs inputs = flow::BreakdownInputs::of(m_reports.currentSurvey());
    QString failure = flow::checkInputs(inputs);
    if (!failure.isEmpty()) {
        m_messages.tell(failure);
        return false;
    }
    const bool quarterHours = preparation == Preparation::QuarterHourBreakdown;
    // A grid on show shows the new rows: the arrow moves to their button.
    if (m_graphs.gridFrame()->isVisibleTo(&m_graphs))
        m_graphs.markGraphType(quarterHours ? 4 : 5);
    {
        const ui::BusyCursor busy;
        failure = flow::runBreakdown(m_state.database, inputs,
                                     quarterHours ? flow::BinLength::QuarterHour : flow::BinLength::Hour)
                      .failure;
        try {
            // The flow grid shows the new rows.
            m_views.breakdown()->refresh();
        } catch (const db::DbError& error) {
            if (failure.isEmpty())
                failure = error.message();
        }
    }
    if (!failure.isEmpty()) {
        m_messages.tell(failure, ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
        return false;
    }
    return true;
}

std::optional<study::SpeedStudy> PrintControls::currentStudy(bool anew)
{
    const survey::SurveyRecord& survey = m_reports.currentSurvey();
    const study::StudyInputs inputs = study::StudyInputs::of(survey);
    const auto sameSurvey = [&inputs](const study::StudyInputs& other) {
        return other.batchNumber == inputs.batchNumber && other.unit == inputs.unit &&
               other.postedLimit == inputs.postedLimit && other.startDate == inputs.startDate &&
               other.startTime == inputs.startTime;
    };
    if (anew || !m_study || !sameSurvey(m_studyInputs)) {
        m_study.reset();
        study::StudyResult result;
        {
            const ui::BusyCursor busy;
            result = study::runStudy(m_state.database, inputs);
        }
        if (!result.ok()) {
            m_messages.tell(result.message);
            return std::nullopt;
        }
        m_study = std::move(result.study);
        m_studyInputs = inputs;
    }
    // The threshold the user set on the tab, when the tab shows this survey.
    const std::optional<study::SpeedStudy>& shown = m_studyTab.study();
    const bool tabShowsIt = shown && shown->batchNumber == m_study->batchNumber &&
                            shown->limit == m_study->limit && shown->unit == m_study->unit;
    study::setThreshold(*m_study, tabShowsIt ? shown->threshold : study::defaultThreshold(m_study->limit));
    return m_study;
}

std::optional<compare::Comparison> PrintControls::currentComparison(bool anew)
{
    const QString batch = m_reports.currentSurvey().batchNumber;
    if (batch.isEmpty()) {
        m_messages.tell(survey::noSurveyMessage());
        return std::nullopt;
    }
    // The second survey: the one the tab sets beside the chosen survey,
    // else, coming back to the report window, the one of the last print.
    QString second;
    const std::optional<compare::Comparison>& onTab = m_studyTab.comparison();
    if (onTab && onTab->a.study.batchNumber == batch)
        second = onTab->b.study.batchNumber;
    else if (!anew && m_comparison && m_comparison->a.study.batchNumber == batch)
        second = m_comparison->b.study.batchNumber;
    if (second.isEmpty()) {
        m_comparison.reset();
        m_messages.tell(
            QStringLiteral(
                "No survey has been picked to compare survey %1 with. On the Speed Study tab press "
                "\"Compare with...\" and choose the survey from the list, then print the %2 "
                "again.")
                .arg(batch, reports::documentName(reports::ReportChoice::ComparisonReport)));
        return std::nullopt;
    }
    if (anew || !m_comparison || m_comparison->a.study.batchNumber != batch ||
        m_comparison->b.study.batchNumber != second) {
        m_comparison.reset();
        compare::ComparisonResult result;
        {
            const ui::BusyCursor busy;
            result = compare::compareSurveys(m_state.database, batch, second);
        }
        if (!result.ok()) {
            m_messages.tell(result.message);
            return std::nullopt;
        }
        m_comparison = std::move(result.comparison);
    }
    return m_comparison;
}

void PrintControls::printChosenDocument()
{
    showReportWindow(true);
}

void PrintControls::printFieldSheet(bool filledIn)
{
    m_state.reportChoice =
        filledIn ? reports::ReportChoice::FilledFieldSheet : reports::ReportChoice::BlankFieldSheet;
    showReportWindow(true);
}

void PrintControls::showReportWindow(bool disableMainWindow)
{
    if (disableMainWindow)
        m_mainWindow.setEnabled(false);
    m_reportWindow->show();
    m_reportWindow->raise();
    m_reportWindow->activateWindow();
}

std::optional<reports::DocumentInputs> PrintControls::gatherInputs(reports::ReportChoice choice,
                                                                   QSizeF pageSize)
{
    // The database is where it always is; it is named again, as at start.
    m_state.database.path = db::databasePath(m_state.databaseFolder);

    reports::DocumentInputs inputs;
    inputs.survey = m_reports.currentSurvey();
    // A name that cannot be read prints blank; the user is told which and why.
    QStringList unreadable;
    const auto currentName = [&unreadable](db::RecordView* view, const QString& field, const QString& what) {
        QString failure = view->isOpen() ? QString() : view->refreshFailure();
        QString name;
        if (view->isOpen()) {
            try {
                name = view->fieldText(field);
            } catch (const db::DbError& error) {
                failure = error.message();
            }
        }
        if (!failure.isEmpty())
            unreadable << QStringLiteral("The %1 cannot be read: %2").arg(what, failure);
        return name;
    };
    inputs.agency = currentName(m_views.agency(), QStringLiteral("Admin_Agency"),
                                QStringLiteral("agency the report is prepared for"));
    inputs.officer = currentName(m_views.officer(), QStringLiteral("Admin_Officer"),
                                 QStringLiteral("officer who prepares the report"));
    // Told once: the report window is built again each time it becomes
    // active, the return from this very message included.
    const QString failure = unreadable.join(QLatin1Char('\n'));
    if (!failure.isEmpty() && failure != std::exchange(m_toldNameFailure, failure))
        m_messages.tell(failure + QStringLiteral("\n\nThe report is printed without that name. Use Database "
                                                 "Management on the Administration / Setup tab to repair the "
                                                 "database."),
                        ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
    inputs.fieldSheet = m_admin.fieldSheetInputs();
    inputs.graph = QGuiApplication::clipboard()->image();
    inputs.blackAndWhite = m_graphs.isBlackAndWhite();
    inputs.today = QDate::currentDate();
    inputs.pageSize = pageSize;
    const reports::DocumentKind* kind = reports::documentKind(choice);
    if (kind && kind->preparation == reports::Preparation::SpeedStudy) {
        inputs.study = currentStudy(false);
        if (!inputs.study)
            return std::nullopt;
    }
    if (kind && kind->preparation == reports::Preparation::Comparison) {
        inputs.comparison = currentComparison(false);
        if (!inputs.comparison)
            return std::nullopt;
    }
    if (kind && (kind->preparation == reports::Preparation::QuarterHourBreakdown ||
                 kind->preparation == reports::Preparation::HourlyBreakdown)) {
        try {
            inputs.breakdown = reports::readBreakdownForReport(m_state.database);
        } catch (const db::DbError& error) {
            m_messages.tell(QStringLiteral("The flow report cannot be built: %1").arg(error.message()),
                            ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
            return std::nullopt;
        }
    }
    return inputs;
}

} // namespace pelmor::app
