#include "sites/SitePlacement.h"

#include "survey/SiteKey.h"
#include "text/Formats.h"

#include <map>

namespace pelmor::sites {
namespace {

// The posted limit of a Header row; 0 when it is not a speed.
int limitOf(const survey::HeaderRow& header)
{
    const std::optional<qint64> limit = text::toWholeNumber(header.violationAlert);
    return limit && *limit > 0 && *limit <= 10000 ? int(*limit) : 0;
}

store::SitePlacement placementOf(const survey::HeaderRow& header, const SiteFigures& figures)
{
    return {survey::siteKey(header.location, header.direction), kSiteFiguresMethod, siteFiguresText(figures)};
}

} // namespace

SiteFigures siteFiguresOf(const survey::HeaderRow& header, const survey::SummaryRow& statistics,
                          store::SpeedTally& vehicles)
{
    // Counted per speed: one add per vehicle would cost a million steps.
    study::SpeedHistogram speeds;
    for (const store::SpeedCount& count : vehicles.speedCounts())
        speeds.add(count.speed, count.count);
    return siteFiguresOf(speeds, vehicles.largestOffset(), header.radarMode, limitOf(header),
                         statistics.startDate, statistics.startTime, statistics.stopDate,
                         statistics.stopTime);
}

store::SitePlacement placementOf(const survey::HeaderRow& header, const survey::SummaryRow& statistics,
                                 store::SpeedTally& vehicles)
{
    return placementOf(header, siteFiguresOf(header, statistics, vehicles));
}

int placeSurveysWithoutSiteFigures(store::SurveyStore& store, const std::function<bool(int, int)>& progress)
{
    std::map<QString, store::SiteSurvey> placed;
    for (store::SiteSurvey& entry : store.siteSurveys())
        placed.emplace(entry.batchNumber, std::move(entry));
    std::vector<survey::HeaderRow> waiting;
    for (survey::HeaderRow& header : store.listHeaders()) {
        const auto entry = placed.find(header.batchNumber);
        if (entry == placed.end() || entry->second.method != kSiteFiguresMethod)
            waiting.push_back(std::move(header));
    }
    int done = 0;
    for (size_t next = 0; next < waiting.size(); ++next) {
        const survey::HeaderRow& header = waiting[next];
        if (progress && !progress(int(next), int(waiting.size())))
            break;
        const survey::SurveyRecord record = store.loadSurvey(header.batchNumber);
        const SiteFigures figures = siteFiguresOf(header, record.summary, *store.tally(header.batchNumber));
        // A survey placed before keeps its site (it may have been merged or
        // split off); only its figures are worked out again.
        try {
            store.placeStoredSurvey(header.batchNumber, placementOf(header, figures));
            ++done;
        } catch (const db::DbError& refused) {
            if (refused.failure() != db::Failure::Refused)
                throw;
        }
    }
    return done;
}

} // namespace pelmor::sites
