#pragma once

#include "import/DownloadVehicles.h"
#include "logs/LogReading.h"

#include <QDateTime>

#include <vector>

// A log read with a layout, turned into what the import stores for a
// survey: the start the survey header shows and the vehicles as a download
// gives them.
namespace pelmor::logs {

struct LogSurvey {
    // The first vehicle's time; the header shows its date and its time to
    // the minute.
    QDateTime start;
    // In time order: each vehicle's offset in seconds from the start's
    // minute, its speed, its direction as "+", "-" or "?" and its length.
    std::vector<import::DownloadVehicle> vehicles;
};

// The survey of a read log that holds at least one vehicle.
LogSurvey logSurvey(const ReadLog& log);

} // namespace pelmor::logs
