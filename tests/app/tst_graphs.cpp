#include "GraphSurvey.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "app/GraphsTab.h"
#include "app/MainWindow.h"
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
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <memory>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("050302-A");
const QString kNoSurvey =
    QStringLiteral("The Database is empty OR you have to select a SURVEY on the second tab.");

const QColor kGrey(192, 192, 192);
const QColor kGreen(0, 255, 0);

} // namespace

class TstGraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void graphButtons_data();
    void graphButtons();
    void printerModeRedrawsTheRightGraph_data();
    void printerModeRedrawsTheRightGraph();
    void nothingDrawnWithoutSurvey_data();
    void nothingDrawnWithoutSurvey();
    void helpWindows_data();
    void helpWindows();

private:
    template <typename T> T* child(const QString& name) const
    {
        T* found = m_window->findChild<T*>(name);
        if (!found)
            qFatal("no child %s", qPrintable(name));
        return found;
    }
    bool visible(const QString& name) const { return child<QWidget>(name)->isVisibleTo(m_window.get()); }
    // A click on the button; on an option, on its round indicator.
    void click(const QString& name)
    {
        auto* button = child<QAbstractButton>(name);
        const bool option = qobject_cast<QRadioButton*>(button);
        QTest::mouseClick(button, Qt::LeftButton, {},
                          option ? QPoint(button->height() / 2, button->height() / 2) : QPoint());
    }
    QList<bool> markers() const
    {
        return {visible(QStringLiteral("GraphType1")), visible(QStringLiteral("GraphType2")),
                visible(QStringLiteral("GraphType3"))};
    }
    void makeWindowWithSurvey();
    QString wrongBar(int speed, const QColor& colour, bool volume, bool blackAndWhite) const;

    std::unique_ptr<test::TempProgramFolder> m_folder;
    std::unique_ptr<test::RecordingMessages> m_messages;
    app::AppState m_state;
    std::unique_ptr<app::MainWindow> m_window;
};

void TstGraphs::init()
{
    m_folder = std::make_unique<test::TempProgramFolder>();
    m_messages = std::make_unique<test::RecordingMessages>();
    m_state = app::AppState();
    m_state.programFolder = m_folder->path();
    // Something else on the clipboard, which only a drawn graph replaces.
    QImage other(8, 8, QImage::Format_RGB32);
    other.fill(Qt::magenta);
    QGuiApplication::clipboard()->setImage(other);
}

void TstGraphs::cleanup()
{
    m_window.reset();
}

// A survey with speeds below, at and above its limit of 35 and its pace of
// 27.5 to 37.5, 85th percentile 38; the main window shows it as chosen.
void TstGraphs::makeWindowWithSurvey()
{
    test::GraphSurvey survey;
    survey.batchNumber = kBatch;
    survey.speeds = test::speedsWithCounts({{25, 2}, {30, 4}, {35, 10}, {38, 5}, {40, 3}});
    test::storeGraphSurvey(m_folder->databasePath(), survey);
    m_window = std::make_unique<app::MainWindow>(m_state, *m_messages);
    m_window->show();
    m_window->reportsTab()->chooseSurvey(kBatch);
    QCOMPARE(m_window->reportsTab()->valueLabel(QStringLiteral("Percent_85"))->text(), QStringLiteral("38"));
    m_window->tabs()->setCurrentWidget(m_window->graphsTab());
}

// Whether the clipboard's image has the expected colour where the graph
// procedure draws the bar of `speed`; what it shows instead.
QString TstGraphs::wrongBar(int speed, const QColor& colour, bool volume, bool blackAndWhite) const
{
    const charts::GraphResult model =
        volume ? flow::TrafficFlow_Graph({m_state.databasePath, kBatch, "035", blackAndWhite})
               : stats::Percent85({m_state.databasePath, kBatch, "MPH", "27.5", "37.5", "38", blackAndWhite});
    if (!model.drawn())
        return model.message;
    size_t index = 0;
    while (index < model.graph->points.size() && model.graph->points[index].label != QString::number(speed))
        ++index;
    const QRect front = charts::BarGraphRenderer(*model.graph).barFront(index);
    const QColor shown = QGuiApplication::clipboard()->image().pixelColor(front.center());
    if (front.isEmpty() || shown != colour)
        return QStringLiteral("speed %1 shows %2, not %3").arg(speed).arg(shown.name(), colour.name());
    return QString();
}

void TstGraphs::graphButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("reportChoice");
    QTest::addColumn<QList<bool>>("markers");
    QTest::addColumn<bool>("draws");
    QTest::newRow("85th Percentile") << "PercentileGraph" << 1 << QList<bool>{true, false, false} << true;
    // The volume graph shows the first marker too.
    QTest::newRow("Traffic Volume") << "TrafficVolume" << 2 << QList<bool>{true, false, false} << true;
    QTest::newRow("Time / Volume") << "TimeVolume" << 3 << QList<bool>{false, false, true} << false;
}

void TstGraphs::graphButtons()
{
    QFETCH(QString, button);
    QFETCH(int, reportChoice);
    QFETCH(QList<bool>, markers);
    QFETCH(bool, draws);
    makeWindowWithSurvey();
    app::GraphsTab* tab = m_window->graphsTab();
    // As a flow button leaves the tab: grid on show, another marker, reset off.
    tab->gridFrame()->show();
    tab->markGraphType(2);
    auto* reset = child<QPushButton>(QStringLiteral("Reset"));
    reset->setEnabled(false);
    const QImage before = QGuiApplication::clipboard()->image();

    click(button);
    QCOMPARE(int(m_state.reportChoice), reportChoice);
    QCOMPARE(this->markers(), markers);
    QVERIFY(reset->isEnabled());
    QVERIFY(m_messages->shown().empty());
    // "Time / Volume" neither draws nor changes what is on show.
    QCOMPARE(visible(QStringLiteral("GraphFrame")), draws);
    QCOMPARE(visible(QStringLiteral("GridFrame")), !draws);
    const QImage clipboard = QGuiApplication::clipboard()->image();
    if (!draws) {
        QCOMPARE(clipboard, before);
        QVERIFY(tab->graphImage().isNull());
        return;
    }
    QVERIFY(clipboard.width() >= 1800 && clipboard.height() >= 1100);
    QCOMPARE(clipboard, tab->graphImage().convertToFormat(clipboard.format()));
    QVERIFY(visible(QStringLiteral("GraphArea")));
    // The area shows the graph scaled down to its own size.
    const QPixmap shown = tab->graphArea()->pixmap();
    QVERIFY(!shown.isNull());
    QVERIFY(shown.width() <= tab->graphArea()->width() && shown.height() <= tab->graphArea()->height());
}

void TstGraphs::printerModeRedrawsTheRightGraph_data()
{
    QTest::addColumn<QString>("button"); // pressed first; empty for none
    QTest::addColumn<bool>("volume");    // which graph the printer mode redraws
    QTest::newRow("after 85th Percentile") << "PercentileGraph" << false;
    QTest::newRow("after Traffic Volume") << "TrafficVolume" << true;
    QTest::newRow("after Time / Volume") << "TimeVolume" << true;
    QTest::newRow("before any graph button") << "" << true;
}

void TstGraphs::printerModeRedrawsTheRightGraph()
{
    QFETCH(QString, button);
    QFETCH(bool, volume);
    makeWindowWithSurvey();
    if (!button.isEmpty())
        click(button);
    const int reportChoice = m_state.reportChoice;
    // Below the limit and inside the pace: grey for the laser, green in colour.
    const int speed = 30;
    click(QStringLiteral("PrinterBW"));
    QString wrong = wrongBar(speed, kGrey, volume, true);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    click(QStringLiteral("PrinterColor"));
    wrong = wrongBar(speed, kGreen, volume, false);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(int(m_state.reportChoice), reportChoice);
    QVERIFY(m_messages->shown().empty());
}

void TstGraphs::nothingDrawnWithoutSurvey_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("reportChoice");
    QTest::newRow("85th Percentile") << "PercentileGraph" << 1;
    QTest::newRow("Traffic Volume") << "TrafficVolume" << 2;
    QTest::newRow("printer mode") << "PrinterBW" << 0;
}

void TstGraphs::nothingDrawnWithoutSurvey()
{
    QFETCH(QString, button);
    QFETCH(int, reportChoice);
    // Surveys are stored, but none is chosen yet.
    test::GraphSurvey survey;
    survey.speeds = test::speedsWithCounts({{30, 4}});
    test::storeGraphSurvey(m_folder->databasePath(), survey);
    m_window = std::make_unique<app::MainWindow>(m_state, *m_messages);
    m_window->show();
    m_window->tabs()->setCurrentWidget(m_window->graphsTab());
    const QImage before = QGuiApplication::clipboard()->image();

    click(button);
    QCOMPARE(m_messages->texts(), QStringList{kNoSurvey});
    QCOMPARE(QGuiApplication::clipboard()->image(), before);
    QVERIFY(m_window->graphsTab()->graphImage().isNull());
    QCOMPARE(int(m_state.reportChoice), reportChoice);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TstGraphs::helpWindows_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("term");
    QTest::newRow("Pace") << "PaceHelp"
                          << "Pace"
                          << "Pace is that range of speed";
    QTest::newRow("85th Percentile") << "PercentileHelp"
                                     << "85th Percentile"
                                     << "the \"85th percentile speed\"";
}

void TstGraphs::helpWindows()
{
    QFETCH(QString, button);
    QFETCH(QString, title);
    QFETCH(QString, term);
    makeWindowWithSurvey();
    m_window->tabs()->setCurrentWidget(m_window->reportsTab());
    auto* help = m_window->reportsTab()->findChild<QPushButton*>(button);
    QVERIFY(help && help->isVisibleTo(m_window.get()));
    for (int round = 0; round < 2; ++round) {
        QTest::mouseClick(help, Qt::LeftButton);
        stats::HelpWindow* shown = nullptr;
        for (stats::HelpWindow* window : m_window->findChildren<stats::HelpWindow*>())
            if (window->isVisible())
                shown = shown ? nullptr : window;
        QVERIFY2(shown, "exactly one help window opens");
        QCOMPARE(shown->windowTitle(), title);
        QVERIFY(shown->textLabel()->text().contains(term));
        // Not modal: the main window stays usable beside it.
        QCOMPARE(shown->windowModality(), Qt::NonModal);
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(m_window->isEnabled());
        QTest::mouseClick(shown->closeButton(), Qt::LeftButton);
        QVERIFY(!shown->isVisible());
    }
}

QTEST_MAIN(TstGraphs)
#include "tst_graphs.moc"
