#include "Command.h"
#include "SharedOptions.h"
#include "db/DbError.h"
#include "queries/Queries.h"
#include "sites/SiteCoordinates.h"
#include "sites/SiteExport.h"
#include "sites/SitePlacement.h"
#include "sites/SiteTrends.h"
#include "store/SurveyStore.h"
#include "study/StudyText.h"
#include "survey/SiteKey.h"
#include "text/MessageText.h"

namespace pelmor::cli {
namespace {

const QCommandLineOption& sitesJsonOption()
{
    static const QCommandLineOption option(QStringLiteral("json"), QStringLiteral("Print JSON."));
    return option;
}

// The sites of the database, the surveys stored without figures placed
// first, with the store they were read from (kept open for changes); none
// (after printing why) when the database fails.
std::optional<std::vector<sites::SiteSurveys>> readAllSites(Context& context,
                                                            std::unique_ptr<store::SurveyStore>& store)
{
    try {
        store = store::openStore(context.database);
        sites::placeSurveysWithoutSiteFigures(*store);
        return sites::readSites(*store);
    } catch (const db::DbError& error) {
        fail(context, error.message());
        return std::nullopt;
    }
}

// The site SITE names; nullptr (after printing why) when none or several.
const sites::SiteSurveys* findSite(const std::vector<sites::SiteSurveys>& all, const QString& named,
                                   Context& context)
{
    const auto found = queries::findSite(all, named);
    if (!found.ok())
        failed(context, found);
    return found.value.value_or(nullptr);
}

} // namespace

void addSitesOptions(QCommandLineParser& parser)
{
    parser.addOption(sitesJsonOption());
}

int runSites(const QCommandLineParser& parser, Context& context)
{
    const auto answer = queries::allSites(context.database);
    if (!answer.ok())
        return failed(context, answer);
    const auto& all = answer.value;
    if (parser.isSet(sitesJsonOption())) {
        context.out << queries::jsonText(sites::sitesJson(*all));
        return 0;
    }
    if (all->empty()) {
        context.out << "The database holds no survey, so it has no sites yet.\n";
        return 0;
    }
    context.out << textTable(sites::sitesColumns(), sites::sitesRows(*all));
    return 0;
}

void addSiteOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("SITE"),
                                 QStringLiteral("The site's number (see 'pelmor-cli sites'), or its name."));
    parser.addOption(sitesJsonOption());
}

int runSite(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 2)
        return fail(context, QStringLiteral("Name one site: pelmor-cli site SITE [--json]"));
    const auto answer = queries::siteHistory(context.database, arguments[1]);
    if (!answer.ok())
        return failed(context, answer);
    const sites::SiteHistory& history = *answer.value;
    if (parser.isSet(sitesJsonOption())) {
        context.out << queries::jsonText(sites::historyJson(history));
        return 0;
    }
    context.out << sites::siteTitle(history.site) << "\n\n"
                << textTable(sites::historyColumns(history), sites::historyRows(history)) << '\n';
    for (const sites::HistoryRow& row : history.rows) {
        if (row.change)
            context.out << row.batchNumber << ": change of the mean " << row.change->verdict << '\n';
    }
    if (!history.conversionNote.isEmpty())
        context.out << "* " << history.conversionNote << '\n';
    return 0;
}

void addPrioritiesOptions(QCommandLineParser& parser)
{
    addSurveyFilterOptions(parser);
    parser.addOption(sitesJsonOption());
    parser.addOption({QStringLiteral("csv"), QStringLiteral("Print CSV.")});
}

int runPriorities(const QCommandLineParser& parser, Context& context)
{
    sites::PriorityFilter filter;
    if (!readSurveyFilter(parser, context, filter))
        return 1;
    const auto answer = queries::priorities(context.database, filter);
    if (!answer.ok())
        return failed(context, answer);
    const std::vector<sites::Priority>& list = *answer.value;
    if (parser.isSet(sitesJsonOption())) {
        context.out << queries::jsonText(sites::prioritiesJson(list));
        return 0;
    }
    if (parser.isSet(QStringLiteral("csv"))) {
        context.out << QString::fromUtf8(sites::prioritiesCsv(list));
        return 0;
    }
    if (list.empty()) {
        context.out << "No site has a survey that matches.\n";
        return 0;
    }
    context.out << textTable(sites::prioritiesColumns(), sites::prioritiesRows(list));
    return 0;
}

void addSiteChangeOptions(QCommandLineParser& parser)
{
    parser.addPositionalArgument(QStringLiteral("merge|split|place"), QStringLiteral("What to change."));
}

int runSiteChange(const QCommandLineParser& parser, Context& context)
{
    const QStringList arguments = parser.positionalArguments().mid(1);
    const QString usage = QStringLiteral("Say what to change: pelmor-cli site-change merge SITE INTO_SITE | "
                                         "split BATCH | place SITE LATITUDE LONGITUDE");
    if (arguments.isEmpty())
        return fail(context, usage);
    std::unique_ptr<store::SurveyStore> store;
    const auto all = readAllSites(context, store);
    if (!all)
        return 1;
    try {
        if (arguments[0] == QLatin1String("merge") && arguments.size() == 3) {
            const sites::SiteSurveys* from = findSite(*all, arguments[1], context);
            const sites::SiteSurveys* into = from ? findSite(*all, arguments[2], context) : nullptr;
            if (!into)
                return 1;
            if (from == into)
                return fail(context, QStringLiteral("A site cannot be merged into itself."));
            if (!store->mergeSites(from->site.id, into->site.id))
                return fail(context, QStringLiteral("The site was changed by someone else meanwhile; look at "
                                                    "'pelmor-cli sites' and try again."));
            context.out << "Merged " << sites::siteTitle(from->site) << " into "
                        << sites::siteTitle(into->site) << ".\n";
            return 0;
        }
        if (arguments[0] == QLatin1String("split") && arguments.size() == 2) {
            const survey::SurveyRecord survey = store->loadSurvey(arguments[1]);
            if (!survey.hasHeader)
                return fail(context, QStringLiteral("The database holds no survey %1.").arg(arguments[1]));
            const qint64 id = store->splitSurvey(arguments[1]);
            if (id == 0)
                return fail(context, QStringLiteral("Survey %1 has no site yet.").arg(arguments[1]));
            context.out << "Survey " << arguments[1] << " is now site " << id << " of its own.\n";
            return 0;
        }
        if (arguments[0] == QLatin1String("place") && arguments.size() == 4) {
            const sites::SiteSurveys* site = findSite(*all, arguments[1], context);
            if (!site)
                return 1;
            QString problem;
            const auto place = sites::readCoordinates(arguments[2], arguments[3], problem);
            if (!place)
                return fail(context, problem);
            if (!store->setSiteCoordinates(site->site.id, place->latitude, place->longitude))
                return fail(context,
                            QStringLiteral("The site is no longer there; look at 'pelmor-cli sites'."));
            context.out << "Placed " << sites::siteTitle(site->site) << " at " << arguments[2] << ' '
                        << arguments[3] << ".\n";
            return 0;
        }
    } catch (const db::DbError& error) {
        return fail(context, error.message());
    }
    return fail(context, usage);
}

} // namespace pelmor::cli
