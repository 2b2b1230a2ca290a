#include "sites/SiteCoordinates.h"

#include "text/MessageText.h"

#include <cmath>

namespace pelmor::sites {
namespace {

// One coordinate in degrees from -`most` to `most`; none, with the reason,
// when the text is no such number.
std::optional<double> readDegrees(const QString& typed, const char* name, int most, const char* example,
                                  QString& problem)
{
    bool number = false;
    const double degrees = typed.trimmed().toDouble(&number);
    if (number && std::isfinite(degrees) && degrees >= -most && degrees <= most)
        return degrees;
    // One arg() for all: a typed "%4" stays as typed.
    const QString range = QString::number(most);
    problem =
        QStringLiteral("The %1 %2 is %3. Type the %1 in degrees from -%4 to %4, such as %5.")
            .arg(QLatin1String(name), text::quotedValue(typed),
                 number ? QStringLiteral("outside -%1 to %1").arg(range) : QStringLiteral("not a number"),
                 range, QLatin1String(example));
    return std::nullopt;
}

} // namespace

std::optional<Coordinates> readCoordinates(const QString& latitude, const QString& longitude,
                                           QString& problem)
{
    const auto north = readDegrees(latitude, "latitude", 90, "42.3601", problem);
    if (!north)
        return std::nullopt;
    const auto east = readDegrees(longitude, "longitude", 180, "-71.0589", problem);
    if (!east)
        return std::nullopt;
    return Coordinates{*north, *east};
}

} // namespace pelmor::sites
