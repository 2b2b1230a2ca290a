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
    QString path;
    StatementObserver* observer = nullptr;
};

} // namespace pelmor::db
