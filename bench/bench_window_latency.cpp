// Drives the real main window (offscreen) through the long work of a
// month-long survey: the import of 1,000,000 vehicles with its statistics,
// the quarter-hour breakdown of its 31 days, the speed study, the two speed
// graphs, the comparison with a second month of as many vehicles, the
// 15-minute flow report of the 31 days built and saved as a PDF file, and a
// backup. Then the first month is copied twenty times over into a survey of
// its own at another site (20,000,000 vehicles by default), and every list
// of the stored surveys is opened on that file, the big survey loaded, and
// its site merged into the other.
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
#include "app/SitesTab.h"
#include "app/StudyTab.h"
#include "loggen/LogWriter.h"
#include "loggen/SurveyProfile.h"
#include "loggen/VehicleGenerator.h"
#include "maintenance/widgets/DeletionWindow.h"
#include "maintenance/widgets/MaintenanceWindow.h"
#include "reports/widgets/ReportWindow.h"
#include "sites/SiteTrends.h"
#include "upload/widgets/UploadWindow.h"
#include "worker/BackgroundTask.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
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

    // The machine's own gaps: the ticker alone for two seconds.
    QElapsedTimer nothing;
    nothing.start();
    print("machine itself (nothing running)",
          measure([] {}, [&nothing] { return nothing.elapsed() >= 2000; }));

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
    while (!idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
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

    // The big survey: the first month's rows copied twenty times in one
    // statement, at a site of its own ("Elm St").
    const QString big = QStringLiteral("BIG");
    QElapsedTimer copying;
    copying.start();
    test::executeOnFile(
        folder.databasePath(),
        QStringLiteral(
            "CREATE TEMP TABLE h AS SELECT * FROM Header WHERE Batch_Number = '%1';"
            "UPDATE h SET Batch_Number = '%2', Location = 'Elm St'; INSERT INTO Header SELECT * FROM h;"
            "CREATE TEMP TABLE s AS SELECT * FROM Summary WHERE Batch_Number = '%1';"
            "UPDATE s SET Batch_Number = '%2'; INSERT INTO Summary SELECT * FROM s;"
            "CREATE TEMP TABLE v AS SELECT * FROM Veh_Data WHERE Batch_Number = '%1';"
            "UPDATE v SET Batch_Number = '%2';"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20) "
            "INSERT INTO Veh_Data SELECT v.* FROM v, n;")
            .arg(batch, big));
    out << QStringLiteral("  survey %1 of %2 vehicles written in %3 s\n")
               .arg(big)
               .arg(vehicles * 20)
               .arg(copying.elapsed() / 1000.0, 0, 'f', 1);
    // No worker of `root` runs.
    const auto settled = [](const QWidget* root) {
        const auto tasks = root->findChildren<worker::BackgroundTask*>();
        return std::none_of(tasks.begin(), tasks.end(),
                            [](const worker::BackgroundTask* task) { return task->isRunning(); });
    };
    // Runs `work` and waits until `root` has no worker running.
    const auto listed = [&](const char* what, const QWidget* root, const std::function<void()>& work) {
        bool started = false;
        print(what, measure(
                        [&] {
                            work();
                            started = true;
                        },
                        [&] { return started && settled(root) && idle(); }));
    };
    window->tabs()->setCurrentWidget(window->reportsTab());
    listed("survey list of the reports tab", window.get(), [&] { ui.click(QStringLiteral("SelectSurvey")); });
    // The traffic volume graph on show is drawn again for it.
    listed("big survey loaded", window.get(), [&] { window->reportsTab()->chooseSurvey(big); });
    out << "  shown: " << state.current.batchNumber() << "\n";
    listed("speed study of the big survey", window.get(), [&] { window->tabs()->setCurrentWidget(study); });
    bool asked = false;
    listed("survey list to compare with", window.get(), [&] {
        test::answerNextWindow([&asked](QDialog* dialog) {
            asked = true;
            dialog->reject();
        });
        ui.click(QStringLiteral("CompareWith"));
    });
    out << "  list shown: " << (asked ? "yes" : "no") << "\n";
    window->openUpload();
    listed("survey list of the upload window", window->uploadWindow(), [] {});
    window->uploadWindow()->hide();
    maintenance::DeletionWindow deletion(state.database, messages);
    listed("survey list of the deletion window", &deletion, [&] { deletion.present(); });
    deletion.hide();
    app::SitesTab* sites = window->sitesTab();
    listed("sites read (the big survey placed)", window.get(),
           [&] { window->tabs()->setCurrentWidget(sites); });
    if (sites->sites().size() == 2 && sites->chooseSite(sites->sites()[1].site.id)) {
        const qint64 into = sites->sites()[0].site.id;
        listed("site merge", window.get(), [&] { sites->mergeChosenSiteInto(into); });
        out << "  sites after: " << sites->sites().size() << "\n";
    }
    nothing.restart();
    print("machine itself again", measure([] {}, [&nothing] { return nothing.elapsed() >= 2000; }));

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
