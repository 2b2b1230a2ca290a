#pragma once

#include <QString>

#include <memory>

namespace pelmor::maintenance {

class SqliteFile;

// The survey database's write lock, taken through SQLite's own locking at
// the start of a maintenance operation. While it is held no other program
// can write to the database (reading stays possible). Taking it also rolls
// back a write that a program killed half way left in the file's journal,
// so the file is whole before it is copied or renamed.
class WriteLock {
public:
    enum class State {
        Held,    // taken: released by release() or on destruction
        InUse,   // another program is writing to the database
        Missing, // there is no database file
        Damaged, // the file is not a database SQLite can read
        Failed,  // the file cannot be opened or locked for another reason
    };

    explicit WriteLock(const QString& databasePath);
    ~WriteLock();
    WriteLock(const WriteLock&) = delete;
    WriteLock& operator=(const WriteLock&) = delete;

    State state() const { return m_state; }
    bool isHeld() const { return m_state == State::Held; }
    // The engine's or the system's words when the lock is not held.
    const QString& reason() const { return m_reason; }

    // The handle that holds the lock, for reading the database while held.
    SqliteFile* file() const { return m_file.get(); }

    // The size of the locked file, and bytes of it, read through the handle
    // that holds the lock: -1, or false, when they cannot be read. Bytes
    // past the end of the file read as zeros.
    qint64 fileSize() const;
    bool readBytes(qint64 offset, char* into, int length) const;

    // Copies the database file byte for byte to `target` through the handle
    // that holds the lock (a second handle on the file would lose it on
    // POSIX systems when closed), and flushes the copy to the disk.
    bool copyDatabaseTo(const QString& target, QString* reason) const;

    void release();

private:
    std::unique_ptr<SqliteFile> m_file;
    State m_state = State::Failed;
    QString m_reason;
};

} // namespace pelmor::maintenance
