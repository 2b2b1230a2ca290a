// Breaks a 31-day survey of a million vehicles down into quarter-hour bins
// (2,976 bins) and into hourly bins, the way the flow buttons do, and prints
// the time each breakdown takes: one read of the survey's vehicles counted
// per stored date and time, the bins summed from those counts in memory, and
// every row also written into the Breakdown table.
#include "BenchUtil.h"
#include "GeneratedSurvey.h"
#include "TestSupport.h"
#include "flow/FlowBreakdown.h"
#include "text/Formats.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 vehicleCount = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const int rounds = 5;
    QTextStream out(stdout);

    const test::TempProgramFolder folder;
    const QString path = folder.databasePath();

    const QDateTime start(QDate(2026, 3, 2), QTime(0, 0), Qt::UTC);
    // Stored the way the import leaves a survey.
    const test::Survey survey = bench::generatedSurvey(kBatch, start, 31, vehicleCount);
    QElapsedTimer timer;
    timer.start();
    test::storeSurvey(path, survey);
    out << "survey: " << vehicleCount << " vehicles over 31 days, stored in " << timer.elapsed() << " ms\n";

    // The survey as the reports tab shows it: 03/02/26 12:00 AM to 04/01/26
    // 11:59 PM, so the walks cover every bin of the 31 days.
    const flow::BreakdownInputs inputs{kBatch, text::formatDateMdy(start.date()), QStringLiteral("12:00 AM"),
                                       text::formatDateMdy(start.date().addDays(30)),
                                       QStringLiteral("11:59 PM")};

    for (const flow::BinLength bins : {flow::BinLength::QuarterHour, flow::BinLength::Hour}) {
        double best = 1e9, worst = 0;
        flow::BreakdownResult result;
        for (int round = 0; round < rounds; ++round) {
            timer.restart();
            result = flow::runBreakdown({path}, inputs, bins);
            const double ms = timer.nsecsElapsed() / 1e6;
            best = std::min(best, ms);
            worst = std::max(worst, ms);
            if (!result.ok()) {
                out << result.failure << "\n";
                return 1;
            }
        }
        out << (bins == flow::BinLength::QuarterHour ? "quarter-hour" : "hourly")
            << " breakdown: " << result.binRows << " bins summed from one grouped read of the vehicles, "
            << result.rowsWritten << " rows returned and written to Breakdown, grand total "
            << result.grandTotal << "\n";
        // The grouped read takes most of the time whatever the bin length,
        // so a time per bin would say little.
        out << "  best " << best << " ms, worst " << worst << " ms (of " << rounds << " rounds)\n";
        if (result.grandTotal != vehicleCount) {
            out << "the grand total misses " << vehicleCount - result.grandTotal << " vehicles\n";
            return 2;
        }
    }
    out << "process peak memory " << bench::memoryMiB("VmHWM") << " MiB\n";
    return 0;
}
