#pragma once

#include <QtGlobal>

namespace pelmor::study {

// The two-sided 95 % critical value of Student's t distribution with the
// given degrees of freedom (12.706 for 1, 2.228 for 10, 1.960 in the limit):
// the factor of the standard error in the confidence interval of a mean
// measured on a sample of degrees + 1 vehicles. 0 for no degrees of freedom.
double studentT95(qint64 degreesOfFreedom);

} // namespace pelmor::study
