#include "web/pages/PageParts.h"
#include "web/pages/Pages.h"

#include "sites/SiteExport.h"
#include "sites/SiteGraphs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>

namespace pelmor::web::pages {
namespace {

QString siteHref(qint64 id)
{
    return QStringLiteral("/sites/%1").arg(id);
}

// How strongly a site's marker is coloured: 0 without a count of speeders
// per day, then 1 (under 10) to 4 (100 and more).
int speedingLevel(const std::optional<double>& speedersPerDay)
{
    if (!speedersPerDay)
        return 0;
    if (*speedersPerDay < 10)
        return 1;
    if (*speedersPerDay < 30)
        return 2;
    if (*speedersPerDay < 100)
        return 3;
    return 4;
}

const char* const kLevelNames[] = {"no count", "under 10", "10 to 29", "30 to 99", "100 and more"};

// JSON to stand inside a <script> element: no "<" (so no "</script>" or
// "<!--"), ">" or "&" is left in it; JSON reads the escapes back as the
// same characters.
QString scriptSafeJson(const QJsonObject& object)
{
    QString json = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
    json.replace(QLatin1Char('<'), QLatin1String("\\u003c"));
    json.replace(QLatin1Char('>'), QLatin1String("\\u003e"));
    json.replace(QLatin1Char('&'), QLatin1String("\\u0026"));
    return json;
}

WebResponse sitesPage(const WebRequest& request)
{
    const Visitor& visitor = request.visitor;
    const auto all = queries::allSites(request.database);
    if (!all.ok())
        return refusalPage(visitor, all);
    std::map<qint64, std::optional<double>> speeding;
    for (const sites::Priority& priority : sites::priorities(*all.value, {}))
        speeding[priority.siteId] = priority.speedersPerDay;

    QJsonArray markers;
    for (const sites::SiteSurveys& site : *all.value) {
        if (!site.site.latitude || !site.site.longitude)
            continue;
        const std::optional<double> perDay = speeding[site.site.id];
        markers.append(QJsonObject{
            {QStringLiteral("title"), sites::siteTitle(site.site)},
            {QStringLiteral("href"), siteHref(site.site.id)},
            {QStringLiteral("latitude"), *site.site.latitude},
            {QStringLiteral("longitude"), *site.site.longitude},
            {QStringLiteral("speedersPerDay"), perDay ? QJsonValue(*perDay) : QJsonValue()},
            {QStringLiteral("level"), speedingLevel(perDay)},
        });
    }
    QString body;
    if (markers.isEmpty()) {
        body += messageHtml(QStringLiteral("No site has coordinates yet, so the map shows none; set them on "
                                           "the Sites tab of the program."));
    } else {
        body += QStringLiteral("<script type=\"application/json\" id=\"map-data\">%1</script>")
                    .arg(scriptSafeJson(QJsonObject{{QStringLiteral("tiles"), tileSource()},
                                                    {QStringLiteral("sites"), markers}}));
        body += QStringLiteral(
            "<div id=\"map\" class=\"map\" role=\"region\" aria-label=\"Map of the sites\"></div>"
            "<ul class=\"legend\"><li class=\"legend-title\">Speeders per day:</li>");
        for (int level = 0; level < 5; ++level)
            body += QStringLiteral("<li><span class=\"swatch level-%1\"></span>%2</li>")
                        .arg(level)
                        .arg(QLatin1String(kLevelNames[level]));
        body += QStringLiteral("</ul>");
    }
    if (all.value->empty()) {
        body += messageHtml(
            QStringLiteral("The database holds no site yet: sites are made as surveys are stored."));
    } else {
        const std::vector<sites::SiteSurveys>& list = *all.value;
        body +=
            tableHtml(sites::sitesColumns(), sites::sitesRows(list), true, [&list](size_t row, int column) {
                return column <= 1 ? siteHref(list[row].site.id) : QString();
            });
    }
    body += QStringLiteral("<p>") +
            link(QStringLiteral("/priorities"), QStringLiteral("Sites ranked by speeders per day")) +
            QStringLiteral("</p>");
    return WebResponse::html(mapPageHtml(visitor, QStringLiteral("Sites"), body));
}

WebResponse sitePage(const WebRequest& request, const QString& named)
{
    const Visitor& visitor = request.visitor;
    const auto history = queries::siteHistory(request.database, named);
    if (!history.ok())
        return refusalPage(visitor, history);
    const sites::SiteHistory& site = *history.value;
    const QString base = siteHref(site.site.id);
    QString body =
        QStringLiteral("<nav class=\"actions\" aria-label=\"Site\"><ul><li>%1</li><li>%2</li></ul></nav>")
            .arg(link(base + QStringLiteral("/document.pdf"), QStringLiteral("Site history (PDF)")),
                 link(base + QStringLiteral("/intervals?by=1d"), QStringLiteral("Intervals")));
    const bool linkSurveys = !visitor.publicOnly;
    body += tableHtml(sites::historyColumns(site), sites::historyRows(site), true,
                      [&site, linkSurveys](size_t row, int column) {
                          return linkSurveys && column == 0 && row < site.rows.size()
                                     ? QStringLiteral("/surveys/") + pathPart(site.rows[row].batchNumber)
                                     : QString();
                      });
    if (!site.conversionNote.isEmpty())
        body += QStringLiteral("<p class=\"note\">%1</p>").arg(escaped(site.conversionNote));
    for (const char* graph : {"speed", "volume"})
        body += QStringLiteral("<figure><img src=\"%1/graphs/%2.svg\" alt=\"%3\"></figure>")
                    .arg(base, QLatin1String(graph),
                         graph[0] == 's' ? QStringLiteral("Speeds of each survey")
                                         : QStringLiteral("Vehicles per day of each survey"));
    return WebResponse::html(pageHtml(visitor, sites::siteTitle(site.site), body));
}

WebResponse siteGraph(const WebRequest& request, const QString& named, const QString& file)
{
    if (file != QLatin1String("speed.svg") && file != QLatin1String("volume.svg"))
        return errorPage(
            request.visitor, 404,
            QStringLiteral("There is no graph %1; a site's graphs are speed.svg and volume.svg.").arg(file));
    const auto history = queries::siteHistory(request.database, named);
    if (!history.ok())
        return refusalPage(request.visitor, history);
    return svgResponse(lineGraphSvg(file == QLatin1String("speed.svg")
                                        ? sites::speedHistoryGraph(*history.value)
                                        : sites::volumeHistoryGraph(*history.value)));
}

WebResponse siteDocument(const WebRequest& request, const QString& named)
{
    const auto history = queries::siteHistory(request.database, named);
    if (!history.ok())
        return refusalPage(request.visitor, history);
    queries::DocumentRequest document;
    document.number = int(reports::ReportChoice::SiteHistoryReport);
    document.site = history.value->site.id;
    return documentResponse(request, document);
}

// The ranking's filter from the address, or the refusal of a date.
queries::Answer<sites::PriorityFilter> priorityFilter(const WebRequest& request)
{
    sites::PriorityFilter filter;
    filter.zone = request.queryValue("zone");
    filter.direction = request.queryValue("direction");
    const auto since = queries::readFilterDate(QStringLiteral("Since"), request.queryValue("since"));
    if (!since.ok())
        return queries::Answer<sites::PriorityFilter>::from(since);
    const auto until = queries::readFilterDate(QStringLiteral("Until"), request.queryValue("until"));
    if (!until.ok())
        return queries::Answer<sites::PriorityFilter>::from(until);
    filter.since = *since.value;
    filter.until = *until.value;
    return queries::Answer<sites::PriorityFilter>::of(filter);
}

WebResponse prioritiesPage(const WebRequest& request)
{
    const Visitor& visitor = request.visitor;
    const QString title = QStringLiteral("Speeding priorities");
    std::vector<std::pair<QString, QString>> items;
    for (const char* name : {"zone", "direction", "since", "until"})
        items.emplace_back(QLatin1String(name), request.queryValue(QLatin1String(name)));
    const QString form =
        QStringLiteral("<form method=\"get\" action=\"/priorities\" class=\"filters\">") +
        textField(QStringLiteral("zone"), QStringLiteral("Zone"), request.queryValue("zone")) +
        textField(QStringLiteral("direction"), QStringLiteral("Direction"), request.queryValue("direction")) +
        textField(QStringLiteral("since"), QStringLiteral("Since"), request.queryValue("since"),
                  QStringLiteral("MM/DD/YYYY")) +
        textField(QStringLiteral("until"), QStringLiteral("Until"), request.queryValue("until"),
                  QStringLiteral("MM/DD/YYYY")) +
        QStringLiteral("<button type=\"submit\">Show</button></form>");
    const auto filter = priorityFilter(request);
    if (!filter.ok())
        return WebResponse::html(pageHtml(visitor, title, messageHtml(filter.message, true) + form),
                                 statusOf(filter.refusal));
    const auto ranking = queries::priorities(request.database, *filter.value);
    if (!ranking.ok())
        return refusalPage(visitor, ranking);
    const std::vector<sites::Priority>& list = *ranking.value;
    QString body = form;
    body +=
        QStringLiteral("<nav class=\"actions\" aria-label=\"Ranking\"><ul><li>%1</li><li>%2</li></ul></nav>")
            .arg(link(QStringLiteral("/api/priorities.csv") + queryString(items),
                      QStringLiteral("Ranking (CSV)")),
                 link(QStringLiteral("/priorities/document.pdf") + queryString(items),
                      QStringLiteral("Speeding priorities (PDF)")));
    if (list.empty()) {
        body += messageHtml(QStringLiteral("No site has a survey that matches these filters."));
    } else {
        const bool linkSurveys = !visitor.publicOnly;
        body += tableHtml(sites::prioritiesColumns(), sites::prioritiesRows(list), true,
                          [&list, linkSurveys](size_t row, int column) {
                              if (column == 1)
                                  return siteHref(list[row].siteId);
                              if (column == 4 && linkSurveys)
                                  return QStringLiteral("/surveys/") + pathPart(list[row].latestBatch);
                              return QString();
                          });
    }
    return WebResponse::html(pageHtml(visitor, title, body));
}

WebResponse prioritiesDocument(const WebRequest& request)
{
    const auto filter = priorityFilter(request);
    if (!filter.ok())
        return refusalPage(request.visitor, filter);
    queries::DocumentRequest document;
    document.number = int(reports::ReportChoice::SpeedingPriorities);
    document.priorityFilter = *filter.value;
    return documentResponse(request, document);
}

} // namespace

std::vector<Route> siteRoutes()
{
    return {
        {"GET", QStringLiteral("/sites"), Access::Public,
         [](const WebRequest& request, const QStringList&) { return sitesPage(request); }, Work::Light},
        {"GET", QStringLiteral("/sites/{site}"), Access::Public,
         [](const WebRequest& request, const QStringList& arguments) {
             return sitePage(request, arguments.at(0));
         },
         Work::Light},
        {"GET", QStringLiteral("/sites/{site}/graphs/{file}"), Access::Public,
         [](const WebRequest& request, const QStringList& arguments) {
             return siteGraph(request, arguments.at(0), arguments.at(1));
         },
         Work::Light},
        {"GET", QStringLiteral("/sites/{site}/document.pdf"), Access::Public,
         [](const WebRequest& request, const QStringList& arguments) {
             return siteDocument(request, arguments.at(0));
         }},
        {"GET", QStringLiteral("/priorities"), Access::Public,
         [](const WebRequest& request, const QStringList&) { return prioritiesPage(request); }, Work::Light},
        {"GET", QStringLiteral("/priorities/document.pdf"), Access::Public,
         [](const WebRequest& request, const QStringList&) {
             return prioritiesDocument(request);
         }},
    };
}

} // namespace pelmor::web::pages
