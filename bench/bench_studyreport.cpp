// The speed study report of a week-long survey of a million vehicles, as
// the report window makes it: the study worked out (the "prepare" step),
// the three pages built, written as a PDF file and drawn as page images,
// and the report window's build and first page on screen.
//
//   bench_studyreport [VEHICLES] [--pdf FILE]   (FILE keeps one PDF written)
#include "BenchUtil.h"
#include "GeneratedSurvey.h"
#include "TestSupport.h"
#include "db/Schema.h"
#include "reports/Documents.h"
#include "reports/PagePainter.h"
#include "reports/StudyReport.h"
#include "reports/widgets/ReportWindow.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

// The best of `rounds` runs, in milliseconds.
double best(int rounds, const std::function<void()>& run)
{
    double fastest = 1e9;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        run();
        fastest = std::min(fastest, double(timer.nsecsElapsed()) / 1e6);
    }
    return fastest;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    QString keep;
    const qsizetype pdfOption = arguments.indexOf(QStringLiteral("--pdf"));
    if (pdfOption > 0 && pdfOption + 1 < arguments.size()) {
        keep = arguments.at(pdfOption + 1);
        arguments.remove(pdfOption, 2);
    }
    const qint64 vehicleCount = arguments.size() > 1 ? arguments.at(1).toLongLong() : 1000000;
    const int rounds = 5;
    QTextStream out(stdout);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("pelmor.mdb"));
    db::createEmptyDatabase(path);
    test::storeSurvey(
        path,
        bench::generatedSurvey(kBatch, QDateTime(QDate(2026, 3, 2), QTime(6, 15), Qt::UTC), 7, vehicleCount));
    const db::Database database{path, nullptr};

    reports::DocumentInputs inputs;
    inputs.survey = survey::loadSurvey(database, kBatch);
    inputs.agency = QStringLiteral("Springfield Police Department");
    inputs.today = QDate::currentDate();
    const double studyMs = best(rounds, [&] {
        inputs.study = study::runStudy(database, study::StudyInputs::of(inputs.survey)).study;
    });
    if (!inputs.study) {
        out << "no study\n";
        return 1;
    }

    std::optional<reports::PagedDocument> document;
    const double buildMs = best(rounds, [&] { document = reports::buildStudyReport(inputs); });
    const QString file = keep.isEmpty() ? folder.filePath(QStringLiteral("study.pdf")) : keep;
    QString failure;
    const double pdfMs =
        best(rounds, [&] { failure = reports::writePdf(*document, file, QStringLiteral("bench")); });
    if (!failure.isEmpty()) {
        out << failure << "\n";
        return 1;
    }
    const double imagesMs = best(rounds, [&] {
        for (int page = 0; page < int(document->pages.size()); ++page)
            reports::renderPage(*document, page, 150);
    });
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
    const double previewMs = best(rounds, [&] {
        window.rebuild();
        window.preview()->repaint();
        QApplication::processEvents();
    });
    out << "report window: build and show page 1 of " << window.preview()->pageCount() << " in " << previewMs
        << " ms (best of " << rounds << " rounds)\n";
    out << "process peak memory " << bench::memoryMiB("VmHWM") << " MiB\n";
    return 0;
}
