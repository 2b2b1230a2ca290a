#include "web/server/Router.h"

namespace pelmor::web::server {
namespace {

// The segments of `pattern` matched against those of a path; the arguments
// of the braced segments, or false when it does not match.
bool matches(const QString& pattern, const QStringList& segments, QStringList& arguments)
{
    const QStringList parts = pattern.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() != segments.size())
        return false;
    arguments.clear();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.startsWith(QLatin1Char('{')) && part.endsWith(QLatin1Char('}'))) {
            if (segments[i].isEmpty())
                return false;
            arguments << segments[i];
        } else if (part != segments[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

RouteMatch matchRoute(const std::vector<Route>& routes, const QByteArray& method, const QStringList& segments)
{
    const QByteArray asked = method == "HEAD" ? QByteArray("GET") : method;
    RouteMatch found;
    QStringList arguments;
    for (const Route& route : routes) {
        if (!matches(route.pattern, segments, arguments))
            continue;
        if (route.method == asked) {
            found.route = &route;
            found.arguments = arguments;
            return found;
        }
        found.otherMethod = true;
    }
    return found;
}

} // namespace pelmor::web::server
