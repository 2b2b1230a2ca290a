#include "compare/ComparisonMaths.h"

#include "study/Distributions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace pelmor::compare {
namespace {

// A speed that need not be whole as the nearest 64-bit whole number, held
// within the range of those.
qint64 wholeWithin(double speed)
{
    constexpr double kLimit = 9.2e18;
    return qint64(std::clamp(speed, -kLimit, kLimit));
}

} // namespace

Significance welchTest(const SampleMoments& a, const SampleMoments& b)
{
    Significance test;
    const double varianceA = a.size > 1 ? a.standardDeviation * a.standardDeviation / double(a.size) : 0;
    const double varianceB = b.size > 1 ? b.standardDeviation * b.standardDeviation / double(b.size) : 0;
    const double standardError = std::sqrt(varianceA + varianceB);
    if (a.size < 2 || b.size < 2 || !(standardError > 0))
        return test;
    test.computed = true;
    test.statistic = (b.mean - a.mean) / standardError;
    // Welch-Satterthwaite: the degrees of freedom of the two unequal variances.
    test.degreesOfFreedom =
        (varianceA + varianceB) * (varianceA + varianceB) /
        (varianceA * varianceA / double(a.size - 1) + varianceB * varianceB / double(b.size - 1));
    test.pValue = study::studentTTwoSided(test.statistic, test.degreesOfFreedom);
    return test;
}

Significance distributionTest(const study::SpeedHistogram& speedsA, double scaleA,
                              const study::SpeedHistogram& speedsB, double scaleB)
{
    Significance test;
    if (speedsA.isEmpty() || speedsB.isEmpty())
        return test;
    test.computed = true;
    test.statistic = kolmogorovDistance(speedsA, scaleA, speedsB, scaleB);
    if (speedsA.total() <= kExactDistributionTest / speedsB.total()) {
        test.exact = true;
        // In one unit the surveys share whole speeds, and their ties are
        // those of the pooled speeds. In two units the distance spreads each
        // reading over the speeds that round to it, as if no two vehicles
        // drove alike: the distribution without ties.
        std::vector<qint64> ties;
        if (scaleA == scaleB) {
            study::SpeedHistogram pooled = speedsA;
            pooled.add(speedsB);
            pooled.forEachSpeed([&ties](qint64, qint64 vehicles) { ties.push_back(vehicles); });
        }
        test.pValue = study::kolmogorovSmirnovExact(speedsA.total(), speedsB.total(), test.statistic, ties);
    } else {
        const double nA = double(speedsA.total());
        const double nB = double(speedsB.total());
        const double root = std::sqrt(nA * nB / (nA + nB));
        // The scale of the distance that follows the Kolmogorov distribution,
        // with the usual correction for samples of modest size.
        test.pValue = study::kolmogorovSurvival((root + 0.12 + 0.11 / root) * test.statistic);
    }
    return test;
}

Significance proportionTest(double overA, qint64 sizeA, double overB, qint64 sizeB)
{
    Significance test;
    if (sizeA == 0 || sizeB == 0)
        return test;
    const double pooled = (overA + overB) / double(sizeA + sizeB);
    if (pooled <= 0.0 || pooled >= 1.0)
        return test;
    test.computed = true;
    const double standardError =
        std::sqrt(pooled * (1.0 - pooled) * (1.0 / double(sizeA) + 1.0 / double(sizeB)));
    test.statistic = (overB / double(sizeB) - overA / double(sizeA)) / standardError;
    test.pValue = study::normalTwoSided(test.statistic);
    return test;
}

qint64 readingsOver(const study::SpeedHistogram& speeds, double bound)
{
    return speeds.total() - speeds.countAtOrBelow(wholeWithin(std::floor(bound)));
}

double apportionedAtOrBelow(const study::SpeedHistogram& speeds, double speed)
{
    // The whole speed whose span holds `speed`, and how far into the span it is.
    const double cell = std::floor(speed + 0.5);
    const double into = speed - (cell - 0.5);
    const qint64 whole = wholeWithin(cell);
    return double(speeds.countUnder(whole)) + into * double(speeds.countAt(whole));
}

double kolmogorovDistance(const study::SpeedHistogram& first, double scaleFirst,
                          const study::SpeedHistogram& second, double scaleSecond)
{
    if (first.isEmpty() || second.isEmpty())
        return 0.0;
    // The bounds of the wider speeds are where both shares are known best.
    const bool firstWider = scaleFirst >= scaleSecond;
    const study::SpeedHistogram& wide = firstWider ? first : second;
    const study::SpeedHistogram& narrow = firstWider ? second : first;
    const double wideScale = firstWider ? scaleFirst : scaleSecond;
    const double narrowScale = firstWider ? scaleSecond : scaleFirst;
    const double wideTotal = double(wide.total());
    const double narrowTotal = double(narrow.total());
    double distance = 0;
    // The gap at the upper bound of a whole speed of the wider histogram.
    const auto gapAt = [&](qint64 speed, qint64 wideAtOrBelow) {
        const double narrowAtOrBelow =
            apportionedAtOrBelow(narrow, (double(speed) + 0.5) * wideScale / narrowScale);
        distance =
            std::max(distance, std::abs(double(wideAtOrBelow) / wideTotal - narrowAtOrBelow / narrowTotal));
    };
    // Outside the wider histogram's speeds its share is 0 or 1 and the other
    // share only moves towards it. Between two of its speeds its share stays
    // and the other only rises, so the gap is widest at one end: at the
    // speed just below each of its speeds, and at each of them.
    qint64 wideAtOrBelow = 0;
    wide.forEachSpeed([&](qint64 speed, qint64 vehicles) {
        if (speed > std::numeric_limits<qint64>::min())
            gapAt(speed - 1, wideAtOrBelow);
        wideAtOrBelow += vehicles;
        gapAt(speed, wideAtOrBelow);
    });
    return distance;
}

} // namespace pelmor::compare
