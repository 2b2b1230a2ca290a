// Drives the real main window (offscreen) through the long work of a
// month-long survey: the import of 1,000,000 vehicles with its statistics,
// the quarter-hour breakdown of its 31 days, the speed study, the two speed
// graphs, the comparison with a second month of as many vehicles, the
// 15-minute flow report of the 31 days built and saved as a PDF file, and a
// backup.
// A timer on the window's thread ticks every 10 ms meanwhile; for each piece
// of work the benchmark prints how long it took and the longest gap between
// two ticks, which is how long the window could not paint or answer a
// click. The goal is no gap over 100 ms. Other programs share the CPU, so
// the figures vary from run to run.
#include "TestSupport.h"
#include "WindowProbe.h"
#include "app/AppState.h"
#include "app/GraphsTab.h"
#include "app/ImportTab.h"
#include "app/MainWindow.h"
#include "app/PrintControls.h"
#include "app/ReportsTab.h"
#include "app/StudyTab.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "maintenance/widgets/MaintenanceWindow.h"
#include "reports/widgets/ReportWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace pelmor;

namespace {

// The longest time between two ticks of a 10 ms timer on this thread while
// a piece of work runs, and how long the work took.
struct Latency {
    qint64 elapsed = 0;
    qint64 longestGap = 0;
};

// Starts `work` from the event loop and keeps the loop running until
// `done` holds.
Latency measure(const std::function<void()>& work, const std::function<bool()>& done)
{
    QElapsedTimer clock;
    qint64 lastTick = 0;
    Latency latency;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        latency.longestGap = std::max(latency.longestGap, now - lastTick);
        lastTick = now;
    });
    clock.start();
    ticker.start();
    QTimer::singleShot(0, work);
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const qint64 now = clock.elapsed();
    latency.longestGap = std::max(latency.longestGap, now - lastTick);
    latency.elapsed = now;
    return latency;
}

QByteArray monthLog(qint64 vehicles, const QDate& start, unsigned seed)
{
    loggen::LogHeader header;
    header.startDate = start;
    header.startHour = 0;
    header.startMinute = 0;
    loggen::SurveyProfile profile = loggen::profileForHeader(header);
    profile.durationSeconds = 31LL * 24 * 3600;
    profile.exactCount = vehicles;
    profile.seed = seed;
    return loggen::writeLog(header, loggen::generateVehicles(profile));
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const qint64 vehicles = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    QTextStream out(stdout);

    test::TempProgramFolder folder;
    test::RecordingMessages messages;
    app::AppState state;
    state.databaseFolder = folder.path();
    auto window = std::make_unique<app::MainWindow>(state, messages);
    window->resize(1200, 780);
    window->show();
    const test::WindowProbe ui(window.get());

    out << "Longest gap between ticks of a 10 ms timer on the window's thread (goal: 100 ms or less)\n";
    const auto print = [&out](const char* what, const Latency& latency) {
        out << QStringLiteral("%1 %2 ms elapsed, longest gap %3 ms%4\n")
                   .arg(QLatin1String(what), -44)
                   .arg(latency.elapsed, 7)
                   .arg(latency.longestGap, 6)
                   .arg(latency.longestGap > 100 ? QStringLiteral("  OVER") : QString());
        out.flush();
    };

    // Imports a month through the import tab; returns its batch number.
    const auto importMonth = [&](const QDate& start, unsigned seed) {
        window->tabs()->setCurrentWidget(window->importTab());
        state.downloadBuffer = monthLog(vehicles, start, seed);
        ui.child("ProcessingFrame")->show();
        ui.click(QStringLiteral("ProcessImportedData"));
        ui.child<QLineEdit>(QStringLiteral("Input_Location"))->setText(QStringLiteral("Elm Street"));
        ui.child<QComboBox>(QStringLiteral("Input_Direction"))->setCurrentText(QStringLiteral("North"));
        ui.child<QComboBox>(QStringLiteral("Input_Zone"))->setCurrentText(QStringLiteral("School"));
        const QString batch = ui.text(QStringLiteral("Input_Batch_Number"));
        bool imported = false;
        const QMetaObject::Connection ended = QObject::connect(
            window->importTab(), &app::ImportTab::importFinished, [&imported] { imported = true; });
        print(qPrintable(QStringLiteral("import of %1 vehicles with statistics").arg(vehicles)),
              measure([&] { ui.click(QStringLiteral("ProcessToDatabase")); }, [&] { return imported; }));
        QObject::disconnect(ended);
        out << "  told: " << messages.texts().join(QStringLiteral(" / ")) << "\n";
        return batch;
    };
    const QString batch = importMonth(QDate(2026, 3, 1), 2026);
    const QString second = importMonth(QDate(2026, 4, 1), 2027);
    const auto idle = [&] {
        return !window->isBusy();
    };
    // Clicks a button and waits for the work it starts to end.
    const auto clickAndWait = [&](const char* what, const char* button) {
        bool clicked = false;
        print(what, measure(
                        [&] {
                            ui.click(QLatin1String(button));
                            clicked = true;
                        },
                        [&] { return clicked && idle(); }));
    };

    window->reportsTab()->chooseSurvey(batch);
    window->tabs()->setCurrentWidget(window->graphsTab());
    clickAndWait("31-day quarter-hour breakdown", "QuarterHourFlow");

    app::StudyTab* study = window->studyTab();
    print("speed study", measure([&] { window->tabs()->setCurrentWidget(study); },
                                 [&] { return study->study().has_value() && !window->isBusy(); }));

    window->tabs()->setCurrentWidget(window->graphsTab());
    clickAndWait("85th percentile graph", "PercentileGraph");
    clickAndWait("traffic volume graph", "TrafficVolume");

    window->tabs()->setCurrentWidget(study);
    print("comparison with a second month",
          measure([&] { study->compareWith(second); },
                  [&] { return study->comparison().has_value() && idle(); }));

    // The 15-minute flow report of the 31 days, from the rows in the grid:
    // the report window builds it as it opens, then it is saved as a PDF.
    window->tabs()->setCurrentWidget(window->reportsTab());
    ui.child<QComboBox>(QStringLiteral("Print_choice"))->setCurrentIndex(3);
    reports::ReportWindow* report = window->printControls()->reportWindow();
    bool built = false;
    QObject::connect(report, &reports::ReportWindow::documentBuilt, [&built] { built = true; });
    print("31-day 15-minute flow report built",
          measure([&] { ui.click(QStringLiteral("cmdPrint")); }, [&] { return built && idle(); }));
    out << "  pages: " << (report->document() ? report->document()->pages.size() : 0) << "\n";
    const QString pdf = folder.filePath(QStringLiteral("flow.pdf"));
    bool saved = false;
    QObject::connect(report, &reports::ReportWindow::pdfSaved, [&saved] { saved = true; });
    print("31-day 15-minute flow report saved as PDF",
          measure([&] { report->saveAsPdf(pdf); }, [&] { return saved && idle(); }));
    out << "  told: " << messages.last() << "\n";
    report->hide();

    maintenance::MaintenanceWindow maintenance(folder.path(), messages);
    maintenance.show();
    bool backedUp = false;
    QObject::connect(&maintenance, &maintenance::MaintenanceWindow::operationFinished,
                     [&backedUp] { backedUp = true; });
    print("backup", measure([&] { test::WindowProbe(&maintenance).click(QStringLiteral("Backup")); },
                            [&] { return backedUp; }));
    out << "  told: " << messages.last() << "\n";
    return 0;
}
