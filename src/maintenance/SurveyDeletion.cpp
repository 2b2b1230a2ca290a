#include "maintenance/SurveyDeletion.h"

#include "db/DbError.h"
#include "db/DurableFiles.h"
#include "maintenance/DatabaseCheck.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/WriteLock.h"
#include "store/SqliteSchema.h"
#include "store/SurveyStore.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace pelmor::maintenance {
namespace {

// Nothing is deleted while another program writes to the database: the
// lock is taken to find out, and let go for the deletion's own transaction.
std::optional<Outcome> refusalWhileInUse(const db::Database& database, const QString& operation)
{
    if (!store::capabilitiesOf(database).fileMaintenance)
        return std::nullopt; // a server's own locks keep writers apart
    WriteLock lock(database.path);
    if (lock.isHeld())
        return std::nullopt;
    return lockRefusal(lock, operation, database.path);
}

Outcome deletionFailure(const QString& operation, const db::DbError& error)
{
    return Outcome::failed(
        QStringLiteral("%1 failed: the database could not be changed. Every survey is as it was.")
            .arg(operation),
        error.message());
}

// Copies each file over its target, passing over a source that is missing
// and any copy that fails.
void copyFixedFiles()
{
    for (const auto& [source, target] : fixedFileCopies()) {
        if (!QFileInfo(source).isFile())
            continue;
        const QString partial = target + QStringLiteral(".partial");
        if (!db::copyFile(source, partial) || !db::replaceFile(partial, target))
            QFile::remove(partial);
    }
}

} // namespace

Outcome deleteSurvey(const db::Database& database, const QString& batch)
{
    const QString& operation = texts::kDeleteSelectedOperation;
    if (batch.isEmpty())
        return Outcome::done();
    if (const auto refusal = refusalWhileInUse(database, operation))
        return *refusal;
    store::DeletedSurvey deleted;
    try {
        deleted = store::openStore(database)->deleteSurvey(batch);
    } catch (const db::DbError& error) {
        // A server refuses a role without the right to delete: its
        // message says who may.
        if (error.failure() == db::Failure::NotAllowed)
            return Outcome::refused(error.message());
        return deletionFailure(operation, error);
    }
    const QString vehicles = texts::counted(deleted.vehicles, "vehicle", "vehicles");
    if (deleted.header)
        return Outcome::done(QStringLiteral("The survey %1 and its %2 were deleted.").arg(batch, vehicles));
    if (deleted.vehicles > 0 || deleted.statistics)
        return Outcome::done(
            QStringLiteral("The %1 and the statistics stored under %2 without a survey header were deleted.")
                .arg(vehicles, batch));
    return Outcome::done(QStringLiteral("No survey %1 is stored; nothing was deleted.").arg(batch));
}

namespace {

// The question about one survey from what it is and how many vehicles it
// has; no header: rows a repair left under the batch number.
QString surveyQuestion(const QString& batch, const QString& count, bool hasHeader, const QStringList& fields)
{
    if (!hasHeader)
        return QStringLiteral("Delete the %1 and the statistics stored under %2 without a survey header?\r\n"
                              "They will be erased.")
            .arg(count, batch);
    QStringList about;
    for (const QString& field : fields) {
        const QString text = field.trimmed();
        if (!text.isEmpty())
            about << text;
    }
    const QString named =
        about.isEmpty() ? batch : QStringLiteral("%1 (%2)").arg(batch, about.join(QStringLiteral(", ")));
    return QStringLiteral("Delete the survey %1?\r\nIts %2 and its statistics will be erased.")
        .arg(named, count);
}

} // namespace

QString deleteSurveyQuestion(const db::Database& database, const QString& batch)
{
    // A database that cannot be read gets the question about rows without
    // their header, which names no more than the batch number.
    store::SurveyContents contents;
    try {
        contents = store::openStore(database)->surveyContents(batch);
    } catch (const db::DbError&) {
    }
    const QString count = contents.vehicles ? texts::counted(*contents.vehicles, "vehicle", "vehicles")
                                            : QStringLiteral("vehicles");
    return surveyQuestion(batch, count, contents.header, contents.about);
}

Outcome deleteAllSurveys(const db::Database& database)
{
    const QString& operation = texts::kDeleteAllOperation;
    if (!store::capabilitiesOf(database).deleteAll)
        return Outcome::refused(texts::kServerKeptByIt);
    if (const auto refusal = refusalWhileInUse(database, operation))
        return *refusal;
    copyFixedFiles();
    bool hadVehicles = false;
    try {
        hadVehicles = store::openStore(database)->deleteAllSurveys();
    } catch (const db::DbError& error) {
        return deletionFailure(operation, error);
    }
    return Outcome::done(hadVehicles ? texts::kDeletingFinished : texts::kDatabaseEmpty);
}

QString deleteAllQuestion(const db::Database& database)
{
    if (!store::capabilitiesOf(database).deleteAll)
        return texts::kServerKeptByIt;
    return texts::kDeleteAllQuestion + QStringLiteral("\r\n") +
           texts::erasureLine(storedAmounts(database.path));
}

std::vector<std::pair<QString, QString>> fixedFileCopies()
{
#ifdef Q_OS_WIN
    return {{QStringLiteral("c:\\pelmor\\pelmor.2nd"), QStringLiteral("c:\\pelmor\\pelmor.txt")},
            {QStringLiteral("c:\\kmv2.txt"), QStringLiteral("c:\\kmv3.txt")}};
#else
    return {};
#endif
}

} // namespace pelmor::maintenance
