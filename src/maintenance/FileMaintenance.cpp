#include "maintenance/FileMaintenance.h"

#include "db/DurableFiles.h"
#include "db/Files.h"
#include "maintenance/DatabaseCheck.h"
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

// Where a copy comes from, and what a usable one holds.
struct CopySource {
    QString path;
    QString missing; // the refusal when there is no such file
    QString name;    // "the backup", "the empty database"
    QString instead; // what the user can do when it is not usable
    bool mustBeEmpty = false;
};

// pelmor.mdb becomes a copy of the source (the template or the backup): the
// copy is written, flushed and checked under a work name, then takes the
// database's name in one step.
Outcome putCopyInPlace(const QString& folder, const QString& operation, const CopySource& source,
                       StoredAmounts* copied)
{
    const DatabaseFiles files(folder);
    WriteLock lock(files.database);
    // A missing or damaged database is exactly what these two mend.
    const bool replaceable = lock.isHeld() || lock.state() == WriteLock::State::Missing ||
                             lock.state() == WriteLock::State::Damaged;
    if (!replaceable)
        return lockRefusal(lock, operation, files.database);
    if (!QFileInfo(source.path).isFile())
        return Outcome::refused(source.missing);
    files.removeWorkFiles();

    QString reason;
    if (!db::copyFile(source.path, files.replacement(), &reason))
        return stepFailure(operation,
                           QStringLiteral("%1 could not be copied to %2.")
                               .arg(shown(source.path), shown(files.replacement())),
                           reason);
    // What goes in place is checked as the program will open it.
    const DatabaseCheck check = checkDatabaseFile(files.replacement(), CheckDepth::Quick);
    if (!check.usable || (source.mustBeEmpty && check.holdsSurveyRows)) {
        files.removeWorkFiles();
        const QString problem = check.usable ? QStringLiteral("it holds surveys") : check.problem;
        return Outcome::refused(QStringLiteral("%1 was not done: %2 %3 is not a usable survey database "
                                               "(%4). Nothing was changed. %5")
                                    .arg(operation, source.name, shown(source.path), problem, source.instead),
                                check.problem);
    }
    // Without the lock a journal left by a crash was never rolled back; it
    // belongs to the old file and must not be played into the new one.
    if (!lock.isHeld())
        QFile::remove(files.journal());
    if (!moveIntoPlace(lock, files.replacement(), files.database, &reason)) {
        QFile::remove(files.replacement());
        return stepFailure(operation, QStringLiteral("%1 could not be replaced.").arg(shown(files.database)),
                           reason);
    }
    if (copied)
        *copied = check.amounts;
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

    // A damaged file must not push a good backup out.
    const DatabaseCheck check = checkDatabaseFile(files.database, CheckDepth::Quick);
    if (!check.usable)
        return Outcome::refused(
            QStringLiteral("%1 was not done: the database %2 is damaged (%3). Run Repair "
                           "Database first. The database and its backup are as they were.")
                .arg(operation, shown(files.database), check.problem),
            check.problem);

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
                ? source.exec(QStringLiteral("VACUUM INTO '%1'")
                                  .arg(QString(files.compacting()).replace(u'\'', QLatin1String("''"))))
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

    // Two renames, each in one step.
    if (!moveIntoPlace(lock, files.compacting(), files.database, &reason)) {
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
    const CopySource source{
        files.emptyTemplate,
        QStringLiteral("%1 was not done: the empty database %2 was not found. Nothing was changed.")
            .arg(texts::kReplaceOperation, shown(files.emptyTemplate)),
        QStringLiteral("the empty database"),
        QStringLiteral("Write it again with \"pelmor-cli init\", which keeps the surveys."), true};
    const Outcome outcome = putCopyInPlace(folder, texts::kReplaceOperation, source, nullptr);
    return outcome.isDone() ? Outcome::done(texts::kReplaced) : outcome;
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
    StoredAmounts restored;
    const CopySource source{files.backup, texts::kNoBackup, QStringLiteral("the backup"),
                            QStringLiteral("Repair the database instead if it is damaged."), false};
    const Outcome outcome = putCopyInPlace(folder, texts::kRestoreOperation, source, &restored);
    return outcome.isDone() ? Outcome::done(texts::restoredMessage(restored)) : outcome;
}

QString replaceQuestion(const QString& folder)
{
    return texts::kReplaceQuestion + QStringLiteral("\r\n") +
           texts::erasureLine(storedAmounts(DatabaseFiles(folder).database));
}

QString restoreQuestion(const QString& folder)
{
    const DatabaseFiles files(folder);
    QString question =
        texts::kRestoreQuestion + QStringLiteral("\r\n") + texts::erasureLine(storedAmounts(files.database));
    if (const auto backup = storedAmounts(files.backup))
        question += QStringLiteral(" The backup holds %1.").arg(texts::surveysAndVehicles(*backup));
    return question;
}

} // namespace pelmor::maintenance
