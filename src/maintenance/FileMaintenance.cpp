#include "maintenance/FileMaintenance.h"

#include "db/DurableFiles.h"
#include "db/Files.h"
#include "db/SqlText.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/SqliteFile.h"
#include "maintenance/WriteLock.h"

#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace pelmor::maintenance {
namespace {

QString shown(const QString& path)
{
    return db::displayPath(path);
}

// pelmor.mdb becomes a copy of `source` (the template or the backup): the
// copy is written and flushed under a work name, then takes the database's
// name in one step.
Outcome putCopyInPlace(const QString& folder, const QString& operation, const QString& source,
                       const QString& missingSource)
{
    const DatabaseFiles files(folder);
    WriteLock lock(files.database);
    // A missing or damaged database is exactly what these two mend.
    const bool replaceable = lock.isHeld() || lock.state() == WriteLock::State::Missing ||
                             lock.state() == WriteLock::State::Damaged;
    if (!replaceable)
        return lockRefusal(lock, operation, files.database);
    if (!QFileInfo(source).isFile())
        return Outcome::refused(missingSource);
    files.removeWorkFiles();

    QString reason;
    if (!db::copyFile(source, files.replacement(), &reason))
        return stepFailure(
            operation,
            QStringLiteral("%1 could not be copied to %2.").arg(shown(source), shown(files.replacement())),
            reason);
    // Some systems refuse to replace a file that is open.
    const bool wasLocked = lock.isHeld();
    lock.release();
    // Without the lock a journal left by a crash was never rolled back; it
    // belongs to the old file and must not be played into the new one.
    if (!wasLocked)
        QFile::remove(files.journal());
    if (!db::replaceFile(files.replacement(), files.database, &reason)) {
        QFile::remove(files.replacement());
        return stepFailure(operation, QStringLiteral("%1 could not be replaced.").arg(shown(files.database)),
                           reason);
    }
    return Outcome::done();
}

} // namespace

Outcome backupDatabase(const QString& folder)
{
    const QString& operation = texts::kBackupOperation;
    const DatabaseFiles files(folder);
    WriteLock lock(files.database);
    if (!lock.isHeld())
        return lockRefusal(lock, operation, files.database);
    files.removeWorkFiles();

    // The database file as it is, under the backup's work name: a second
    // name for the same file where the file system allows it (nothing is
    // copied), otherwise a copy made through the locked handle.
    QString reason;
    if (!db::linkFile(files.database, files.nextBackup(), &reason) &&
        !lock.copyDatabaseTo(files.nextBackup(), &reason))
        return stepFailure(
            operation, QStringLiteral("The backup %1 could not be written.").arg(shown(files.nextBackup())),
            reason);

    // SQLite writes the compacted copy itself: every row, packed into as
    // few pages as they need, indexes rebuilt. The lock keeps other
    // programs' writes out meanwhile; reading beside it is allowed.
    {
        SqliteFile source(files.database, SqliteFile::Mode::ReadOnly);
        const int result =
            source.openResult() == SQLITE_OK
                ? source.exec(QStringLiteral("VACUUM INTO '%1'").arg(db::escapeText(files.compacting())))
                : source.openResult();
        if (result != SQLITE_OK) {
            reason = source.errorText();
            files.removeWorkFiles();
            return stepFailure(
                operation,
                QStringLiteral("The database could not be compacted into %1.").arg(shown(files.compacting())),
                reason);
        }
    }
    if (!db::syncFile(files.compacting(), &reason)) {
        files.removeWorkFiles();
        return stepFailure(
            operation,
            QStringLiteral("The compacted copy %1 could not be written.").arg(shown(files.compacting())),
            reason);
    }

    // Two renames, each in one step. Some systems refuse to replace a file
    // that is open, so the lock goes first.
    lock.release();
    if (!db::replaceFile(files.compacting(), files.database, &reason)) {
        files.removeWorkFiles();
        return stepFailure(
            operation,
            QStringLiteral("The compacted copy could not take the place of %1.").arg(shown(files.database)),
            reason);
    }
    if (!db::replaceFile(files.nextBackup(), files.backup, &reason)) {
        // The database goes back to the file as it was.
        QString undoReason;
        if (!db::replaceFile(files.nextBackup(), files.database, &undoReason))
            return Outcome::failed(QStringLiteral("%1 failed: the backup %2 could not be written, and the "
                                                  "database as it was is left in %3.")
                                       .arg(operation, shown(files.backup), shown(files.nextBackup())),
                                   reason + QStringLiteral("; ") + undoReason);
        return stepFailure(operation,
                           QStringLiteral("The backup %1 could not be written.").arg(shown(files.backup)),
                           reason);
    }
    return Outcome::done(texts::kBackupComplete);
}

Outcome replaceDatabase(const QString& folder)
{
    const DatabaseFiles files(folder);
    return putCopyInPlace(folder, texts::kReplaceOperation, files.emptyTemplate,
                          QStringLiteral("%1 was not done: the empty database %2 was not found. Nothing was "
                                         "changed.")
                              .arg(texts::kReplaceOperation, shown(files.emptyTemplate)));
}

bool backupExists(const QString& folder)
{
    return QFileInfo(DatabaseFiles(folder).backup).isFile();
}

Outcome restoreDatabase(const QString& folder)
{
    if (!backupExists(folder))
        return Outcome::refused(texts::kNoBackup);
    const DatabaseFiles files(folder);
    return putCopyInPlace(folder, texts::kRestoreOperation, files.backup, texts::kNoBackup);
}

} // namespace pelmor::maintenance
