#include "db/Connection.h"

#include "db/DbError.h"
#include "db/Files.h"
#include "db/Recordset.h"
#include "db/ReplacedFileGuard.h"
#include "db/Schema.h"
#include "db/SqlText.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <sqlite3.h>

namespace pelmor::db {

Connection::Registration::~Registration()
{
    if (name.isEmpty())
        return;
    {
        QSqlDatabase database = QSqlDatabase::database(name, false);
        if (database.isOpen())
            database.close();
    }
    QSqlDatabase::removeDatabase(name);
}

Connection::Connection(const Database& location)
    : m_path(location.path)
    , m_observer(location.observer)
{
    const QString& path = m_path;
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(QStringLiteral("The database file %1 was not found.").arg(displayPath(path)));
    if (!info.isFile() || !info.isReadable())
        throw DbError(QStringLiteral("The database file %1 cannot be read.").arg(displayPath(path)));

    guardAgainstReplacedFiles();
    // Qt keeps open databases by name; a connection's own address names it
    // for as long as it lives.
    m_registration.name = QStringLiteral("pelmor-db-%1").arg(quintptr(this), 0, 16);
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_registration.name);
    database.setDatabaseName(path);
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    open();
}

void Connection::open()
{
    const QString& path = m_path;
    QSqlDatabase database = this->database();
    if (!database.open())
        throw DbError(QStringLiteral("The database file %1 cannot be opened: %2")
                          .arg(displayPath(path), database.lastError().text()));
    // Opening is lazy: reading the catalogue tells whether the file really is
    // a database.
    QSqlQuery probe(database);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        throw DbError(QStringLiteral("The database file %1 cannot be read: %2")
                          .arg(displayPath(path), probe.lastError().databaseText()));
    probe.finish();
    // A month of traffic is a million rows and an index of some 50 MiB, and
    // the statistics read the survey's part of the index about twenty times:
    // pages already in the file are read through a memory map instead of
    // being copied into the page cache each time. (A larger page cache
    // keeps more pages but makes the inserts of an import slower.)
    for (const char* pragma : {"PRAGMA mmap_size = 268435456"}) {
        if (!probe.exec(QLatin1String(pragma)))
            throw DbError(QStringLiteral("The database file %1 cannot be set up: %2")
                              .arg(displayPath(path), probe.lastError().databaseText()));
    }
    probe.finish();
    // A file of an older layout is brought up to date once, by whichever
    // program opens it first.
    m_duplicatedBatches = upgradeSchema(*this);
}

Connection::~Connection() = default;

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_registration.name, false);
}

sqlite3* Connection::sqliteHandle() const
{
    const QVariant handle = database().driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(handle.data());
    return nullptr;
}

bool Connection::fileReplaced() const
{
    int moved = 0;
    sqlite3* handle = sqliteHandle();
    return handle && sqlite3_file_control(handle, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK &&
           moved != 0;
}

void Connection::fail(const QSqlQuery& query, const QString& statement) const
{
    QString reason = query.lastError().databaseText();
    if (reason.isEmpty())
        reason = query.lastError().text();
    throw DbError(
        QStringLiteral("The database %1 refused \"%2\": %3").arg(displayPath(m_path), statement, reason),
        query.lastError().nativeErrorCode().toInt());
}

Recordset Connection::openRecordset(const QString& statement)
{
    issued(statement);
    return Recordset::open(*this, statement);
}

QVariant Connection::scalar(const QString& statement, const QString& column)
{
    issued(statement);
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(translateStatement(statement)))
        fail(query, statement);
    const QSqlRecord record = query.record();
    int index = -1;
    for (int i = 0; i < record.count(); ++i) {
        if (record.fieldName(i).compare(column, Qt::CaseInsensitive) == 0) {
            index = i;
            break;
        }
    }
    if (index < 0)
        throw DbError(QStringLiteral("The query \"%1\" has no column %2.").arg(statement, column));
    const QVariant value = query.next() ? query.value(index) : QVariant();
    query.finish();
    return value;
}

int Connection::execute(const QString& statement)
{
    issued(statement);
    QSqlQuery query(database());
    if (!query.exec(translateStatement(statement)))
        fail(query, statement);
    return query.numRowsAffected();
}

QSqlQuery Connection::prepareUnlogged(const QString& statement)
{
    QSqlQuery query(database());
    if (!query.prepare(statement))
        fail(query, statement);
    return query;
}

void Connection::executeUnlogged(const QString& statement)
{
    QSqlQuery query(database());
    if (!query.exec(statement))
        fail(query, statement);
}

void Connection::begin()
{
    // Qt's driver begins deferred transactions, which take the write lock
    // only at their first write. Taking it at once means that what this
    // connection reads inside the transaction is what it writes over.
    constexpr int kReopenings = 3;
    for (int reopened = 0;; ++reopened) {
        {
            QSqlQuery begin(database());
            if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
                const int code = sqlite3_extended_errcode(sqliteHandle());
                if ((code & 0xff) == SQLITE_BUSY)
                    throw DbError(QStringLiteral("The database %1 is in use by another program. Try "
                                                 "again when that program is done.")
                                      .arg(displayPath(m_path)),
                                  code);
                throw DbError(QStringLiteral("The database %1 cannot start a transaction: %2")
                                  .arg(displayPath(m_path), begin.lastError().databaseText()),
                              code);
            }
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
        database().close();
        open();
    }
}

void Connection::commit()
{
    if (!database().commit())
        throw DbError(QStringLiteral("The database %1 cannot store the changes: %2")
                          .arg(displayPath(m_path), database().lastError().text()),
                      sqlite3_extended_errcode(sqliteHandle()));
}

void Connection::rollback()
{
    database().rollback();
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

} // namespace pelmor::db
