#pragma once

#include "import/DownloadVehicles.h"
#include "logs/LogReading.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// A log's vehicles as a survey stores them: a start date and time and each
// vehicle's offset from it.
namespace pelmor::logs {

struct LogSurvey {
    // The first vehicle's time to the minute, or the start given; its clock
    // as the log gives it.
    QDateTime start;
    std::vector<import::DownloadVehicle> vehicles;

    QString startDate() const; // "05/03/2026", as the survey header takes it
    QString startTime() const; // "08:12"
};

// Offsets count the seconds from the start to each vehicle's time. A log
// that gives UTC offsets counts real seconds, so where its offset changes
// (a daylight saving change) the survey's clock keeps the start's offset
// and differs from the log's by the change. A log without offsets counts
// clock seconds: after a clock set back by an hour, the vehicles of the hour
// repeated fall among those of the hour before. Directions are "+", "-" and
// "?"; lengths pass as read.
LogSurvey logSurvey(const ReadLog& log, const std::optional<QDateTime>& start = std::nullopt);

} // namespace pelmor::logs
