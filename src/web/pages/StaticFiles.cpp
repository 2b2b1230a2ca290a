#include "web/pages/PageParts.h"
#include "web/pages/Pages.h"

#include <QFile>
#include <QRegularExpression>

namespace pelmor::web::pages {
namespace {

WebResponse staticFile(const QString& path, const QByteArray& contentType, const Visitor& visitor)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return errorPage(visitor, 404,
                         QStringLiteral("The file %1 is not there.").arg(path.section('/', -1)));
    WebResponse response = WebResponse::of(contentType, file.readAll());
    response.headers.push_back({"Cache-Control", "public, max-age=3600"});
    return response;
}

// A file of the program's own, built into it.
Route builtIn(const char* name, const char* contentType)
{
    const QString file = QLatin1String(name);
    const QByteArray type(contentType);
    return {"GET", QStringLiteral("/static/") + file, Access::Anyone,
            [file, type](const WebRequest& request, const QStringList&) {
                return staticFile(QStringLiteral(":/web/static/") + file, type, request.visitor);
            },
            Work::Light};
}

// Leaflet's files as Debian installs them; only the names Leaflet asks for
// are served, so no address reaches any other file.
WebResponse leafletFile(const WebRequest& request, const QString& name, bool image)
{
    static const QRegularExpression imageName(QStringLiteral("^[a-z0-9-]+\\.png$"));
    const QString folder = QStringLiteral(PELMOR_LEAFLET_DIR);
    if (image) {
        if (!imageName.match(name).hasMatch())
            return errorPage(request.visitor, 404, QStringLiteral("The map has no image %1.").arg(name));
        return staticFile(folder + QStringLiteral("/images/") + name, "image/png", request.visitor);
    }
    if (name == QLatin1String("leaflet.js"))
        return staticFile(folder + QStringLiteral("/leaflet.js"), "text/javascript; charset=utf-8",
                          request.visitor);
    if (name == QLatin1String("leaflet.css"))
        return staticFile(folder + QStringLiteral("/leaflet.css"), "text/css; charset=utf-8",
                          request.visitor);
    return errorPage(request.visitor, 404, QStringLiteral("The map has no file %1.").arg(name));
}

} // namespace

std::vector<Route> staticRoutes()
{
    return {
        builtIn("style.css", "text/css; charset=utf-8"),
        builtIn("map.js", "text/javascript; charset=utf-8"),
        builtIn("sort.js", "text/javascript; charset=utf-8"),
        {"GET", QStringLiteral("/static/leaflet/{file}"), Access::Anyone,
         [](const WebRequest& request, const QStringList& arguments) {
             return leafletFile(request, arguments.at(0), false);
         },
         Work::Light},
        {"GET", QStringLiteral("/static/leaflet/images/{file}"), Access::Anyone,
         [](const WebRequest& request, const QStringList& arguments) {
             return leafletFile(request, arguments.at(0), true);
         },
         Work::Light},
    };
}

} // namespace pelmor::web::pages
