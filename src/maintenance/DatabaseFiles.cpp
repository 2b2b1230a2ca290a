#include "maintenance/DatabaseFiles.h"

#include "db/DurableFiles.h"
#include "db/Files.h"
#include "maintenance/WriteLock.h"

#include <QDir>
#include <QFile>
#include <QThread>

namespace pelmor::maintenance {

DatabaseFiles::DatabaseFiles(const QString& folder)
    : folder(folder)
    , database(db::databasePath(folder))
    , backup(QDir(folder).filePath(QLatin1String(db::kBackupFileName)))
    , emptyTemplate(QDir(folder).filePath(QLatin1String(db::kTemplateFileName)))
{
}

void DatabaseFiles::removeWorkFiles() const
{
    // A work file that SQLite wrote may have its own journal; a new empty
    // database is first written under ".partial".
    for (const QString& work : {compacting(), nextBackup(), replacement(), repairing()}) {
        for (const QString& suffix : {QString(), QStringLiteral("-journal"), QStringLiteral(".partial")})
            QFile::remove(work + suffix);
    }
}

bool moveIntoPlace(WriteLock& lock, const QString& from, const QString& database, QString* reason)
{
    // Tests widen the moment before the rename, to start other programs
    // against the database while the lock is held.
    const int delayMs = qEnvironmentVariableIntValue("PELMOR_TEST_RENAME_DELAY_MS");
    if (delayMs > 0)
        QThread::msleep(ulong(delayMs));
#ifdef Q_OS_WIN
    lock.release();
#else
    Q_UNUSED(lock);
#endif
    return db::replaceFile(from, database, reason);
}

Outcome lockRefusal(const WriteLock& lock, const QString& operation, const QString& databasePath)
{
    const QString file = db::displayPath(databasePath);
    switch (lock.state()) {
    case WriteLock::State::Held:
        break;
    case WriteLock::State::InUse:
        return Outcome::refused(QStringLiteral("%1 was not done: the database %2 is in use by another "
                                               "program. Close that program, then try again.")
                                    .arg(operation, file),
                                lock.reason());
    case WriteLock::State::Missing:
        return Outcome::refused(
            QStringLiteral("%1 was not done: the database %2 was not found.").arg(operation, file));
    case WriteLock::State::Damaged:
        return Outcome::refused(QStringLiteral("%1 was not done: the database %2 is damaged. Repair it "
                                               "first, or restore the backup.")
                                    .arg(operation, file),
                                lock.reason());
    case WriteLock::State::Failed:
        return Outcome::refused(
            QStringLiteral("%1 was not done: the database %2 cannot be opened for writing.")
                .arg(operation, file),
            lock.reason());
    }
    return Outcome::refused(operation);
}

Outcome stepFailure(const QString& operation, const QString& what, const QString& reason)
{
    return Outcome::failed(
        QStringLiteral("%1 failed: %2 The database and its backup are as they were.").arg(operation, what),
        reason);
}

} // namespace pelmor::maintenance
