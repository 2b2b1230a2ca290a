#pragma once

#include "db/Database.h"

#include <QStringList>

#include <vector>

// The tables, keys and group roles of the survey database on an agency's
// PostgreSQL server.
namespace pelmor::store {

// The schema version this program reads and writes.
constexpr int kServerSchemaVersion = 8;

// What a set-up of the server found and did.
struct ServerSetup {
    int previousVersion = 0;   // 0: the database was not set up before
    bool createdRoles = false; // pelmor_officer or pelmor_admin was missing and was made
    // Rows stored before the server checked them that its checks refuse (a
    // header with missing fields, an over-long name), by their batch number
    // or name: they stay as they are, and new rows are checked.
    QStringList refusedRows;
    // Surveys stored before the server told downloads apart by their
    // vehicles alone that hold one download between them (under different
    // starts), by their batch numbers, a group for each download: they are
    // kept, and none of those downloads is stored again.
    std::vector<QStringList> sharedDownloads;
    bool changedNothing() const { return previousVersion == kServerSchemaVersion && !createdRoles; }
};

// Sets the server's database up for the program, or brings it to this
// program's version, in one transaction: the tables and their keys, the
// group roles pelmor_officer (imports and reads surveys, reads the name
// lists) and pelmor_admin (also deletes surveys and edits the name lists)
// and their grants, the functions through which alone the group roles
// change a stored survey, and the database's limits on idle and unanswering
// sessions. Safe to run again. Run by a role that may create roles, owns
// (or may create) the tables and owns the database; a role without the
// right is told which right it lacks. Throws db::DbError.
ServerSetup initServer(const db::Database& database);

} // namespace pelmor::store
