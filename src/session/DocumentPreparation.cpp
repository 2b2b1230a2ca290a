#include "session/DocumentPreparation.h"

#include "db/DbError.h"
#include "session/SurveyWork.h"
#include "sites/SitePlacement.h"
#include "store/SurveyStore.h"

#include <utility>

namespace pelmor::session {
namespace {

void prepareGraph(const reports::DocumentKind& kind, const db::Database& database,
                  reports::DocumentInputs& inputs, std::optional<QImage> held, Preparation& preparation)
{
    if (held) {
        inputs.graph = std::move(*held);
        return;
    }
    GraphOutcome outcome = drawGraph(database, inputs.survey, kind.choice, inputs.blackAndWhite);
    if (!outcome.graph) {
        preparation.refusal = outcome.message;
        return;
    }
    preparation.warning = outcome.warning;
    inputs.graph = std::move(outcome.graph->image);
}

void prepareBreakdown(const reports::DocumentKind& kind, const db::Database& database,
                      reports::DocumentInputs& inputs, std::optional<std::vector<flow::BreakdownRow>> held,
                      Preparation& preparation)
{
    if (held) {
        inputs.breakdown = std::move(*held);
        return;
    }
    const flow::BinLength bins = kind.preparation == reports::Preparation::QuarterHourBreakdown
                                     ? flow::BinLength::QuarterHour
                                     : flow::BinLength::Hour;
    BreakdownOutcome outcome = breakDownSurvey(database, inputs.survey, bins);
    if (!outcome.breakdown) {
        preparation.refusal = outcome.failure;
        preparation.databaseFailure = outcome.databaseFailure;
        return;
    }
    inputs.breakdown = std::move(outcome.breakdown->rows);
}

} // namespace

Preparation prepareDocumentInputs(const reports::DocumentKind& kind, const db::Database& database,
                                  reports::DocumentInputs& inputs, HeldResults held,
                                  const PreparationChoices& choices)
{
    using reports::Preparation;
    session::Preparation preparation;
    try {
        switch (kind.preparation) {
        case Preparation::None:
            break;
        case Preparation::SpeedDistributionGraph:
        case Preparation::TrafficVolumeGraph:
            prepareGraph(kind, database, inputs, std::move(held.graph), preparation);
            break;
        case Preparation::QuarterHourBreakdown:
        case Preparation::HourlyBreakdown:
            prepareBreakdown(kind, database, inputs, std::move(held.breakdown), preparation);
            break;
        case Preparation::SpeedStudy: {
            if (!held.study) {
                study::StudyResult result =
                    study::runStudy(database, study::StudyInputs::of(inputs.survey, choices.threshold));
                preparation.refusal = result.message;
                held.study = std::move(result.study);
            } else if (choices.threshold) {
                study::setThreshold(*held.study, *choices.threshold);
            }
            inputs.study = std::move(held.study);
            break;
        }
        case Preparation::Sites: {
            const auto store = store::openStore(database);
            sites::placeSurveysWithoutSiteFigures(*store);
            const std::vector<sites::SiteSurveys> all = sites::readSites(*store);
            for (const sites::SiteSurveys& site : all) {
                if (site.site.id == choices.site)
                    inputs.siteHistory = sites::historyOf(site);
            }
            if (kind.choice == reports::ReportChoice::SiteHistoryReport && !inputs.siteHistory)
                preparation.refusal = QStringLiteral("No site numbered %1 holds surveys: the Sites tab and "
                                                     "'pelmor-cli sites' list the sites with their numbers.")
                                          .arg(choices.site);
            inputs.priorityFilter = choices.priorityFilter;
            inputs.priorities = sites::priorities(all, choices.priorityFilter);
            break;
        }
        case Preparation::Comparison: {
            if (!held.comparison) {
                compare::ComparisonResult result =
                    compare::compareSurveys(database, inputs.survey.header.batchNumber, choices.secondBatch);
                preparation.refusal = result.message;
                held.comparison = std::move(result.comparison);
            }
            inputs.comparison = std::move(held.comparison);
            break;
        }
        }
    } catch (const db::DbError& error) {
        preparation.refusal = error.message();
        preparation.databaseFailure = true;
    }
    return preparation;
}

} // namespace pelmor::session
