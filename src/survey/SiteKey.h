#pragma once

#include <QString>

namespace pelmor::survey {

// The key that a survey's location and direction of travel are compared by:
// letters and digits only, without regard to case, each run of anything
// else read as one blank ("Elm St." and "ELM  ST" are one key).
QString siteKey(const QString& location, const QString& direction);

} // namespace pelmor::survey
