#pragma once

#include "db/Database.h"

// The tables, keys and group roles of the survey database on an agency's
// PostgreSQL server.
namespace pelmor::store {

// The schema version this program reads and writes.
constexpr int kServerSchemaVersion = 1;

// Sets the server's database up for the program, or brings it to this
// program's version, in one transaction: the tables and their keys, the
// group roles pelmor_officer (imports and reads surveys, reads the name
// lists) and pelmor_admin (also deletes surveys and edits the name lists)
// and their grants. Safe to run again. Run by a role that may create roles
// and owns (or may create) the tables. Throws db::DbError.
void initServer(const db::Database& database);

} // namespace pelmor::store
