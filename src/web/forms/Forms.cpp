#include "web/forms/Forms.h"

namespace pelmor::web::forms {

std::vector<Route> formRoutes()
{
    return {};
}

} // namespace pelmor::web::forms
