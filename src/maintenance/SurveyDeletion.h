#pragma once

#include "db/Database.h"
#include "maintenance/Outcome.h"

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Deleting stored surveys: one by its batch number, or all at once. Each
// deletion is one transaction: a failure or a killed process leaves every
// survey whole. Radar, Breakdown and the agency and officer names are
// never touched.
namespace pelmor::maintenance {

// "Delete Selected": the survey's Summary, Veh_Data and Header rows, whose
// batch number is exactly `batch` (letter case counts); also the rows of a
// batch whose header a repair could not save. Tells what was deleted. An
// empty batch number deletes nothing and tells nothing.
Outcome deleteSurvey(const db::Database& database, const QString& batch);

// The question "Delete Selected" asks: it names the survey (its place,
// direction and start) and says what goes with it.
QString deleteSurveyQuestion(const db::Database& database, const QString& batch);

// "Delete Complete Database" (after its question): the fixed file copies,
// then every Header, Summary and Veh_Data row. Tells "Database is empty."
// when there were no vehicle rows, otherwise "Finished Deleting Database".
Outcome deleteAllSurveys(const db::Database& database);

// The question "Delete Complete Database" asks, with what its Yes erases.
QString deleteAllQuestion(const db::Database& database);

// The two fixed file copies a complete deletion makes, source then target.
// They name files on drive C:, so they exist only where paths have drive
// letters; elsewhere the list is empty.
std::vector<std::pair<QString, QString>> fixedFileCopies();

} // namespace pelmor::maintenance
