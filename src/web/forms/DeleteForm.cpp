#include "web/forms/DeleteForm.h"

#include "maintenance/SurveyDeletion.h"
#include "store/SurveyStore.h"
#include "text/Formats.h"
#include "web/pages/Pages.h"

#include <QUrl>

namespace pelmor::web::forms {
namespace {

using pages::escaped;

QByteArray surveyPath(const QString& batch)
{
    return "/surveys/" + QUrl::toPercentEncoding(batch);
}

WebResponse notAllowed(const Visitor& visitor)
{
    return pages::errorPage(visitor, 403, store::deletionRefused());
}

// What is stored under the batch number; none, with the page to show
// instead, when nothing is or the database cannot be read.
std::optional<store::SurveyContents> contentsOf(const WebRequest& request, const QString& batch,
                                                WebResponse& instead)
{
    store::SurveyContents contents;
    try {
        contents = store::openStore(request.database)->surveyContents(batch);
    } catch (const db::DbError& error) {
        instead = pages::errorPage(
            request.visitor, 500,
            QStringLiteral("The survey %1 cannot be read: %2 Try again later.").arg(batch, error.message()));
        return std::nullopt;
    }
    if (!contents.header && contents.vehicles.value_or(0) == 0) {
        instead = pages::errorPage(request.visitor, 404,
                                   QStringLiteral("No survey %1 is stored; nothing was deleted.").arg(batch));
        return std::nullopt;
    }
    return contents;
}

} // namespace

WebResponse deletePage(const WebRequest& request, const QString& batch)
{
    const Visitor& visitor = request.visitor;
    if (!visitor.mayDelete)
        return notAllowed(visitor);
    WebResponse instead;
    const auto contents = contentsOf(request, batch, instead);
    if (!contents)
        return instead;

    // The window's question, then the survey's particulars.
    QString body = QStringLiteral("<p class=\"question\">%1</p>")
                       .arg(escaped(maintenance::deleteSurveyQuestion(request.database, batch))
                                .replace(QLatin1String("\r\n"), QLatin1String("<br>")));
    const QStringList about = contents->about;
    const QString rows[][2] = {
        {QStringLiteral("Batch Number"), batch},
        {QStringLiteral("Survey Location"), about.value(0)},
        {QStringLiteral("Direction of Travel"), about.value(1)},
        {QStringLiteral("Survey Start Date"), about.value(2)},
        {QStringLiteral("Vehicles"),
         contents->vehicles ? text::formatCount(*contents->vehicles) : QStringLiteral("not counted")},
    };
    body += QStringLiteral("<table class=\"survey\">");
    for (const auto& [caption, value] : rows)
        body += QStringLiteral("<tr><th scope=\"row\">%1</th><td>%2</td></tr>")
                    .arg(escaped(caption), escaped(value));
    body += QStringLiteral("</table>");
    // "No" comes first and has the focus, so Enter alone deletes nothing.
    body += QStringLiteral("<form method=\"post\" action=\"%1/delete\">"
                           "<input type=\"hidden\" name=\"token\" value=\"%2\">"
                           "<button type=\"submit\" name=\"confirm\" value=\"no\" autofocus>No</button> "
                           "<button type=\"submit\" name=\"confirm\" value=\"yes\">Yes</button></form>")
                .arg(escaped(QString::fromLatin1(surveyPath(batch))), escaped(visitor.formToken));
    return WebResponse::html(pages::pageHtml(visitor, QStringLiteral("Delete survey %1?").arg(batch), body));
}

WebResponse deleteSurvey(const WebRequest& request, const QString& batch)
{
    const Visitor& visitor = request.visitor;
    if (!visitor.mayDelete)
        return notAllowed(visitor);
    if (request.formValue(QStringLiteral("confirm")) != QLatin1String("yes"))
        return WebResponse::redirect(surveyPath(batch));
    WebResponse instead;
    if (!contentsOf(request, batch, instead))
        return instead;
    const maintenance::Outcome outcome = maintenance::deleteSurvey(request.database, batch);
    switch (outcome.status) {
    case maintenance::Outcome::Status::Done:
        return WebResponse::redirect("/surveys?deleted=" + QUrl::toPercentEncoding(batch));
    case maintenance::Outcome::Status::Refused:
        // A server refuses only a role that may not delete; a file, only
        // while another program writes to it.
        if (store::capabilitiesOf(request.database).keeper == store::Keeper::AgencyServer)
            return notAllowed(visitor);
        return pages::errorPage(visitor, 409, outcome.message);
    case maintenance::Outcome::Status::Failed:
        break;
    }
    return pages::errorPage(visitor, 500, outcome.message + QLatin1Char('\n') + outcome.details);
}

} // namespace pelmor::web::forms
