// Parses a generated sign log of a million vehicles the way a download is
// processed (end marking and header fields) and then imported (vehicle
// records read into the list every step of the import uses), and prints the
// time and memory each stage takes.
#include "BenchUtil.h"
#include "import/DownloadVehicles.h"
#include "import/LogParser.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>

using namespace pelmor;

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 vehicleCount = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const int rounds = 5;
    QTextStream out(stdout);

    loggen::LogHeader header;
    header.startDate = QDate(2026, 3, 2);
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.durationSeconds = 31LL * 24 * 3600;
    profile.exactCount = vehicleCount;
    profile.seed = 2026;
    const QByteArray log = loggen::writeLog(header, loggen::generateVehicles(profile));
    out << "log: " << vehicleCount << " vehicles, " << log.size() / 1024.0 / 1024.0 << " MiB\n";

    double bestStage1 = 1e9, bestStage2 = 1e9, peakExtra = 0;
    qint64 parsed = 0;
    for (int round = 0; round < rounds; ++round) {
        QByteArray buffer = log;
        buffer.detach();
        bench::resetPeakMemory();
        const double baseline = bench::memoryMiB("VmRSS");

        QElapsedTimer timer;
        timer.start();
        if (!import::markEnd(buffer))
            return 1;
        const import::HeaderFields fields = import::readHeaderFields(buffer);
        bestStage1 = std::min(bestStage1, timer.nsecsElapsed() / 1e6);

        timer.restart();
        const import::DownloadVehicles download(buffer);
        bestStage2 = std::min(bestStage2, timer.nsecsElapsed() / 1e6);
        peakExtra = std::max(peakExtra, bench::memoryMiB("VmHWM") - baseline);
        if (!download.ended() || fields.dateStem().isEmpty() || download.vehicles().empty())
            return 1;
        parsed = qint64(download.vehicles().size());
    }
    const double total = bestStage1 + bestStage2;
    out << "vehicles parsed: " << parsed << "\n";
    out << "stage 1 (end mark, header): " << bestStage1 << " ms\n";
    out << "stage 2 (vehicle records):  " << bestStage2 << " ms\n";
    out << "both stages: " << total << " ms, " << qRound64(parsed / (total / 1000.0)) << " vehicles/s\n";
    out << "memory: peak above the buffer while parsing " << peakExtra << " MiB; process peak "
        << bench::memoryMiB("VmHWM") << " MiB\n";
    out << "(best of " << rounds << " rounds)\n";
    return parsed == vehicleCount ? 0 : 2;
}
