#include "db/Connection.h"

#include "db/DbError.h"
#include "db/Files.h"
#include "db/ReplacedFileGuard.h"
#include "db/SqliteStatement.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace pelmor::db {
namespace {

// How long a statement waits for another program's lock before it is
// refused as busy.
constexpr int kBusyTimeoutMs = 5000;

} // namespace

void Connection::Closer::operator()(sqlite3* handle) const
{
    // Statements still prepared on the handle (a statement outliving its
    // connection by mistake) keep it until they are finalized.
    sqlite3_close_v2(handle);
}

Connection::Connection(const Database& location)
    : m_path(location.path)
{
    const QString& path = m_path;
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(QStringLiteral("The database file %1 was not found.").arg(displayPath(path)));
    if (!info.isFile() || !info.isReadable())
        throw DbError(QStringLiteral("The database file %1 cannot be read.").arg(displayPath(path)));

    guardAgainstReplacedFiles();
    open();
}

void Connection::open()
{
    const QString& path = m_path;
    sqlite3* handle = nullptr;
    // The file was found above; one removed since is reported, not made anew.
    // A connection serves one thread at a time (work on another thread opens
    // a connection of its own), so SQLite need not lock the handle on every
    // call: on a scan of a million vehicles those locks are a sixth of the time.
    const int status = sqlite3_open_v2(path.toUtf8().constData(), &handle,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    m_handle.reset(handle);
    ++m_openings;
    if (status != SQLITE_OK) {
        const QString reason =
            handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QString::fromUtf8(sqlite3_errstr(status));
        m_handle.reset();
        throw DbError(
            QStringLiteral("The database file %1 cannot be opened: %2").arg(displayPath(path), reason),
            status);
    }
    sqlite3_busy_timeout(handle, kBusyTimeoutMs);
    // Runs one statement of the opening; a refusal closes the handle and
    // says what could not be done with the file.
    const auto prepareFile = [this, handle, &path](const char* statement, const char* failure) {
        try {
            SqliteStatement(*this, QLatin1String(statement)).run();
        } catch (const DbError& error) {
            const QString reason = QString::fromUtf8(sqlite3_errmsg(handle));
            m_handle.reset();
            throw DbError(QStringLiteral("The database file %1 %2: %3")
                              .arg(displayPath(path), QLatin1String(failure), reason),
                          error.engineCode());
        }
    };
    // Opening is lazy: reading the catalogue tells whether the file really is
    // a database.
    prepareFile("SELECT count(*) FROM sqlite_master", "cannot be read");
    // A month of traffic is a million rows and an index of some 50 MiB, and
    // the statistics read the survey's part of the index about twenty times:
    // pages already in the file are read through a memory map instead of
    // being copied into the page cache each time. (A larger page cache
    // keeps more pages but makes the inserts of an import slower.)
    prepareFile("PRAGMA mmap_size = 268435456", "cannot be set up");
}

Connection::~Connection() = default;

bool Connection::fileReplaced() const
{
    int moved = 0;
    sqlite3* handle = sqliteHandle();
    return handle && sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

QVariant Connection::scalar(const QString& statement, const QString& column)
{
    SqliteStatement query(*this, statement);
    const int index = query.columnIndex(column);
    if (index < 0)
        throw DbError(QStringLiteral("The query \"%1\" has no column %2.").arg(statement, column));
    if (!query.nextRow())
        return QVariant();
    const QVariant value = query.valueAt(index);
    query.reset();
    return value;
}

int Connection::execute(const QString& statement)
{
    return SqliteStatement(*this, statement).run();
}

void Connection::executeUnlogged(const QString& statement)
{
    SqliteStatement(*this, statement).run();
}

bool Connection::inTransaction() const
{
    return sqliteHandle() && sqlite3_get_autocommit(sqliteHandle()) == 0;
}

void Connection::begin()
{
    // A deferred transaction takes the write lock only at its first write.
    // Taking it at once means that what this connection reads inside the
    // transaction is what it writes over.
    constexpr int kReopenings = 3;
    for (int reopened = 0;; ++reopened) {
        try {
            executeUnlogged(QStringLiteral("BEGIN IMMEDIATE"));
        } catch (const DbError& error) {
            const int code = error.engineCode();
            if ((code & 0xff) == SQLITE_BUSY)
                throw DbError(QStringLiteral("The database %1 is in use by another program. Try "
                                             "again when that program is done.")
                                  .arg(displayPath(m_path)),
                              code);
            throw DbError(QStringLiteral("The database %1 cannot start a transaction: %2")
                              .arg(displayPath(m_path), QString::fromUtf8(sqlite3_errmsg(sqliteHandle()))),
                          code);
        }
        // The lock is held on the file this connection opened. If a
        // maintenance operation has since put another file in its place, a
        // write here would land in the old file, lost to everyone who opens
        // the database: start again on the file that now bears the name.
        if (!fileReplaced())
            return;
        rollback();
        if (reopened == kReopenings)
            throw DbError(QStringLiteral("The database %1 is in use by another program that keeps "
                                         "replacing it. Try again when that program is done.")
                              .arg(displayPath(m_path)),
                          SQLITE_BUSY);
        m_handle.reset();
        open();
    }
}

void Connection::commit()
{
    try {
        executeUnlogged(QStringLiteral("COMMIT"));
    } catch (const DbError& error) {
        throw DbError(QStringLiteral("The database %1 cannot store the changes: %2")
                          .arg(displayPath(m_path), QString::fromUtf8(sqlite3_errmsg(sqliteHandle()))),
                      error.engineCode());
    }
}

void Connection::rollback()
{
    // Nothing to undo outside a transaction; a failed rollback leaves SQLite
    // to roll back when the handle closes.
    if (sqliteHandle() && sqlite3_get_autocommit(sqliteHandle()) == 0)
        sqlite3_exec(sqliteHandle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

Transaction::Transaction(Connection& connection)
    : m_connection(connection)
{
    m_connection.begin();
}

Transaction::~Transaction()
{
    if (m_open)
        m_connection.rollback();
}

void Transaction::commit()
{
    m_connection.commit();
    m_open = false;
}

bool hasTable(Connection& connection, const char* name)
{
    SqliteStatement query(connection,
                          QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    query.bind(0, QString::fromLatin1(name));
    const bool found = query.nextRow();
    query.reset();
    return found;
}

} // namespace pelmor::db
