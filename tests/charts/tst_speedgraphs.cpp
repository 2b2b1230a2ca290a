#include "SurveyFixture.h"
#include "TestSupport.h"
#include "charts/BarGraphRenderer.h"
#include "charts/HeatMapRenderer.h"
#include "flow/TrafficVolumeGraph.h"
#include "stats/SpeedDistributionGraph.h"
#include "study/StudyGraphs.h"
#include "survey/SurveyRecord.h"

#include <QFontMetrics>
#include <QImage>
#include <QTest>

using namespace pelmor;

namespace {

using Counts = std::vector<std::pair<int, int>>;

// The survey as the reports tab shows it: its unit, posted limit, pace
// bounds and 85th percentile, as stored.
survey::SurveyRecord shownSurvey(const QString& unit, const QString& posted,
                                 const QStringList& statistics = {"27.5", "37.5", "38"},
                                 const QString& batch = "050302-A")
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

charts::GraphResult graphOf(const db::Database& database, bool volume, const survey::SurveyRecord& survey,
                            bool blackAndWhite)
{
    return volume ? flow::trafficVolumeGraph(database, survey, blackAndWhite)
                  : stats::speedDistributionGraph(database, survey, blackAndWhite);
}

// What a graph shows in both printer modes: its titles, sizes, grid, style
// (colour printer, then laser) and labels shown, then the bars named in
// `labels` as "label=value/colour/laser", their palette index for a colour
// printer, then for a laser; last "warned" when the graph comes with a
// warning of what it lacks.
QString shown(const db::Database& database, bool volume, const survey::SurveyRecord& survey,
              const QStringList& labels)
{
    const charts::GraphResult colour = graphOf(database, volume, survey, false);
    const charts::GraphResult laser = graphOf(database, volume, survey, true);
    if (!colour.drawn() || !laser.drawn())
        return colour.message + laser.message;
    const charts::BarGraph& graph = *colour.graph;
    QStringList texts{graph.title,
                      graph.leftTitle,
                      graph.bottomTitle,
                      QStringLiteral("%1/%2").arg(graph.titleScale).arg(graph.axisTitleScale),
                      graph.horizontalGrid ? "grid" : "no grid",
                      QStringLiteral("%1/%2").arg(int(graph.style)).arg(int(laser.graph->style)),
                      QStringLiteral("every %1").arg(graph.labelEvery)};
    for (const QString& label : labels) {
        const auto at = std::find_if(graph.points.begin(), graph.points.end(),
                                     [&](const charts::BarPoint& point) { return point.label == label; });
        if (at == graph.points.end())
            return "no bar " + label;
        const charts::BarPoint& other = laser.graph->points.at(size_t(at - graph.points.begin()));
        texts << QStringLiteral("%1=%2/%3/%4")
                         .arg(label)
                         .arg(at->value)
                         .arg(at->paletteIndex)
                         .arg(other.paletteIndex) +
                     (other.value == at->value ? "" : " differs in the laser's graph");
    }
    if (!colour.warning.isEmpty())
        texts << QStringLiteral("warned");
    return texts.join('|');
}

const QString kSpeedTitles = "85th Percentile & Pace for Batch #050302-A|Number of Vehicles|Measured Vehicle "
                             "Speed|1.4/1.2|grid|0/0|every 10|";
const QString kVolumeTitles = "Vehicle Speed Comparison for Batch #050302-A|Number of Vehicles|Measured "
                              "Vehicle Speed|1.4/1.2|grid|1/0|every 3|";

} // namespace

class TstSpeedGraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_folder = std::make_unique<test::TempProgramFolder>(); }
    void speedDistribution_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<QStringList>("statistics"); // pace low, pace high, 85th percentile
        QTest::addColumn<QString>("bars");
        // Below the pace, at its edges, the 85th percentile (three times as
        // high), above, and speeds without vehicles (0). For a laser only
        // greys: black outside the pace, light grey in it, dark grey at the
        // 85th percentile.
        test::row("usual survey", Counts{{20, 3}, {27, 4}, {28, 6}, {37, 12}, {38, 5}, {39, 2}},
                  QStringList{"27.5", "37.5", "38"},
                  "20=3/11/0|21=0/11/7|27=4/11/0|28=6/10/7|37=12/10/7|38=15/12/8|39=2/11/0|40=0/11/7");
        test::row("bounds on whole speeds", Counts{{26, 1}, {27, 2}, {37, 3}, {38, 4}},
                  QStringList{"27.0", "37.0", "37"}, "26=1/11/0|27=2/10/7|37=9/12/8|38=4/11/0");
        test::row("percentile inside the pace", Counts{{33, 5}, {34, 6}, {37, 8}},
                  QStringList{"27.5", "37.5", "34"}, "33=5/10/7|34=18/12/8|37=8/10/7");
        // A statistic that is no number: every bar plain, none tripled, and
        // a warning that names it.
        test::row("statistics empty", Counts{{30, 2}, {40, 3}}, QStringList{"", "", ""},
                  "30=2/11/0|40=3/11/0|warned");
        test::row("pace high bound not a number", Counts{{30, 2}, {38, 5}}, QStringList{"27.5", "3?.5", "38"},
                  "30=2/11/0|38=5/11/0|warned");
    }
    void speedDistribution()
    {
        QFETCH(Counts, counts);
        QFETCH(QStringList, statistics);
        QFETCH(QString, bars);
        store(counts);
        QStringList labels;
        for (const QString& bar : bars.split('|'))
            if (bar != QLatin1String("warned"))
                labels << bar.section('=', 0, 0);
        QCOMPARE(shown(m_folder->database(), false, shownSurvey("MPH", "035", statistics), labels),
                 kSpeedTitles + bars);
        const QString warning =
            stats::speedDistributionGraph(m_folder->database(), shownSurvey("MPH", "035", statistics), false)
                .warning;
        for (const QString& text : statistics) {
            bool number = false;
            text.toDouble(&number);
            if (!number)
                QVERIFY2(warning.contains('"' + text + '"'), qPrintable(warning));
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
            m_folder->database(), shownSurvey(unit, "035", {"27.5", "37.5", ""}), false);
        QVERIFY(result.drawn());
        QCOMPARE(int(result.graph->points.size()), points);
        double sum = 0;
        for (size_t i = 0; i < result.graph->points.size(); ++i) {
            sum += result.graph->points[i].value;
            QCOMPARE(result.graph->points[i].label, QString::number(i + 1));
        }
        QCOMPARE(sum, total);
    }
    void trafficVolume_data()
    {
        QTest::addColumn<Counts>("counts");
        QTest::addColumn<QString>("posted");
        QTest::addColumn<QString>("bars"); // every bar, in order of speed
        // Under, at and over the limit: green, black, red; light grey,
        // black, dark grey.
        test::row("limit 035", Counts{{30, 4}, {35, 6}, {40, 2}}, "035", "30=4/10/7|35=6/0/0|40=2/12/8");
        // Every measured speed gets a bar, however slow or fast.
        test::row("speeds 0 and beyond 100", Counts{{0, 1}, {25, 3}, {120, 2}, {160, 1}}, "25 MPH",
                  "0=1/10/7|25=3/0/0|120=2/12/8|160=1/12/8");
        test::row("limit not a number: everything is over, and said", Counts{{1, 1}, {30, 2}}, "MPH 30",
                  "1=1/12/8|30=2/12/8|warned");
    }
    void trafficVolume()
    {
        QFETCH(Counts, counts);
        QFETCH(QString, posted);
        QFETCH(QString, bars);
        store(counts);
        QStringList labels;
        for (const auto& [speed, count] : counts)
            labels << QString::number(speed);
        QCOMPARE(shown(m_folder->database(), true, shownSurvey("MPH", posted), labels), kVolumeTitles + bars);
        QCOMPARE(graphOf(m_folder->database(), true, shownSurvey("MPH", posted), false).graph->points.size(),
                 counts.size());
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
        store({}, "MPH", "050302-C");
        QVERIFY(!message.endsWith(".mdb") || QFile::remove(m_folder->databasePath()));
        for (const bool volume : {false, true}) {
            const charts::GraphResult result =
                graphOf(m_folder->database(), volume, shownSurvey("MPH", "035", {}, batch), volume);
            QVERIFY(!result.drawn());
            QVERIFY2(result.message.contains(message), qPrintable(result.message));
        }
    }
    // Only the survey's own vehicles are counted: not those of a survey
    // whose number differs by its trailer letter or by case, also where a
    // number corrected by hand holds an apostrophe.
    void countsOnlyTheSurveysOwnVehicles_data()
    {
        QTest::addColumn<QString>("batch");
        test::row("plain", "050302-A");
        test::row("apostrophes", "O'Brien's-A");
    }
    void countsOnlyTheSurveysOwnVehicles()
    {
        QFETCH(QString, batch);
        store({{30, 3}, {36, 2}}, "MPH", batch);
        store({{30, 7}, {50, 1}}, "MPH", QString(batch).replace("-A", "-B"));
        store({{31, 4}}, "MPH", batch.toLower());
        const survey::SurveyRecord survey = shownSurvey("MPH", "035", {}, batch);
        const charts::GraphResult distribution = graphOf(m_folder->database(), false, survey, false);
        QCOMPARE(distribution.graph->points[29].value, 3.0);
        QCOMPARE(distribution.graph->points[30].value, 0.0);
        QCOMPARE(distribution.graph->points[35].value, 2.0);
        const charts::GraphResult volume = graphOf(m_folder->database(), true, survey, false);
        QCOMPARE(volume.graph->points.size(), size_t(2));
        QCOMPARE(volume.graph->points[0].value + volume.graph->points[1].value, 5.0);
    }
    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error"); // part of what it prints on the error stream; empty: drawn
        test::row("speed distribution, laser", QStringList{"percent85", "050302-A", "--bw"}, "");
        test::row("traffic volume", QStringList{"volume", "050302-A"}, "");
        test::row("unknown graph", QStringList{"pie", "050302-A"}, "Unknown graph \"pie\"");
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        // Limit 35, pace 27.5 to 37.5 and 85th percentile 38 as stored.
        store({{30, 4}, {35, 10}, {38, 5}, {40, 3}});
        const QString png = m_folder->filePath("graph.png");
        const test::ProgramRun run =
            test::runProgram(PELMOR_CLI, QStringList{"--db", m_folder->path(), "graph"} + arguments +
                                             QStringList{"--png", png});
        QCOMPARE(run.exitCode, error.isEmpty() ? 0 : 1);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QCOMPARE(QFile::exists(png), error.isEmpty());
        if (!error.isEmpty())
            return;
        const charts::GraphResult model = graphOf(m_folder->database(), arguments[0] == "volume",
                                                  shownSurvey("MPH", "035"), arguments.contains("--bw"));
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_RGB32),
                 charts::BarGraphRenderer(*model.graph).render().convertToFormat(QImage::Format_RGB32));
    }

    // The weekly heat map of a big survey (a month of up to 20,669 vehicles
    // an hour of the week; or about 1,000 where the counts show in full), at
    // the sizes the Speed Study tab shows it and the report prints it: every
    // text within its cell or box, no two labels on one another, and the
    // title and the note whole inside the drawing.
    void heatMapLayout_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("texts"); // in full, short ("4.5k") or none
        using Texts = charts::HeatMapLayout::CellTexts;
        test::row("tab at 1024 x 768", QSize(362, 200), int(Texts::None));
        test::row("larger tab", QSize(520, 300), int(Texts::Short));
        test::row("printed page", QSize(9360, 4300), int(Texts::Short));
        test::row("wide window, small counts", QSize(1600, 700), int(Texts::Full));
    }
    void heatMapLayout()
    {
        QFETCH(QSize, size);
        QFETCH(int, texts);
        study::SpeedStudy big;
        big.batchNumber = QStringLiteral("010326-A");
        big.unit = QStringLiteral("MPH");
        big.limit = 35;
        for (size_t day = 0; day < 7; ++day)
            for (size_t hour = 0; hour < 24; ++hour)
                big.weekly[day][hour] = {
                    qint64(texts == 0 ? 970 + day * 24 + hour : 4470 + 97 * (day * 24 + hour)), 900, 4};
        const charts::HeatMap map = study::weeklyHeatMap(big);
        const charts::HeatMapLayout layout(map, size);
        const QRect drawing(QPoint(0, 0), size);
        QCOMPARE(int(layout.cellTexts()), texts);
        const QFontMetrics cell(layout.cellFont());
        for (int day = 0; day < 7; ++day)
            for (int hour = 0; hour < 24; ++hour) {
                const QString text = layout.cellText(map.cells[size_t(day)][size_t(hour)]);
                QVERIFY2(cell.horizontalAdvance(text) < layout.cellRect(day, hour).width() &&
                             cell.height() <= layout.cellRect(day, hour).height(),
                         qPrintable(text));
            }
        const QFontMetrics normal(layout.normalFont());
        QRect previous;
        for (int hour = 0; hour < 24; ++hour) {
            const QRect box = layout.columnLabelBox(hour);
            if (box.isEmpty())
                continue;
            QVERIFY(drawing.contains(box) && !box.intersects(previous));
            QVERIFY(normal.horizontalAdvance(map.columnLabels[hour]) <= box.width());
            previous = box;
        }
        QVERIFY(layout.columnLabelStep() <= 3); // at least every third hour named
        for (const auto& [box, font, text] :
             {std::tuple{layout.titleBox(), layout.titleFont(), map.title},
              std::tuple{layout.noteBox(), layout.normalFont(), layout.note()}}) {
            QVERIFY(drawing.contains(box));
            QVERIFY2(QFontMetrics(font).boundingRect(box, Qt::TextWordWrap, text).height() <= box.height(),
                     qPrintable(text));
        }
        QVERIFY(layout.note().startsWith(map.note));
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
