#pragma once

#include <QString>

#include <stdexcept>

namespace pelmor::db {

// Any failure of the database layer: a file that cannot be opened, a
// statement the engine refuses, a text that does not convert to its field's
// type. Callers that must undo or report catch it in one place.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

} // namespace pelmor::db
