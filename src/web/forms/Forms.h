#pragma once

#include "web/WebRequest.h"

#include <vector>

// The web view's forms that change data: sending a saved download as a new
// survey, and deleting a survey. Every one carries the visitor's form token
// (checked before they are reached) and is stored whole or not at all.
namespace pelmor::web::forms {

std::vector<Route> formRoutes();

} // namespace pelmor::web::forms
