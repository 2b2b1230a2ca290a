#pragma once

#include <QString>

namespace pelmor::stats {

// Shown when a graph or breakdown is asked for and the current survey has no
// vehicles: none was chosen yet, or the database is empty.
inline QString noSurveyMessage()
{
    return QStringLiteral("The Database is empty OR you have to select a SURVEY on the second tab.");
}

} // namespace pelmor::stats
