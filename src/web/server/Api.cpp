#include "web/server/Api.h"

#include "compare/ComparisonExport.h"
#include "db/HiddenPasswords.h"
#include "queries/Queries.h"
#include "sites/SiteExport.h"
#include "study/StudyExport.h"

namespace pelmor::web::api {
namespace {

using queries::Answer;
using queries::Refusal;

WebResponse plainText(int status, const QString& message)
{
    return {status, "text/plain; charset=utf-8", message.toUtf8() + '\n', {}};
}

// A refused answer as its status, with the message as the body.
template <typename T> WebResponse refused(const Answer<T>& answer)
{
    switch (answer.refusal) {
    case Refusal::BadRequest:
        return plainText(400, answer.message);
    case Refusal::NotFound:
        return plainText(404, answer.message);
    case Refusal::DatabaseFailure:
    case Refusal::None:
        break;
    }
    // The database's own words may quote its connection: never a password.
    return plainText(503, db::hidePasswords(answer.message));
}

// The answer as JSON in the headless tool's layout, or its refusal.
template <typename T, typename ToJson> WebResponse json(const Answer<T>& answer, ToJson toJson)
{
    if (!answer.ok())
        return refused(answer);
    return WebResponse::json(queries::jsonText(toJson(*answer.value)));
}

// A CSV file the browser saves as `fileName`.
WebResponse csv(const QByteArray& body, const QString& fileName)
{
    QByteArray safeName;
    for (const QChar c : fileName)
        safeName += c.isLetterOrNumber() && c.unicode() < 0x80       ? char(c.unicode())
                    : c == QLatin1Char('-') || c == QLatin1Char('.') ? char(c.unicode())
                                                                     : '_';
    WebResponse response = WebResponse::of("text/csv; charset=utf-8", body);
    response.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + safeName + '"');
    return response;
}

// The date of query parameter `name` into `date`; a refusal when it is no
// date.
std::optional<WebResponse> readDate(const WebRequest& request, const QString& name,
                                    std::optional<QDate>& date)
{
    const auto read = queries::readFilterDate(name, request.queryValue(name));
    if (!read.ok())
        return refused(read);
    date = *read.value;
    return std::nullopt;
}

WebResponse surveys(const WebRequest& request, const QStringList&)
{
    queries::SurveyFilter filter;
    filter.text = request.queryValue(QStringLiteral("text"));
    filter.zone = request.queryValue(QStringLiteral("zone"));
    filter.direction = request.queryValue(QStringLiteral("direction"));
    if (auto bad = readDate(request, QStringLiteral("since"), filter.since))
        return *bad;
    if (auto bad = readDate(request, QStringLiteral("until"), filter.until))
        return *bad;
    return json(queries::listSurveys(request.database, filter), queries::surveysJson);
}

WebResponse summary(const WebRequest& request, const QStringList& arguments)
{
    return json(queries::storedSurvey(request.database, arguments[0]),
                [](const survey::SurveyRecord& record) { return queries::summaryJson(record.summary); });
}

WebResponse study(const WebRequest& request, const QStringList& arguments)
{
    const auto threshold =
        queries::readThreshold(QStringLiteral("threshold"), request.queryValue(QStringLiteral("threshold")));
    if (!threshold.ok())
        return refused(threshold);
    return json(queries::speedStudy(request.database, arguments[0], *threshold.value), study::studyJson);
}

WebResponse comparison(const WebRequest& request, const QStringList&)
{
    const QString a = request.queryValue(QStringLiteral("a"));
    const QString b = request.queryValue(QStringLiteral("b"));
    if (a.isEmpty() || b.isEmpty())
        return plainText(400, QStringLiteral("Name two surveys: /api/compare?a=BATCH_A&b=BATCH_B"));
    return json(queries::comparison(request.database, a, b), compare::comparisonJson);
}

WebResponse sitesList(const WebRequest& request, const QStringList&)
{
    return json(queries::allSites(request.database), sites::sitesJson);
}

WebResponse site(const WebRequest& request, const QStringList& arguments)
{
    return json(queries::siteHistory(request.database, arguments[0]), sites::historyJson);
}

// The ranking the query's filter asks for.
Answer<std::vector<sites::Priority>> ranking(const WebRequest& request, std::optional<WebResponse>& bad)
{
    sites::PriorityFilter filter;
    filter.zone = request.queryValue(QStringLiteral("zone"));
    filter.direction = request.queryValue(QStringLiteral("direction"));
    bad = readDate(request, QStringLiteral("since"), filter.since);
    if (!bad)
        bad = readDate(request, QStringLiteral("until"), filter.until);
    if (bad)
        return {};
    return queries::priorities(request.database, filter);
}

WebResponse priorities(const WebRequest& request, const QStringList&)
{
    std::optional<WebResponse> bad;
    const auto list = ranking(request, bad);
    return bad ? *bad : json(list, sites::prioritiesJson);
}

WebResponse prioritiesCsv(const WebRequest& request, const QStringList&)
{
    std::optional<WebResponse> bad;
    const auto list = ranking(request, bad);
    if (bad)
        return *bad;
    if (!list.ok())
        return refused(list);
    return csv(sites::prioritiesCsv(*list.value), QStringLiteral("priorities.csv"));
}

WebResponse vehiclesCsv(const WebRequest& request, const QStringList& arguments)
{
    const auto file = queries::vehiclesCsv(request.database, arguments[0]);
    if (!file.ok())
        return refused(file);
    return csv(*file.value, arguments[0] + QStringLiteral("-vehicles.csv"));
}

WebResponse sitesGeoJson(const WebRequest& request, const QStringList&)
{
    const auto all = queries::allSites(request.database);
    if (!all.ok())
        return refused(all);
    return WebResponse::of("application/geo+json", queries::jsonText(queries::sitesGeoJson(*all.value)));
}

} // namespace

std::vector<Route> apiRoutes()
{
    // What --public shows anyone: the sites, their histories and the
    // ranking, which name no officer; the surveys themselves, with their
    // vehicles, only to people signed in.
    return {
        {"GET", QStringLiteral("/api/surveys"), Access::Signed, surveys, Work::Light},
        {"GET", QStringLiteral("/api/surveys/{batch}/summary"), Access::Signed, summary, Work::Light},
        {"GET", QStringLiteral("/api/surveys/{batch}/study"), Access::Signed, study},
        {"GET", QStringLiteral("/api/surveys/{batch}/vehicles.csv"), Access::Signed, vehiclesCsv},
        {"GET", QStringLiteral("/api/compare"), Access::Signed, comparison},
        {"GET", QStringLiteral("/api/sites"), Access::Public, sitesList, Work::Light},
        {"GET", QStringLiteral("/api/sites.geojson"), Access::Public, sitesGeoJson, Work::Light},
        {"GET", QStringLiteral("/api/sites/{site}"), Access::Public, site, Work::Light},
        {"GET", QStringLiteral("/api/priorities"), Access::Public, priorities, Work::Light},
        {"GET", QStringLiteral("/api/priorities.csv"), Access::Public, prioritiesCsv, Work::Light},
    };
}

} // namespace pelmor::web::api
