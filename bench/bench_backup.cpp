// Backs up (compacts) a database of 10 surveys and 3,000,000 vehicles the
// way "Backup Database" does, and prints the time it takes and the file
// sizes before and after. Two more surveys are stored and deleted first,
// so the file holds free pages for the compaction to give back, as a
// database in use does.
#include "SurveyFixture.h"
#include "db/Connection.h"
#include "db/Files.h"
#include "maintenance/FileMaintenance.h"
#include "maintenance/SurveyDeletion.h"
#include "store/SqliteSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

using namespace pelmor;

namespace {

double mebibytes(const QString& path)
{
    return QFileInfo(path).size() / (1024.0 * 1024.0);
}

qint64 vehicleCount(const QString& path)
{
    db::Connection connection({path});
    return connection.scalar(QStringLiteral("select count(*) as n from Veh_Data"), QStringLiteral("n"))
        .toLongLong();
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const int surveys = 10;
    const qint64 vehicles = argc > 1 ? QByteArray(argv[1]).toLongLong() : 3000000;
    QTextStream out(stdout);

    QTemporaryDir folder;
    store::initDatabaseFolder(folder.path());
    const QString database = db::databasePath(folder.path());
    const QString backup = QDir(folder.path()).filePath(QStringLiteral("pelmor.bak"));

    QElapsedTimer timer;
    timer.start();
    QStringList deleted;
    for (int i = 0; i < surveys + 2; ++i) {
        test::Survey survey;
        survey.batchNumber = QStringLiteral("03%1%2-A").arg(i + 1, 2, 10, QLatin1Char('0')).arg(26);
        survey.start = test::at(QStringLiteral("03/%1/26 00:00").arg(i + 1, 2, 10, QLatin1Char('0')));
        survey.durationSeconds = 7 * 24 * 3600;
        const qint64 count = vehicles / surveys;
        survey.speeds.reserve(size_t(count));
        for (qint64 v = 0; v < count; ++v)
            survey.speeds.push_back(int(20 + (v * 7 + i) % 45));
        test::storeSurvey(database, survey);
        if (i == 1 || i == 6)
            deleted << survey.batchNumber; // the 2nd and the 7th go again
    }
    for (const QString& batch : deleted)
        maintenance::deleteSurvey({database}, batch);
    out << "database: " << surveys << " surveys, " << vehicleCount(database) << " vehicles, stored in "
        << timer.elapsed() / 1000.0 << " s (" << deleted.size() << " more surveys stored and deleted)\n";

    const double before = mebibytes(database);
    timer.restart();
    const maintenance::Outcome outcome = maintenance::backupDatabase(folder.path());
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!outcome.isDone()) {
        out << "backup failed: " << outcome.message << " " << outcome.details << "\n";
        return 1;
    }
    out << "backup (compaction): " << QString::number(seconds, 'f', 2) << " s\n";
    out << "pelmor.mdb before: " << QString::number(before, 'f', 1)
        << " MiB, after: " << QString::number(mebibytes(database), 'f', 1)
        << " MiB; pelmor.bak: " << QString::number(mebibytes(backup), 'f', 1) << " MiB\n";
    out << "vehicles after: " << vehicleCount(database) << "\n";
    return 0;
}
