#pragma once

#include "maintenance/Outcome.h"

#include <QString>

namespace pelmor::maintenance {

class WriteLock;

// The files of the program folder that maintenance works on, and the work
// files its operations write before a finished file takes its final name.
struct DatabaseFiles {
    explicit DatabaseFiles(const QString& folder);

    QString folder;
    QString database;      // pelmor.mdb
    QString backup;        // pelmor.bak
    QString emptyTemplate; // pelmor.emp

    // The compacted copy of the database, being written.
    QString compacting() const { return database + QStringLiteral(".compacting"); }
    // The database as it is, set aside to become the backup.
    QString nextBackup() const { return backup + QStringLiteral(".new"); }
    // A copy of the template or the backup, being made to replace the database.
    QString replacement() const { return database + QStringLiteral(".partial"); }
    // The rebuilt database, being written by a repair.
    QString repairing() const { return database + QStringLiteral(".repairing"); }
    // SQLite's rollback journal of the database.
    QString journal() const { return database + QStringLiteral("-journal"); }

    // Removes the work files that an operation stopped half way (by a
    // crash or a power cut) left behind. Called with the write lock held,
    // so no other operation is writing them.
    void removeWorkFiles() const;
};

// Gives a finished work file (`from`) the database's name. The write lock
// stays on the old file until the new one bears the name: a program that
// waited for the lock then finds its file replaced and opens the new one,
// so none of its writes lands in the old file, and no journal of the old
// file lies beside the new one. (Windows refuses to replace a file that is
// open, so there the lock goes first; a program that opened the file
// meanwhile makes the rename fail instead.) False, with the reason, when
// the rename fails; both files are then as they were.
bool moveIntoPlace(WriteLock& lock, const QString& from, const QString& database, QString* reason);

// What an operation tells when the database's write lock was not taken:
// nothing has been done.
Outcome lockRefusal(const WriteLock& lock, const QString& operation, const QString& databasePath);

// What an operation tells when a step failed after it started; the files
// are as they were before it.
Outcome stepFailure(const QString& operation, const QString& what, const QString& reason);

} // namespace pelmor::maintenance
