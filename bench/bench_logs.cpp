// Reads another device's per-vehicle log of a generated survey (five million
// lines by default, in the semicolon layout of the radar counters) and
// stores it in a fresh database, against the sign's own import of the same
// vehicles: lines per second read, lines per second read and stored, and
// the sign's vehicles per second stored, with the memory each takes.
//
//   bench_logs [VEHICLES] [ROUNDS]
//   (default 5000000 vehicles, best of 2 rounds)
#include "BenchSurveyHeader.h"
#include "BenchUtil.h"
#include "db/Files.h"
#include "import/DownloadVehicles.h"
#include "import/LogParser.h"
#include "import/SurveyImport.h"
#include "loggen/LogWriter.h"
#include "logs/LogLayout.h"
#include "logs/LogReading.h"
#include "logs/LogSurvey.h"
#include "store/SurveyStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>

using namespace pelmor;

namespace {

// The log a radar counter would write of these vehicles, the first at
// 08:00 on `date`: "02.03.26 08:00:07;00;032;05;0" and CR LF.
QByteArray counterLog(const QDate& date, const std::vector<loggen::Vehicle>& vehicles)
{
    QByteArray log;
    log.reserve(qsizetype(vehicles.size()) * 32);
    qint64 lastDay = -1;
    QByteArray day;
    char line[40];
    for (const loggen::Vehicle& vehicle : vehicles) {
        const qint64 clock = 8 * 3600 + vehicle.offset;
        if (clock / 86400 != lastDay) {
            lastDay = clock / 86400;
            day = date.addDays(lastDay).toString(QStringLiteral("dd.MM.yy ")).toLatin1();
        }
        const int length = vehicle.speed % 7 == 0 ? 12 : 4 + vehicle.speed % 3;
        const int written = std::snprintf(line, sizeof line, "%02d:%02d:%02d;00;%03d;%02d;%c \r\n",
                                          int(clock / 3600 % 24), int(clock / 60 % 60), int(clock % 60),
                                          vehicle.speed, length, vehicle.direction == '+' ? '0' : '1');
        log += day;
        log.append(line, written);
    }
    return log;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 vehicleCount = argc > 1 ? QByteArray(argv[1]).toLongLong() : 5000000;
    const int rounds = argc > 2 ? std::max(1, QByteArray(argv[2]).toInt()) : 2;
    QTextStream out(stdout);

    loggen::LogHeader logHeader;
    const std::vector<loggen::Vehicle> vehicles = bench::monthOfVehicles(logHeader, vehicleCount);
    const QByteArray log = counterLog(logHeader.startDate, vehicles);
    out << vehicles.size() << " vehicles over 31 days; the counter's log " << log.size() / 1048576.0
        << " MiB\n";

    logs::LogLayout layout;
    for (const logs::LogLayout& shipped : logs::shippedLayouts())
        if (shipped.separator == logs::Separator::Semicolon)
            layout = shipped;

    // Reading alone.
    bench::resetPeakMemory();
    const double before = bench::memoryMiB("VmRSS");
    QElapsedTimer timer;
    timer.start();
    logs::ReadLog read = logs::readLog(log, layout, QStringLiteral("bench.txt"), {});
    const double readSeconds = timer.nsecsElapsed() / 1e9;
    const double readPeak = bench::memoryMiB("VmHWM") - before;
    out << "read: " << readSeconds << " s, " << qRound64(read.vehicles.size() / readSeconds)
        << " lines/s, memory " << readPeak << " MiB above the start (" << read.vehicles.size()
        << " vehicles, " << read.refused << " refused, " << read.seenTwice << " maybe seen twice, "
        << read.gaps.size() << " gaps)\n";
    read = {};

    // Read and stored, all of it, into a fresh database, and the sign's own
    // import of the same vehicles (its log parsed as part of it), in turn
    // round by round, so that what else the machine does weighs on both
    // alike; the best of each.
    QByteArray buffer = loggen::writeLog(logHeader, vehicles);
    import::markEnd(buffer);
    double readingSeconds = 1e9;
    const auto importOnce = [&](bool fromLog) {
        QTemporaryDir folder;
        store::initDatabaseFolder(folder.path());
        const db::Database database{db::databasePath(folder.path())};
        bench::QuietReport report;
        timer.restart();
        import::ImportResult result;
        if (fromLog) {
            logs::LogSurvey survey =
                logs::logSurvey(logs::readLog(log, layout, QStringLiteral("bench.txt"), {}));
            const import::DownloadVehicles stored(std::move(survey.vehicles));
            readingSeconds = std::min(readingSeconds, timer.nsecsElapsed() / 1e9);
            const import::SurveyHeader header{
                "030226-A", "",    "Bench Street", survey.startDate(), survey.startTime(), "030", "",
                "",         "KPH", "North",        "Residential"};
            result =
                import::importVehicles(database, header, stored, {layout.speedUnit, layout.name}, report);
        } else {
            result = import::importSurvey(
                database, bench::benchSurveyHeader(import::readHeaderFields(buffer)), buffer, report);
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (result.outcome != import::ImportResult::Outcome::Imported)
            out << "import failed: " << report.messages.join(QStringLiteral(" / ")) << "\n";
        return result.outcome == import::ImportResult::Outcome::Imported ? seconds : 1e9;
    };
    double fromLog = 1e9, fromSign = 1e9;
    // Each goes first in every other round.
    for (int round = 0; round < rounds; ++round) {
        for (const bool log : {round % 2 == 0, round % 2 != 0}) {
            double& best = log ? fromLog : fromSign;
            best = std::min(best, importOnce(log));
        }
    }
    out << "log read and stored: " << fromLog << " s, " << qRound64(vehicles.size() / fromLog)
        << " lines/s (reading and offsets " << readingSeconds << " s); the sign's own import: " << fromSign
        << " s, " << qRound64(vehicles.size() / fromSign) << " vehicles/s (best of " << rounds
        << " rounds each); process peak " << bench::memoryMiB("VmHWM") << " MiB\n";
    return 0;
}
