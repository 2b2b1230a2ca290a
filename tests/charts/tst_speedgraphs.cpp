#include "GraphSurvey.h"
#include "TestSupport.h"
#include "charts/BarGraphRenderer.h"
#include "db/StatementLog.h"
#include "flow/TrafficVolumeGraph.h"
#include "stats/SpeedDistributionGraph.h"

#include <QImage>
#include <QProcess>
#include <QTest>

using namespace pelmor;

namespace {

// One bar as a test expects it: its number from 1, its value and its
// palette index for a colour printer and for a laser.
struct Bar {
    int number;
    double value;
    int colour;
    int laser;
};

using Counts = std::vector<std::pair<int, int>>;

// The first bar that differs from what is expected, described; empty when all match.
QString wrongBars(const charts::GraphResult& result, const QList<Bar>& bars, bool blackAndWhite)
{
    if (!result.drawn())
        return result.message;
    for (const Bar& bar : bars) {
        const charts::BarPoint& point = result.graph->points.at(static_cast<size_t>(bar.number - 1));
        const int colour = blackAndWhite ? bar.laser : bar.colour;
        if (point.value != bar.value || point.paletteIndex != colour)
            return QStringLiteral("bar %1: value %2 colour %3, expected %4 and %5")
                .arg(bar.number)
                .arg(point.value)
                .arg(point.paletteIndex)
                .arg(bar.value)
                .arg(colour);
    }
    return QString();
}

// The titles both speed graphs carry, at 140 % and 120 %, with grid lines.
QString wrongTitles(const charts::BarGraph& graph, const QString& title)
{
    if (graph.title != title || graph.leftTitle != QLatin1String("Number of Vehicles") ||
        graph.bottomTitle != QLatin1String("Measured Vehicle Speed"))
        return QStringLiteral("titles %1 / %2 / %3").arg(graph.title, graph.leftTitle, graph.bottomTitle);
    if (graph.titleScale != 1.4 || graph.axisTitleScale != 1.2 || !graph.horizontalGrid)
        return QStringLiteral("title sizes %1 and %2").arg(graph.titleScale).arg(graph.axisTitleScale);
    return QString();
}

} // namespace

Q_DECLARE_METATYPE(Bar)

class TstSpeedGraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void speedDistribution_data();
    void speedDistribution();
    void speedRange_data();
    void speedRange();
    void trafficVolume_data();
    void trafficVolume();
    void nothingToDraw_data();
    void nothingToDraw();
    void queryIsIssuedAsWritten();
    void commandLine_data();
    void commandLine();

private:
    void store(const Counts& counts, const QString& unit = QStringLiteral("MPH"),
               const QString& batch = QStringLiteral("050302-A"));
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

void TstSpeedGraphs::init()
{
    m_folder = std::make_unique<test::TempProgramFolder>();
}

void TstSpeedGraphs::store(const Counts& counts, const QString& unit, const QString& batch)
{
    test::GraphSurvey survey;
    survey.batchNumber = batch;
    survey.unit = unit;
    survey.speeds = test::speedsWithCounts(counts);
    test::storeGraphSurvey(m_folder->databasePath(), survey);
}

void TstSpeedGraphs::speedDistribution_data()
{
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<QStringList>("statistics"); // pace low, pace high, 85th percentile
    QTest::addColumn<QList<Bar>>("bars");
    // Below the pace, at its edges, the 85th percentile (three times as high),
    // above, and speeds without vehicles (light cyan, 0).
    QTest::newRow("usual survey") << Counts{{20, 3}, {27, 4}, {28, 6}, {37, 12}, {38, 5}, {39, 2}}
                                  << QStringList{"27.5", "37.5", "38"}
                                  << QList<Bar>{{20, 3, 11, 0}, {21, 0, 11, 11}, {27, 4, 11, 0},
                                                {28, 6, 10, 7}, {37, 12, 10, 7}, {38, 15, 12, 12},
                                                {39, 2, 11, 0}, {40, 0, 11, 11}};
    QTest::newRow("bounds on whole speeds")
        << Counts{{26, 1}, {27, 2}, {37, 3}, {38, 4}} << QStringList{"27.0", "37.0", "37"}
        << QList<Bar>{{26, 1, 11, 0}, {27, 2, 10, 7}, {37, 9, 12, 12}, {38, 4, 11, 0}};
    QTest::newRow("percentile inside the pace")
        << Counts{{33, 5}, {34, 6}, {37, 8}} << QStringList{"27.5", "37.5", "34"}
        << QList<Bar>{{33, 5, 10, 7}, {34, 18, 12, 12}, {37, 8, 10, 7}};
    // Not numbers count as 0: nothing is tripled, every speed lies above.
    QTest::newRow("statistics empty")
        << Counts{{30, 2}, {40, 3}} << QStringList{"", "", ""} << QList<Bar>{{30, 2, 11, 0}, {40, 3, 11, 0}};
    QTest::newRow("a negative pace bound")
        << Counts{{1, 4}, {5, 2}, {9, 1}} << QStringList{"-1.5", "8.5", "5"}
        << QList<Bar>{{1, 4, 10, 7}, {5, 6, 12, 12}, {9, 1, 11, 0}};
}

void TstSpeedGraphs::speedDistribution()
{
    QFETCH(Counts, counts);
    QFETCH(QStringList, statistics);
    QFETCH(QList<Bar>, bars);
    store(counts);
    // Either printer mode: the same values, each mode's colours.
    for (bool blackAndWhite : {false, true}) {
        const charts::GraphResult result =
            stats::Percent85({m_folder->databasePath(), "050302-A", "MPH", statistics[0], statistics[1],
                              statistics[2], blackAndWhite});
        const QString wrong = wrongBars(result, bars, blackAndWhite);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(result.graph->style, charts::BarStyle::Flat);
        const QString titles =
            wrongTitles(*result.graph, QStringLiteral("85th Percentile & Pace for Batch #050302-A"));
        QVERIFY2(titles.isEmpty(), qPrintable(titles));
    }
}

void TstSpeedGraphs::speedRange_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<int>("points");
    QTest::addColumn<double>("total"); // the sum of all bars
    QTest::newRow("MPH") << "MPH" << Counts{{35, 3}, {100, 1}} << 100 << 4.0;
    QTest::newRow("KPH") << "KPH" << Counts{{35, 3}, {150, 1}} << 150 << 4.0;
    QTest::newRow("kph in small letters is MPH") << "kph" << Counts{{35, 3}, {150, 1}} << 100 << 3.0;
    QTest::newRow("speed 120 in MPH is left out")
        << "MPH" << Counts{{34, 2}, {120, 7}, {99, 1}} << 100 << 3.0;
    QTest::newRow("speeds 0 and 151 in KPH are left out")
        << "KPH" << Counts{{0, 5}, {1, 1}, {50, 2}, {151, 3}} << 150 << 3.0;
}

void TstSpeedGraphs::speedRange()
{
    QFETCH(QString, unit);
    QFETCH(Counts, counts);
    QFETCH(int, points);
    QFETCH(double, total);
    store(counts, unit);
    const charts::GraphResult result =
        stats::Percent85({m_folder->databasePath(), "050302-A", unit, "27.5", "37.5", "", false});
    QVERIFY(result.drawn());
    QCOMPARE(int(result.graph->points.size()), points);
    double sum = 0;
    for (size_t i = 0; i < result.graph->points.size(); ++i) {
        sum += result.graph->points[i].value;
        QCOMPARE(result.graph->points[i].label, QString::number(i + 1));
        QCOMPARE(result.graph->showsLabel(i), (i + 1) % 10 == 0);
    }
    QCOMPARE(sum, total);
}

void TstSpeedGraphs::trafficVolume_data()
{
    QTest::addColumn<Counts>("counts");
    QTest::addColumn<QString>("posted");
    QTest::addColumn<QList<Bar>>("bars"); // numbered in order of speed
    // Under, at and over the limit: green, black, red; grey, black, grey.
    QTest::newRow("limit 035") << Counts{{30, 4}, {35, 6}, {40, 2}} << "035"
                               << QList<Bar>{{1, 4, 10, 7}, {2, 6, 0, 0}, {3, 2, 12, 7}};
    // Every measured speed gets a bar, however slow or fast.
    QTest::newRow("speeds 0 and beyond 100")
        << Counts{{0, 1}, {25, 3}, {120, 2}, {160, 1}} << "25 MPH"
        << QList<Bar>{{1, 1, 10, 7}, {2, 3, 0, 0}, {3, 2, 12, 7}, {4, 1, 12, 7}};
    QTest::newRow("limit not a number: everything is over")
        << Counts{{1, 1}, {30, 2}} << "MPH 30" << QList<Bar>{{1, 1, 12, 7}, {2, 2, 12, 7}};
    QTest::newRow("no limit shown") << Counts{{30, 2}} << "" << QList<Bar>{{1, 2, 12, 7}};
}

void TstSpeedGraphs::trafficVolume()
{
    QFETCH(Counts, counts);
    QFETCH(QString, posted);
    QFETCH(QList<Bar>, bars);
    store(counts);
    for (bool blackAndWhite : {false, true}) {
        const charts::GraphResult result =
            flow::TrafficFlow_Graph({m_folder->databasePath(), "050302-A", posted, blackAndWhite});
        const QString wrong = wrongBars(result, bars, blackAndWhite);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        const charts::BarGraph& graph = *result.graph;
        QCOMPARE(int(graph.points.size()), bars.size());
        for (size_t i = 0; i < graph.points.size(); ++i) {
            QCOMPARE(graph.points[i].label, QString::number(counts[i].first));
            QCOMPARE(graph.showsLabel(i), (i + 1) % 3 == 0);
        }
        QCOMPARE(graph.style, blackAndWhite ? charts::BarStyle::Flat : charts::BarStyle::ThreeD);
        const QString titles =
            wrongTitles(graph, QStringLiteral("Vehicle Speed Comparison for Batch #050302-A"));
        QVERIFY2(titles.isEmpty(), qPrintable(titles));
    }
}

void TstSpeedGraphs::nothingToDraw_data()
{
    QTest::addColumn<QString>("batch");
    QTest::addColumn<QString>("message");
    const QString empty =
        QStringLiteral("The Database is empty OR you have to select a SURVEY on the second tab.");
    QTest::newRow("no survey chosen") << "" << empty;
    QTest::newRow("the other trailer's survey") << "050302-B" << empty;
    QTest::newRow("survey without vehicles") << "050302-C" << empty;
    QTest::newRow("database missing") << "050302-A"
                                      << "pelmor.mdb";
}

void TstSpeedGraphs::nothingToDraw()
{
    QFETCH(QString, batch);
    QFETCH(QString, message);
    store({{30, 3}});
    store({}, QStringLiteral("MPH"), QStringLiteral("050302-C"));
    if (message.endsWith(QLatin1String(".mdb")))
        QVERIFY(QFile::remove(m_folder->databasePath()));
    const charts::GraphResult distribution =
        stats::Percent85({m_folder->databasePath(), batch, "MPH", "27.5", "37.5", "38", false});
    const charts::GraphResult volume =
        flow::TrafficFlow_Graph({m_folder->databasePath(), batch, "035", true});
    for (const charts::GraphResult* result : {&distribution, &volume}) {
        QVERIFY(!result->drawn());
        QVERIFY2(result->message.contains(message), qPrintable(result->message));
    }
}

void TstSpeedGraphs::queryIsIssuedAsWritten()
{
    // A batch number corrected by hand may hold an apostrophe.
    for (const QString& batch : {QStringLiteral("050302-A"), QStringLiteral("O'Brien-A")}) {
        store({{30, 3}, {36, 2}}, QStringLiteral("MPH"), batch);
        db::StatementLog::clear();
        const charts::GraphResult distribution =
            stats::Percent85({m_folder->databasePath(), batch, "MPH", "27.5", "37.5", "38", false});
        const charts::GraphResult volume =
            flow::TrafficFlow_Graph({m_folder->databasePath(), batch, "035", false});
        QVERIFY(distribution.drawn() && volume.drawn());
        QCOMPARE(distribution.graph->points[29].value, 3.0);
        QCOMPARE(volume.graph->points.size(), size_t(2));
        const QString query = QStringLiteral("SELECT(Speed), COUNT(speed) as NumCount from [Veh_Data] WHERE "
                                             "[Batch_Number] = '%1' group by Speed")
                                  .arg(QString(batch).replace(QLatin1String("'"), QLatin1String("''")));
        QCOMPARE(db::StatementLog::entries(), QStringList({query, query}));
    }
}

void TstSpeedGraphs::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("error");  // part of what it prints on the error stream
    QTest::addColumn<QColor>("atLimit"); // the colour of the bar at speed 35, when drawn
    QTest::newRow("speed distribution")
        << QStringList{"percent85", "050302-A"} << 0 << "" << QColor(0, 255, 0);
    QTest::newRow("speed distribution, laser")
        << QStringList{"percent85", "050302-A", "--bw"} << 0 << "" << QColor(192, 192, 192);
    QTest::newRow("traffic volume") << QStringList{"volume", "050302-A"} << 0 << "" << QColor(0, 0, 0);
    QTest::newRow("survey not stored")
        << QStringList{"volume", "050302-B"} << 1
        << "The Database is empty OR you have to select a SURVEY on the second tab." << QColor();
    QTest::newRow("unknown graph") << QStringList{"pie", "050302-A"} << 1 << "Unknown graph \"pie\""
                                   << QColor();
    QTest::newRow("no batch number") << QStringList{"volume"} << 1 << "Usage: pelmor-cli graph" << QColor();
}

void TstSpeedGraphs::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, error);
    QFETCH(QColor, atLimit);
    // Limit 35, pace 27.5 to 37.5 and 85th percentile 38 as stored.
    store({{30, 4}, {35, 10}, {38, 5}, {40, 3}});
    const QString png = m_folder->filePath(QStringLiteral("graph.png"));
    QProcess cli;
    cli.start(QStringLiteral(PELMOR_CLI),
              QStringList{"--db", m_folder->path(), "graph"} + arguments + QStringList{"--png", png});
    QVERIFY(cli.waitForFinished(30000));
    const QString printed = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitCode(), exitCode);
    QVERIFY2(printed.contains(error), qPrintable(printed));
    QCOMPARE(QFile::exists(png), exitCode == 0);
    if (exitCode != 0)
        return;
    const bool volume = arguments.first() == QLatin1String("volume");
    const charts::GraphResult model =
        volume ? flow::TrafficFlow_Graph({m_folder->databasePath(), "050302-A", "035", false})
               : stats::Percent85({m_folder->databasePath(), "050302-A", "MPH", "27.5", "37.5", "38", false});
    const QRect bar = charts::BarGraphRenderer(*model.graph).barFront(volume ? 1 : 34);
    QCOMPARE(QImage(png).pixelColor(bar.center()), atLimit);
}

QTEST_MAIN(TstSpeedGraphs)
#include "tst_speedgraphs.moc"
