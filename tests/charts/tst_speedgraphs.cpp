#include "SurveyFixture.h"
#include "TestSupport.h"
#include "charts/BarGraphRenderer.h"
#include "db/StatementLog.h"
#include "flow/TrafficVolumeGraph.h"
#include "stats/SpeedDistributionGraph.h"
#include "survey/SurveyRecord.h"

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

// The first bar or title that differs from what is expected, described;
// empty when all match. Both speed graphs carry the same axis titles, the
// titles at 140 % and 120 %, with grid lines.
QString wrongGraph(const charts::GraphResult& result, const QList<Bar>& bars, bool blackAndWhite,
                   const QString& title)
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
    const charts::BarGraph& graph = *result.graph;
    if (graph.title != title || graph.leftTitle != QLatin1String("Number of Vehicles") ||
        graph.bottomTitle != QLatin1String("Measured Vehicle Speed") || graph.titleScale != 1.4 ||
        graph.axisTitleScale != 1.2 || !graph.horizontalGrid)
        return QStringLiteral("titles %1 / %2 / %3").arg(graph.title, graph.leftTitle, graph.bottomTitle);
    return QString();
}

// The survey as the reports tab shows it: its unit, posted limit, pace
// bounds and 85th percentile, as stored.
survey::SurveyRecord shownSurvey(const QString& batch, const QString& unit, const QString& posted,
                                 const QStringList& statistics = {"27.5", "37.5", "38"})
{
    survey::SurveyRecord record;
    record.batchNumber = batch;
    record.header.radarMode = unit;
    record.header.violationAlert = posted;
    record.summary.paceLow = statistics.value(0);
    record.summary.paceHigh = statistics.value(1);
    record.summary.percentile85 = statistics.value(2);
    return record;
}

} // namespace

Q_DECLARE_METATYPE(Bar)

class TstSpeedGraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_folder = std::make_unique<test::TempProgramFolder>(); }
    void speedDistribution_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<QStringList>("statistics"); // pace low, pace high, 85th percentile
        QTest::addColumn<QList<Bar>>("bars");
        // Below the pace, at its edges, the 85th percentile (three times as high),
        // above, and speeds without vehicles (light cyan, 0).
        test::row("usual survey", Counts{{20, 3}, {27, 4}, {28, 6}, {37, 12}, {38, 5}, {39, 2}},
                  QStringList{"27.5", "37.5", "38"},
                  QList<Bar>{{20, 3, 11, 0},
                             {21, 0, 11, 11},
                             {27, 4, 11, 0},
                             {28, 6, 10, 7},
                             {37, 12, 10, 7},
                             {38, 15, 12, 12},
                             {39, 2, 11, 0},
                             {40, 0, 11, 11}});
        test::row("bounds on whole speeds", Counts{{26, 1}, {27, 2}, {37, 3}, {38, 4}},
                  QStringList{"27.0", "37.0", "37"},
                  QList<Bar>{{26, 1, 11, 0}, {27, 2, 10, 7}, {37, 9, 12, 12}, {38, 4, 11, 0}});
        test::row("percentile inside the pace", Counts{{33, 5}, {34, 6}, {37, 8}},
                  QStringList{"27.5", "37.5", "34"},
                  QList<Bar>{{33, 5, 10, 7}, {34, 18, 12, 12}, {37, 8, 10, 7}});
        // Not numbers count as 0: nothing is tripled, every speed lies above.
        test::row("statistics empty", Counts{{30, 2}, {40, 3}}, QStringList{"", "", ""},
                  QList<Bar>{{30, 2, 11, 0}, {40, 3, 11, 0}});
    }
    void speedDistribution()
    {
        QFETCH(Counts, counts);
        QFETCH(QStringList, statistics);
        QFETCH(QList<Bar>, bars);
        store(counts);
        // Either printer mode: the same values, each mode's colours.
        for (bool blackAndWhite : {false, true}) {
            const charts::GraphResult result = stats::speedDistributionGraph(
                m_folder->database(), shownSurvey("050302-A", "MPH", "035", statistics), blackAndWhite);
            const QString wrong = wrongGraph(result, bars, blackAndWhite,
                                             QStringLiteral("85th Percentile & Pace for Batch #050302-A"));
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
            QCOMPARE(result.graph->style, charts::BarStyle::Flat);
        }
    }
    void speedRange_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("total"); // the sum of all bars
        test::row("MPH: 1 to 100", "MPH", Counts{{34, 2}, {100, 1}, {120, 7}}, 100, 3.0);
        test::row("KPH: 1 to 150", "KPH", Counts{{0, 5}, {1, 1}, {150, 1}, {151, 3}}, 150, 2.0);
        test::row("kph in small letters is MPH", "kph", Counts{{35, 3}, {150, 1}}, 100, 3.0);
    }
    void speedRange()
    {
        QFETCH(QString, unit);
        QFETCH(Counts, counts);
        QFETCH(int, points);
        QFETCH(double, total);
        store(counts, unit);
        const charts::GraphResult result = stats::speedDistributionGraph(
            m_folder->database(), shownSurvey("050302-A", unit, "035", {"27.5", "37.5", ""}), false);
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
    void trafficVolume_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<QString>("posted");
        QTest::addColumn<QList<Bar>>("bars"); // numbered in order of speed
        // Under, at and over the limit: green, black, red; grey, black, grey.
        test::row("limit 035", Counts{{30, 4}, {35, 6}, {40, 2}}, "035",
                  QList<Bar>{{1, 4, 10, 7}, {2, 6, 0, 0}, {3, 2, 12, 7}});
        // Every measured speed gets a bar, however slow or fast.
        test::row("speeds 0 and beyond 100", Counts{{0, 1}, {25, 3}, {120, 2}, {160, 1}}, "25 MPH",
                  QList<Bar>{{1, 1, 10, 7}, {2, 3, 0, 0}, {3, 2, 12, 7}, {4, 1, 12, 7}});
        test::row("limit not a number: everything is over", Counts{{1, 1}, {30, 2}}, "MPH 30",
                  QList<Bar>{{1, 1, 12, 7}, {2, 2, 12, 7}});
    }
    void trafficVolume()
    {
        QFETCH(Counts, counts);
        QFETCH(QString, posted);
        QFETCH(QList<Bar>, bars);
        store(counts);
        for (bool blackAndWhite : {false, true}) {
            const charts::GraphResult result = flow::trafficVolumeGraph(
                m_folder->database(), shownSurvey("050302-A", "MPH", posted), blackAndWhite);
            const QString wrong = wrongGraph(result, bars, blackAndWhite,
                                             QStringLiteral("Vehicle Speed Comparison for Batch #050302-A"));
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
            const charts::BarGraph& graph = *result.graph;
            QCOMPARE(int(graph.points.size()), bars.size());
            for (size_t i = 0; i < graph.points.size(); ++i) {
                QCOMPARE(graph.points[i].label, QString::number(counts[i].first));
                QCOMPARE(graph.showsLabel(i), (i + 1) % 3 == 0);
            }
            QCOMPARE(graph.style, blackAndWhite ? charts::BarStyle::Flat : charts::BarStyle::ThreeD);
        }
    }
    void nothingToDraw_data()
    {
        QTest::addColumn<QString>("batch");
        QTest::addColumn<QString>("message");
        test::row("survey without vehicles", "050302-C", survey::noSurveyMessage());
        test::row("database missing", "050302-A", "pelmor.mdb");
    }
    void nothingToDraw()
    {
        QFETCH(QString, batch);
        QFETCH(QString, message);
        store({{30, 3}});
        store({}, QStringLiteral("MPH"), QStringLiteral("050302-C"));
        if (message.endsWith(QLatin1String(".mdb")))
            QVERIFY(QFile::remove(m_folder->databasePath()));
        const charts::GraphResult distribution =
            stats::speedDistributionGraph(m_folder->database(), shownSurvey(batch, "MPH", "035"), false);
        const charts::GraphResult volume =
            flow::trafficVolumeGraph(m_folder->database(), shownSurvey(batch, "MPH", "035"), true);
        for (const charts::GraphResult* result : {&distribution, &volume}) {
            QVERIFY(!result->drawn());
            QVERIFY2(result->message.contains(message), qPrintable(result->message));
        }
    }
    void queryIsIssuedAsWritten()
    {
        // A batch number corrected by hand may hold an apostrophe.
        for (const QString& batch : {QStringLiteral("050302-A"), QStringLiteral("O'Brien-A")}) {
            store({{30, 3}, {36, 2}}, QStringLiteral("MPH"), batch);
            m_folder->statements().clear();
            const charts::GraphResult distribution =
                stats::speedDistributionGraph(m_folder->database(), shownSurvey(batch, "MPH", "035"), false);
            const charts::GraphResult volume =
                flow::trafficVolumeGraph(m_folder->database(), shownSurvey(batch, "MPH", "035"), false);
            QVERIFY(distribution.drawn() && volume.drawn());
            QCOMPARE(distribution.graph->points[29].value, 3.0);
            QCOMPARE(volume.graph->points.size(), size_t(2));
            const QString query =
                QStringLiteral("SELECT(Speed), COUNT(speed) as NumCount from [Veh_Data] WHERE "
                               "[Batch_Number] = '%1' group by Speed")
                    .arg(QString(batch).replace(QLatin1String("'"), QLatin1String("''")));
            QCOMPARE(m_folder->statements().entries(), QStringList({query, query}));
        }
    }
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");  // part of what it prints on the error stream; empty: drawn
        QTest::addColumn<QColor>("atLimit"); // the colour of the bar at speed 35
        test::row("speed distribution", QStringList{"percent85", "050302-A"}, "", QColor(0, 255, 0));
        test::row("speed distribution, laser", QStringList{"percent85", "050302-A", "--bw"}, "",
                  QColor(192, 192, 192));
        test::row("traffic volume", QStringList{"volume", "050302-A"}, "", QColor(0, 0, 0));
        test::row("survey not stored", QStringList{"volume", "050302-B"}, survey::noSurveyMessage(),
                  QColor());
        test::row("unknown graph", QStringList{"pie", "050302-A"}, "Unknown graph \"pie\"", QColor());
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
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
        QCOMPARE(cli.exitCode(), error.isEmpty() ? 0 : 1);
        QVERIFY2(printed.contains(error), qPrintable(printed));
        QCOMPARE(QFile::exists(png), error.isEmpty());
        if (!error.isEmpty())
            return;
        const bool volume = arguments.first() == QLatin1String("volume");
        const survey::SurveyRecord shown = shownSurvey("050302-A", "MPH", "035");
        const charts::GraphResult model =
            volume ? flow::trafficVolumeGraph(m_folder->database(), shown, false)
                   : stats::speedDistributionGraph(m_folder->database(), shown, false);
        const QRect bar = charts::BarGraphRenderer(*model.graph).barFront(volume ? 1 : 34);
        QCOMPARE(QImage(png).pixelColor(bar.center()), atLimit);
    }

private:
    void store(const Counts& counts, const QString& unit = "MPH", const QString& batch = "050302-A")
    {
        test::Survey survey;
        survey.batchNumber = batch;
        survey.unit = unit;
        survey.addSpeeds(counts);
        test::storeSurvey(m_folder->databasePath(), survey);
    }
    std::unique_ptr<test::TempProgramFolder> m_folder;
};
QTEST_MAIN(TstSpeedGraphs)
#include "tst_speedgraphs.moc"
