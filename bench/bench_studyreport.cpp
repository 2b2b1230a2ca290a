// The speed study report of a week-long survey of a million vehicles, as
// the report window makes it: the study worked out (the "prepare" step),
// the three pages built, written as a PDF file and drawn as page images,
// and the report window's build and first page on screen.
//
//   bench_studyreport [VEHICLES] [--pdf FILE]   (FILE keeps one PDF written)
#include "BenchUtil.h"
#include "GeneratedSurvey.h"
#include "TestSupport.h"
#include "reports/Documents.h"
#include "reports/PagePainter.h"
#include "reports/StudyReport.h"
#include "reports/widgets/ReportWindow.h"
#include "store/SurveyStore.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QTextStream>

#include <algorithm>
#include <functional>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    const QString keep = bench::takeOption(arguments, QStringLiteral("--pdf"));
    const qint64 vehicleCount = arguments.size() > 1 ? arguments.at(1).toLongLong() : 1000000;
    const int rounds = 5;
    QTextStream out(stdout);

    const test::TempProgramFolder folder;
    const QString path = folder.databasePath();
    test::storeSurvey(
        path,
        bench::generatedSurvey(kBatch, QDateTime(QDate(2026, 3, 2), QTime(6, 15), Qt::UTC), 7, vehicleCount));
    const db::Database database{path};

    reports::DocumentInputs inputs;
    inputs.survey = store::openStore(database)->loadSurvey(kBatch);
    inputs.agency = QStringLiteral("Springfield Police Department");
    inputs.today = QDate::currentDate();
    const double studyMs = bench::measure(rounds, [&] {
                               inputs.study =
                                   study::runStudy(database, study::StudyInputs::of(inputs.survey)).study;
                           }).first;
    if (!inputs.study) {
        out << "no study\n";
        return 1;
    }

    std::optional<reports::PagedDocument> document;
    const double buildMs =
        bench::measure(rounds, [&] { document = reports::buildStudyReport(inputs); }).first;
    const QString file = keep.isEmpty() ? folder.filePath(QStringLiteral("study.pdf")) : keep;
    QString failure;
    const double pdfMs = bench::measure(rounds, [&] {
                             failure = reports::writePdf(*document, file, QStringLiteral("bench"));
                         }).first;
    if (!failure.isEmpty()) {
        out << failure << "\n";
        return 1;
    }
    const double imagesMs = bench::measure(rounds, [&] {
                                for (int page = 0; page < int(document->pages.size()); ++page)
                                    reports::renderPage(*document, page, 150);
                            }).first;
    size_t items = 0;
    for (const reports::Page& page : document->pages)
        items += page.items.size();
    out << "speed study report of " << vehicleCount << " vehicles over 7 days: " << document->pages.size()
        << " pages, " << items << " placed items\n";
    out << "  work out the study " << studyMs << " ms, build pages " << buildMs << " ms, write PDF " << pdfMs
        << " ms (" << QFileInfo(file).size() / 1024 << " KiB), pages as images at 150 dpi " << imagesMs
        << " ms (best of " << rounds << " rounds)\n";

    // The report window as the program opens it: activation gathers the
    // inputs (the study already worked out), builds the pages and the
    // preview shows the first.
    test::RecordingMessages messages;
    reports::ReportWindow window(
        messages, [] { return reports::ReportChoice::SpeedStudyReport; },
        [&](reports::ReportChoice, QSizeF pageSize) -> std::optional<reports::DocumentInputs> {
            reports::DocumentInputs current = inputs;
            current.pageSize = pageSize;
            return current;
        });
    window.show();
    QApplication::processEvents();
    const double previewMs = bench::measure(rounds, [&] {
                                 window.rebuild();
                                 window.waitUntilBuilt();
                                 window.preview()->repaint();
                                 QApplication::processEvents();
                             }).first;
    out << "report window: build and show page 1 of " << window.preview()->pageCount() << " in " << previewMs
        << " ms (best of " << rounds << " rounds)\n";
    out << "process peak memory " << bench::memoryMiB("VmHWM") << " MiB\n";
    return 0;
}
