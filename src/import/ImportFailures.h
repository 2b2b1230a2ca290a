#pragma once

#include "db/DbError.h"

#include <QString>

// What the user is told when a survey could not be stored for a reason
// that is not the download's: what happened, that the download is kept, and
// what to do before storing the survey again.
namespace pelmor::import {

QString outOfMemoryMessage();
// The file at `databasePath` was swapped for another while it was written.
QString replacedMessage(const QString& databasePath);
// The database file at `databasePath` failed with `error`.
QString databaseFailure(const db::DbError& error, const QString& databasePath);
// The agency server failed with `error`.
QString serverFailure(const db::DbError& error);
// The program itself failed; the error follows as the reason.
QString programFailure();

} // namespace pelmor::import
