#pragma once

// Everything needed to make a sign log: vehicles from a survey profile, and
// the log text that the sign sends for them.
#include "loggen/LogHeader.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/Vehicle.h"
#include "loggen/VehicleGenerator.h"
