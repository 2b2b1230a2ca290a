#include "maintenance/SurveyDeletion.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/DurableFiles.h"
#include "db/Recordset.h"
#include "db/SqlText.h"
#include "maintenance/DatabaseFiles.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/WriteLock.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

namespace pelmor::maintenance {
namespace {

// Nothing is deleted while another program writes to the database: the
// lock is taken to find out, and let go for the deletion's own transaction.
std::optional<Outcome> refusalWhileInUse(const db::Database& database, const QString& operation)
{
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
    try {
        db::Connection connection(database);
        db::Transaction transaction(connection);
        const QString where =
            QStringLiteral(" where [Batch_Number] = '") + db::escapeText(batch) + QLatin1Char('\'');
        for (const char* table : {"Summary", "Veh_Data", "Header"})
            connection.execute(QStringLiteral("delete from ") + QLatin1String(table) + where);
        transaction.commit();
    } catch (const db::DbError& error) {
        return deletionFailure(operation, error);
    }
    return Outcome::done();
}

Outcome deleteAllSurveys(const db::Database& database)
{
    const QString& operation = texts::kDeleteAllOperation;
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
        transaction.commit();
    } catch (const db::DbError& error) {
        return deletionFailure(operation, error);
    }
    return Outcome::done(hadVehicles ? texts::kDeletingFinished : texts::kDatabaseEmpty);
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
