#pragma once

#include "loggen/LogHeader.h"

#include <QtGlobal>

#include <array>

namespace pelmor::loggen {

// How the traffic of a generated survey looks. The defaults describe a
// residential street in miles per hour: about 1,500 vehicles a day, quiet at
// night, peaks around 8:00 and 17:00, speeds a little above a 35 limit.
struct SurveyProfile {
    LogHeader header;
    qint64 durationSeconds = 24 * 3600;
    // Vehicles per hour for each clock hour 0-23.
    std::array<double, 24> hourlyVolume = {12, 7,  5,  4,   6,   15,  45,  110, 125, 85, 70, 75,
                                           85, 80, 85, 105, 130, 140, 105, 75,  55,  40, 28, 18};
    double meanSpeed = 38.0;
    double speedSd = 6.0;
    int minSpeed = 5;
    int maxSpeed = 120;
    // Shares of approaching ('+') and receding ('-') vehicles; the rest are '?'.
    double approachShare = 0.48;
    double recedeShare = 0.48;
    quint32 seed = 1;
    // When above 0, exactly this many vehicles spread by the hourly profile;
    // otherwise the count follows from the profile (a Poisson process).
    qint64 exactCount = 0;
};

// The default profile with speeds fitted to the header: a mean a little above
// the posted limit (3 MPH or 5 KPH) and, for KPH, spread and clamp range
// scaled to kilometres per hour.
SurveyProfile profileForHeader(const LogHeader& header);

} // namespace pelmor::loggen
