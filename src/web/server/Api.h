#pragma once

#include "web/WebRequest.h"

#include <vector>

// The web view's API for other programs, under /api/: the headless tool's
// JSON, byte for byte, its CSV exports, and the sites as GeoJSON.
namespace pelmor::web::api {

std::vector<Route> apiRoutes();

} // namespace pelmor::web::api
