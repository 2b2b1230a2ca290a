#pragma once

#include <QDateTime>
#include <QString>

#include <vector>

// Surveys written straight into a test database, the way the import and the
// statistics leave them: a Header row, a Summary row with the start and stop
// texts ("05/03/02", "08:12 AM") and one Veh_Data row per vehicle.
namespace pelmor::test {

struct FixtureSurvey {
    QString batch = QStringLiteral("050302-A");
    QString unit = QStringLiteral("MPH");
    QString location = QStringLiteral("Main St");
    QDateTime start;
    QDateTime stop;
    // When each vehicle passed; whole minutes, as the import stores them.
    std::vector<QDateTime> vehicles;
    // Whether the survey has its statistics row.
    bool withSummary = true;
};

// A date and time from "05/03/02 08:12" (month first, 24-hour clock).
QDateTime at(const QString& text);

// Vehicles at the given times ("05/03/02 08:12"), each listed as often as it repeats.
std::vector<QDateTime> vehiclesAt(const QStringList& times);

// Writes the survey's rows in one transaction. Throws DbError.
void storeSurvey(const QString& databasePath, const FixtureSurvey& survey);

} // namespace pelmor::test
