#pragma once

#include "maintenance/Outcome.h"

#include <QString>

// The operations on the survey database file as a whole, in the program
// folder: each takes the database's write lock first and refuses while
// another program writes to it, and holds it until the new file bears the
// database's name. Whatever stops them (a failing step, a crash, a power
// cut), the folder keeps a whole pelmor.mdb, as it was before or as the
// operation leaves it, and pelmor.bak is never lost with it. No file that
// fails SQLite's check takes the place of a good one.
namespace pelmor::maintenance {

// "Backup Database": the database file as it is becomes pelmor.bak (an
// earlier backup goes) and pelmor.mdb becomes its compacted copy, made by
// SQLite's VACUUM INTO: the same rows in a file no larger. A database that
// fails the check is refused: Repair comes first.
Outcome backupDatabase(const QString& folder);

// "Replace Database": pelmor.mdb becomes a copy of the empty template
// pelmor.emp. Done even when the database is missing or damaged; refused
// when the template fails the check or holds surveys.
Outcome replaceDatabase(const QString& folder);

// Whether the folder holds a backup (pelmor.bak) to restore.
bool backupExists(const QString& folder);

// "Restore Backup Database": pelmor.mdb becomes a copy of pelmor.bak. Done
// even when the database is missing or damaged; refused without a backup
// or with one that fails the check.
Outcome restoreDatabase(const QString& folder);

// The questions Replace and Restore ask, with what their answer Yes erases
// (and, for Restore, what the backup holds).
QString replaceQuestion(const QString& folder);
QString restoreQuestion(const QString& folder);

} // namespace pelmor::maintenance
