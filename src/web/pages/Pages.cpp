#include "web/pages/Pages.h"

namespace pelmor::web::pages {

QString escaped(const QString& text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\''), QLatin1String("&#39;"));
}

QByteArray pageHtml(const Visitor&, const QString& title, const QString& bodyHtml)
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>%1</title>"
                          "</head><body><h1>%1</h1>%2</body></html>\n")
        .arg(escaped(title), bodyHtml)
        .toUtf8();
}

WebResponse errorPage(const Visitor& visitor, int status, const QString& message)
{
    return WebResponse::html(
        pageHtml(visitor, QStringLiteral("Not shown"), QStringLiteral("<p>%1</p>").arg(escaped(message))),
        status);
}

WebResponse signInPage(const Visitor& visitor, const QString& message, const QString& login,
                       const QString& next)
{
    QString body;
    if (!message.isEmpty())
        body += QStringLiteral("<p class=\"message\">%1</p>").arg(escaped(message));
    body += QStringLiteral("<form method=\"post\" action=\"/sign-in\">"
                           "<input type=\"hidden\" name=\"next\" value=\"%1\">"
                           "<label>Login <input name=\"login\" value=\"%2\"></label>"
                           "<label>Password <input type=\"password\" name=\"password\"></label>"
                           "<button type=\"submit\">Sign in</button></form>")
                .arg(escaped(next), escaped(login));
    return WebResponse::html(pageHtml(visitor, QStringLiteral("Sign in"), body));
}

std::vector<Route> pageRoutes()
{
    return {};
}

} // namespace pelmor::web::pages
