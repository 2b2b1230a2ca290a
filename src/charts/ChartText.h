#pragma once

#include <QFont>
#include <QString>

// What every chart of the program shares: its typeface and how its scales
// are numbered.
namespace pelmor::charts {

// Arial where it exists, its metric twin elsewhere.
QFont chartFont(int pixelSize, bool bold);

// A count on a scale, with thousands separators whatever the system's locale.
QString scaleText(double value);

// A step of 1, 2 or 5 times a power of ten that divides `range` into about
// `parts` parts, never below 1.
double niceStep(double range, double parts = 8.0);

} // namespace pelmor::charts
