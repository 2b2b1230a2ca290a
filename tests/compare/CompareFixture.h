#pragma once

// What the comparison tests share: surveys of one street stored from their
// speeds, their comparison as the program works it out, and the statistics
// of two lists of speeds worked out the plain way.
#include "StudyFixture.h"
#include "compare/Comparison.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

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

inline std::vector<double> asDoubles(const QList<int>& speeds, double scale = 1.0)
{
    std::vector<double> values;
    for (const int speed : speeds)
        values.push_back(speed * scale);
    return values;
}

// Welch's t statistic and degrees of freedom from the two lists.
struct PlainWelch {
    double t = 0;
    double degrees = 0;
};

inline PlainWelch plainWelch(const std::vector<double>& a, const std::vector<double>& b)
{
    const auto meanAndVariance = [](const std::vector<double>& values) {
        long double sum = 0;
        for (const double value : values)
            sum += value;
        const long double mean = sum / values.size();
        long double squares = 0;
        for (const double value : values)
            squares += (value - mean) * (value - mean);
        return std::pair<double, double>(double(mean), double(squares / (values.size() - 1)));
    };
    const auto [meanA, varianceA] = meanAndVariance(a);
    const auto [meanB, varianceB] = meanAndVariance(b);
    const double ea = varianceA / a.size();
    const double eb = varianceB / b.size();
    return {(meanB - meanA) / std::sqrt(ea + eb),
            (ea + eb) * (ea + eb) / (ea * ea / (a.size() - 1) + eb * eb / (b.size() - 1))};
}

// The largest gap between the two lists' cumulative shares, looked for at
// every value of either list.
inline double plainKolmogorovDistance(std::vector<double> a, std::vector<double> b)
{
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    double distance = 0;
    for (const std::vector<double>* values : {&a, &b}) {
        for (const double value : *values) {
            const double shareA = double(std::upper_bound(a.begin(), a.end(), value) - a.begin()) / a.size();
            const double shareB = double(std::upper_bound(b.begin(), b.end(), value) - b.begin()) / b.size();
            distance = std::max(distance, std::abs(shareA - shareB));
        }
    }
    return distance;
}

// The two-proportion z statistic of the shares faster than `limit`.
inline double plainProportionZ(const std::vector<double>& a, const std::vector<double>& b, double limit)
{
    const auto over = [limit](const std::vector<double>& values) {
        return double(std::count_if(values.begin(), values.end(), [limit](double v) { return v > limit; }));
    };
    const double na = double(a.size()), nb = double(b.size());
    const double pooled = (over(a) + over(b)) / (na + nb);
    return (over(b) / nb - over(a) / na) / std::sqrt(pooled * (1 - pooled) * (1 / na + 1 / nb));
}

} // namespace pelmor::test
