#include "web/server/Router.h"

namespace pelmor::web::server {
namespace {

// The segments of `pattern` matched against those of a path; the arguments
// of the braced segments and the number of literal ones, or false when it
// does not match.
bool matches(const QString& pattern, const QStringList& segments, QStringList& arguments, int& literals)
{
    const QStringList parts = pattern.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() != segments.size())
        return false;
    arguments.clear();
    literals = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.startsWith(QLatin1Char('{')) && part.endsWith(QLatin1Char('}'))) {
            if (segments[i].isEmpty())
                return false;
            arguments << segments[i];
        } else if (part != segments[i]) {
            return false;
        } else {
            ++literals;
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
    int best = -1;
    for (const Route& route : routes) {
        int literals = 0;
        if (!matches(route.pattern, segments, arguments, literals))
            continue;
        if (route.method != asked) {
            found.otherMethod = true;
        } else if (literals > best) {
            best = literals;
            found.route = &route;
            found.arguments = arguments;
        }
    }
    if (found.route)
        found.otherMethod = false;
    return found;
}

} // namespace pelmor::web::server
