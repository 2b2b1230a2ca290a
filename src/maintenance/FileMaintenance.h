#pragma once

#include "maintenance/Outcome.h"

#include <QString>

// The operations on the survey database file as a whole, in the program
// folder: each takes the database's write lock first and refuses while
// another program writes to it. Whatever stops them (a failing step, a
// crash, a power cut), the folder keeps a whole pelmor.mdb, as it was
// before or as the operation leaves it, and pelmor.bak is never lost with it.
namespace pelmor::maintenance {

// "Backup Database": the database file as it is becomes pelmor.bak (an
// earlier backup goes) and pelmor.mdb becomes its compacted copy, made by
// SQLite's VACUUM INTO: the same rows in a file no larger.
Outcome backupDatabase(const QString& folder);

// "Replace Database": pelmor.mdb becomes a copy of the empty template
// pelmor.emp. Done even when the database is missing or damaged.
Outcome replaceDatabase(const QString& folder);

// Whether the folder holds a backup (pelmor.bak) to restore.
bool backupExists(const QString& folder);

// "Restore Backup Database": pelmor.mdb becomes a copy of pelmor.bak. Done
// even when the database is missing or damaged; refused without a backup.
Outcome restoreDatabase(const QString& folder);

} // namespace pelmor::maintenance
