#pragma once

#include "SurveyFixture.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"

#include <QDateTime>

// The surveys the benchmarks work on: exactly `vehicles` vehicles spread by
// the sign log generator's daily profile over `days` days from `start` (a
// limit of 35 mph), as the rows the survey fixture stores.
namespace pelmor::bench {

inline test::Survey generatedSurvey(const QString& batchNumber, const QDateTime& start, int days,
                                    qint64 vehicles)
{
    loggen::LogHeader header;
    header.startDate = start.date();
    header.startHour = start.time().hour();
    header.startMinute = start.time().minute();
    header.postedLimit = QStringLiteral("035");
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.durationSeconds = qint64(days) * 24 * 3600;
    profile.exactCount = vehicles;
    profile.seed = 2026;

    test::Survey survey;
    survey.batchNumber = batchNumber;
    survey.start = start;
    survey.durationSeconds = profile.durationSeconds;
    for (const loggen::Vehicle& vehicle : loggen::generateVehicles(profile)) {
        survey.offsets.push_back(vehicle.offset);
        survey.speeds.push_back(vehicle.speed);
        survey.directions.append(vehicle.direction);
    }
    return survey;
}

} // namespace pelmor::bench
