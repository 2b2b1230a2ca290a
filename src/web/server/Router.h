#pragma once

#include "web/WebRequest.h"

#include <QStringList>

#include <vector>

namespace pelmor::web::server {

// The route a request reaches, with the arguments its pattern's braces
// took; no route when none matches. `otherMethod` tells that the path
// matches a route of another method.
struct RouteMatch {
    const Route* route = nullptr;
    QStringList arguments;
    bool otherMethod = false;
};

// The route of `routes` whose method is `method` (HEAD asks as GET) and whose
// pattern matches the decoded `segments` of a path: the same number of
// segments, literal ones equal, each braced one taking a non-empty segment.
// Of several, the one with the most literal segments ("/surveys/new" before
// "/surveys/{batch}"), then the first.
RouteMatch matchRoute(const std::vector<Route>& routes, const QByteArray& method,
                      const QStringList& segments);

} // namespace pelmor::web::server
