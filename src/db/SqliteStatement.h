#pragma once

#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace pelmor::db {

class Connection;

// A statement prepared once on the connection's own SQLite handle and run
// many times. Writers of many rows (the vehicles of a survey) use it, and so
// do readers that walk every vehicle of a survey once: it costs a fraction of
// a general query per row. It is the program's own machinery, so its
// statements are not told to the connection's observer.
class SqliteStatement {
public:
    SqliteStatement(Connection& connection, const QString& statement); // throws DbError
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Binds a stored value (text, whole number, real or null) to a parameter,
    // counted from 0. A text equal to the one bound there last time stays
    // bound as it is: the batch number and date of a survey's vehicles
    // repeat row after row.
    void bind(int index, const QVariant& value);
    // The same for a value already in its stored form: a whole number, or
    // the UTF-8 text. A text whose bytes are shared with the text bound there
    // last time (the same cached text) is not bound again.
    void bindInteger(int index, qint64 value);
    void bindText(int index, const QByteArray& utf8);
    // Runs the statement once and makes it ready for the next values.
    void run();

    // Reading a query row by row: nextRow() moves to the next row and is
    // false after the last, when the statement is ready to run again. The
    // column readers (columns counted from 0) read the current row; a text
    // stays valid until the next move.
    bool nextRow();
    qint64 integerAt(int column) const;
    QByteArrayView textAt(int column) const;
    qint64 lastInsertRowId() const;

private:
    [[noreturn]] void fail(const char* what) const;

    Connection& m_connection;
    QString m_statement;
    sqlite3* m_handle = nullptr;
    sqlite3_stmt* m_prepared = nullptr;
    std::vector<QString> m_boundTexts;    // the text bound to each parameter, if any
    std::vector<QByteArray> m_boundBytes; // the bytes bound by bindText, kept while bound
};

} // namespace pelmor::db
