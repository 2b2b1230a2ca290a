// Imports a generated survey of a million vehicles into the survey store
// of a PostgreSQL server the way the window does (the server's checked
// functions, vehicles through COPY, statistics and site, one transaction) and prints the time it takes, then
// the time psql's \copy needs to load the same rows into a table of the same six columns and build the same
// index, and the time of the store's reads of the survey. The server is a throwaway one on 127.0.0.1 that
// syncs to disk as an installed server does.
//
//   bench_store_server [VEHICLES] [ROUNDS]   (default 1000000 vehicles, best of 3)
#include "BenchSurveyHeader.h"
#include "BenchUtil.h"
#include "PgTestServer.h"
#include "TestSupport.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "loggen/LogWriter.h"
#include "store/PgServerSchema.h"
#include "store/SurveyStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

using namespace pelmor;
using bench::QuietReport;

namespace {

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 vehicleCount = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 3;
    QTextStream out(stdout);

    test::PgTestServer server(true);
    if (!server.error().isEmpty()) {
        out << server.error() << "\n";
        return 1;
    }
    const QString templateName = server.createDatabase();
    store::initServer({{}, server.connectionString(templateName)});

    loggen::LogHeader logHeader;
    const std::vector<loggen::Vehicle> vehicles = bench::monthOfVehicles(logHeader, vehicleCount);
    QByteArray buffer = loggen::writeLog(logHeader, vehicles);
    import::markEnd(buffer);
    const import::HeaderFields fields = import::readHeaderFields(buffer);
    const import::SurveyHeader header = bench::benchSurveyHeader(fields);

    // The import, each round into a fresh database made before the clock
    // starts: the server opens the survey, tallies its vehicles as they
    // come and checks the statistics and figures against the tally.
    QString lastDatabase;
    const auto importOnce = [&](double& best, double& worst) {
        if (!lastDatabase.isEmpty())
            server.dropDatabase(lastDatabase);
        lastDatabase = server.createDatabase(templateName);
        QuietReport report;
        QElapsedTimer timer;
        timer.start();
        const import::ImportResult result =
            import::importSurvey({{}, server.connectionString(lastDatabase)}, header, buffer, report);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (result.outcome != import::ImportResult::Outcome::Imported)
            out << "import failed: " << report.messages.join(QStringLiteral(" / ")) << "\n";
        best = std::min(best, ms);
        worst = std::max(worst, ms);
    };
    double importBest = 1e9, importWorst = 0;
    for (int round = 0; round < rounds; ++round)
        importOnce(importBest, importWorst);

    // The same rows loaded by psql alone.
    QTemporaryDir folder;
    const QString rows = folder.filePath(QStringLiteral("rows.tsv"));
    {
        QFile file(rows);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray text;
        for (const loggen::Vehicle& vehicle : vehicles) {
            const qint64 clock = 8 * 3600 + vehicle.offset;
            text += "030226-A\t" + QByteArray::number(vehicle.offset) + '\t' + vehicle.direction + '\t' +
                    QByteArray::number(vehicle.speed) + '\t' + QByteArray::number(clock % 86400 / 60 * 60) +
                    '\t' + QDate(2026, 3, 2).addDays(clock / 86400).toString(Qt::ISODate).toLatin1() + '\n';
        }
        file.write(text);
    }
    double copyBest = 1e9, copyWorst = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString database = server.createDatabase();
        server.execute(
            QStringLiteral("CREATE TABLE v (b text, o bigint, d text, s bigint, t integer, dt date)"),
            database);
        QElapsedTimer timer;
        timer.start();
        server.execute(QStringLiteral("\\copy v from '%1'").arg(rows), database);
        server.execute(QStringLiteral("CREATE INDEX ON v (b, dt, t)"), database);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        copyBest = std::min(copyBest, ms);
        copyWorst = std::max(copyWorst, ms);
        server.dropDatabase(database);
    }

    // The store's reads of the survey imported last.
    const auto store = store::openStore({{}, server.connectionString(lastDatabase)});
    const QString batch = header.batchNumber;
    qint64 seen = 0;
    const auto time = [&](const std::function<void()>& run) {
        return bench::measure(rounds, run).first;
    };
    const double stored = time([&] {
        seen = 0;
        store->scanVehicles(batch, store::VehicleOrder::Stored,
                            [&](const store::VehicleRow&) { return ++seen > 0; });
    });
    const double clock = time([&] {
        store->scanVehicles(batch, store::VehicleOrder::Clock, [](const store::VehicleRow&) { return true; });
    });
    const double speeds = time([&] { store->speedCounts(batch); });
    const double times = time([&] { store->timeCounts(batch); });
    const double figures = time([&] { store->tally(batch)->averageSpeed(); });
    const double list = time([&] { store->listSurveys(); });

    out << "server import of " << vehicleCount << " vehicles (statistics included), best of " << rounds
        << ": " << importBest << " ms (worst " << importWorst << " ms)\n";
    out << "psql \\copy of the same rows into six columns plus the index (two psql runs): " << copyBest
        << " ms (worst " << copyWorst << " ms); import / copy = " << importBest / copyBest << "\n";
    out << "scan in stored order (" << seen << " rows): " << stored << " ms; in clock order: " << clock
        << " ms\n";
    out << "speed counts: " << speeds << " ms; clock counts: " << times << " ms; figures: " << figures
        << " ms; survey list: " << list << " ms\n";
    out << "(other developers share the 2 cores: timings are noisy)\n";
    return 0;
}
