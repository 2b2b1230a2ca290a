#include "web/forms/Forms.h"

#include "web/forms/DeleteForm.h"
#include "web/forms/KeptDownloads.h"
#include "web/forms/SendForm.h"

#include <memory>

namespace pelmor::web::forms {

std::vector<Route> formRoutes()
{
    // The downloads of refused forms live as long as the routes do.
    auto kept = std::make_shared<KeptDownloads>();
    return {
        {"GET", QStringLiteral("/surveys/new"), Access::Signed,
         [](const WebRequest& request, const QStringList&) {
             return sendFormPage(request);
         }},
        {"POST", QStringLiteral("/surveys/new"), Access::SendsData,
         [kept](const WebRequest& request, const QStringList&) {
             return sendDownload(request, *kept);
         }},
        {"GET", QStringLiteral("/surveys/{batch}/delete"), Access::Signed,
         [](const WebRequest& request, const QStringList& arguments) {
             return deletePage(request, arguments.value(0));
         }},
        {"POST", QStringLiteral("/surveys/{batch}/delete"), Access::DeletesData,
         [](const WebRequest& request, const QStringList& arguments) {
             return deleteSurvey(request, arguments.value(0));
         }},
    };
}

} // namespace pelmor::web::forms
