#pragma once

#include "maintenance/Outcome.h"

#include <QString>

namespace pelmor::maintenance {

// "Repair Database": SQLite's integrity check on pelmor.mdb. A healthy
// file is left exactly as it is. A damaged one is rebuilt into a new file
// from every row that can still be read, table by table, past the pages
// that cannot; the new file then takes the database's place, and the
// message says what could not be saved and what to do about it.
Outcome repairDatabase(const QString& folder);

} // namespace pelmor::maintenance
