#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace pelmor::db {

class Connection;

// A statement prepared on the connection's own SQLite handle, run once or
// many times. Every statement of the program goes through it: the
// connection's queries and schema work, and the writers and
// readers of many rows (the vehicles of a survey), for whom a prepared
// statement costs a fraction of a general query per row.
class SqliteStatement {
public:
    // `shown` is the text a refusal quotes, when it is not the statement
    // itself (what was being done).
    SqliteStatement(Connection& connection, const QString& statement,
                    const QString& shown = QString()); // throws DbError
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Binds a stored value (text, whole number, real, bytes as a blob, or
    // null) to a parameter, counted from 0. A text equal to the one bound
    // there last time stays bound as it is: the batch number and date of a
    // survey's vehicles repeat row after row.
    void bind(int index, const QVariant& value);
    // The same for a value already in its stored form: a whole number, or
    // the UTF-8 text. A text whose bytes are shared with the text bound there
    // last time (the same cached text) is not bound again.
    void bindInteger(int index, qint64 value);
    void bindText(int index, const QByteArray& utf8);
    // Runs the statement once and makes it ready for the next values; the
    // number of rows it changed.
    int run();

    // Reading a query row by row: nextRow() moves to the next row and is
    // false after the last, when the statement is ready to run again. The
    // column readers (columns counted from 0) read the current row; a text
    // stays valid until the next move.
    bool nextRow();
    qint64 integerAt(int column) const;
    bool isNullAt(int column) const;
    QByteArrayView textAt(int column) const;
    // A column of the current row in its stored type: a whole number as
    // qint64, a real as double, a text as QString, a blob as QByteArray, and
    // null as a null text.
    QVariant valueAt(int column) const;
    qint64 lastInsertRowId() const;
    // Ends a read before its last row, so the statement holds no read lock
    // and is ready to run again.
    void reset();

    int columnCount() const;
    QString columnName(int column) const;
    // The column of that name, found without regard to case; -1 when the
    // statement has none.
    int columnIndex(const QString& name) const;

private:
    [[noreturn]] void fail(const char* what) const;

    Connection& m_connection;
    QString m_statement; // as a refusal quotes it
    sqlite3* m_handle = nullptr;
    sqlite3_stmt* m_prepared = nullptr;
    std::vector<QString> m_boundTexts;    // the text bound to each parameter, if any
    std::vector<QByteArray> m_boundBytes; // the bytes bound by bindText, kept while bound
};

} // namespace pelmor::db
