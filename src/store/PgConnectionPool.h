#pragma once

#include "store/PgConnection.h"

#include <QString>

#include <chrono>
#include <memory>
#include <optional>

// The connections of the process to PostgreSQL servers, kept open between
// stores: opening one costs the server's authentication and the store's
// checks, many times what a page's queries cost. A connection serves one
// store at a time and goes back to the pool of its connection string (the
// server, the database, the login and its password, so that no login ever
// gets another's session) when the store is done with it.
namespace pelmor::store {

class PooledConnection {
public:
    // An idle connection of the same connection string that is still open,
    // or a new one. Throws db::DbError as PgConnection does.
    explicit PooledConnection(const QString& connectionString);
    // Gives the connection back to the pool when it is open, outside any
    // transaction, and was checked (adminRole() set); closes it otherwise.
    ~PooledConnection();
    PooledConnection(const PooledConnection&) = delete;
    PooledConnection& operator=(const PooledConnection&) = delete;

    PgConnection& connection() { return *m_connection; }
    // Whether the login is an administrator, as the store found when it
    // checked the connection; none for a new connection, and for one
    // checked too long ago.
    std::optional<bool> adminRole() const { return m_administrator; }
    void setAdminRole(bool administrator);

private:
    QString m_key;
    std::unique_ptr<PgConnection> m_connection;
    std::optional<bool> m_administrator;
    std::chrono::steady_clock::time_point m_checked;
};

} // namespace pelmor::store
