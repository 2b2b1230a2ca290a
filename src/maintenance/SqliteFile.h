#pragma once

#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace pelmor::maintenance {

// A database file opened with SQLite's own interface, for the work on whole
// files that needs SQLite's result codes: telling a locked file from a
// damaged one, compacting, checking, and reading a damaged file row by row
// past the rows it can no longer give. Closed when it goes.
class SqliteFile {
public:
    enum class Mode { ReadOnly, ReadWrite };

    SqliteFile(const QString& path, Mode mode);
    ~SqliteFile();
    SqliteFile(const SqliteFile&) = delete;
    SqliteFile& operator=(const SqliteFile&) = delete;

    // SQLITE_OK when the file opened; otherwise why not.
    int openResult() const { return m_openResult; }
    sqlite3* handle() const { return m_handle; }
    const QString& path() const { return m_path; }

    // How long a statement waits for another program's lock before it gives up.
    void setBusyTimeout(int milliseconds);
    // Runs statements that return no rows; the SQLite result code.
    int exec(const QString& statements);
    // The engine's text for the last failure.
    QString errorText() const;

    // "ok" when SQLite's integrity check finds nothing wrong, otherwise the
    // problems it names (or why the check itself failed).
    QString integrityCheck();
    // The same without comparing each index with its table: for a file
    // SQLite has just written itself.
    QString quickCheck();

private:
    QString check(const QString& pragma);

    QString m_path;
    sqlite3* m_handle = nullptr;
    int m_openResult;
};

// A prepared statement on a SqliteFile, finalized when it goes. step()
// gives SQLite's result codes, so a caller can go on past an error.
class SqliteQuery {
public:
    SqliteQuery(SqliteFile& file, const QString& statement);
    ~SqliteQuery();
    SqliteQuery(const SqliteQuery&) = delete;
    SqliteQuery& operator=(const SqliteQuery&) = delete;

    bool isPrepared() const { return m_statement != nullptr; }
    sqlite3_stmt* statement() const { return m_statement; }
    // Rewinds the statement so it can run again with new values.
    void reset();
    void bindInt64(int parameter, qint64 value);
    void bindText(int parameter, const QString& value);
    int step();
    qint64 columnInt64(int column) const;
    QString columnText(int column) const;

private:
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace pelmor::maintenance
