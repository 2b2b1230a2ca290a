#pragma once

#include <QtGlobal>

#include <vector>

// The probability distributions behind the confidence intervals and the
// tests of significance, worked out from their defining series and
// continued fractions.
namespace pelmor::study {

// The regularized incomplete beta function I_x(a, b) for a, b > 0 and x in
// [0, 1]: the share of the Beta(a, b) distribution at or below x.
double regularizedIncompleteBeta(double a, double b, double x);

// The probability that Student's t with the given (not necessarily whole)
// degrees of freedom lies further from 0 than |t|: the two-sided p-value of
// a t statistic. 1 for t = 0; 0 for no degrees of freedom.
double studentTTwoSided(double t, double degreesOfFreedom);

// The two-sided 95 % critical value of Student's t distribution with the
// given degrees of freedom (12.706 for 1, 2.228 for 10, 1.960 in the limit):
// the factor of the standard error in the confidence interval of a mean
// measured on a sample of degrees + 1 vehicles. 0 for no degrees of freedom.
double studentT95(qint64 degreesOfFreedom);

// The standard normal distribution's share at or below z.
double normalCdf(double z);
// The probability that a standard normal value lies further from 0 than
// |z|: the two-sided p-value of a z statistic.
double normalTwoSided(double z);

// The Kolmogorov distribution's share above lambda,
// Q(lambda) = 2 * sum over j >= 1 of (-1)^(j-1) * exp(-2 j^2 lambda^2):
// the probability that the scaled largest gap between the cumulative
// distributions of two samples of one population exceeds lambda. 1 for
// lambda <= 0.
double kolmogorovSurvival(double lambda);

// The probability that two samples of n and m values drawn from one
// population lie at least d apart by the two-sample Kolmogorov-Smirnov
// distance: the exact p-value, found by following every order in which the
// values of the two samples can come when pooled and sorted, each of the
// (n + m choose n) orders equally likely. `ties` gives the sizes of the runs
// of equal values in the pooled, sorted sample, slowest first: the distance
// is then looked at only where the value changes, which gives the exact
// p-value for samples with those ties. Without `ties` every value stands
// alone. Time grows with n * m, memory with the smaller of n and m. 1 for
// d <= 0.
double kolmogorovSmirnovExact(qint64 n, qint64 m, double d, const std::vector<qint64>& ties = {});

} // namespace pelmor::study
