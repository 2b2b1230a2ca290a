#include "AppUnderTest.h"
#include "SurveyFixture.h"
#include "app/GraphsTab.h"
#include "app/ReportsTab.h"
#include "charts/BarGraphRenderer.h"
#include "flow/TrafficVolumeGraph.h"
#include "stats/SpeedDistributionGraph.h"
#include "stats/widgets/HelpWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <memory>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("050302-A");

} // namespace

// The graph buttons, the printer mode and the help windows, on a survey
// with speeds below, at and above its limit of 35 and its pace of 27.5 to
// 37.5, 85th percentile 38.
class TstGraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_app = std::make_unique<test::AppUnderTest>();
        // Something else on the clipboard, which only a drawn graph replaces.
        QImage other(8, 8, QImage::Format_RGB32);
        other.fill(Qt::magenta);
        QGuiApplication::clipboard()->setImage(other);
    }
    void cleanup() { m_app.reset(); }
    void graphButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("reportChoice");
        QTest::addColumn<QList<bool>>("markers");
        QTest::addColumn<bool>("draws");
        test::row("85th Percentile", "PercentileGraph", 1, QList<bool>{true, false, false}, true);
        // The volume graph shows the first marker too.
        test::row("Traffic Volume", "TrafficVolume", 2, QList<bool>{true, false, false}, true);
        test::row("Time / Volume", "TimeVolume", 3, QList<bool>{false, false, true}, false);
    }
    void graphButtons()
    {
        QFETCH(QString, button);
        QFETCH(int, reportChoice);
        QFETCH(QList<bool>, markers);
        QFETCH(bool, draws);
        startWithSurvey();
        app::GraphsTab* tab = m_app->window->graphsTab();
        // As a flow button leaves the tab: grid on show, another marker, reset off.
        tab->gridFrame()->show();
        tab->markGraphType(2);
        auto* reset = ui().child<QPushButton>("Reset");
        reset->setEnabled(false);
        const QImage before = QGuiApplication::clipboard()->image();

        ui().click(button);
        QCOMPARE(int(m_app->state.reportChoice), reportChoice);
        QCOMPARE(this->markers(), markers);
        QVERIFY(reset->isEnabled());
        QVERIFY(m_app->messages.shown().empty());
        // "Time / Volume" neither draws nor changes what is on show.
        QCOMPARE(ui().visible("GraphFrame"), draws);
        QCOMPARE(ui().visible("GridFrame"), !draws);
        const QImage clipboard = QGuiApplication::clipboard()->image();
        if (!draws) {
            QCOMPARE(clipboard, before);
            QVERIFY(tab->graphImage().isNull());
            return;
        }
        QVERIFY(clipboard.width() >= 1800 && clipboard.height() >= 1100);
        QCOMPARE(clipboard, tab->graphImage().convertToFormat(clipboard.format()));
        QVERIFY(ui().visible("GraphArea"));
        // The area shows the graph scaled to fill it one way, its proportions
        // kept, again when the window changes size.
        QLabel* area = tab->graphArea();
        for (const QSize& size : {QSize(1200, 780), QSize(900, 900)}) {
            m_app->window->resize(size);
            QApplication::processEvents();
            const QSize shown = area->pixmap().size();
            QVERIFY(shown.width() <= area->width() && shown.height() <= area->height());
            QVERIFY(shown.width() == area->width() || shown.height() == area->height());
            QVERIFY(qAbs(shown.width() * clipboard.height() - shown.height() * clipboard.width()) <=
                    2 * clipboard.width());
        }
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
        other.batchNumber = QStringLiteral("050302-B");
        other.addSpeeds({{50, 9}, {60, 2}});
        test::storeSurvey(m_app->folder.databasePath(), other);
        test::Survey empty;
        empty.batchNumber = QStringLiteral("050302-C");
        test::storeSurvey(m_app->folder.databasePath(), empty);
        startWithSurvey();
        ui().click(button);
        const QImage first = QGuiApplication::clipboard()->image();

        // On show and on the clipboard: the graph of the survey chosen now.
        app::ReportsTab* reports = m_app->window->reportsTab();
        reports->chooseSurvey(QStringLiteral("050302-B"));
        const QImage second = QGuiApplication::clipboard()->image();
        QVERIFY(second != first);
        QCOMPARE(second, m_app->window->graphsTab()->graphImage().convertToFormat(second.format()));
        const bool volume = button == QLatin1String("TrafficVolume");
        const charts::GraphResult expected =
            volume ? flow::trafficVolumeGraph(m_app->state.database, reports->currentSurvey(), false)
                   : stats::speedDistributionGraph(m_app->state.database, reports->currentSurvey(), false);
        QCOMPARE(second, charts::BarGraphRenderer(*expected.graph).render().convertToFormat(second.format()));

        // A survey with nothing to draw empties the graph area, without a message.
        reports->chooseSurvey(QStringLiteral("050302-C"));
        QVERIFY(m_app->window->graphsTab()->graphImage().isNull());
        QVERIFY(m_app->window->graphsTab()->graphArea()->pixmap().isNull());
        QVERIFY(m_app->messages.shown().empty());
    }
    void printerModeRedrawsTheRightGraph_data()
    {
        QTest::addColumn<QString>("button"); // pressed first; empty for none
        QTest::addColumn<bool>("volume");    // which graph the printer mode redraws
        test::row("after 85th Percentile", "PercentileGraph", false);
        test::row("after Traffic Volume", "TrafficVolume", true);
        test::row("after Time / Volume", "TimeVolume", true);
        test::row("before any graph button", "", true);
    }
    void printerModeRedrawsTheRightGraph()
    {
        QFETCH(QString, button);
        QFETCH(bool, volume);
        startWithSurvey();
        if (!button.isEmpty())
            ui().click(button);
        const reports::ReportChoice reportChoice = m_app->state.reportChoice;
        // Below the limit and inside the pace: grey for the laser, green in colour.
        ui().click("PrinterBW");
        QString wrong = wrongBar(30, QColor(192, 192, 192), volume, true);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        ui().click("PrinterColor");
        wrong = wrongBar(30, QColor(0, 255, 0), volume, false);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(m_app->state.reportChoice, reportChoice);
        QVERIFY(m_app->messages.shown().empty());
    }
    void nothingDrawnWithoutSurvey_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("reportChoice");
        test::row("85th Percentile", "PercentileGraph", 1);
        test::row("Traffic Volume", "TrafficVolume", 2);
        test::row("printer mode", "PrinterBW", 0);
    }
    void nothingDrawnWithoutSurvey()
    {
        QFETCH(QString, button);
        QFETCH(int, reportChoice);
        startWithSurvey(false); // stored, but not chosen yet
        const QImage before = QGuiApplication::clipboard()->image();
        ui().click(button);
        QCOMPARE(m_app->messages.texts(),
                 QStringList{"The Database is empty OR you have to select a SURVEY on the second tab."});
        QCOMPARE(QGuiApplication::clipboard()->image(), before);
        QVERIFY(m_app->window->graphsTab()->graphImage().isNull());
        QCOMPARE(int(m_app->state.reportChoice), reportChoice);
        QVERIFY(!QGuiApplication::overrideCursor());
    }
    void helpWindows_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("term");
        test::row("Pace", "PaceHelp", "Pace", "Pace is that range of speed");
        test::row("85th Percentile", "PercentileHelp", "85th Percentile", "the \"85th percentile speed\"");
    }
    void helpWindows()
    {
        QFETCH(QString, button);
        QFETCH(QString, title);
        QFETCH(QString, term);
        startWithSurvey();
        app::MainWindow& window = *m_app->window;
        window.tabs()->setCurrentWidget(window.reportsTab());
        QVERIFY(ui().visible(button));
        for (int round = 0; round < 2; ++round) {
            ui().click(button);
            stats::HelpWindow* shown = nullptr;
            for (stats::HelpWindow* help : window.findChildren<stats::HelpWindow*>())
                if (help->isVisible())
                    shown = shown ? nullptr : help;
            QVERIFY2(shown, "exactly one help window opens");
            QCOMPARE(shown->windowTitle(), title);
            QVERIFY(shown->textLabel()->text().contains(term));
            // Not modal: the main window stays usable beside it.
            QCOMPARE(shown->windowModality(), Qt::NonModal);
            QVERIFY(!QApplication::activeModalWidget());
            QVERIFY(window.isEnabled());
            QTest::mouseClick(shown->closeButton(), Qt::LeftButton);
            QVERIFY(!shown->isVisible());
        }
    }

private:
    const test::WindowProbe& ui() const { return m_app->ui; }
    QList<bool> markers() const
    {
        return {ui().visible("GraphType1"), ui().visible("GraphType2"), ui().visible("GraphType3")};
    }
    void startWithSurvey(bool chosen = true)
    {
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.addSpeeds({{25, 2}, {30, 4}, {35, 10}, {38, 5}, {40, 3}});
        test::storeSurvey(m_app->folder.databasePath(), survey);
        app::MainWindow& window = m_app->start();
        if (chosen) {
            window.reportsTab()->chooseSurvey(kBatch);
            QCOMPARE(window.reportsTab()->valueLabel(QStringLiteral("Percent_85"))->text(),
                     QStringLiteral("38"));
        }
        window.tabs()->setCurrentWidget(window.graphsTab());
    }
    QString wrongBar(int speed, const QColor& colour, bool volume, bool blackAndWhite) const
    {
        const db::Database& database = m_app->state.database;
        const survey::SurveyRecord& shown = m_app->window->reportsTab()->currentSurvey();
        const charts::GraphResult model = volume
                                              ? flow::trafficVolumeGraph(database, shown, blackAndWhite)
                                              : stats::speedDistributionGraph(database, shown, blackAndWhite);
        if (!model.drawn())
            return model.message;
        size_t index = 0;
        while (index < model.graph->points.size() &&
               model.graph->points[index].label != QString::number(speed))
            ++index;
        const QRect front = charts::BarGraphRenderer(*model.graph).barFront(index);
        const QColor drawn = QGuiApplication::clipboard()->image().pixelColor(front.center());
        if (front.isEmpty() || drawn != colour)
            return QStringLiteral("speed %1 shows %2, not %3").arg(speed).arg(drawn.name(), colour.name());
        return QString();
    }

    std::unique_ptr<test::AppUnderTest> m_app;
};
// Whether the clipboard's image has the expected colour where the graph
// procedure draws the bar of `speed`; what it shows instead.
QTEST_MAIN(TstGraphs)
#include "tst_graphs.moc"
