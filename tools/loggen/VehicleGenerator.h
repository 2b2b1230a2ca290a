#pragma once

#include "loggen/SurveyProfile.h"
#include "loggen/Vehicle.h"

#include <vector>

namespace pelmor::loggen {

// Vehicles for a survey: offsets sorted, each in [0, durationSeconds), the
// traffic of each clock hour following the profile, speeds near-normal around
// the mean with a thin fast fringe, rounded and clamped to [minSpeed,
// maxSpeed]. The same profile (seed included) gives the same vehicles.
std::vector<Vehicle> generateVehicles(const SurveyProfile& profile);

} // namespace pelmor::loggen
