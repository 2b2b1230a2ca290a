// Imports a generated survey of a million vehicles into a fresh database the
// way the window does (parse, header, vehicle rows, statistics, all in one
// transaction) and prints the time and memory it takes, where the time goes
// (parsing, writing the rows, keeping the index, the statistics), and the
// time SQLite alone needs for the same rows through one prepared insert.
// Then lists the surveys of a large file (ten surveys of LISTED vehicles in
// all), through the store and through `pelmor-cli surveys`, beside the
// count of each survey's vehicles that the list would take without the kept
// counts.
//
//   bench_import [VEHICLES] [ROUNDS] [LISTED]
//   (default 1000000 vehicles, best of 3, 20000000 listed)
#include "BenchSurveyHeader.h"
#include "BenchUtil.h"
#include "db/Connection.h"
#include "db/FieldValues.h"
#include "db/Files.h"
#include "db/SqliteStatement.h"
#include "import/DownloadVehicles.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "loggen/LogWriter.h"
#include "store/SqliteSchema.h"
#include "store/SurveyStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <array>

using namespace pelmor;

namespace {

// Keeps the messages, and notes when the rows are written: the import tells
// the progress of all its rows before it computes the statistics.
class QuietReport : public import::ImportReport {
public:
    QuietReport() { clock.start(); }
    void message(const QString& text, const QString& reason) override { messages << text + reason; }
    void recordsAdded(qint64) override {}
    void progress(qint64 written, qint64 expected) override
    {
        if (written == expected)
            rowsWrittenAfter = clock.nsecsElapsed() / 1e9;
    }
    bool confirm(const QString&) override { return true; }
    QStringList messages;
    QElapsedTimer clock;
    double rowsWrittenAfter = 0;
};

// The same rows, already in their stored form, written straight through one
// prepared SQLite statement into a fresh database: the floor the import can
// approach.
double rawInsertSeconds(const QString& path, const std::vector<loggen::Vehicle>& vehicles)
{
    db::Connection connection({path});
    // Stored forms made beforehand, so only SQLite is timed.
    std::vector<std::array<QVariant, 6>> rows;
    rows.reserve(vehicles.size());
    const QVariant batch = QStringLiteral("030226-A");
    for (const loggen::Vehicle& vehicle : vehicles) {
        const qint64 clock = 8 * 3600 + vehicle.offset;
        rows.push_back({batch, vehicle.offset, QString(QLatin1Char(vehicle.direction)), vehicle.speed,
                        db::storedTime(QTime(int(clock / 3600 % 24), int(clock / 60 % 60))),
                        db::storedDate(QDate(2026, 3, 2).addDays(clock / 86400))});
    }
    QElapsedTimer timer;
    timer.start();
    db::Transaction transaction(connection);
    db::SqliteStatement insert(connection,
                               QStringLiteral("INSERT INTO \"Veh_Data\" (\"Batch_Number\", \"Offset\", "
                                              "\"Veh_Direction\", \"Speed\", \"Time\", \"Date\") "
                                              "VALUES (?, ?, ?, ?, ?, ?)"));
    for (const auto& row : rows) {
        for (int i = 0; i < 6; ++i)
            insert.bind(i, row[size_t(i)]);
        insert.run();
    }
    transaction.commit();
    return timer.nsecsElapsed() / 1e9;
}

// The best of five runs of `work`, in milliseconds.
template <typename Work> double bestMs(Work work)
{
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

// Ten surveys of `vehicles` vehicles in all, written by SQLite itself into a
// file that then reads as one stored before the counts were kept, so the
// store's first opening counts them in its upgrade.
void measureListing(QTextStream& out, qint64 vehicles)
{
    QTemporaryDir folder;
    store::initDatabaseFolder(folder.path());
    const QString path = db::databasePath(folder.path());
    constexpr int kSurveys = 10;
    QElapsedTimer timer;
    timer.start();
    {
        db::Connection connection({path});
        db::Transaction transaction(connection);
        for (int survey = 0; survey < kSurveys; ++survey) {
            const QString batch = QStringLiteral("0303%1-A").arg(survey, 2, 10, QLatin1Char('0'));
            connection.executeUnlogged(
                QStringLiteral("INSERT INTO Header (Batch_Number, Location, Date, Time) "
                               "VALUES ('%1', 'Bench Road', '03/02/26', '08:00')")
                    .arg(batch));
            connection.executeUnlogged(
                QStringLiteral(
                    "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < %2) "
                    "INSERT INTO Veh_Data (Batch_Number, Offset, Veh_Direction, Speed, Time, Date) "
                    "SELECT '%1', i, '+', 20 + i % 50, printf('%02d:%02d:00', i / 3600 % 24, i / 60 "
                    "% 60), date('2026-03-02', '+' || (i / 86400) || ' days') FROM n")
                    .arg(batch)
                    .arg(vehicles / kSurveys));
        }
        connection.executeUnlogged(QStringLiteral("PRAGMA user_version = 3"));
        transaction.commit();
    }
    out << "listing: " << vehicles << " vehicles in " << kSurveys << " surveys written in "
        << timer.nsecsElapsed() / 1e9 << " s\n";
    timer.restart();
    const auto store = store::openStore({path});
    out << "  upgrade counting them: " << timer.nsecsElapsed() / 1e9 << " s\n";
    qint64 listed = 0;
    const double storeMs = bestMs([&] {
        listed = 0;
        for (const auto& survey : store->listSurveys())
            listed += survey.vehicles;
    });
    db::Connection connection({path});
    const double countedMs = bestMs([&] {
        connection.scalar(QStringLiteral("SELECT sum((SELECT count(*) FROM \"Veh_Data\" v WHERE "
                                         "v.\"Batch_Number\" = h.\"Batch_Number\")) AS n FROM \"Header\" h"),
                          QStringLiteral("n"));
    });
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/pelmor-cli");
    const double cliMs = bestMs([&] {
        QProcess process;
        process.start(cli, {QStringLiteral("--db"), folder.path(), QStringLiteral("surveys")});
        process.waitForFinished(-1);
    });
    out << "  listSurveys " << storeMs << " ms (" << listed
        << " vehicles listed); counting the vehicles instead " << countedMs
        << " ms; pelmor-cli surveys, whole process " << cliMs << " ms\n";
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 vehicleCount = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTextStream out(stdout);

    loggen::LogHeader logHeader;
    const std::vector<loggen::Vehicle> vehicles = bench::monthOfVehicles(logHeader, vehicleCount);
    QByteArray buffer = loggen::writeLog(logHeader, vehicles);
    import::markEnd(buffer);
    const import::HeaderFields fields = import::readHeaderFields(buffer);

    QTemporaryDir folder;
    store::initDatabaseFolder(folder.path());
    const QString path = db::databasePath(folder.path());
    const import::SurveyHeader header = bench::benchSurveyHeader(fields);

    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 3;
    // One import into a fresh database, with or without the vehicles' index;
    // the seconds until the rows were written and in all.
    struct Timing {
        double rows = 1e9;
        double total = 1e9;
    };
    const auto importOnce = [&](bool withIndex, Timing& best) {
        QTemporaryDir roundFolder;
        store::initDatabaseFolder(roundFolder.path());
        const QString roundPath = db::databasePath(roundFolder.path());
        if (!withIndex)
            db::Connection({roundPath})
                .executeUnlogged(QStringLiteral("DROP INDEX \"Veh_Data_Batch_Date_Time\""));
        QuietReport report;
        import::ImportResult result = import::importSurvey({roundPath}, header, buffer, report);
        const double total = report.clock.nsecsElapsed() / 1e9;
        if (result.outcome != import::ImportResult::Outcome::Imported)
            out << "import failed: " << report.messages.join(QStringLiteral(" / ")) << "\n";
        if (total < best.total)
            best = {report.rowsWrittenAfter, total};
        return result;
    };

    bench::resetPeakMemory();
    const double before = bench::memoryMiB("VmRSS");
    Timing withIndex, withoutIndex;
    double parseSeconds = 1e9;
    double rawSeconds = 1e9;
    // The import and the raw insert side by side in each round, so that what
    // else the machine does weighs on both alike; the ratio of each pair.
    std::vector<double> ratios;
    import::ImportResult result;
    double peak = 0;
    for (int round = 0; round < rounds; ++round) {
        Timing thisRound;
        result = importOnce(true, thisRound);
        if (result.outcome != import::ImportResult::Outcome::Imported)
            return 1;
        if (round == 0)
            peak = bench::memoryMiB("VmHWM"); // before the raw insert's own rows

        if (thisRound.total < withIndex.total)
            withIndex = thisRound;
        QTemporaryDir rawFolder;
        store::initDatabaseFolder(rawFolder.path());
        const double raw = rawInsertSeconds(db::databasePath(rawFolder.path()), vehicles);
        rawSeconds = std::min(rawSeconds, raw);
        ratios.push_back(thisRound.total / raw);
    }
    std::sort(ratios.begin(), ratios.end());
    for (int round = 0; round < rounds; ++round) {
        importOnce(false, withoutIndex);
        QElapsedTimer timer;
        timer.start();
        const import::DownloadVehicles download(buffer);
        parseSeconds = std::min(parseSeconds, timer.nsecsElapsed() / 1e9);
    }

    const double importSeconds = withIndex.total;
    const double indexSeconds = withIndex.rows - withoutIndex.rows;
    const double rowSeconds = withoutIndex.rows - parseSeconds;
    const double statisticsSeconds = withIndex.total - withIndex.rows;
    out << "survey: " << result.vehicles << " vehicles over 31 days, log " << buffer.size() / 1048576.0
        << " MiB (best of " << rounds << " rounds)\n";
    out << "import, all or nothing: " << importSeconds << " s, " << qRound64(result.vehicles / importSeconds)
        << " vehicles/s\n";
    out << "  parse " << parseSeconds << " s, rows " << rowSeconds << " s, index " << indexSeconds
        << " s, statistics and commit " << statisticsSeconds << " s\n";
    out << "memory: process peak " << peak << " MiB (" << peak - before
        << " MiB above the start of the import)\n";
    out << "raw prepared inserts of the same rows in their stored form: " << rawSeconds
        << " s; import / raw, round by round: median " << ratios[ratios.size() / 2] << " (" << ratios.front()
        << " to " << ratios.back() << ")\n";
    out << "85th percentile " << result.summary->percentile85 << ", average " << result.summary->averageSpeed
        << ", total time " << result.summary->totalTime << "\n";
    measureListing(out, argc > 3 ? QByteArray(argv[3]).toLongLong() : 20000000);
    return 0;
}
