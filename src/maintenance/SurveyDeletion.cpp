#include "maintenance/SurveyDeletion.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/DurableFiles.h"
#include "maintenance/DatabaseCheck.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/SqliteFile.h"
#include "maintenance/WriteLock.h"
#include "store/SqliteSchema.h"
#include "store/SurveyStore.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

#include <sqlite3.h>

namespace pelmor::maintenance {
namespace {

// Nothing is deleted while another program writes to the database: the
// lock is taken to find out, and let go for the deletion's own transaction.
std::optional<Outcome> refusalWhileInUse(const db::Database& database, const QString& operation)
{
    if (!database.server.isEmpty())
        return std::nullopt; // the server's own locks keep writers apart
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
    if (!database.server.isEmpty()) {
        const std::unique_ptr<store::SurveyStore> store = store::openStore(database);
        const survey::SurveyRecord survey = store->loadSurvey(batch);
        qint64 vehicles = 0;
        for (const store::SpeedCount& speed : store->speedCounts(batch))
            vehicles += speed.count;
        return surveyQuestion(batch, texts::counted(vehicles, "vehicle", "vehicles"), survey.hasHeader,
                              {survey.header.location, survey.header.direction, survey.header.date});
    }
    SqliteFile file(database.path, SqliteFile::Mode::ReadOnly);
    SqliteQuery header(
        file, QStringLiteral("SELECT Location, Direction, Date FROM Header WHERE Batch_Number = ?1"));
    SqliteQuery vehicles(file, QStringLiteral("SELECT count(*) FROM Veh_Data WHERE Batch_Number = ?1"));
    header.bindText(1, batch);
    vehicles.bindText(1, batch);
    const QString count = vehicles.step() == SQLITE_ROW
                              ? texts::counted(vehicles.columnInt64(0), "vehicle", "vehicles")
                              : QStringLiteral("vehicles");
    const bool hasHeader = header.step() == SQLITE_ROW;
    QStringList fields;
    for (int column = 0; hasHeader && column < 3; ++column)
        fields << header.columnText(column);
    return surveyQuestion(batch, count, hasHeader, fields);
}

Outcome deleteAllSurveys(const db::Database& database)
{
    const QString& operation = texts::kDeleteAllOperation;
    if (!database.server.isEmpty())
        return Outcome::refused(texts::kServerKeptByIt);
    if (const auto refusal = refusalWhileInUse(database, operation))
        return *refusal;
    copyFixedFiles();
    bool hadVehicles = false;
    try {
        db::Connection connection(database);
        db::Transaction transaction(connection);
        hadVehicles = connection
                          .scalar(QStringLiteral("select count(*) as Vehicles from Veh_Data"),
                                  QStringLiteral("Vehicles"))
                          .toLongLong() > 0;
        for (const char* table : {"Header", "Summary", "Veh_Data"})
            connection.execute(QStringLiteral("delete from ") + QLatin1String(table));
        // The surveys leave their sites and their downloads; the sites,
        // their names and their coordinates stay for the surveys to come. A
        // file not yet brought up to date has no sites and no downloads.
        for (const char* table : {"Site_Survey", "Survey_Download"}) {
            if (db::hasTable(connection, table))
                connection.execute(QStringLiteral("delete from ") + QLatin1String(table));
        }
        transaction.commit();
    } catch (const db::DbError& error) {
        return deletionFailure(operation, error);
    }
    return Outcome::done(hadVehicles ? texts::kDeletingFinished : texts::kDatabaseEmpty);
}

QString deleteAllQuestion(const db::Database& database)
{
    if (!database.server.isEmpty())
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
