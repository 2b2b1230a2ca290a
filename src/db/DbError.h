#pragma once

#include <QString>

#include <stdexcept>

namespace pelmor::db {

// Any failure of the database layer: a file that cannot be opened, a
// statement the engine refuses, a text that does not convert to its field's
// type. Callers that must undo or report catch it in one place.
class DbError : public std::runtime_error {
public:
    // `engineCode` is SQLite's result code when the engine refused (a locked
    // database, a full disk, a read-only file...), 0 when the failure is the
    // program's own (a text that does not convert, a file not found).
    explicit DbError(const QString& message, int engineCode = 0)
        : std::runtime_error(message.toStdString())
        , m_message(message)
        , m_engineCode(engineCode)
    {
    }
    const QString& message() const { return m_message; }
    int engineCode() const { return m_engineCode; }

private:
    QString m_message;
    int m_engineCode;
};

} // namespace pelmor::db
