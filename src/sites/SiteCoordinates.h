#pragma once

#include <QString>

#include <optional>

namespace pelmor::sites {

// A site's place on the map, in degrees: north and east positive, so a
// site in the United States has a negative longitude.
struct Coordinates {
    double latitude = 0;
    double longitude = 0;
};

// The place a user typed as two numbers ("42.3601", "-71.0589"). None when
// either is no number or lies outside -90 to 90 (the latitude) or -180 to
// 180 (the longitude); `problem` then names which one and what to type.
std::optional<Coordinates> readCoordinates(const QString& latitude, const QString& longitude,
                                           QString& problem);

} // namespace pelmor::sites
