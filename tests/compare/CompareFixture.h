#pragma once

// What the comparison tests share: surveys of one street stored from their
// speeds, and their comparison as the program works it out.
#include "StudyFixture.h"
#include "compare/Comparison.h"

#include <QDateTime>

#include <optional>

namespace pelmor::test {

// Monday 03/02/26 00:00, the start of the first week the tests survey.
inline QDateTime firstMonday()
{
    return at(QStringLiteral("03/02/26 00:00"));
}

// A survey of Elm Street, northbound, at a limit of 35 mph: the speeds
// given, spread evenly over `days` days from `start`, both ways in turn.
inline Survey streetSurvey(const QString& batch, const QList<int>& speeds, const QDateTime& start,
                           double days)
{
    Survey survey;
    survey.batchNumber = batch;
    survey.location = QStringLiteral("Elm Street");
    survey.postedSpeed = QStringLiteral("035");
    survey.start = start;
    survey.durationSeconds = qint64(days * 24 * 3600);
    survey.speeds.assign(speeds.begin(), speeds.end());
    for (qsizetype i = 0; i < speeds.size(); ++i)
        survey.directions.append(i % 2 ? '-' : '+');
    return survey;
}

// The comparison of two stored surveys; none (with a warning in the test's
// output) when there is none.
inline std::optional<compare::Comparison> comparisonOf(TempProgramFolder& folder, const QString& batchA,
                                                       const QString& batchB)
{
    compare::ComparisonResult result = compare::compareSurveys(folder.database(), batchA, batchB);
    if (!result.ok())
        qWarning("no comparison: %s", qPrintable(result.message));
    return std::move(result.comparison);
}

} // namespace pelmor::test
