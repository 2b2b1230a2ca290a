#include "AppUnderTest.h"
#include "PdfText.h"
#include "SpecialFiles.h"
#include "SurveyFixture.h"
#include "app/AdminTab.h"
#include "app/GraphsTab.h"
#include "app/PrintControls.h"
#include "app/ReportsTab.h"
#include "app/StudyTab.h"
#include "db/Connection.h"
#include "flow/FlowBreakdown.h"
#include "flow/widgets/BreakdownModel.h"
#include "reports/widgets/ReportWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGraphicsView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace pelmor;
using reports::ReportChoice;
using test::row;

namespace {

const QString kBatch = QStringLiteral("050302-A");

} // namespace

// The print controls of the main window and the report window they open,
// on a stored survey of one hour, 08:00 to 09:00.
class TstReportWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { startOn({{25, 2}, {30, 4}, {35, 10}, {38, 5}, {40, 3}}); }
    void cleanup()
    {
        m_built.reset();
        m_app.reset();
    }

    // Each entry of the report list printed: the document it builds, the
    // graph it draws first, the walk it runs first; the main window stays
    // usable. The comparison sets the chosen survey beside the one picked
    // on the Speed Study tab.
    void printSelectedReport_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<ReportChoice>("chosen");
        QTest::addColumn<int>("marker"); // made visible; 0 for none
        QTest::addColumn<QString>("title");
        row("85th percentile", 0, ReportChoice::PercentileReport, 1, "050302-A 85th Percentile Report");
        row("traffic flow", 1, ReportChoice::TrafficFlowGraphReport, 2, "050302-A Traffic Flow Report");
        row("summary", 2, ReportChoice::SurveySummaryReport, 0, "050302-A Traffic Summary Report");
        row("15 minutes", 3, ReportChoice::QuarterHourFlowReport, 0, "050302-A 15 Minute Traffic Flow");
        row("hours", 4, ReportChoice::HourlyFlowReport, 0, "050302-A Hour Traffic Flow");
        row("speed study", 5, ReportChoice::SpeedStudyReport, 0, "050302-A Speed Study Report");
        row("comparison", 6, ReportChoice::ComparisonReport, 0,
            "050302-A and 050902-A Before - After Comparison");
    }
    void printSelectedReport()
    {
        QFETCH(int, item);
        QFETCH(ReportChoice, chosen);
        QFETCH(int, marker);
        QFETCH(QString, title);
        if (chosen == ReportChoice::ComparisonReport)
            QVERIFY(pickComparison(false));
        const reports::Preparation preparation = reports::documentKind(chosen)->preparation;
        const bool graph = preparation == reports::Preparation::SpeedDistributionGraph ||
                           preparation == reports::Preparation::TrafficVolumeGraph;
        const bool walk = preparation == reports::Preparation::QuarterHourBreakdown ||
                          preparation == reports::Preparation::HourlyBreakdown;
        reportList()->setCurrentIndex(item); // picked, not typed
        QApplication::processEvents();

        clickButton("cmdPrint");
        // Built as the window shows, whether the window system makes it
        // active or not, and not again by the activation that follows.
        QTRY_COMPARE(m_built->count(), 1);
        QVERIFY(QTest::qWaitForWindowActive(reportWindow()));
        QApplication::processEvents();
        QVERIFY(!reportWindow()->isBuilding());
        QCOMPARE(m_built->count(), 1);
        QCOMPARE(m_app->state.current.reportChoice(), chosen);
        QCOMPARE(reportWindow()->documentTitle(), title);
        QVERIFY(m_app->window->isEnabled());
        for (int number = 1; number <= 2; ++number)
            QCOMPARE(markerShown(number), number == marker);
        // The graph reports place the graph just drawn; the flow reports
        // print the rows of the walk just run, read back at activation.
        QCOMPARE(m_app->state.current.graph().image.width() > 1000, graph);
        const auto pictures = reportWindow()->document()->pages.at(0).itemsOf<reports::PictureItem>();
        QCOMPARE(pictures.size(), size_t(graph ? 1 : 0));
        QCOMPARE(!m_app->window->graphsTab()->breakdownModel()->rows().empty(), walk);
        QCOMPARE(reportWindow()->preview()->pageCount(), int(reportWindow()->document()->pages.size()));
        if (chosen == ReportChoice::ComparisonReport)
            QCOMPARE(reportWindow()->document()->pages.size(), size_t(2));
        QVERIFY(m_app->messages.shown().empty());
    }

    // The speed study report counts the vehicles over the threshold set on
    // the Speed Study tab for the survey it shows, the limit + 10 otherwise,
    // and follows the tab when the window is active again.
    void studyReportThreshold_data()
    {
        QTest::addColumn<int>("onTab"); // 0: the tab is not looked at
        QTest::addColumn<int>("printed");
        row("the tab not looked at", 0, 45);
        row("42 set on the tab", 42, 42);
    }
    void studyReportThreshold()
    {
        QFETCH(int, onTab);
        QFETCH(int, printed);
        app::StudyTab* tab = m_app->window->studyTab();
        if (onTab > 0) {
            m_app->window->tabs()->setCurrentWidget(tab);
            QTRY_VERIFY(tab->study().has_value());
            tab->thresholdBox()->setValue(onTab);
        }
        selectAndPrint(5);
        QVERIFY(allTexts().contains(QStringLiteral("Enforcement threshold: %1 mph").arg(printed)));
        if (onTab > 0) {
            backAndForth([&] { tab->thresholdBox()->setValue(onTab + 5); });
            QTRY_COMPARE(m_built->count(), 2);
            QVERIFY(allTexts().contains(QStringLiteral("Enforcement threshold: %1 mph").arg(onTab + 5)));
            QVERIFY(m_app->messages.shown().empty());
            return;
        }
        // "Print Selected Report" works the study out anew, as it draws a
        // graph anew; coming back to the report window builds from the
        // study of the last print while the survey stays the same.
        QVERIFY(allTexts().contains(QStringLiteral("Vehicles surveyed: 24")));
        db::Connection(m_app->state.database)
            .executeUnlogged(QStringLiteral(
                "INSERT INTO Veh_Data SELECT * FROM Veh_Data WHERE Batch_Number = '050302-A'"));
        backAndForth([] {});
        QTRY_COMPARE(m_built->count(), 2);
        QVERIFY(allTexts().contains(QStringLiteral("Vehicles surveyed: 24")));
        backAndForth([this] { clickButton("cmdPrint"); });
        QTRY_COMPARE(m_built->count(), 3);
        QVERIFY(allTexts().contains(QStringLiteral("Vehicles surveyed: 48")));
    }

    // A survey whose study cannot be worked out, or a comparison without a
    // survey picked to compare with, is told; no report window stays open
    // (the study is refused by the report window's worker, which shows its
    // work meanwhile).
    void printRefused_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("message");
        row("a study without a posted limit", 5,
            "The posted limit of survey 050302-B (\"abc\") is not a speed, so its vehicles cannot be "
            "measured against it.");
        const char* noSecond =
            "No survey has been picked to compare survey 050302-A with. On the Speed Study tab "
            "press \"Compare with...\" and choose the survey from the list, then print the "
            "Before / After Comparison again.";
        row("a comparison, none picked", 6, noSecond);
        row("a comparison, picked, then back to the study", 6, noSecond);
    }
    void printRefused()
    {
        QFETCH(int, item);
        QFETCH(QString, message);
        if (item == 5) {
            test::Survey survey;
            survey.batchNumber = QStringLiteral("050302-B");
            survey.postedSpeed = QStringLiteral("abc");
            test::storeSurvey(m_app->folder.databasePath(), survey);
            m_app->chooseSurvey(survey.batchNumber);
        } else if (QByteArray(QTest::currentDataTag()).contains("back")) {
            QVERIFY(pickComparison(true));
        }
        reportList()->setCurrentIndex(item);
        clickButton("cmdPrint");
        // The study is worked out on the worker, after the click returned;
        // a missing second survey is known at once.
        QCOMPARE(m_app->messages.shown().empty(), item == 5);
        QCOMPARE(reportWindow()->isBuilding(), item == 5);
        QTRY_COMPARE(m_app->messages.texts(), QStringList{message});
        QTRY_VERIFY(!reportWindow()->isVisible());
        QVERIFY(m_app->window->isEnabled());
        QCOMPARE(m_built->count(), 0);
    }

    // The report list takes no typing: keys only move among its reports,
    // and picking the 85th percentile report draws nothing by itself.
    void reportListTakesNoTyping()
    {
        QComboBox* list = reportList();
        QVERIFY(!list->isEditable());
        list->setCurrentIndex(1);
        list->setFocus();
        QTest::keyClicks(list, QStringLiteral("Speed Report zz"));
        QVERIFY(reports::reportListTexts().contains(list->currentText()));
        list->setCurrentIndex(list->findText(QStringLiteral("85th Percentile Report")));
        QApplication::processEvents();
        QVERIFY(m_app->state.current.graph().image.isNull());
        QVERIFY(!markerShown(1));
        QCOMPARE(m_app->state.current.reportChoice(), ReportChoice::None);
        QVERIFY(!reportWindow()->isVisible());
        QCOMPARE(list->count(), 7);
    }

    // The breakdown of a survey chosen before (the "another" rows) is not
    // printed for the one chosen now: the flow documents print the rows of
    // the survey they name, walked for it when the rows on show belong to
    // another.
    void printGraphChart_data()
    {
        QTest::addColumn<QString>("button"); // pressed on the graphs tab first; empty for none
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("another"); // survey 050402-B chosen after the button
        row("before anything was chosen", "", int(ReportChoice::None), false);
        row("after Time / Volume", "TimeVolume", int(ReportChoice::SurveySummaryReport), false);
        row("after 15 Min Traffic Flow", "QuarterHourFlow", int(ReportChoice::QuarterHourFlowReport), false);
        row("after Hour Traffic Flow", "HourFlow", int(ReportChoice::HourlyFlowReport), false);
        row("after Traffic Volume", "TrafficVolume", int(ReportChoice::TrafficFlowGraphReport), false);
        row("15 minutes, another survey", "QuarterHourFlow", int(ReportChoice::QuarterHourFlowReport), true);
        row("hours, another survey", "HourFlow", int(ReportChoice::HourlyFlowReport), true);
    }
    void printGraphChart()
    {
        QFETCH(QString, button);
        QFETCH(int, choice);
        QFETCH(bool, another);
        m_app->window->tabs()->setCurrentWidget(m_app->window->graphsTab());
        if (!button.isEmpty())
            clickButton(button);
        if (another) {
            // Survey A's hour of 24 vehicles on show, then survey B of two
            // days of 200 vehicles chosen: the grid no longer shows A's rows.
            QCOMPARE(m_app->state.current.breakdown()->batchNumber, kBatch);
            QVERIFY(!m_app->window->graphsTab()->breakdownModel()->rows().empty());
            chooseTwoDays();
            QVERIFY(!m_app->state.current.breakdown());
            QVERIFY(m_app->window->graphsTab()->breakdownModel()->rows().empty());
        }
        QSignalSpy walked(&m_app->state.current, &session::CurrentSurvey::breakdownChanged);
        clickButton("Command12");
        QVERIFY(QTest::qWaitForWindowActive(reportWindow()));
        QVERIFY(!m_app->window->isEnabled());
        QCOMPARE(int(m_app->state.current.reportChoice()), choice);
        if (choice == int(ReportChoice::None)) {
            // Nothing is built; the preview stays empty.
            QApplication::processEvents();
            QCOMPARE(m_built->count(), 0);
            QVERIFY(!reportWindow()->document());
        } else {
            QTRY_COMPARE(m_built->count(), 1);
            QCOMPARE(reportWindow()->documentChoice(), ReportChoice(choice));
            // The flow reports print the rows on show, without a new walk.
            if (!another)
                QCOMPARE(walked.count(), 0);
        }
        if (another) {
            QCOMPARE(reportWindow()->documentTitle().left(8), QStringLiteral("050402-B"));
            const QString texts = allTexts().join(QLatin1Char('|'));
            QVERIFY2(texts.contains(QStringLiteral("050402-B")), qPrintable(texts));
            QVERIFY2(!texts.contains(kBatch), qPrintable(texts));
            QVERIFY2(texts.contains(QStringLiteral("|200|")), qPrintable(texts)); // B's grand total
            QCOMPARE(m_app->state.current.breakdown()->batchNumber, QStringLiteral("050402-B"));
            QVERIFY(m_app->messages.shown().empty());
        }
        clickButton(reportWindow(), "Command2");
        QVERIFY(!reportWindow()->isVisible());
        QVERIFY(m_app->window->isEnabled());
    }

    // Drawing every graph and printing both graph documents leaves what the
    // user copied on the clipboard; each document places its own graph.
    void graphsLeaveTheClipboardAlone()
    {
        const QString copied = QStringLiteral("copied by the officer");
        QGuiApplication::clipboard()->setText(copied);
        m_app->window->tabs()->setCurrentWidget(m_app->window->graphsTab());
        for (const char* button : {"PercentileGraph", "TrafficVolume", "PrinterBW", "PrinterColor"})
            clickButton(QLatin1String(button));
        for (int item : {0, 1}) {
            selectAndPrint(item);
            QCOMPARE(m_app->state.current.graph().document, ReportChoice(item + 1));
            clickButton(reportWindow(), "Command2");
            m_built->clear();
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), copied);
        QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasImage());
    }

    void fieldSheets_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("choice");
        row("filled in", "Command19", int(ReportChoice::FilledFieldSheet));
        row("blank", "Command20", int(ReportChoice::BlankFieldSheet));
    }
    void fieldSheets()
    {
        QFETCH(QString, button);
        QFETCH(int, choice);
        m_app->window->tabs()->setCurrentWidget(m_app->window->adminTab());
        auto* location = m_app->ui.child<QLineEdit>(QStringLiteral("SetLocation"));
        location->setText(QStringLiteral("Main St"));
        clickButton(button);
        QVERIFY(QTest::qWaitForWindowActive(reportWindow()));
        QTRY_COMPARE(m_built->count(), 1);
        QCOMPARE(int(m_app->state.current.reportChoice()), choice);
        QVERIFY(!m_app->window->isEnabled());
        const bool filled = choice == int(ReportChoice::FilledFieldSheet);
        QCOMPARE(allTexts().contains(QStringLiteral("Main St")), filled);

        // Back to the main window, an input edited, and the report window
        // active again: the sheet is built anew with the new text.
        backAndForth([location] { location->setText(QStringLiteral("Oak Avenue")); });
        QTRY_COMPARE(m_built->count(), 2);
        QCOMPARE(allTexts().contains(QStringLiteral("Oak Avenue")), filled);
        QVERIFY(!allTexts().contains(QStringLiteral("Main St")));

        // However the window goes, the main window comes back.
        reportWindow()->close();
        QVERIFY(m_app->window->isEnabled());
    }

    void windowLooks()
    {
        selectAndPrint(0); // the 85th percentile report
        reports::ReportWindow* window = reportWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Pelmor Printer"));
        QCOMPARE(window->objectName(), QStringLiteral("VSPrint"));
        QCOMPARE(window->findChild<QPushButton*>(QStringLiteral("Command2"))->text(),
                 QStringLiteral("Close"));
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("Label1"))->text(),
                 QStringLiteral("Double click to zoom, click and drag to pan / double right click zoom out"));
        QVERIFY(window->findChild<QPrintPreviewWidget*>(QStringLiteral("vp")));
        QStringList modes;
        for (const QAction* action : window->zoomMenu()->actions())
            modes << action->text();
        QCOMPARE(modes.join(QLatin1Char('|')),
                 QStringLiteral("Whole &Page|Page &Width|&Two Pages|Thumb&nail"));
        // A fixed size, centred on the screen.
        QCOMPARE(window->minimumSize(), window->maximumSize());
        const QRect screen = window->screen()->availableGeometry();
        QVERIFY(qAbs(window->frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(window->frameGeometry().center().y() - screen.center().y()) <= 1);
        QCOMPARE(window->pageCountLabel()->text(), QStringLiteral("Page 1 of 1"));
    }

    void printingPartOfAFlowReport()
    {
        chooseTwoDays(); // in quarter hours several pages
        selectAndPrint(3);
        // Pages 2 and 3 printed alone keep their own page numbers.
        QTemporaryDir folder;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath(QStringLiteral("pages.pdf")));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        QVERIFY(reportWindow()->printTo(printer));
        const std::vector<test::PdfPage> printed = test::readPdf(printer.outputFileName());
        QCOMPARE(printed.size(), size_t(2));
        QVERIFY(printed[0].text().endsWith(QStringLiteral("page2")));
        QVERIFY(printed[1].text().endsWith(QStringLiteral("page3")));

        // "Cancel" in the progress window stops the printing after the page
        // on the way.
        printer.setPrintRange(QPrinter::AllPages);
        QString title, label, cancel;
        QTimer::singleShot(0, reportWindow(), [&] {
            auto* progress = reportWindow()->findChild<QProgressDialog*>(QStringLiteral("PrintProgress"));
            if (!progress)
                return;
            title = progress->windowTitle();
            label = progress->labelText();
            cancel = progress->findChild<QPushButton*>()->text();
            progress->cancel();
        });
        QVERIFY(!reportWindow()->printTo(printer));
        QCOMPARE(title, QStringLiteral("Printing..."));
        QCOMPARE(label, QStringLiteral(
                            "Now printing Page 1 of\n050402-B 15 Minute Traffic Flow\non the PDF file on ") +
                            printer.outputFileName());
        QCOMPARE(cancel, QStringLiteral("Cancel"));
    }

    // "Save as PDF..." and a printer set to a PDF file say where the file
    // went, or why it did not: a folder that is a file, a full device.
    void savesAsPdf_data()
    {
        QTest::addColumn<bool>("printed");   // through a printer set to a PDF file
        QTest::addColumn<QString>("target"); // "folder", "file" (as a folder) or "full"
        QTest::addColumn<QString>("failure");
        row("saved into a folder", false, "folder", "");
        row("saved under a file that is no folder", false, "file", "Not a directory");
        row("saved on a full device", false, "full", "No space left on device");
        row("printed into a folder", true, "folder", "");
        row("printed on a full device", true, "full", "No space left on device");
    }
    void savesAsPdf()
    {
        QFETCH(bool, printed);
        QFETCH(QString, target);
        QFETCH(QString, failure);
        selectAndPrint(4); // the hourly flow report
        QCOMPARE(reportWindow()->defaultPdfName(), QStringLiteral("050302-A Hour Traffic Flow.pdf"));
        QTemporaryDir folder;
        QString path = folder.filePath(reportWindow()->defaultPdfName());
        if (target == QLatin1String("file")) {
            QFile blocker(folder.filePath(QStringLiteral("not-a-folder")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            path = blocker.fileName() + QStringLiteral("/report.pdf");
        } else if (target == QLatin1String("full")) {
            path = test::makeDevice(folder.filePath(QStringLiteral("full")), test::Device::Full);
            if (path.isEmpty())
                QSKIP("no device node can be made safely here");
        }
        bool written = false;
        if (printed) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path);
            written = reportWindow()->printTo(printer);
        } else {
            QSignalSpy saved(reportWindow(), &reports::ReportWindow::pdfSaved);
            QVERIFY(reportWindow()->saveAsPdf(path));
            QTRY_COMPARE(saved.count(), 1);
            written = saved.at(0).at(0).toBool();
        }
        QCOMPARE(written, failure.isEmpty());
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
        if (!failure.isEmpty()) {
            QVERIFY2(m_app->messages.last().contains(path) && m_app->messages.last().contains(failure),
                     qPrintable(m_app->messages.last()));
            if (target == QLatin1String("full"))
                QCOMPARE(test::fileKind(path), QStringLiteral("device 1,7"));
            return;
        }
        QCOMPARE(m_app->messages.last(),
                 QStringLiteral("050302-A Hour Traffic Flow was saved as %1").arg(path));
        const std::vector<test::PdfPage> pages = test::readPdf(path);
        QCOMPARE(pages.size(), reportWindow()->document()->pages.size());
        QVERIFY(pages[0].text().contains(QStringLiteral("Survey Volume (Hour Bins)")));
        QVERIFY(pages[0].text().contains(QStringLiteral("Total Veh Surveyed =")));
    }

    // Paging through a flow report of several pages; another report, or
    // the same one opened again, starts on page 1 at the default zoom,
    // whatever page and zoom the last one was left at.
    void newReportStartsOnPageOne_data()
    {
        QTest::addColumn<bool>("reopened"); // the same report after "Close"; else another one
        row("the same report opened again", true);
        row("another report while the window is open", false);
    }
    void newReportStartsOnPageOne()
    {
        QFETCH(bool, reopened);
        chooseTwoDays();
        selectAndPrint(3); // 15 minute bins: several pages
        QPrintPreviewWidget* preview = reportWindow()->preview();
        const qreal defaultZoom = preview->zoomFactor();
        const int pages = int(reportWindow()->document()->pages.size());
        QVERIFY(pages > 3);
        QCOMPARE(preview->pageCount(), pages);
        clickButton(reportWindow(), "NextPage");
        clickButton(reportWindow(), "NextPage");
        QCOMPARE(preview->currentPage(), 3);
        QCOMPARE(reportWindow()->pageCountLabel()->text(), QStringLiteral("Page 3 of %1").arg(pages));
        clickButton(reportWindow(), "FirstPage");
        QCOMPARE(preview->currentPage(), 1);
        clickButton(reportWindow(), "LastPage");
        clickButton(reportWindow(), "ZoomIn");
        clickButton(reportWindow(), "ZoomIn");
        QVERIFY(preview->currentPage() == pages && preview->zoomFactor() > defaultZoom);
        const qreal zoomedIn = preview->zoomFactor();

        if (reopened)
            clickButton(reportWindow(), "Command2");
        else
            m_app->window->activateWindow();
        reportList()->setCurrentIndex(reopened ? 3 : 4);
        clickButton("cmdPrint");
        QVERIFY(QTest::qWaitForWindowActive(reportWindow()));
        QTRY_COMPARE(m_built->count(), 2);
        QCOMPARE(preview->currentPage(), 1);
        QCOMPARE(preview->zoomMode(), QPrintPreviewWidget::FitToWidth);
        // Fitted to the width again; the exact factor follows the layout,
        // which may still settle once the build's strip has gone.
        QTRY_VERIFY(preview->zoomFactor() < zoomedIn);
        auto* view = preview->findChild<QGraphicsView*>();
        QCOMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->minimum());
        QCOMPARE(reportWindow()->pageCountLabel()->text().left(9), QStringLiteral("Page 1 of"));
    }

    // An agency or officer name that cannot be read is told once, and the
    // report is built without it.
    void unreadableNamesAreTold()
    {
        m_app.reset();
        startOn({{30, 4}}, [this] {
            db::Connection(m_app->folder.database())
                .executeUnlogged(QStringLiteral("ALTER TABLE Officer RENAME TO Gone"));
        });
        m_app->messages.clear();
        selectAndPrint(2);
        const QStringList told = m_app->messages.texts();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].startsWith(QStringLiteral("The officer who prepares the report cannot be read: ")) &&
                     told[0].contains(QStringLiteral("Officer")),
                 qPrintable(told[0]));
        // Coming back to the window builds again without telling again.
        backAndForth([] {});
        QTRY_COMPARE(m_built->count(), 2);
        QCOMPARE(m_app->messages.texts(), told);
    }

    // The placeholders the setup tab gives the empty name lists name no one:
    // a main window opened on them shows, and its documents print, no name
    // until one is chosen; the chosen one is printed.
    void placeholderNamesAreNotPrinted()
    {
        m_app->window->tabs()->setCurrentWidget(m_app->window->adminTab()); // fills the empty lists
        QCOMPARE(m_app->ui.items("AgencyList"), QStringList{"(Agency Name)"});
        m_built.reset();
        m_app->start();
        QVERIFY(QTest::qWaitForWindowActive(m_app->window.get()));
        m_app->chooseSurvey(kBatch);
        QCOMPARE(m_app->ui.text("Text2") + m_app->ui.text("Text3"), QString());
        m_built = std::make_unique<QSignalSpy>(reportWindow(), &reports::ReportWindow::documentBuilt);
        QTemporaryDir folder;
        const auto printed = [&](int item) {
            reportWindow()->close();
            reportList()->setCurrentIndex(item);
            clickButton("cmdPrint");
            const QString path = folder.filePath(QStringLiteral("%1.pdf").arg(item));
            QSignalSpy saved(reportWindow(), &reports::ReportWindow::pdfSaved);
            return QTest::qWaitForWindowActive(reportWindow()) && QTest::qWaitFor([&] {
                       return !reportWindow()->isBuilding() && reportWindow()->document();
                   }) && reportWindow()->saveAsPdf(path) &&
                           saved.wait()
                       ? test::readPdf(path).at(0).text()
                       : QString();
        };
        for (int item : {2, 3}) { // the summary, signed by the officer; the 15-minute flow report
            const QString text = printed(item);
            QVERIFY2(!text.isEmpty() && !text.contains(QStringLiteral("Name)")), qPrintable(text));
        }
        m_app->window->tabs()->setCurrentWidget(m_app->window->adminTab());
        m_app->ui.click("AddOfficer"); // the box empties for the name to type
        QTest::keyClicks(m_app->ui.child<QLineEdit>("OfficerName"), "J. Miller");
        m_app->ui.click("AddOfficer");
        const QString signedBy = printed(2);
        QVERIFY2(signedBy.contains(QStringLiteral("Survey Issued By: J. Miller")), qPrintable(signedBy));
    }

    void tooSmallPaperKeepsThePreview()
    {
        selectAndPrint(2);
        const reports::PagedDocument before = *reportWindow()->document();
        reportWindow()->printer().setPageSize(QPageSize(QPageSize::A5));
        reportWindow()->rebuild();
        reportWindow()->waitUntilBuilt();
        QCOMPARE(m_built->count(), 1);
        QCOMPARE(reportWindow()->document()->pageSize, before.pageSize);
        reportWindow()->printer().setPageSize(QPageSize(QPageSize::A4));
        reportWindow()->rebuild();
        reportWindow()->waitUntilBuilt();
        QCOMPARE(m_built->count(), 2);
        QCOMPARE(reportWindow()->document()->pageSize, QPageSize(QPageSize::A4).size(QPageSize::Point) * 20);
    }

private:
    // Starts the application on survey 050302-A of the speeds given, the
    // folder prepared by `prepare` first, and chooses the survey.
    void startOn(const std::vector<std::pair<int, int>>& speeds, const std::function<void()>& prepare = {})
    {
        m_app = std::make_unique<test::AppUnderTest>();
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.addSpeeds(speeds);
        test::storeSurvey(m_app->folder.databasePath(), survey);
        if (prepare)
            prepare();
        app::MainWindow& window = m_app->start();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        m_app->chooseSurvey(kBatch);
        m_built = std::make_unique<QSignalSpy>(reportWindow(), &reports::ReportWindow::documentBuilt);
    }
    bool markerShown(int number) const
    {
        app::GraphsTab* tab = m_app->window->graphsTab();
        return tab->graphTypeMarker(number)->isVisibleTo(tab);
    }
    reports::ReportWindow* reportWindow() const { return m_app->window->printControls()->reportWindow(); }
    QComboBox* reportList() const { return m_app->ui.child<QComboBox>(QStringLiteral("Print_choice")); }
    // The texts of every page of the document built last.
    QStringList allTexts() const
    {
        QStringList texts;
        for (const reports::Page& page : reportWindow()->document()->pages) {
            for (const reports::TextItem* item : page.itemsOf<reports::TextItem>())
                texts << item->text;
        }
        return texts;
    }
    // A click in the main window, and the wait for the work it started on a
    // worker.
    void clickButton(const QString& name) const
    {
        clickButton(m_app->window.get(), name);
        QTRY_VERIFY(!m_app->window->isBusy());
    }
    void clickButton(QWidget* root, const QString& name) const
    {
        auto* button = root->findChild<QAbstractButton*>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }
    // Back to the main window, where `there` is done, and the report
    // window active again.
    void backAndForth(const std::function<void()>& there)
    {
        m_app->window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_app->window.get()));
        there();
        reportWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(reportWindow()));
    }
    // Stores survey 050402-B of two days and chooses it.
    void chooseTwoDays()
    {
        test::Survey survey;
        survey.batchNumber = QStringLiteral("050402-B");
        survey.start = test::at(QStringLiteral("05/04/02 08:00"));
        survey.durationSeconds = 2 * 24 * 3600;
        survey.addSpeeds({{30, 200}});
        test::storeSurvey(m_app->folder.databasePath(), survey);
        m_app->chooseSurvey(survey.batchNumber);
    }
    // Chooses an entry of the report list and prints it.
    void selectAndPrint(int item)
    {
        reportList()->setCurrentIndex(item);
        clickButton("cmdPrint");
        QVERIFY(QTest::qWaitForWindowActive(reportWindow()));
        QTRY_COMPARE(m_built->count(), 1);
    }
    // Stores survey 050902-A, a week after the chosen one, and picks it on
    // the Speed Study tab to compare with; back to the study after if asked.
    bool pickComparison(bool backToStudy)
    {
        test::Survey after;
        after.batchNumber = QStringLiteral("050902-A");
        after.start = test::at(QStringLiteral("05/09/02 08:00"));
        after.addSpeeds({{22, 2}, {27, 4}, {32, 10}, {35, 5}, {37, 3}});
        test::storeSurvey(m_app->folder.databasePath(), after);
        app::StudyTab* tab = m_app->window->studyTab();
        m_app->window->tabs()->setCurrentWidget(tab);
        if (!QTest::qWaitFor([tab] { return tab->study().has_value(); }) ||
            !tab->compareWith(after.batchNumber) ||
            !QTest::qWaitFor([tab] { return tab->comparison().has_value(); }))
            return false;
        if (backToStudy)
            tab->endComparison();
        return true;
    }

    std::unique_ptr<test::AppUnderTest> m_app;
    std::unique_ptr<QSignalSpy> m_built;
};

QTEST_MAIN(TstReportWindow)
#include "tst_reportwindow.moc"
