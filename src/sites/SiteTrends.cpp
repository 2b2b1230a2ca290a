#include "sites/SiteTrends.h"

#include "compare/Comparison.h"
#include "sites/SitePlacement.h"
#include "study/StudyText.h"
#include "survey/SiteKey.h"
#include "text/Formats.h"

#include <algorithm>
#include <map>

namespace pelmor::sites {
namespace {

// Surveys in time order; those whose start cannot be read after the rest,
// in the order they were stored.
bool earlier(const SurveyAtSite& a, const SurveyAtSite& b)
{
    if (a.start.isValid() != b.start.isValid())
        return a.start.isValid();
    return a.start < b.start;
}

compare::SurveyInput inputOf(const SurveyAtSite& survey)
{
    return {studyOf(survey.header.batchNumber, survey.figures), survey.header};
}

// A survey's figures in the unit of the site's first survey, converted as
// a comparison of the two converts them.
HistoryRow rowOf(const compare::SurveyInput& first, const compare::SurveyInput& input,
                 const SurveyAtSite& survey, const QString& unit)
{
    const SiteFigures& own = survey.figures;
    HistoryRow row;
    row.batchNumber = survey.header.batchNumber;
    row.startDate = own.startDate;
    row.stopDate = own.stopDate;
    row.unit = own.unit;
    row.vehicles = own.vehicles;
    if (own.unit == unit) {
        row.limit = own.limit;
        row.vehiclesPerDay = own.vehiclesPerDay;
        row.mean = own.mean;
        row.percentile85 = own.percentile85;
        row.percentOverLimit = own.percentOverLimit;
        row.percentSpeeders = own.percentSpeeders;
        return row;
    }
    const compare::Comparison c = compare::compareStudies(first, input, compare::Tests::MeansOnly);
    const compare::SideFigures& converted = c.b.figures;
    row.converted = true;
    row.limit = converted.limit;
    row.vehiclesPerDay = converted.vehiclesPerDay;
    row.mean = converted.mean;
    row.percentile85 = converted.percentile85;
    row.percentOverLimit = converted.percentOverLimit;
    const qint64 speeders =
        compare::readingsOver(own.speeds, compare::overLimitBound(c, c.b, study::kSpeedingMargin));
    row.percentSpeeders = own.vehicles > 0 ? 100.0 * double(speeders) / double(own.vehicles) : 0.0;
    return row;
}

ChangeFromPrevious changeOf(const HistoryRow& before, const HistoryRow& after,
                            const compare::SurveyInput& previous, const compare::SurveyInput& survey)
{
    ChangeFromPrevious change;
    if (before.vehiclesPerDay && after.vehiclesPerDay)
        change.vehiclesPerDay = *after.vehiclesPerDay - *before.vehiclesPerDay;
    change.mean = after.mean - before.mean;
    change.percentile85 = after.percentile85 - before.percentile85;
    change.percentOverLimit = after.percentOverLimit - before.percentOverLimit;
    change.percentSpeeders = after.percentSpeeders - before.percentSpeeders;
    // The test reads speeds alike in either unit.
    const compare::TestOutcome test =
        compare::compareStudies(previous, survey, compare::Tests::MeansOnly).meanTest;
    change.significant = test.significant();
    if (!test.computed)
        change.verdict = QStringLiteral("too few vehicles to test");
    else
        change.verdict =
            QStringLiteral("%1 at 95 % (%2)")
                .arg(test.significant() ? QStringLiteral("significant") : QStringLiteral("not significant"),
                     compare::pValueText(test.pValue));
    return change;
}

bool sameText(const QString& a, const QString& b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

QString SiteSurveys::unit() const
{
    return surveys.empty() ? QStringLiteral("MPH") : surveys.front().figures.unit;
}

std::vector<SiteSurveys> readSites(store::SurveyStore& store)
{
    std::map<qint64, SiteSurveys> sites;
    for (store::Site& site : store.sites()) {
        const qint64 id = site.id;
        sites[id].site = std::move(site);
    }
    std::map<QString, survey::HeaderRow> headers;
    for (survey::HeaderRow& header : store.listHeaders()) {
        const QString batch = header.batchNumber;
        headers.emplace(batch, std::move(header));
    }
    for (const store::SiteSurvey& entry : store.siteSurveys()) {
        const auto site = sites.find(entry.siteId);
        const auto header = headers.find(entry.batchNumber);
        if (site == sites.end() || header == headers.end() || entry.method != kSiteFiguresMethod)
            continue;
        std::optional<SiteFigures> figures = siteFiguresFromText(entry.figuresText);
        if (!figures)
            continue;
        SurveyAtSite survey;
        survey.header = header->second;
        survey.start = text::parseStart(figures->startDate, figures->startTime).value_or(QDateTime());
        survey.figures = std::move(*figures);
        site->second.surveys.push_back(std::move(survey));
    }
    std::vector<SiteSurveys> result;
    for (auto& [id, site] : sites) {
        if (site.surveys.empty())
            continue;
        std::stable_sort(site.surveys.begin(), site.surveys.end(), earlier);
        result.push_back(std::move(site));
    }
    return result;
}

SiteHistory historyOf(const SiteSurveys& site)
{
    SiteHistory history;
    history.site = site.site;
    history.unit = site.unit();
    // Each survey as the comparison reads it, worked out once: it is set
    // beside the first survey and beside the one before it.
    std::vector<compare::SurveyInput> inputs;
    for (const SurveyAtSite& survey : site.surveys)
        inputs.push_back(inputOf(survey));
    QStringList converted;
    for (size_t i = 0; i < site.surveys.size(); ++i) {
        HistoryRow row = rowOf(inputs.front(), inputs[i], site.surveys[i], history.unit);
        if (row.converted)
            converted << row.batchNumber;
        if (i > 0)
            row.change = changeOf(history.rows.back(), row, inputs[i - 1], inputs[i]);
        history.rows.push_back(std::move(row));
    }
    if (!converted.isEmpty())
        history.conversionNote =
            QStringLiteral("%1 %2 measured in %3: %4 speeds are shown in %5, converted at 1 mile = 1.609344 "
                           "kilometres.")
                .arg(converted.size() == 1 ? QStringLiteral("Survey") : QStringLiteral("Surveys"),
                     converted.join(QStringLiteral(", ")) +
                         (converted.size() == 1 ? QStringLiteral(" was") : QStringLiteral(" were")),
                     study::unitText(history.unit == QLatin1String("KPH") ? QStringLiteral("MPH")
                                                                          : QStringLiteral("KPH")),
                     converted.size() == 1 ? QStringLiteral("its") : QStringLiteral("their"),
                     study::unitText(history.unit));
    return history;
}

std::vector<Priority> priorities(const std::vector<SiteSurveys>& sites, const PriorityFilter& filter)
{
    std::vector<Priority> list;
    const QString direction = survey::siteKey(QString(), filter.direction);
    for (const SiteSurveys& site : sites) {
        const SurveyAtSite* latest = nullptr;
        for (const SurveyAtSite& survey : site.surveys) {
            const QDate day = survey.start.date();
            if ((filter.since || filter.until) && !day.isValid())
                continue;
            if ((filter.since && day < *filter.since) || (filter.until && day > *filter.until))
                continue;
            if (!filter.zone.isEmpty() && !sameText(survey.header.zone, filter.zone))
                continue;
            if (!filter.direction.isEmpty() &&
                survey::siteKey(QString(), survey.header.direction) != direction)
                continue;
            latest = &survey; // the surveys are in time order
        }
        if (!latest)
            continue;
        const SiteFigures& figures = latest->figures;
        Priority priority;
        priority.siteId = site.site.id;
        priority.name = site.site.name;
        priority.location = latest->header.location;
        priority.direction = latest->header.direction;
        priority.zone = latest->header.zone;
        priority.latestBatch = latest->header.batchNumber;
        priority.startDate = figures.startDate;
        priority.unit = figures.unit;
        priority.postedLimit = figures.limit;
        priority.vehiclesPerDay = figures.vehiclesPerDay;
        priority.percentile85 = figures.percentile85;
        priority.percentile85OverLimit = figures.percentile85 - figures.limit;
        priority.percentSpeeders = figures.percentSpeeders;
        if (figures.limit > 0)
            priority.speedersPerDay = figures.speedersPerDay;
        list.push_back(std::move(priority));
    }
    // The most speeders a day first; between sites with as many, the higher
    // 85th percentile over the limit, then the site's name and direction in
    // alphabetical order, then its number.
    std::sort(list.begin(), list.end(), [](const Priority& a, const Priority& b) {
        if (a.speedersPerDay.has_value() != b.speedersPerDay.has_value())
            return a.speedersPerDay.has_value();
        if (a.speedersPerDay != b.speedersPerDay)
            return a.speedersPerDay > b.speedersPerDay;
        if (a.percentile85OverLimit != b.percentile85OverLimit)
            return a.percentile85OverLimit > b.percentile85OverLimit;
        for (const auto& [first, second] : {std::pair(a.name, b.name), std::pair(a.direction, b.direction)}) {
            if (const int order = first.trimmed().compare(second.trimmed(), Qt::CaseInsensitive))
                return order < 0;
        }
        return a.siteId < b.siteId;
    });
    return list;
}

study::SpeedStudy studyOf(const QString& batchNumber, const SiteFigures& figures)
{
    study::SpeedStudy study;
    study.batchNumber = batchNumber;
    study.unit = figures.unit;
    study.limit = figures.limit;
    study.threshold = study::defaultThreshold(figures.limit);
    study.paceWidth = figures.isKph() ? 16 : 10;
    study.start = text::parseStart(figures.startDate, figures.startTime).value_or(QDateTime());
    study.durationSeconds = figures.durationSeconds;
    study.directions[size_t(study::Direction::Both)] = study::directionFigures(figures.speeds, study);
    return study;
}

} // namespace pelmor::sites
