#pragma once

#include <QString>

namespace pelmor::db {

// Where a survey database is: what every operation that opens the database
// is given.
struct Database {
    // The SQLite file, the default.
    QString path;
    // The libpq connection string or URI of an agency's PostgreSQL server
    // ("host=db.example.org dbname=traffic", "postgresql://officer1@db/traffic");
    // empty for the file at `path`. The password is never part of what the
    // program shows or keeps.
    QString server{};

    // The database of the agency server at `connection` (a libpq connection
    // string or URI).
    static Database ofServer(const QString& connection) { return {QString(), connection}; }
};

} // namespace pelmor::db
