#include "study/StudentT.h"

#include <cmath>

namespace pelmor::study {
namespace {

constexpr double kPi = 3.14159265358979323846;

// P(|T| < t) for Student's t with a whole number of degrees of freedom, in
// its closed form: a finite series in the cosine of atan(t / sqrt(df)).
double centralProbability(double t, qint64 degrees)
{
    const double theta = std::atan(t / std::sqrt(double(degrees)));
    const double sine = std::sin(theta);
    const double cosine = std::cos(theta);
    const double cosineSquared = cosine * cosine;
    if (degrees % 2 == 1) {
        double series = 0;
        double term = cosine;
        for (qint64 k = 3; k <= degrees; k += 2) {
            series += term;
            term *= cosineSquared * double(k - 1) / double(k);
        }
        return 2.0 / kPi * (theta + sine * series);
    }
    double series = 0;
    double term = 1;
    for (qint64 k = 2; k <= degrees; k += 2) {
        series += term;
        term *= cosineSquared * double(k - 1) / double(k);
    }
    return sine * series;
}

} // namespace

double studentT95(qint64 degreesOfFreedom)
{
    if (degreesOfFreedom < 1)
        return 0.0;
    // Beyond a thousand degrees the closed form needs a thousand terms and
    // the Cornish-Fisher expansion around the normal quantile is exact to
    // far below the digits shown.
    if (degreesOfFreedom > 1000) {
        const double z = 1.959963984540054;
        const double z3 = z * z * z, z5 = z3 * z * z, z7 = z5 * z * z;
        const double v = double(degreesOfFreedom);
        return z + (z3 + z) / (4 * v) + (5 * z5 + 16 * z3 + 3 * z) / (96 * v * v) +
               (3 * z7 + 19 * z5 + 17 * z3 - 15 * z) / (384 * v * v * v);
    }
    // The probability grows with t: halve the bracket until it is tight.
    double low = 0, high = 64;
    for (int step = 0; step < 80; ++step) {
        const double middle = (low + high) / 2;
        (centralProbability(middle, degreesOfFreedom) < 0.95 ? low : high) = middle;
    }
    return (low + high) / 2;
}

} // namespace pelmor::study
