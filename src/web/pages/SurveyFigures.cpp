#include "web/pages/SurveyFigures.h"

#include "flow/TrafficVolumeGraph.h"
#include "stats/SpeedDistributionGraph.h"
#include "stats/SpeedGraphSource.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <QThreadPool>

#include <future>
#include <map>
#include <mutex>
#include <tuple>

namespace pelmor::web::pages {
namespace {

// The figures of the surveys whose pages were asked for last are kept: a
// page's graphs are asked for right after it, but when many people look at
// surveys at once they wait behind the other pages being worked out. A
// survey's figures take some tens of KiB (a month's breakdown rows, the
// study's tables), so this many take at most a few MiB.
constexpr size_t kKeptSurveys = 64;

using Figures = std::shared_ptr<const SurveyFigures>;

// The database and login, the batch number, the threshold, and the
// survey's stored fields, which a survey stored anew under the same batch
// number does not share.
using FiguresKey = std::tuple<QString, QString, QString, std::optional<qint64>, QString>;

struct KeptFigures {
    struct Entry {
        std::shared_future<Figures> figures;
        QDeadlineTimer fresh;
        quint64 lastUse = 0;
    };
    std::mutex mutex;
    int milliseconds = 0;
    quint64 uses = 0;
    std::map<FiguresKey, Entry> entries;

    // Drops the stale entries, and the least used one while there are too
    // many; entries still being worked out stay.
    void sweep()
    {
        for (auto entry = entries.begin(); entry != entries.end();)
            entry = entry->second.fresh.hasExpired() ? entries.erase(entry) : std::next(entry);
        while (entries.size() > kKeptSurveys) {
            auto oldest = entries.end();
            for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
                const bool ready =
                    entry->second.figures.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
                if (ready && (oldest == entries.end() || entry->second.lastUse < oldest->second.lastUse))
                    oldest = entry;
            }
            if (oldest == entries.end())
                return;
            entries.erase(oldest);
        }
    }
};

// One thread kept for the studies, made by the first page's thread and so
// of its priority. A thread made anew for each page would leave memory
// behind in an allocator arena of its own.
class StudyThread : public QThreadPool {
public:
    StudyThread()
    {
        setMaxThreadCount(1);
        setExpiryTimeout(-1);
    }
};

QThreadPool& studyThread()
{
    static StudyThread thread;
    return thread;
}

KeptFigures& keptFigures()
{
    static KeptFigures kept;
    return kept;
}

FiguresKey keyOf(const db::Database& database, const survey::SurveyRecord& survey,
                 std::optional<qint64> threshold)
{
    // Stored statistics follow the vehicles: a survey stored anew under its
    // batch number with other vehicles has other statistics.
    QStringList values;
    for (const auto& fields : {survey.header.storedFields(), survey.summary.storedFields()}) {
        for (const auto& field : fields)
            values << field.second;
    }
    values << survey.source;
    return {database.path, database.server, survey.batchNumber, threshold, values.join(QChar(0x1f))};
}

Figures workOut(const db::Database& database, const survey::SurveyRecord& survey,
                std::optional<qint64> threshold)
{
    auto figures = std::make_shared<SurveyFigures>();
    // The study goes through the vehicles one by one on another thread
    // while this one has them counted per speed and per minute; when that
    // thread is busy with another survey, this one works the study out
    // after the counts.
    std::packaged_task<queries::Answer<study::SpeedStudy>()> workOutStudy(
        [&database, &survey, threshold] { return queries::speedStudy(database, survey, threshold); });
    std::future<queries::Answer<study::SpeedStudy>> study = workOutStudy.get_future();
    const bool elsewhere = studyThread().tryStart([&workOutStudy] { workOutStudy(); });
    try {
        // Both speed graphs from one count of the vehicles per speed, both
        // breakdowns from one count per minute.
        QString message;
        const std::vector<store::SpeedCount> speeds =
            stats::readSpeedCounts(database, survey.batchNumber, message);
        figures->speedDistribution = stats::speedDistributionGraph(speeds, message, survey, false);
        figures->trafficVolume = flow::trafficVolumeGraph(speeds, message, survey, false);
        std::tie(figures->quarterHours, figures->hours) =
            flow::showBothBreakdowns(database, flow::BreakdownInputs::of(survey));
    } catch (...) {
        // The study's thread works on what this one holds.
        if (elsewhere)
            study.wait();
        throw;
    }
    if (!elsewhere)
        workOutStudy();
    figures->study = study.get();
    return figures;
}

// Figures with a part that failed are not kept: the next request tries again.
bool worthKeeping(const SurveyFigures& figures)
{
    return figures.study.ok() && figures.quarterHours.ok() && figures.hours.ok() &&
           figures.speedDistribution.drawn() && figures.trafficVolume.drawn();
}

} // namespace

Figures surveyFigures(const db::Database& database, const survey::SurveyRecord& survey,
                      std::optional<qint64> threshold)
{
    KeptFigures& kept = keptFigures();
    const FiguresKey key = keyOf(database, survey, threshold);
    std::shared_future<Figures> keptOnes;
    std::promise<Figures> promise;
    bool keeping = false;
    {
        const std::lock_guard<std::mutex> lock(kept.mutex);
        if (kept.milliseconds <= 0) {
            kept.entries.clear();
        } else {
            kept.sweep();
            if (const auto found = kept.entries.find(key); found != kept.entries.end()) {
                found->second.lastUse = ++kept.uses;
                keptOnes = found->second.figures;
            } else {
                kept.entries[key] = {promise.get_future().share(), QDeadlineTimer(kept.milliseconds),
                                     ++kept.uses};
                keeping = true;
            }
        }
    }
    // Another request may still be working them out: it is waited for
    // rather than the vehicles read a second time.
    if (keptOnes.valid())
        return keptOnes.get();
    if (!keeping)
        return workOut(database, survey, threshold);
    const auto forget = [&kept, &key] {
        const std::lock_guard<std::mutex> lock(kept.mutex);
        kept.entries.erase(key);
    };
    try {
        Figures figures = workOut(database, survey, threshold);
        promise.set_value(figures);
        if (!worthKeeping(*figures))
            forget();
        return figures;
    } catch (...) {
        promise.set_exception(std::current_exception());
        forget();
        throw;
    }
}

Figures keptSurveyFigures(const db::Database& database, const survey::SurveyRecord& survey,
                          std::optional<qint64> threshold)
{
    KeptFigures& kept = keptFigures();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    const auto found = kept.entries.find(keyOf(database, survey, threshold));
    if (found == kept.entries.end() || found->second.fresh.hasExpired() ||
        found->second.figures.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return nullptr;
    found->second.lastUse = ++kept.uses;
    return found->second.figures.get();
}

void keepSurveyFiguresFor(int milliseconds)
{
    KeptFigures& kept = keptFigures();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    kept.milliseconds = milliseconds;
    kept.entries.clear();
}

void forgetSurveyFigures()
{
    KeptFigures& kept = keptFigures();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    kept.entries.clear();
}

} // namespace pelmor::web::pages
