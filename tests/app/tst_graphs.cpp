#include "AppUnderTest.h"
#include "SurveyFixture.h"
#include "app/GraphsTab.h"
#include "app/ReportsTab.h"
#include "charts/BarGraphRenderer.h"
#include "db/Connection.h"
#include "flow/TrafficVolumeGraph.h"
#include "flow/widgets/BreakdownModel.h"
#include "stats/SpeedDistributionGraph.h"
#include "stats/widgets/HelpWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace pelmor;

// The graph buttons, the printer mode and the help windows, on a survey
// with speeds below, at and above its limit of 35.
class TstGraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_app = std::make_unique<test::AppUnderTest>(); }
    void cleanup() { m_app.reset(); }
    void graphButtonsAndPrinterMode_data()
    {
        QTest::addColumn<QString>("button"); // empty: none pressed before the printer mode
        QTest::addColumn<int>("reportChoice");
        QTest::addColumn<int>("marker");      // the one marker shown
        QTest::addColumn<QString>("display"); // what shows on the right
        test::row("85th Percentile", "PercentileGraph", 1, 1, "GraphFrame");
        test::row("Traffic Volume", "TrafficVolume", 2, 2, "GraphFrame");
        // No graph: the tab says what "Print Graph /Chart" prints instead.
        test::row("Time / Volume", "TimeVolume", 3, 3, "SummaryNote");
        test::row("no graph button", "", 0, 4, "GridFrame");
    }
    void graphButtonsAndPrinterMode()
    {
        QFETCH(QString, button);
        QFETCH(int, reportChoice);
        QFETCH(int, marker);
        QFETCH(QString, display);
        startWithSurvey();
        app::GraphsTab* tab = m_app->window->graphsTab();
        // As "15 Min Traffic Flow" leaves the tab: grid and its marker on show, reset off.
        tab->gridFrame()->show();
        tab->markGraphType(4);
        auto* reset = ui().child<QPushButton>("Reset");
        reset->setEnabled(false);
        // "Time / Volume" draws nothing; the printer mode redraws the volume
        // graph unless the speed distribution was drawn last.
        const bool draws = button == "PercentileGraph" || button == "TrafficVolume";
        const bool volume = button != "PercentileGraph";
        if (!button.isEmpty()) {
            ui().click(button);
            QTRY_VERIFY(!m_app->window->isBusy());
            QVERIFY(reset->isEnabled());
        }
        QCOMPARE(int(m_app->state.current.reportChoice()), reportChoice);
        for (int number = 1; number <= 5; ++number)
            QCOMPARE(ui().visible(QStringLiteral("GraphType%1").arg(number)), number == marker);
        for (const char* shown : {"GraphFrame", "GridFrame", "SummaryNote"})
            QCOMPARE(ui().visible(shown), display == QLatin1String(shown));
        QCOMPARE(drawn(), draws ? expectedGraph(volume, false) : QImage());
        QCOMPARE(tab->graphImage().isNull(), !draws);
        if (draws) {
            QCOMPARE(drawn(), tab->graphImage());
            // The area shows the graph scaled to fill it one way, its
            // proportions kept, again when the window changes size.
            QLabel* area = tab->graphArea();
            const QSize drawnSize = drawn().size();
            for (const QSize& size : {QSize(1200, 780), QSize(900, 900)}) {
                m_app->window->resize(size);
                QApplication::processEvents();
                const QSize shown = area->pixmap().size();
                QVERIFY(shown.width() <= area->width() && shown.height() <= area->height());
                QVERIFY(shown.width() == area->width() || shown.height() == area->height());
                QVERIFY(qAbs(shown.width() * drawnSize.height() - shown.height() * drawnSize.width()) <=
                        2 * drawnSize.width());
            }
        }
        ui().click("PrinterBW");
        QTRY_VERIFY(!m_app->window->isBusy());
        QCOMPARE(drawn(), expectedGraph(volume, true));
        QCOMPARE(tab->graphImage(), drawn());
        ui().click("PrinterColor");
        QTRY_VERIFY(!m_app->window->isBusy());
        QCOMPARE(drawn(), expectedGraph(volume, false));
        QCOMPARE(int(m_app->state.current.reportChoice()), reportChoice);
        QVERIFY(m_app->messages.shown().empty());
    }
    void graphFollowsTheChosenSurvey_data()
    {
        QTest::addColumn<QString>("button");
        test::row("speed distribution", "PercentileGraph");
        test::row("traffic volume", "TrafficVolume");
    }
    void graphFollowsTheChosenSurvey()
    {
        QFETCH(QString, button);
        test::Survey other;
        other.batchNumber = "050302-B";
        other.addSpeeds({{50, 9}, {60, 2}});
        test::storeSurvey(m_app->folder.databasePath(), other);
        test::Survey empty;
        empty.batchNumber = "050302-C";
        test::storeSurvey(m_app->folder.databasePath(), empty);
        startWithSurvey();
        ui().click(button);
        QTRY_VERIFY(!m_app->window->isBusy());
        const QImage first = drawn();

        // On show and held for the graph reports: the graph of the survey chosen now.
        m_app->chooseSurvey("050302-B");
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(drawn() != first);
        QCOMPARE(drawn(), expectedGraph(button == "TrafficVolume", false));
        QCOMPARE(m_app->state.current.graph().batchNumber, QStringLiteral("050302-B"));
        QCOMPARE(drawn(), m_app->window->graphsTab()->graphImage());

        // A survey with nothing to draw empties the graph area, without a message.
        m_app->chooseSurvey("050302-C");
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(m_app->window->graphsTab()->graphImage().isNull());
        QVERIFY(drawn().isNull());
        QVERIFY(m_app->window->graphsTab()->graphArea()->pixmap().isNull());
        QVERIFY(m_app->messages.shown().empty());
    }
    void nothingDrawnWithoutSurvey_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("reportChoice");
        test::row("85th Percentile", "PercentileGraph", 1);
        test::row("Traffic Volume", "TrafficVolume", 2);
        test::row("printer mode", "PrinterBW", 0);
        test::row("15 minute flow", "QuarterHourFlow", 0);
        test::row("hour flow", "HourFlow", 0);
    }
    void nothingDrawnWithoutSurvey()
    {
        QFETCH(QString, button);
        QFETCH(int, reportChoice);
        db::Connection(m_app->folder.database()).execute("insert into Breakdown (cDate) values ('earlier')");
        startWithSurvey(false); // stored, but not chosen yet
        ui().click(button);
        QTRY_VERIFY(!m_app->window->isBusy());
        QCOMPARE(m_app->messages.texts(),
                 QStringList{"The Database is empty OR you have to select a SURVEY on the second tab."});
        QVERIFY(drawn().isNull());
        QVERIFY(m_app->window->graphsTab()->graphImage().isNull());
        QCOMPARE(int(m_app->state.current.reportChoice()), reportChoice);
        QVERIFY(!QGuiApplication::overrideCursor());
        // No breakdown either: the grid stays hidden and empty; the rows
        // left in the table by another program are not shown.
        QVERIFY(!ui().visible("GridFrame") && ui().child("Reset")->isEnabled());
        QVERIFY(m_app->window->graphsTab()->breakdownModel()->rows().empty());
    }
    // A graph drawn without its pace colours says why, once: redrawing it
    // for the other printer tells nothing new.
    void unreadableStatisticIsTold()
    {
        test::Survey survey;
        survey.paceHigh = QStringLiteral("3?.5");
        survey.addSpeeds({{30, 4}, {38, 2}});
        test::storeSurvey(m_app->folder.databasePath(), survey);
        m_app->start();
        m_app->chooseSurvey(survey.batchNumber);
        m_app->window->tabs()->setCurrentWidget(m_app->window->graphsTab());
        ui().click("PercentileGraph");
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(!m_app->window->graphsTab()->graphImage().isNull());
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
        QVERIFY2(m_app->messages.last().contains(QStringLiteral("\"3?.5\"")),
                 qPrintable(m_app->messages.last()));
        ui().click("PrinterBW");
        QTRY_VERIFY(!m_app->window->isBusy());
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
    }
    // A breakdown that cannot be read leaves the grid empty with the reason
    // above it; once it reads again the reason goes.
    void unreadableBreakdownIsShown()
    {
        startWithSurvey();
        ui().click("QuarterHourFlow");
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(!m_app->window->graphsTab()->breakdownModel()->rows().empty());
        QVERIFY(!ui().visible("FlowGridFailure"));
        const auto rename = [this](const char* from, const char* to) {
            db::Connection(m_app->folder.database())
                .executeUnlogged(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(from, to));
        };
        rename("Breakdown", "Gone");
        ui().click("HourFlow");
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(ui().visible("GridFrame"));
        QVERIFY(m_app->window->graphsTab()->breakdownModel()->rows().empty());
        QVERIFY(ui().visible("FlowGridFailure"));
        QVERIFY2(ui().text("FlowGridFailure").contains(QStringLiteral("Breakdown")),
                 qPrintable(ui().text("FlowGridFailure")));
        QCOMPARE(m_app->messages.shown().size(), size_t(1));

        rename("Gone", "Breakdown");
        ui().click("HourFlow");
        QTRY_VERIFY(!m_app->window->isBusy());
        QVERIFY(!m_app->window->graphsTab()->breakdownModel()->rows().empty());
        QVERIFY(!ui().visible("FlowGridFailure"));
        QCOMPARE(m_app->messages.shown().size(), size_t(1));
    }
    void helpWindows_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("number"); // what the note says of the number beside the button
        test::row("Pace", "PaceHelp", "Pace", "Pace is that range of speed",
                  "For survey 050302-A: 27.5 to 37.5 MPH around the average speed of 33.4 MPH.");
        test::row(
            "85th Percentile", "PercentileHelp", "85th Percentile", "the \"85th percentile speed\"",
            "For survey 050302-A: the estimated 85th percentile is 38 MPH, the average speed of 33.4 MPH "
            "times 1.175.");
    }
    // Each help window explains its term, and the number beside its button:
    // an estimate from the average speed, the measured one being on the
    // Speed Study tab.
    void helpWindows()
    {
        QFETCH(QString, button);
        QFETCH(QString, title);
        QFETCH(QString, term);
        QFETCH(QString, number);
        startWithSurvey();
        app::MainWindow& window = *m_app->window;
        window.tabs()->setCurrentWidget(window.reportsTab());
        for (int round = 0; round < 2; ++round) {
            ui().click(button);
            QList<stats::HelpWindow*> shown = window.findChildren<stats::HelpWindow*>();
            shown.removeIf([](const QWidget* help) { return !help->isVisible(); });
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0]->windowTitle(), title);
            QVERIFY(shown[0]->textLabel()->text().contains(term));
            const QString note = shown[0]->noteLabel()->text();
            QVERIFY2(shown[0]->noteLabel()->isVisible() && note.contains(number) &&
                         note.contains(QStringLiteral("estimated")) &&
                         note.contains(QStringLiteral("measured")) &&
                         note.contains(QStringLiteral("Speed Study")),
                     qPrintable(note));
            // Not modal: the main window stays usable beside it.
            QCOMPARE(shown[0]->windowModality(), Qt::NonModal);
            QVERIFY(!QApplication::activeModalWidget() && window.isEnabled());
            QTest::mouseClick(shown[0]->closeButton(), Qt::LeftButton);
            QVERIFY(!shown[0]->isVisible());
        }
    }

    // "Export CSV..." offers a folder that exists: on a computer without a
    // documents folder, and again after an export into a folder that is not
    // there failed.
    void exportOffersAFolderThatExists()
    {
        const QTemporaryDir home;
        const QByteArray realHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        m_app->start();
        m_app->window->tabs()->setCurrentWidget(m_app->window->graphsTab());
        QStringList offered;
        for (const QString& typed : {home.filePath("missing/grid.csv"), home.filePath("grid.csv")}) {
            test::answerNextWindow([&](QDialog* dialog) {
                offered << QFileInfo(qobject_cast<QFileDialog*>(dialog)->selectedFiles().constFirst())
                               .absolutePath();
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                name->setText(typed);
                QTest::keyClick(name, Qt::Key_Return);
            });
            ui().child<QAction>("ExportBreakdownCsv")->trigger();
            QTRY_COMPARE(m_app->messages.shown().size(), size_t(offered.size()));
        }
        qputenv("HOME", realHome);
        QCOMPARE(offered, QStringList(2, QDir(home.path()).absolutePath()));
        QCOMPARE(m_app->messages.shown().size(), size_t(2)); // the failure, then where it went
        QVERIFY(QFile::exists(home.filePath("grid.csv")));
    }

private:
    const test::WindowProbe& ui() const { return m_app->ui; }
    // The graph held for the graph reports.
    QImage drawn() const { return m_app->state.current.graph().image; }
    void startWithSurvey(bool chosen = true)
    {
        test::Survey survey;
        survey.addSpeeds({{25, 2}, {30, 4}, {35, 10}, {38, 5}, {40, 3}});
        test::storeSurvey(m_app->folder.databasePath(), survey);
        app::MainWindow& window = m_app->start();
        if (chosen)
            m_app->chooseSurvey(survey.batchNumber);
        window.tabs()->setCurrentWidget(window.graphsTab());
    }
    // The graph of the chosen survey as drawn from its figures.
    QImage expectedGraph(bool volume, bool blackAndWhite) const
    {
        const survey::SurveyRecord& shown = m_app->state.current.record();
        const charts::GraphResult model =
            volume ? flow::trafficVolumeGraph(m_app->state.database, shown, blackAndWhite)
                   : stats::speedDistributionGraph(m_app->state.database, shown, blackAndWhite);
        return model.drawn() ? charts::BarGraphRenderer(*model.graph).render() : QImage();
    }

    std::unique_ptr<test::AppUnderTest> m_app;
};
QTEST_MAIN(TstGraphs)
#include "tst_graphs.moc"
