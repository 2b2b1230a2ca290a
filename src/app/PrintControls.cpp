#include "app/PrintControls.h"

#include "app/AppState.h"
#include "app/ReportNames.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "reports/widgets/ReportWindow.h"
#include "session/DocumentPreparation.h"
#include "session/SurveyWork.h"
#include "store/NameLists.h"
#include "text/Formats.h"
#include "ui/Messages.h"

#include <utility>

namespace pelmor::app {

PrintControls::PrintControls(AppState& state, ui::Messages& messages, const ReportNames& names,
                             FieldSheetSource fieldSheet, QWidget& mainWindow)
    : QObject(&mainWindow)
    , m_state(state)
    , m_messages(messages)
    , m_names(names)
    , m_fieldSheet(std::move(fieldSheet))
    , m_mainWindow(mainWindow)
{
    m_reportWindow = std::make_unique<reports::ReportWindow>(
        messages, [this] { return m_state.current.reportChoice(); },
        [this](reports::ReportChoice choice, QSizeF pageSize) { return gatherInputs(choice, pageSize); });
    m_reportWindow->setPreparation([this](const reports::DocumentKind& kind) { return preparation(kind); },
                                   [this](const reports::DocumentInputs& inputs, const QString& failure) {
                                       return receivePrepared(inputs, failure);
                                   });
    connect(m_reportWindow.get(), &reports::ReportWindow::closed, this,
            [this] { m_mainWindow.setEnabled(true); });
}

worker::BackgroundTask* PrintControls::task() const
{
    return m_reportWindow->task();
}

PrintControls::~PrintControls()
{
    // The main window is going: a report window hidden on its way out has
    // nothing to enable.
    m_reportWindow->disconnect(this);
}

void PrintControls::printSelectedReport(const QString& listText)
{
    const reports::DocumentKind* kind = reports::listedDocument(listText);
    if (!kind)
        return;
    m_state.current.setReportChoice(kind->choice);
    if (!prepare(*kind))
        return;
    showReportWindow(false);
}

bool PrintControls::prepare(const reports::DocumentKind& kind)
{
    using reports::Preparation;
    switch (kind.preparation) {
    case Preparation::None:
        return true;
    case Preparation::SpeedDistributionGraph:
    case Preparation::TrafficVolumeGraph:
        // The graph drawn for the report is the one the graphs tab shows.
        Q_EMIT graphWanted(kind.choice);
        return true;
    case Preparation::SpeedStudy:
        // Worked out anew on the report window's worker.
        m_study.reset();
        return true;
    case Preparation::Comparison:
        m_comparison.reset();
        return !secondSurvey(true).isEmpty();
    case Preparation::Sites:
        // Printed from the Sites tab, which reads the sites itself.
        return true;
    case Preparation::QuarterHourBreakdown:
    case Preparation::HourlyBreakdown:
        // Walked on the report window's worker as the document is built.
        break;
    }
    return true;
}

std::optional<qint64> PrintControls::chosenThreshold(const study::StudyInputs& inputs) const
{
    // The threshold the user set on the tab, when the tab shows this survey.
    const std::optional<study::SpeedStudy>& shown = m_state.current.study();
    if (shown && shown->batchNumber == inputs.batchNumber && shown->unit == inputs.unit &&
        text::toWholeNumber(inputs.postedLimit) == shown->limit)
        return shown->threshold;
    return std::nullopt;
}

std::optional<study::SpeedStudy> PrintControls::heldStudy() const
{
    const study::StudyInputs inputs = study::StudyInputs::of(m_state.current.record());
    const study::StudyInputs& other = m_studyInputs;
    const bool sameSurvey = other.batchNumber == inputs.batchNumber && other.unit == inputs.unit &&
                            other.postedLimit == inputs.postedLimit && other.startDate == inputs.startDate &&
                            other.startTime == inputs.startTime;
    if (!m_study || !sameSurvey)
        return std::nullopt;
    study::SpeedStudy held = *m_study;
    study::setThreshold(held, chosenThreshold(inputs).value_or(study::defaultThreshold(held.limit)));
    return held;
}

QString PrintControls::secondSurvey(bool anew)
{
    const QString batch = m_state.current.batchNumber();
    if (batch.isEmpty()) {
        m_messages.tell(survey::noSurveyMessage());
        return QString();
    }
    // The one the tab sets beside the chosen survey, else, coming back to
    // the report window, the one of the last print.
    QString second;
    const std::optional<compare::Comparison>& onTab = m_state.current.comparison();
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
    }
    return second;
}

void PrintControls::printChosenDocument()
{
    showReportWindow(true);
}

void PrintControls::printFieldSheet(bool filledIn)
{
    m_state.current.setReportChoice(filledIn ? reports::ReportChoice::FilledFieldSheet
                                             : reports::ReportChoice::BlankFieldSheet);
    showReportWindow(true);
}

void PrintControls::printSiteDocument(reports::ReportChoice document, qint64 site,
                                      const sites::PriorityFilter& filter)
{
    m_site = site;
    m_priorityFilter = filter;
    m_state.current.setReportChoice(document);
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
    const session::CurrentSurvey& current = m_state.current;
    inputs.survey = current.record();
    // A name that cannot be read prints blank; the user is told which and why.
    QStringList unreadable;
    const auto currentName = [this, &unreadable](store::NameList list, const QString& what) {
        const QString& failure = m_names.failure(list);
        if (!failure.isEmpty())
            unreadable << QStringLiteral("The %1 cannot be read: %2").arg(what, failure);
        return store::printedName(list, m_names.chosen(list).name);
    };
    inputs.agency =
        currentName(store::NameList::Agencies, QStringLiteral("agency the report is prepared for"));
    inputs.officer =
        currentName(store::NameList::Officers, QStringLiteral("officer who prepares the report"));
    // Told once: the report window is built again each time it becomes
    // active, the return from this very message included.
    const QString failure = unreadable.join(QLatin1Char('\n'));
    if (!failure.isEmpty() && failure != std::exchange(m_toldNameFailure, failure))
        m_messages.tell(failure + QStringLiteral("\n\nThe report is printed without that name. Use Database "
                                                 "Management on the Administration / Setup tab to repair the "
                                                 "database."),
                        ui::Messages::defaultTitle(), ui::Messages::Icon::Warning);
    inputs.fieldSheet = m_fieldSheet();
    inputs.blackAndWhite = current.blackAndWhite();
    inputs.today = QDate::currentDate();
    inputs.pageSize = pageSize;
    const reports::DocumentKind* kind = reports::documentKind(choice);
    if (!kind)
        return inputs;

    // What was worked out for the survey serves as it is; what was worked
    // out for another survey, or not at all, is worked out now.
    using reports::Preparation;
    session::HeldResults held;
    const bool graph = kind->preparation == Preparation::SpeedDistributionGraph ||
                       kind->preparation == Preparation::TrafficVolumeGraph;
    if (graph && current.graph().document == choice && current.graph().batchNumber == current.batchNumber())
        held.graph = current.graph().image;
    const bool quarterHours = kind->preparation == Preparation::QuarterHourBreakdown;
    const bool flowRows = quarterHours || kind->preparation == Preparation::HourlyBreakdown;
    const flow::BinLength bins = quarterHours ? flow::BinLength::QuarterHour : flow::BinLength::Hour;
    if (flowRows) {
        if (const session::SurveyBreakdown* breakdown = current.breakdownFor(bins))
            held.breakdown = breakdown->rows;
    }
    // A study or comparison not held is worked out on the worker.
    session::PreparationChoices choices;
    if (kind->preparation == Preparation::SpeedStudy) {
        held.study = heldStudy();
        choices.threshold = chosenThreshold(study::StudyInputs::of(current.record()));
    }
    if (kind->preparation == Preparation::Comparison) {
        const QString second = secondSurvey(false);
        if (second.isEmpty())
            return std::nullopt;
        if (m_comparison && m_comparison->a.study.batchNumber == current.batchNumber() &&
            m_comparison->b.study.batchNumber == second)
            held.comparison = m_comparison;
        choices.secondBatch = second;
    }
    if (kind->preparation == Preparation::Sites) {
        choices.site = m_site;
        choices.priorityFilter = m_priorityFilter;
    }
    m_walking.reset();
    if (flowRows && !held.breakdown)
        m_walking.emplace(current.batchNumber(), bins);
    m_held = std::move(held);
    m_choices = std::move(choices);
    return inputs;
}

// The document's inputs are brought up to date on the worker, with a
// connection of its own, from what the window held and copies of the rest.
reports::ReportWindow::Preparer PrintControls::preparation(const reports::DocumentKind& kind)
{
    auto prepared = std::make_shared<session::Preparation>();
    m_prepared = prepared;
    return [kind = &kind, database = m_state.database, held = std::move(m_held), choices = m_choices,
            prepared](reports::DocumentInputs& inputs) mutable {
        *prepared = session::prepareDocumentInputs(*kind, database, inputs, std::move(held), choices);
        return prepared->refusal;
    };
}

bool PrintControls::receivePrepared(const reports::DocumentInputs& inputs, const QString& failure)
{
    const std::shared_ptr<session::Preparation> prepared = std::exchange(m_prepared, nullptr);
    if (!failure.isEmpty()) {
        if (prepared && prepared->databaseFailure)
            m_messages.tell(
                QStringLiteral("The %1 cannot be built: %2")
                    .arg(m_walking ? QStringLiteral("flow report") : QStringLiteral("document"), failure),
                ui::Messages::defaultTitle(), ui::Messages::Icon::Critical);
        else
            m_messages.tell(failure);
        return false;
    }
    // What was worked out serves the next build of the same document.
    if (inputs.study) {
        m_study = inputs.study;
        m_studyInputs = study::StudyInputs::of(inputs.survey);
    }
    if (inputs.comparison)
        m_comparison = inputs.comparison;
    // Rows walked for the survey on show are the breakdown the grid shows.
    if (m_walking && m_walking->first == m_state.current.batchNumber())
        m_state.current.setBreakdown({m_walking->first, m_walking->second, inputs.breakdown});
    m_walking.reset();
    return true;
}

} // namespace pelmor::app
