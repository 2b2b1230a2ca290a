#pragma once

#include <QString>

#include <stdexcept>

namespace pelmor::db {

// What kind of failure the database had, in terms every backend can give,
// so that the program tells the user what happened without knowing which
// engine refused.
enum class Failure {
    Other,          // the program's own failure, or one no kind below fits
    InUse,          // another program holds the database (a lock, busy)
    DiskFull,       // no space left where the database is kept
    OutOfMemory,    // the engine ran out of memory
    Damaged,        // the database is damaged or is no database
    ReadOnly,       // the database or its folder may not be written
    Replaced,       // the file was replaced by another while it was open
    Refused,        // a key or check of the database refused the change
    NotAllowed,     // the user's role lacks the right for the operation
    PasswordNeeded, // the server wants a password that was not given
    LoginRefused,   // the server refused the user name or the password given
    ConnectionLost, // the server could not be reached, or the link to it broke
    MaybeSaved,     // the link broke while a change was being committed: it
                    // may or may not have been saved
};

// Any failure of the database layer: a file that cannot be opened, a
// statement the engine refuses, a text that does not convert to its field's
// type. Callers that must undo or report catch it in one place.
class DbError : public std::runtime_error {
public:
    // `engineCode` is SQLite's extended result code when the engine refused
    // (a locked database, a full disk, a read-only file...), 0 when the
    // failure is the program's own (a text that does not convert, a file not
    // found); the failure's kind is read from it.
    explicit DbError(const QString& message, int engineCode = 0);
    // A failure of a known kind, from an engine that has no SQLite code.
    DbError(const QString& message, Failure failure)
        : std::runtime_error(message.toStdString())
        , m_message(message)
        , m_failure(failure)
    {
    }
    const QString& message() const { return m_message; }
    int engineCode() const { return m_engineCode; }
    Failure failure() const { return m_failure; }

private:
    QString m_message;
    int m_engineCode = 0;
    Failure m_failure = Failure::Other;
};

} // namespace pelmor::db
