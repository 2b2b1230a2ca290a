#pragma once

#include <QString>

namespace pelmor::db {

// Told of every statement a caller issues on a connection, exactly as the
// caller wrote it (before any translation for SQLite). The owner of the
// connections holds one; tests hand in a StatementLog to check the texts.
class StatementObserver {
public:
    virtual ~StatementObserver() = default;
    virtual void statementIssued(const QString& statement) = 0;
};

// Where a survey database is and who listens to the statements issued on
// it: what every operation that opens the database is given.
struct Database {
    // The SQLite file, the default.
    QString path;
    StatementObserver* observer = nullptr;
    // The libpq connection string or URI of an agency's PostgreSQL server
    // ("host=db.example.org dbname=traffic", "postgresql://officer1@db/traffic");
    // empty for the file at `path`. The password is never part of what the
    // program shows or keeps.
    QString server{};

    // The database of the agency server at `connection` (a libpq connection
    // string or URI).
    static Database ofServer(const QString& connection) { return {QString(), nullptr, connection}; }
};

} // namespace pelmor::db
