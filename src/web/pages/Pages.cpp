#include "web/pages/Pages.h"

#include "web/pages/PageParts.h"

#include <mutex>

// The style sheet and scripts are built into the library; a static
// library's resources are registered by name.
static void registerPageResources()
{
    Q_INIT_RESOURCE(pages);
}

namespace pelmor::web::pages {
namespace {

// The tile address, shared by the server's threads.
struct TileSource {
    std::mutex mutex;
    QString url;
};

TileSource& tiles()
{
    static TileSource source;
    return source;
}

// The links of the navigation: what the visitor may reach.
QString navigationHtml(const Visitor& visitor)
{
    QString items;
    const auto item = [&items](const QString& href, const QString& text) {
        items += QStringLiteral("<li>") + link(href, text) + QStringLiteral("</li>");
    };
    if (!visitor.publicOnly) {
        item(QStringLiteral("/surveys"), QStringLiteral("Surveys"));
        item(QStringLiteral("/compare"), QStringLiteral("Compare"));
    }
    item(QStringLiteral("/sites"), QStringLiteral("Sites"));
    item(QStringLiteral("/priorities"), QStringLiteral("Priorities"));
    if (visitor.maySend && !visitor.publicOnly)
        item(QStringLiteral("/surveys/new"), QStringLiteral("Send a download"));
    if (visitor.onServer) {
        if (visitor.signedIn) {
            items += QStringLiteral("<li><form method=\"post\" action=\"/sign-out\" class=\"inline\">"
                                    "<input type=\"hidden\" name=\"token\" value=\"%1\">"
                                    "<button type=\"submit\">Sign out %2</button></form></li>")
                         .arg(escaped(visitor.formToken), escaped(visitor.login));
        } else {
            item(QStringLiteral("/sign-in"), QStringLiteral("Sign in"));
        }
    }
    return QStringLiteral("<nav><a class=\"brand\" href=\"/\">pelmor</a><ul>") + items +
           QStringLiteral("</ul></nav>");
}

} // namespace

QString escaped(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

QByteArray pageHtml(const Visitor& visitor, const QString& title, const QString& bodyHtml)
{
    return pageHtml(visitor, title, bodyHtml, QString());
}

QByteArray pageHtml(const Visitor& visitor, const QString& title, const QString& bodyHtml,
                    const QString& headHtml)
{
    return (QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
                           "<title>%1 - pelmor</title><link rel=\"icon\" href=\"data:,\">"
                           "<link rel=\"stylesheet\" href=\"/static/style.css\">"
                           "<script src=\"/static/sort.js\" defer></script>")
                .arg(escaped(title)) +
            headHtml + QStringLiteral("</head><body>") + navigationHtml(visitor) +
            QStringLiteral("<main><h1>%1</h1>").arg(escaped(title)) + bodyHtml +
            QStringLiteral("</main></body></html>\n"))
        .toUtf8();
}

WebResponse errorPage(const Visitor& visitor, int status, const QString& message)
{
    const QString title = status == 404   ? QStringLiteral("Not found")
                          : status == 400 ? QStringLiteral("Not understood")
                          : status == 403 ? QStringLiteral("Not allowed")
                          : status >= 500 ? QStringLiteral("Not available")
                                          : QStringLiteral("Not shown");
    return WebResponse::html(pageHtml(visitor, title, messageHtml(message, true)), status);
}

WebResponse signInPage(const Visitor& visitor, const QString& message, const QString& login,
                       const QString& next)
{
    QString body = messageHtml(message, true);
    body += QStringLiteral("<form method=\"post\" action=\"/sign-in\" class=\"stacked\">"
                           "<input type=\"hidden\" name=\"next\" value=\"%1\">"
                           "<label>Login <input name=\"login\" value=\"%2\" autocomplete=\"username\" "
                           "required></label>"
                           "<label>Password <input type=\"password\" name=\"password\" "
                           "autocomplete=\"current-password\" required></label>"
                           "<button type=\"submit\">Sign in</button></form>")
                .arg(escaped(next), escaped(login));
    return WebResponse::html(pageHtml(visitor, QStringLiteral("Sign in"), body));
}

void setTileSource(const QString& url)
{
    const std::lock_guard<std::mutex> lock(tiles().mutex);
    tiles().url = url;
}

QString tileSource()
{
    const std::lock_guard<std::mutex> lock(tiles().mutex);
    return tiles().url;
}

std::vector<Route> pageRoutes()
{
    registerPageResources();
    std::vector<Route> routes;
    routes.push_back({"GET", QStringLiteral("/"), Access::Public,
                      [](const WebRequest& request, const QStringList&) {
                          return WebResponse::redirect(request.visitor.publicOnly ? "/sites" : "/surveys");
                      },
                      Work::Light});
    for (auto* part : {surveyRoutes, intervalRoutes, compareRoutes, siteRoutes, staticRoutes}) {
        std::vector<Route> more = part();
        routes.insert(routes.end(), std::make_move_iterator(more.begin()),
                      std::make_move_iterator(more.end()));
    }
    return routes;
}

} // namespace pelmor::web::pages
