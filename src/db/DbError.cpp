#include "db/DbError.h"

#include <sqlite3.h>

namespace pelmor::db {

namespace {

Failure failureOfSqliteCode(int code)
{
    if (code == SQLITE_READONLY_DBMOVED)
        return Failure::Replaced;
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Failure::InUse;
    case SQLITE_FULL:
        return Failure::DiskFull;
    case SQLITE_NOMEM:
        return Failure::OutOfMemory;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return Failure::Damaged;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return Failure::ReadOnly;
    case SQLITE_CONSTRAINT:
        return Failure::Refused;
    default:
        return Failure::Other;
    }
}

} // namespace

DbError::DbError(const QString& message, int engineCode)
    : std::runtime_error(message.toStdString())
    , m_message(message)
    , m_engineCode(engineCode)
    , m_failure(failureOfSqliteCode(engineCode))
{
}

} // namespace pelmor::db
