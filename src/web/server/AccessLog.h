#pragma once

#include <QString>

namespace pelmor::web::server {

// Writes one line to the standard error, whole, whatever thread calls.
void logLine(const QString& line);

} // namespace pelmor::web::server
