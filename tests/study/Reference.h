#pragma once

// The figures of a list of speeds worked out the plain way, for the tests to
// hold the study against: the speeds sorted, counted and summed one by one,
// every pace window tried.
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace pelmor::test {

struct Reference {
    qint64 n = 0;
    double mean = 0;
    double sd = 0;
    int min = 0;
    int max = 0;
    std::map<int, double> ranked;       // by per cent
    std::map<int, double> interpolated; // by per cent, of grouped speeds
    int paceLow = 0;
    qint64 paceCount = 0;
    std::map<int, qint64> over; // vehicles faster than the limit plus the key
    qint64 overThreshold = 0;
    std::map<int, qint64> bins; // vehicles by the low bound of their 5-wide bin
};

inline Reference referenceOf(std::vector<int> speeds, int limit, int threshold, int paceWidth)
{
    Reference r;
    r.n = qint64(speeds.size());
    if (speeds.empty())
        return r;
    std::sort(speeds.begin(), speeds.end());
    r.min = speeds.front();
    r.max = speeds.back();
    long double sum = 0;
    for (const int speed : speeds)
        sum += speed;
    r.mean = double(sum / speeds.size());
    long double squares = 0;
    for (const int speed : speeds)
        squares += (speed - sum / speeds.size()) * (speed - sum / speeds.size());
    r.sd = speeds.size() > 1 ? double(std::sqrt(squares / (speeds.size() - 1))) : 0.0;
    for (const int p : {15, 50, 85, 95, 98}) {
        // The smallest rank r with r >= p * n / 100.
        qint64 rank = 1;
        while (rank * 100 < qint64(p) * r.n)
            ++rank;
        const int ranked = speeds[size_t(rank - 1)];
        r.ranked[p] = ranked;
        // Read from the cumulative curve of grouped speeds: the ranked speed
        // spans ranked - 0.5 to ranked + 0.5, its vehicles spread evenly.
        const auto below = std::count_if(speeds.begin(), speeds.end(), [&](int s) { return s < ranked; });
        const auto at = std::count(speeds.begin(), speeds.end(), ranked);
        r.interpolated[p] = ranked - 0.5 + (p / 100.0 * double(r.n) - double(below)) / double(at);
    }
    r.paceCount = -1;
    for (int low = r.min - paceWidth; low <= r.max; ++low) {
        const qint64 inside = std::count_if(speeds.begin(), speeds.end(),
                                            [&](int s) { return s >= low && s < low + paceWidth; });
        if (inside > r.paceCount) {
            r.paceCount = inside;
            r.paceLow = low;
        }
    }
    for (const int margin : {0, 5, 10, 15})
        r.over[margin] =
            std::count_if(speeds.begin(), speeds.end(), [&](int s) { return s > limit + margin; });
    r.overThreshold = std::count_if(speeds.begin(), speeds.end(), [&](int s) { return s > threshold; });
    for (const int speed : speeds)
        r.bins[int(std::floor(speed / 5.0)) * 5] += 1;
    return r;
}

// The figures of a reference under the names the study's exports give them,
// with the critical value of Student's t for n - 1 degrees of freedom. The
// counts are there for no vehicles too, the speeds from one vehicle on, the
// spread from two.
inline std::map<QString, double> namedFigures(const Reference& r, int paceWidth, double t95)
{
    std::map<QString, double> named = {
        {"n", r.n}, {"pace_count", r.paceCount}, {"over_threshold", r.overThreshold}};
    const auto percent = [&r](qint64 count) {
        return 100.0 * double(count) / double(r.n);
    };
    for (const int margin : {0, 5, 10, 15}) {
        const QString suffix = margin ? QStringLiteral("_%1").arg(margin) : QString();
        named[QStringLiteral("over_limit") + suffix] = r.n ? r.over.at(margin) : 0;
        if (r.n)
            named[QStringLiteral("pct_over_limit") + suffix] = percent(r.over.at(margin));
    }
    if (r.n == 0)
        return named;
    for (const auto& [p, speed] : r.ranked) {
        named[QStringLiteral("p%1").arg(p)] = speed;
        named[QStringLiteral("p%1_interpolated").arg(p)] = r.interpolated.at(p);
    }
    named.insert({{"mean", r.mean},
                  {"min", r.min},
                  {"max", r.max},
                  {"pace_low", r.paceLow},
                  {"pace_high", r.paceLow + paceWidth},
                  {"pace_pct", percent(r.paceCount)},
                  {"pct_over_threshold", percent(r.overThreshold)}});
    if (r.n > 1) {
        const double se = r.sd / std::sqrt(double(r.n));
        named.insert(
            {{"sd", r.sd}, {"se", se}, {"ci95_low", r.mean - t95 * se}, {"ci95_high", r.mean + t95 * se}});
    }
    return named;
}

} // namespace pelmor::test
