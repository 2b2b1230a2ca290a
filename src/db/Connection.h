#pragma once

#include "db/Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

struct sqlite3;

namespace pelmor::db {

// One open handle on a survey database file, opened through the SQLite
// library the program is linked with. Opening checks that the file exists
// and is a database, and reports the file by name when it is not.
// Statements prepared on a connection must be destroyed before it. One
// thread at a time uses a connection: it is opened without SQLite's lock.
class Connection {
public:
    explicit Connection(const Database& database); // throws DbError
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& path() const { return m_path; }
    // The database as it was opened: for a second connection on the same
    // file.
    Database location() const { return {m_path}; }
    // SQLite's own handle of the open database.
    sqlite3* sqliteHandle() const { return m_handle.get(); }
    // How many times the connection has opened the file: what is known of
    // the file holds while this stays the same (see begin()).
    int openings() const { return m_openings; }

    // Whether the file this connection has open no longer bears the
    // database's name: a backup, restore or repair has put another file in
    // its place since it was opened. SQLite then refuses every write to it.
    bool fileReplaced() const;

    // Runs a query and reads the named column of its first row; a null value
    // when there is no row. Column names match without regard to case.
    QVariant scalar(const QString& statement, const QString& column);

    // Runs a statement that returns no rows; the number of rows it changed.
    int execute(const QString& statement);

    // Runs a statement of the program's own machinery (schema,
    // maintenance). Statements to run many times or to read rows from are
    // prepared as a SqliteStatement.
    void executeUnlogged(const QString& statement);

    // Starts a write transaction: waits (up to the busy timeout) for the
    // database's write lock and holds it from here on, so no other program
    // writes between this connection's reads and its writes. When the file
    // was replaced meanwhile, the connection is opened again on the file
    // that now bears the name. Called before any statement is
    // opened on the connection, since reopening closes them.
    void begin();
    void commit();
    void rollback();
    // Whether a transaction is open on the connection.
    bool inTransaction() const;

private:
    void open();

    struct Closer {
        void operator()(sqlite3* handle) const;
    };

    QString m_path;
    std::unique_ptr<sqlite3, Closer> m_handle;
    int m_openings = 0;
};

// Whether the file has the table `name`: a file not yet brought up to date
// lacks the later ones.
bool hasTable(Connection& connection, const char* name);

// Rolls back on destruction unless committed: writes that belong together
// land together or not at all.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Connection& m_connection;
    bool m_open = true;
};

} // namespace pelmor::db
