#include "maintenance/WriteLock.h"

#include "db/DurableFiles.h"
#include "maintenance/SqliteFile.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace pelmor::maintenance {
namespace {

// A write of another program that is just ending is waited for this long;
// one that goes on longer makes the operation refuse.
constexpr int kWaitForWriterMs = 500;

WriteLock::State stateOf(int result)
{
    switch (result & 0xff) {
    case SQLITE_OK:
        return WriteLock::State::Held;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return WriteLock::State::InUse;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
        return WriteLock::State::Damaged;
    default:
        return WriteLock::State::Failed;
    }
}

} // namespace

WriteLock::WriteLock(const QString& databasePath)
{
    if (!QFileInfo(databasePath).isFile()) {
        m_state = State::Missing;
        return;
    }
    m_file = std::make_unique<SqliteFile>(databasePath, SqliteFile::Mode::ReadWrite);
    int result = m_file->openResult();
    if (result == SQLITE_OK) {
        m_file->setBusyTimeout(kWaitForWriterMs);
        // A file shorter than its header says (cut off by a full disk, say)
        // can still be locked, and repaired: SQLite lets a connection that
        // may change its own schema past that check. Nothing is ever
        // written through this one.
        result = m_file->exec(QStringLiteral("PRAGMA writable_schema = ON; BEGIN IMMEDIATE"));
    }
    m_state = stateOf(result);
    if (m_state != State::Held) {
        m_reason = m_file->errorText();
        m_file.reset();
    }
}

WriteLock::~WriteLock()
{
    release();
}

void WriteLock::release()
{
    if (!m_file)
        return;
    m_file->exec(QStringLiteral("ROLLBACK"));
    m_file.reset();
}

namespace {

sqlite3_file* lockedFile(SqliteFile* file)
{
    sqlite3_file* handle = nullptr;
    if (!file ||
        sqlite3_file_control(file->handle(), "main", SQLITE_FCNTL_FILE_POINTER, &handle) != SQLITE_OK ||
        !handle || !handle->pMethods)
        return nullptr;
    return handle;
}

} // namespace

qint64 WriteLock::fileSize() const
{
    sqlite3_file* handle = lockedFile(m_file.get());
    sqlite3_int64 size = 0;
    if (!handle || handle->pMethods->xFileSize(handle, &size) != SQLITE_OK)
        return -1;
    return size;
}

bool WriteLock::readBytes(qint64 offset, char* into, int length) const
{
    sqlite3_file* handle = lockedFile(m_file.get());
    if (!handle)
        return false;
    const int result = handle->pMethods->xRead(handle, into, length, offset);
    return result == SQLITE_OK || result == SQLITE_IOERR_SHORT_READ;
}

bool WriteLock::copyDatabaseTo(const QString& target, QString* reason) const
{
    QFile copy(target);
    const auto fail = [&](const QString& text) {
        if (reason)
            *reason = text;
        copy.close();
        QFile::remove(target);
        return false;
    };
    if (!m_file)
        return fail(QStringLiteral("the database is not locked"));
    const qint64 size = fileSize();
    if (size < 0)
        return fail(QStringLiteral("the size of the database file cannot be read"));

    if (!copy.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(copy.errorString());
    constexpr int kChunk = 1 << 20;
    QByteArray chunk(kChunk, Qt::Uninitialized);
    for (qint64 offset = 0; offset < size; offset += kChunk) {
        const int length = int(std::min<qint64>(kChunk, size - offset));
        if (!readBytes(offset, chunk.data(), length))
            return fail(QStringLiteral("the database file cannot be read"));
        if (copy.write(chunk.constData(), length) != length)
            return fail(copy.errorString());
    }
    if (!copy.flush())
        return fail(copy.errorString());
    copy.close();
    QString syncFailure;
    if (!db::syncFile(target, &syncFailure))
        return fail(syncFailure);
    return true;
}

} // namespace pelmor::maintenance
