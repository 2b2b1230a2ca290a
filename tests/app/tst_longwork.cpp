// Long work started from the main window runs on a worker: the window's
// timers keep ticking, the one progress strip shows what runs with a bar
// that moves and "Cancel", the controls that would start other work are
// disabled meanwhile, "Cancel" leaves what is on show and what is stored as
// it was, and closing the window while work runs stops it safely.
#include "AppUnderTest.h"
#include "CompareFixture.h"
#include "app/GraphsTab.h"
#include "app/PrintControls.h"
#include "app/ReportsTab.h"
#include "app/StudyTab.h"
#include "flow/widgets/BreakdownModel.h"
#include "reports/widgets/ReportWindow.h"
#include "worker/widgets/ProgressStrip.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <utility>

using namespace pelmor;

namespace {

const QString kFirst = QStringLiteral("030226-A");
const QString kSecond = QStringLiteral("030926-A");

// How long the window's thread went without a tick of a 10 ms timer.
struct TickWatch {
    TickWatch()
    {
        QObject::connect(&ticker, &QTimer::timeout, [this] { tick(); });
        clock.start();
        ticker.start(10);
    }
    qint64 longestGap()
    {
        tick();
        return longest;
    }
    void tick() { longest = std::max(longest, clock.elapsed() - std::exchange(last, clock.elapsed())); }
    QTimer ticker;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
};

} // namespace

class TstLongWork : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Two surveys of a week each, large enough that the work takes a
        // while; stored once and copied into each test's folder.
        const QString path = m_surveys.databasePath();
        test::storeSurvey(path, test::streetSurvey(kFirst, test::normalSpeeds(kVehicles, 38, 6, 41),
                                                   test::firstMonday(), 7));
        test::storeSurvey(path, test::streetSurvey(kSecond, test::normalSpeeds(kVehicles, 35, 6, 42),
                                                   test::firstMonday().addDays(7), 7));
    }
    void init()
    {
        m_app = std::make_unique<test::AppUnderTest>();
        QFile::remove(m_app->folder.databasePath());
        QVERIFY(QFile::copy(m_surveys.databasePath(), m_app->folder.databasePath()));
        m_app->start().reportsTab()->chooseSurvey(kFirst);
        QTRY_VERIFY(!m_app->window->isBusy());
    }
    void cleanup() { m_app.reset(); }

    void workShowsOnTheStrip_data()
    {
        QTest::addColumn<QString>("work");
        QTest::addColumn<bool>("knowsItsTotal");
        QTest::addColumn<bool>("cancel");
        for (const bool cancel : {false, true}) {
            const char* how = cancel ? "cancelled" : "to the end";
            const auto add = [&](const char* work, bool total) {
                QTest::addRow("%s, %s", work, how) << QString::fromLatin1(work) << total << cancel;
            };
            add("speed graph", true);
            add("volume graph", true);
            add("quarter-hour breakdown", false);
            add("hourly breakdown", false);
            add("speed study", false);
            add("comparison", false);
            add("vehicles export", true);
        }
    }
    void workShowsOnTheStrip()
    {
        QFETCH(QString, work);
        QFETCH(bool, knowsItsTotal);
        QFETCH(bool, cancel);
        app::MainWindow& window = *m_app->window;
        worker::ProgressStrip* strip = window.progressStrip();
        const bool comparison = work == QLatin1String("comparison");
        if (comparison)
            openStudy();
        const QStringList surveysBefore = surveyRows();
        const QImage graphBefore = window.graphsTab()->graphImage();

        QSignalSpy values(strip->bar(), &QProgressBar::valueChanged);
        bool sweeping = false;
        bool shown = false;
        bool startersDisabled = false;
        QTimer look;
        look.setInterval(1);
        connect(&look, &QTimer::timeout, this, [&] {
            if (!strip->isVisible())
                return;
            shown = true;
            sweeping = sweeping || strip->bar()->maximum() == 0;
            startersDisabled = !m_app->ui.child("QuarterHourFlow")->isEnabled() &&
                               !m_app->ui.child("PercentileGraph")->isEnabled();
        });
        look.start();
        TickWatch ticks;
        start(work);
        QVERIFY(window.isBusy());
        QVERIFY(strip->isVisible());
        QVERIFY2(!strip->label()->text().isEmpty() && strip->cancelButton()->isVisible() &&
                     strip->cancelButton()->isEnabled(),
                 qPrintable(strip->label()->text()));
        if (cancel)
            QTest::mouseClick(strip->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isBusy(), 60000);
        look.stop();
        QVERIFY(!strip->isVisible());
        QVERIFY2(ticks.longestGap() < 1000, qPrintable(QString::number(ticks.longestGap())));
        QVERIFY(shown);
        QVERIFY(startersDisabled);
        // Enabled again, as they were.
        QVERIFY(m_app->ui.child("QuarterHourFlow")->isEnabled());
        QCOMPARE(surveyRows(), surveysBefore);
        // Only a finished export has something to tell: where the file went.
        const bool export_ = work == QLatin1String("vehicles export");
        QCOMPARE(m_app->messages.texts(),
                 export_ && !cancel ? QStringList{savedMessage(exportPath())} : QStringList{});

        const bool graph = work.endsWith(QLatin1String("graph"));
        if (!cancel) {
            // A bar that fills up where the work knows how much there is, one
            // that sweeps otherwise.
            if (knowsItsTotal) {
                QVERIFY2(values.count() >= 2, qPrintable(QString::number(values.count())));
                QCOMPARE(values.last().at(0).toInt(), strip->bar()->maximum());
            } else {
                QVERIFY(sweeping);
            }
        }
        // What the work is for is on show once it ran to its end, and
        // nothing of it after a cancel.
        if (graph) {
            QCOMPARE(window.graphsTab()->graphImage().isNull(), cancel);
            if (cancel)
                QCOMPARE(window.graphsTab()->graphImage(), graphBefore);
        } else if (work.endsWith(QLatin1String("breakdown"))) {
            QCOMPARE(window.graphsTab()->breakdownRows().empty(), cancel);
        } else if (export_) {
            // Whole, or no file at all.
            const QByteArray written = test::fileBytes(exportPath());
            QCOMPARE(int(written.count("\r\n")), cancel ? 0 : 1 + kVehicles);
        } else if (work == QLatin1String("speed study")) {
            QCOMPARE(window.studyTab()->study().has_value(), !cancel);
        } else {
            QCOMPARE(window.studyTab()->comparison().has_value(), !cancel);
        }
    }

    // Closing the window while work runs stops the work, then closes: the
    // program ends once, and nothing is stored or shown half-done.
    void closingWhileWorking_data()
    {
        QTest::addColumn<QString>("work");
        test::row("speed graph", "speed graph");
        test::row("breakdown", "quarter-hour breakdown");
        test::row("speed study", "speed study");
    }
    void closingWhileWorking()
    {
        QFETCH(QString, work);
        app::MainWindow& window = *m_app->window;
        const QStringList surveysBefore = surveyRows();
        QSignalSpy ended(&window, &app::MainWindow::endRequested);
        start(work);
        QVERIFY(window.isBusy());
        QVERIFY(!window.close());
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 60000);
        QVERIFY(!window.isBusy());
        QVERIFY(!window.isVisible());
        QCOMPARE(surveyRows(), surveysBefore);
        QVERIFY(window.graphsTab()->graphImage().isNull());
        QVERIFY(window.graphsTab()->breakdownRows().empty());
        QVERIFY(m_app->messages.shown().empty());
    }

    // The week's quarter-hour flow report is walked and laid out on the
    // report window's worker, then saved as a PDF file there: its strip
    // fills up while the pages are written, and a cancel leaves the
    // preview as it was and no file.
    void documentOnTheReportWindowsWorker_data()
    {
        QTest::addColumn<bool>("cancel");
        test::row("to the end", false);
        test::row("cancelled", true);
    }
    void documentOnTheReportWindowsWorker()
    {
        QFETCH(bool, cancel);
        app::MainWindow& window = *m_app->window;
        reports::ReportWindow* report = window.printControls()->reportWindow();
        worker::ProgressStrip* strip = report->progressStrip();
        const QStringList surveysBefore = surveyRows();
        window.tabs()->setCurrentWidget(window.reportsTab());
        m_app->ui.child<QComboBox>("Print_choice")->setCurrentIndex(3);
        QSignalSpy built(report, &reports::ReportWindow::documentBuilt);
        TickWatch ticks;
        m_app->ui.click("cmdPrint");
        QVERIFY(report->isBuilding() && strip->isVisible());
        if (cancel)
            QTest::mouseClick(strip->cancelButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!report->isBuilding(), 60000);
        QCOMPARE(built.count(), cancel ? 0 : 1);
        QCOMPARE(report->document() == nullptr, cancel);
        // The rows walked for the report are the grid's, unless cancelled.
        QCOMPARE(window.graphsTab()->breakdownRows().empty(), cancel);
        if (cancel) {
            QVERIFY2(ticks.longestGap() < 1000, qPrintable(QString::number(ticks.longestGap())));
            QCOMPARE(surveyRows(), surveysBefore);
            QVERIFY(m_app->messages.shown().empty());
            return;
        }
        QVERIFY(report->document()->pages.size() > 10);

        const QString path = m_app->folder.filePath("flow.pdf");
        QSignalSpy values(strip->bar(), &QProgressBar::valueChanged);
        QSignalSpy saved(report, &reports::ReportWindow::pdfSaved);
        QVERIFY(report->saveAsPdf(path));
        QVERIFY(strip->isVisible() && strip->cancelButton()->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 60000);
        QVERIFY2(ticks.longestGap() < 1000, qPrintable(QString::number(ticks.longestGap())));
        QVERIFY(saved.at(0).at(0).toBool());
        QVERIFY(QFileInfo::exists(path));
        QVERIFY2(values.count() >= 3, qPrintable(QString::number(values.count())));
        QCOMPARE(values.last().at(0).toInt(), strip->bar()->maximum());
        QCOMPARE(surveyRows(), surveysBefore);

        // A save cancelled at once leaves no file behind.
        const QString cancelled = m_app->folder.filePath("cancelled.pdf");
        QVERIFY(report->saveAsPdf(cancelled));
        QTest::mouseClick(strip->cancelButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 2, 60000);
        QVERIFY(!saved.at(1).at(0).toBool());
        QVERIFY(!QFileInfo::exists(cancelled));
        QCOMPARE(m_app->messages.shown().size(), size_t(1)); // the first save's word alone
    }

private:
    static constexpr int kVehicles = 60000;

    void openStudy()
    {
        m_app->window->tabs()->setCurrentWidget(m_app->window->studyTab());
        QTRY_VERIFY_WITH_TIMEOUT(m_app->window->studyTab()->study().has_value(), 60000);
        QTRY_VERIFY(!m_app->window->isBusy());
    }
    void start(const QString& work)
    {
        app::MainWindow& window = *m_app->window;
        if (work == QLatin1String("speed study")) {
            window.tabs()->setCurrentWidget(window.studyTab());
        } else if (work == QLatin1String("comparison")) {
            QVERIFY(window.studyTab()->compareWith(kSecond));
        } else if (work == QLatin1String("vehicles export")) {
            window.tabs()->setCurrentWidget(window.graphsTab());
            test::answerFileWindow(exportPath());
            m_app->ui.child<QAction>("ExportVehiclesCsv")->trigger();
        } else {
            window.tabs()->setCurrentWidget(window.graphsTab());
            const QString button = work == QLatin1String("speed graph")              ? "PercentileGraph"
                                   : work == QLatin1String("volume graph")           ? "TrafficVolume"
                                   : work == QLatin1String("quarter-hour breakdown") ? "QuarterHourFlow"
                                                                                     : "HourFlow";
            m_app->ui.click(button);
        }
    }
    QString exportPath() const { return m_app->folder.filePath("vehicles.csv"); }
    static QString savedMessage(const QString& path)
    {
        return QStringLiteral("The vehicles of survey %1 were saved as %2").arg(kFirst, path);
    }
    QStringList surveyRows() const
    {
        const QString path = m_app->folder.databasePath();
        return test::rowTexts(path, "select * from Header order by Batch_Number") +
               test::rowTexts(path, "select Batch_Number, count(*) from Veh_Data group by Batch_Number");
    }

    test::TempProgramFolder m_surveys;
    std::unique_ptr<test::AppUnderTest> m_app;
};

QTEST_MAIN(TstLongWork)
#include "tst_longwork.moc"
