#pragma once

#include "db/DbError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// libpq's handles, declared here so that only the store's sources see libpq.
struct pg_conn;
struct pg_result;

namespace pelmor::store {

// One answer of the server, freed with the object.
class PgResult {
public:
    explicit PgResult(pg_result* result);
    int rows() const;
    bool isNull(int row, int column) const;
    // The text of a field as the server sent it; empty for NULL.
    QByteArrayView bytes(int row, int column) const;
    QString text(int row, int column) const;
    qint64 integer(int row, int column) const;
    // A double precision field; none for NULL.
    std::optional<double> real(int row, int column) const;
    // The rows an INSERT, UPDATE or DELETE changed.
    qint64 rowsChanged() const;

private:
    struct Free {
        void operator()(pg_result* result) const;
    };
    std::unique_ptr<pg_result, Free> m_result;
};

// The values of a statement's parameters $1, $2..., sent apart from its
// text; a null array is SQL NULL.
using PgParameters = std::vector<QByteArray>;

// One open connection to a PostgreSQL server. Every failure becomes a
// db::DbError of the kind the server's SQLSTATE tells, with a message that
// names the database and the server (never the password) and says what to
// do. A COPY into a table can be open: it is ended, and the rows it sent
// are checked, before the next statement runs.
class PgConnection {
public:
    explicit PgConnection(const QString& connectionString); // throws DbError
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Runs one statement with its parameters and returns what it returned.
    PgResult exec(const char* statement, const PgParameters& parameters = {});
    PgResult exec(const QByteArray& statement, const PgParameters& parameters = {})
    {
        return exec(statement.constData(), parameters);
    }
    // A query whose rows are read one at a time as the server sends them
    // (PgRows): neither side gathers them, and the server keeps nothing for
    // later as it does for a cursor. No other statement runs on the
    // connection until nextRow() has said there are no more rows, or
    // dropRows() has read the rest.
    void sendRowByRow(const char* statement, const PgParameters& parameters);
    // The next row, as a result of one row; none after the last. Throws the
    // query's failure.
    std::optional<PgResult> nextRow();
    void dropRows() noexcept;

    // The SQLSTATE of the last statement that failed ("23505"), empty when
    // none has.
    const QByteArray& lastFailureState() const { return m_lastState; }
    // The key or check the last failed statement broke, as the server names
    // it; empty when none.
    const QByteArray& lastFailureConstraint() const { return m_lastConstraint; }

    // COPY ... FROM STDIN: starts it, sends rows (buffered), ends it. abandonCopy() makes the server discard
    // it; the transaction around it can then only roll back. `trailer` is sent after the last row (the end
    // mark of COPY's binary form).
    void beginCopy(const char* statement, const QByteArray& trailer = QByteArray());
    bool copying() const { return m_copying; }
    // The buffer the caller appends whole lines to; sent as it fills.
    QByteArray& copyBuffer() { return m_copyBuffer; }
    void sendCopyBuffer(bool whenFull);
    void endCopy();
    void abandonCopy() noexcept;

    // Whether a transaction is open on the connection.
    bool inTransaction() const;
    // Whether the connection can serve another store as it stands: open,
    // with no transaction and no COPY under way. Frees what a COPY left.
    bool readyForReuse();
    // Whether a connection that sat unused is still open: the server said
    // nothing meanwhile (it only speaks unasked when it ends the session),
    // and, with `probe`, answers an empty statement.
    bool stillOpen(bool probe);
    // "traffic on db.example.org port 5432", as messages name the database.
    const QString& name() const { return m_name; }

private:
    // The failure of a statement, as thrown.
    db::DbError failure(pg_result* result);
    db::DbError lostConnection() const;

    struct Finish {
        void operator()(pg_conn* connection) const;
    };
    std::unique_ptr<pg_conn, Finish> m_connection;
    QString m_name;
    QByteArray m_lastState;
    QByteArray m_lastConstraint;
    bool m_copying = false;
    QByteArray m_copyBuffer;
    QByteArray m_copyTrailer;
};

// The rows of a query read one at a time as the server sends them; those
// not read when it goes are read and dropped, which leaves an open
// transaction as it was.
class PgRows {
public:
    PgRows(PgConnection& connection, const QByteArray& query, const PgParameters& parameters);
    ~PgRows();
    PgRows(const PgRows&) = delete;
    PgRows& operator=(const PgRows&) = delete;
    // Moves to the next row; false after the last.
    bool next();
    // The current row, row 0 of its result.
    const PgResult& row() const { return *m_row; }

private:
    PgConnection& m_connection;
    std::optional<PgResult> m_row;
    bool m_done = false;
};

// A transaction on a connection: begun when made, rolled back when left
// without commit().
class PgTransaction {
public:
    explicit PgTransaction(PgConnection& connection);
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;
    // Throws db::DbError; of the kind db::Failure::MaybeSaved when the
    // connection broke while the server was asked to commit.
    void commit();
    // Ends the transaction at once, undoing it (after a failed statement,
    // before the connection is used for something else).
    void rollBack();

private:
    PgConnection& m_connection;
    bool m_open = true;
};

// The rows of a query fetched a block at a time through a cursor, so that
// a survey of a million vehicles is never one answer in memory. Opens a
// transaction of its own when none is open, and closes what it opened.
class PgCursor {
public:
    PgCursor(PgConnection& connection, const QByteArray& query, const PgParameters& parameters);
    ~PgCursor();
    PgCursor(const PgCursor&) = delete;
    PgCursor& operator=(const PgCursor&) = delete;
    // Moves to the next row; false after the last.
    bool next();
    const PgResult& block() const { return *m_block; }
    int row() const { return m_row; }

private:
    PgConnection& m_connection;
    std::unique_ptr<PgTransaction> m_transaction;
    QByteArray m_name;
    std::unique_ptr<PgResult> m_block;
    int m_row = -1;
    bool m_done = false;
};

} // namespace pelmor::store
