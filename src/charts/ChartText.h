#pragma once

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class QPainter;

// What every chart of the program shares: its typeface, how its scales are
// numbered, and the image it is drawn into.
namespace pelmor::charts {

// Arial where it exists, its metric twin elsewhere.
QFont chartFont(int pixelSize, bool bold);

// A count on a scale, with thousands separators whatever the system's locale.
QString scaleText(double value);

// A step of 1, 2 or 5 times a power of ten that divides `range` into about
// `parts` parts, never below 1.
double niceStep(double range, double parts = 8.0);

// A white image of the given size with a chart painted on it.
QImage paintedImage(QSize size, const std::function<void(QPainter&)>& paint);

} // namespace pelmor::charts
