#include "study/Distributions.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace pelmor::study {
namespace {

constexpr double kPi = 3.14159265358979323846;

// The continued fraction of the incomplete beta function, evaluated by the
// modified Lentz method. It converges quickly for x < (a + 1) / (a + b + 2);
// the number of terms grows with the square root of the larger parameter,
// some thousands for a sample of millions.
double betaContinuedFraction(double a, double b, double x)
{
    constexpr int kMostTerms = 1000000;
    constexpr double kPrecision = 1e-15;
    constexpr double kTiny = 1e-300;
    const auto guarded = [](double value) {
        return std::abs(value) < kTiny ? kTiny : value;
    };
    const double sum = a + b;
    double c = 1.0;
    double d = 1.0 / guarded(1.0 - sum * x / (a + 1.0));
    double fraction = d;
    for (int m = 1; m <= kMostTerms; ++m) {
        const double twice = 2.0 * m;
        // The even step of the fraction, then the odd one.
        double numerator = m * (b - m) * x / ((a - 1.0 + twice) * (a + twice));
        d = 1.0 / guarded(1.0 + numerator * d);
        c = guarded(1.0 + numerator / c);
        fraction *= d * c;
        numerator = -(a + m) * (sum + m) * x / ((a + twice) * (a + 1.0 + twice));
        d = 1.0 / guarded(1.0 + numerator * d);
        c = guarded(1.0 + numerator / c);
        const double step = d * c;
        fraction *= step;
        if (std::abs(step - 1.0) < kPrecision)
            break;
    }
    return fraction;
}

// I_x(a, b) with y = 1 - x given as well, so that an x very close to 1
// (a t statistic of a large sample) loses no digits to the subtraction.
double incompleteBeta(double a, double b, double x, double y)
{
    if (x <= 0.0)
        return 0.0;
    if (y <= 0.0)
        return 1.0;
    // x^a y^b / B(a, b), in logarithms: the parameters may be in the millions.
    const double front =
        std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log(y));
    if (x < (a + 1.0) / (a + b + 2.0))
        return front * betaContinuedFraction(a, b, x) / a;
    // The symmetry I_x(a, b) = 1 - I_y(b, a), on the side where the fraction converges.
    return 1.0 - front * betaContinuedFraction(b, a, y) / b;
}

} // namespace

double regularizedIncompleteBeta(double a, double b, double x)
{
    return incompleteBeta(a, b, std::clamp(x, 0.0, 1.0), 1.0 - std::clamp(x, 0.0, 1.0));
}

double studentTTwoSided(double t, double degreesOfFreedom)
{
    if (!(degreesOfFreedom > 0))
        return 0.0;
    if (std::isinf(t))
        return 0.0;
    // P(|T| > t) = I_x(df / 2, 1 / 2) with x = df / (df + t^2).
    const double squared = t * t;
    const double total = degreesOfFreedom + squared;
    return std::clamp(incompleteBeta(degreesOfFreedom / 2.0, 0.5, degreesOfFreedom / total, squared / total),
                      0.0, 1.0);
}

double studentT95(qint64 degreesOfFreedom)
{
    if (degreesOfFreedom < 1)
        return 0.0;
    // The two-sided p-value falls as t grows: halve the bracket until it is
    // tight. 12.706 for one degree of freedom is the largest answer.
    double low = 0, high = 64;
    for (int step = 0; step < 60; ++step) {
        const double middle = (low + high) / 2;
        (studentTTwoSided(middle, double(degreesOfFreedom)) > 0.05 ? low : high) = middle;
    }
    return (low + high) / 2;
}

double normalCdf(double z)
{
    return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

double normalTwoSided(double z)
{
    return std::erfc(std::abs(z) / std::sqrt(2.0));
}

double kolmogorovSurvival(double lambda)
{
    if (!(lambda > 0))
        return 1.0;
    // Two forms of one function, each of them fast where the other is slow:
    // for small lambda the theta-function form,
    // 1 - sqrt(2 pi) / lambda * sum over j >= 1 of exp(-(2j - 1)^2 pi^2 / (8 lambda^2)).
    if (lambda < 1.18) {
        const double factor = -kPi * kPi / (8.0 * lambda * lambda);
        double sum = 0;
        for (int j = 1; j <= 8; ++j) {
            const double odd = 2.0 * j - 1.0;
            sum += std::exp(factor * odd * odd);
        }
        return std::clamp(1.0 - std::sqrt(2.0 * kPi) / lambda * sum, 0.0, 1.0);
    }
    double sum = 0;
    for (int j = 1; j <= 100; ++j) {
        const double term = std::exp(-2.0 * j * j * lambda * lambda);
        sum += (j % 2 == 1 ? term : -term);
        if (term < 1e-17)
            break;
    }
    return std::clamp(2.0 * sum, 0.0, 1.0);
}

double kolmogorovSmirnovExact(qint64 n, qint64 m, double d, const std::vector<qint64>& ties)
{
    if (!(d > 0) || n <= 0 || m <= 0)
        return 1.0;
    // The walk reads the same with the two samples swapped: it goes along
    // the larger one and keeps a row as long as the smaller one.
    if (m > n)
        std::swap(n, m);
    const qint64 all = n + m;
    // |i / n - j / m| >= d as whole numbers, |i m - j n| >= d n m, a hair
    // under, so that the observed distance itself counts.
    const double bound = d * double(n) * double(m) - 1e-6;
    // Where the distance is looked at: after every value, or at the end of
    // each run of equal values. Row i looks at the values i to i + m of
    // the pooled order; the first run ending at or after i is followed
    // from row to row.
    size_t firstRun = 0;
    qint64 firstEnd = ties.empty() ? 0 : ties.front();
    // reach[j]: the chance of reaching i values of the larger sample and j
    // of the smaller, the distance never reached on the way. From each
    // point the next value is one of the first sample's n - i left, or one
    // of the second's m - j, in proportion. Where the distance is reached,
    // the chance of getting there is the p-value's.
    std::vector<double> reach(size_t(m) + 1, 0.0);
    double exceeded = 0;
    for (qint64 i = 0; i <= n; ++i) {
        while (firstRun + 1 < ties.size() && firstEnd < i)
            firstEnd += ties[++firstRun];
        size_t run = firstRun;
        qint64 runEnd = firstEnd;
        for (qint64 j = 0; j <= m; ++j) {
            const qint64 at = i + j;
            bool looked = ties.empty();
            if (!looked) {
                while (run + 1 < ties.size() && runEnd < at)
                    runEnd += ties[++run];
                looked = runEnd == at;
            }
            // Both steps into (i, j) come from points with all - i - j + 1
            // values left. The share is worked out apart from the chances,
            // so that one point need not wait for the division of the last.
            const double share = i + j > 0 ? 1.0 / double(all - i - j + 1) : 1.0;
            double here = i == 0 && j == 0 ? 1.0 : 0.0;
            if (i > 0)
                here += reach[size_t(j)] * double(n - i + 1) * share;
            if (j > 0)
                here += reach[size_t(j - 1)] * (double(m - j + 1) * share);
            if (looked && std::abs(double(i * m - j * n)) >= bound) {
                exceeded += here;
                here = 0;
            }
            reach[size_t(j)] = here;
        }
    }
    return std::clamp(exceeded, 0.0, 1.0);
}

} // namespace pelmor::study
