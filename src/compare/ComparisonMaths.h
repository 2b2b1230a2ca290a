#pragma once

#include "study/SpeedHistogram.h"

#include <QtGlobal>

// The numbers behind setting two surveys side by side: counts over a speed
// that need not be whole, the Kolmogorov-Smirnov distance, and the three
// tests of significance. Plain arithmetic on counts and figures, with
// neither words nor the store.
namespace pelmor::compare {

// Up to this product of the two surveys' vehicles the Kolmogorov-Smirnov
// p-value comes from the exact distribution of the distance, counted in
// some 0.1 s; above it the large-sample approximation is close enough. Below
// it that approximation can be far out: 0.031 for 10 against 10 vehicles
// where the exact chance is 0.052, and for a survey of 10 vehicles against
// one of 1,234 it can say 0.95 where the exact chance is 0.85.
inline constexpr qint64 kExactDistributionTest = 10'000'000;

// What one test of significance found: its statistic and p-value.
struct Significance {
    bool computed = false; // false: the surveys cannot carry the test
    double statistic = 0;  // t, D or z
    double pValue = 1;
    double degreesOfFreedom = 0; // Welch's t-test only
    // The p-value from the exact distribution of the statistic rather than
    // its approximation for large samples (the Kolmogorov-Smirnov test of
    // small surveys).
    bool exact = false;
};

// The figures of one sample that a test of its mean needs.
struct SampleMoments {
    qint64 size = 0;
    double mean = 0;
    double standardDeviation = 0; // sample (n - 1)
};

// Welch's t-test of whether the means of two samples differ, the second's
// minus the first's; not computed for fewer than two values on a side or
// values that do not vary.
Significance welchTest(const SampleMoments& first, const SampleMoments& second);

// The two-sample Kolmogorov-Smirnov test of whether two histograms of whole
// speeds, scaled to one unit as kolmogorovDistance takes them, come from
// one distribution; not computed when either is empty.
Significance distributionTest(const study::SpeedHistogram& first, double scaleFirst,
                              const study::SpeedHistogram& second, double scaleSecond);

// The two-proportion z-test of whether the share `over` / `size` changed
// from the first sample to the second. Not computed when a sample is empty,
// or when none or all of the pooled values are over.
Significance proportionTest(double overFirst, qint64 sizeFirst, double overSecond, qint64 sizeSecond);

// The readings of a histogram of whole speeds above a speed that need not
// be whole: the vehicles counted over a bound.
qint64 readingsOver(const study::SpeedHistogram& speeds, double bound);

// The vehicles of a histogram of whole speeds at or below a speed that
// need not be whole, apportioned: each whole speed stands for the speeds
// that round to it, spread evenly, so a bound inside its span takes a share
// of its vehicles. A whole number at the bounds between whole speeds
// (35.5). What the tests between surveys in two units measure with (the
// Kolmogorov-Smirnov distance, the share over the limit); the counts shown
// and exported are whole readings.
double apportionedAtOrBelow(const study::SpeedHistogram& speeds, double speed);

// The two-sample Kolmogorov-Smirnov distance between two histograms of
// whole speeds, speeds of the first times `scaleFirst` and of the second
// times `scaleSecond` being speeds of one unit: the largest gap between
// their cumulative shares. Each whole speed stands for the speeds that round
// to it, spread evenly; the gap is measured at the bounds of the wider
// speeds, so that for two histograms of one unit it is the exact distance
// between their cumulative distributions.
double kolmogorovDistance(const study::SpeedHistogram& first, double scaleFirst,
                          const study::SpeedHistogram& second, double scaleSecond);

} // namespace pelmor::compare
