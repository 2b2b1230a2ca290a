// The quarter-hour flow report of a 31-day survey (about 3,700 rows over
// some 80 pages), the largest document the program prints: the time to
// build its pages, to write them as a PDF file, and for the report window
// to build it and show its first page in the preview.
//
//   bench_reports [VEHICLES] [--pdf FILE]   (FILE keeps one PDF written)
#include "BenchUtil.h"
#include "SurveyFixture.h"
#include "TestSupport.h"
#include "flow/FlowBreakdown.h"
#include "reports/Documents.h"
#include "reports/FlowReports.h"
#include "reports/PagePainter.h"
#include "reports/widgets/ReportWindow.h"
#include "store/SurveyStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPrintPreviewWidget>
#include <QTextStream>

#include <algorithm>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

struct Best {
    double ms = 1e9;
    void take(double value) { ms = std::min(ms, value); }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    const QString keep = bench::takeOption(arguments, QStringLiteral("--pdf"));
    const int vehicleCount = arguments.size() > 1 ? arguments.at(1).toInt() : 200000;
    const int rounds = 5;
    QTextStream out(stdout);

    // A survey from 03/02/26 12:00 AM to 04/01/26 11:59 PM, walked into
    // quarter hours as "15 Minute Traffic Flow" does before it prints.
    const test::TempProgramFolder folder;
    const QString path = folder.databasePath();
    test::Survey survey;
    survey.batchNumber = kBatch;
    survey.start = test::at(QStringLiteral("03/02/26 00:00"));
    survey.stop = test::at(QStringLiteral("04/01/26 23:59"));
    survey.durationSeconds = survey.start.secsTo(survey.stop);
    survey.speeds.assign(static_cast<size_t>(vehicleCount), 35);
    test::storeSurvey(path, survey);
    const db::Database database{path};

    reports::DocumentInputs inputs;
    inputs.survey = store::openStore(database)->loadSurvey(kBatch);
    inputs.agency = QStringLiteral("Springfield Police Department");
    inputs.today = QDate::currentDate();
    const auto breakDown = [&] {
        return flow::runBreakdown(database, flow::BreakdownInputs::of(inputs.survey),
                                  flow::BinLength::QuarterHour);
    };
    const flow::BreakdownResult walk = breakDown();
    if (!walk.ok()) {
        out << walk.failure << "\n";
        return 1;
    }

    Best read, build, pdf, total;
    reports::PagedDocument document;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        inputs.breakdown = breakDown().rows;
        const double readMs = timer.nsecsElapsed() / 1e6;
        timer.restart();
        document = reports::buildFlowReport(inputs, flow::BinLength::QuarterHour);
        const double buildMs = timer.nsecsElapsed() / 1e6;
        timer.restart();
        const QString file = keep.isEmpty() ? folder.filePath(QStringLiteral("report.pdf")) : keep;
        const QString failure = reports::writePdf(document, file, QStringLiteral("bench"));
        const double pdfMs = timer.nsecsElapsed() / 1e6;
        if (!failure.isEmpty()) {
            out << failure << "\n";
            return 1;
        }
        read.take(readMs);
        build.take(buildMs);
        pdf.take(pdfMs);
        total.take(readMs + buildMs + pdfMs);
    }
    size_t items = 0;
    for (const reports::Page& page : document.pages)
        items += page.items.size();
    out << "15-minute flow report of " << vehicleCount
        << " vehicles over 31 days: " << inputs.breakdown.size() << " rows, " << document.pages.size()
        << " pages, " << items << " placed items\n";
    out << "  breakdown " << read.ms << " ms, build pages " << build.ms << " ms, write PDF " << pdf.ms
        << " ms\n";
    out << "  breakdown + build + PDF: " << total.ms << " ms (best of " << rounds << " rounds)\n";

    // The report window as the program opens it: activation builds the
    // document and the preview lays out its pages; the first page is on
    // screen once the preview has painted.
    test::RecordingMessages messages;
    reports::ReportWindow window(
        messages, [] { return reports::ReportChoice::QuarterHourFlowReport; },
        [&](reports::ReportChoice, QSizeF pageSize) -> std::optional<reports::DocumentInputs> {
            reports::DocumentInputs current = inputs;
            current.breakdown = walk.rows;
            current.pageSize = pageSize;
            return current;
        });
    window.show();
    QApplication::processEvents();
    Best preview;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        window.rebuild();
        window.waitUntilBuilt();
        window.preview()->repaint();
        QApplication::processEvents();
        preview.take(timer.nsecsElapsed() / 1e6);
    }
    out << "report window: build and show page 1 of " << window.preview()->pageCount() << " in " << preview.ms
        << " ms (best of " << rounds << " rounds)\n";
    // The part of that on the window's thread: the preview takes the
    // pages laid out and shows page 1.
    Best update;
    for (int round = 0; round < rounds; ++round) {
        timer.start();
        window.preview()->updatePreview();
        window.preview()->repaint();
        update.take(timer.nsecsElapsed() / 1e6);
    }
    out << "  of which on the window's thread: " << update.ms << " ms (best of " << rounds << " rounds)\n";
    out << "process peak memory " << bench::memoryMiB("VmHWM") << " MiB\n";
    return 0;
}
