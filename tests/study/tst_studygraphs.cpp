// The S-curve and the heat map of the study: their models built from a
// stored survey, and the renderers' layout and colours read back from the
// drawn image.
#include "Reference.h"
#include "StudyFixture.h"
#include "charts/ChartText.h"
#include "charts/HeatMapRenderer.h"
#include "charts/LineGraphRenderer.h"
#include "study/StudyGraphs.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QSet>
#include <QTest>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

charts::LineGraph graphWithMarkers(const QList<double>& xs)
{
    charts::LineGraph graph;
    graph.title = QStringLiteral("Cumulative speed distribution");
    graph.leftTitle = QStringLiteral("Vehicles");
    graph.bottomTitle = QStringLiteral("Speed (mph)");
    graph.xMinimum = 20;
    graph.xMaximum = 60;
    graph.xStep = 5;
    graph.ySuffix = QStringLiteral(" %");
    graph.guides = {15, 50, 85};
    graph.series.push_back(
        {QString(), {{20, 0}, {40, 50}, {60, 100}}, QColor(31, 78, 140), 2.5, Qt::SolidLine});
    for (const double x : xs)
        graph.markers.push_back(
            {x, QStringLiteral("marker at %1 mph").arg(x), QColor(200, 0, 0), Qt::SolidLine});
    return graph;
}

} // namespace

class TstStudyGraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Marker labels stand apart, inside the plot, against their own line,
    // whatever the spacing of the markers and the size of the image.
    void markerLabelsStandApart_data()
    {
        QTest::addColumn<QList<double>>("xs");
        QTest::addColumn<QSize>("size");
        test::row("spread", QList<double>{27, 33, 39, 35}, QSize(1600, 1000));
        test::row("all on one speed", QList<double>{35, 35, 35, 35}, QSize(1600, 1000));
        test::row("at the left edge", QList<double>{20, 21, 22}, QSize(800, 500));
        test::row("at the right edge", QList<double>{58, 60}, QSize(640, 380));
        test::row("one beyond the scale", QList<double>{30, 75}, QSize(1600, 1000));
    }
    void markerLabelsStandApart()
    {
        QFETCH(QList<double>, xs);
        QFETCH(QSize, size);
        const charts::LineGraph graph = graphWithMarkers(xs);
        const charts::LineGraphRenderer renderer(graph, size);
        for (int i = 0; i < xs.size(); ++i) {
            const QRect box = renderer.markerLabelBox(size_t(i));
            if (xs[i] > graph.xMaximum) {
                QVERIFY(box.isEmpty());
                continue;
            }
            QVERIFY(renderer.plotArea().contains(box));
            const int line = qRound(renderer.toPixel(xs[i], 0).x());
            QVERIFY2(box.right() < line || box.left() > line,
                     qPrintable(QStringLiteral("label %1 crosses its line").arg(i)));
            QVERIFY(std::min(std::abs(box.right() - line), std::abs(box.left() - line)) <
                    renderer.normalTextSize());
            for (int j = 0; j < i; ++j)
                QVERIFY2(!box.intersects(renderer.markerLabelBox(size_t(j))),
                         qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
        }
    }

    // The scale's ends are the plot's edges; the drawn line and a marker
    // show their colours where the layout says they are.
    void linesWhereTheScaleSays()
    {
        const charts::LineGraph graph = graphWithMarkers({50});
        const charts::LineGraphRenderer renderer(graph);
        const QRect plot = renderer.plotArea();
        QCOMPARE(renderer.toPixel(20, 0), QPointF(plot.left(), plot.top() + plot.height()));
        QCOMPARE(renderer.toPixel(60, 100), QPointF(plot.left() + plot.width(), plot.top()));
        const QImage image = renderer.render();
        const QPointF onLine = renderer.toPixel(30, 25);
        QCOMPARE(image.pixelColor(onLine.toPoint()), QColor(31, 78, 140));
        const int x = qRound(renderer.toPixel(50, 0).x());
        QCOMPARE(image.pixelColor(x, qRound(renderer.toPixel(50, 40).y())), QColor(200, 0, 0));
        // Empty plot above the line at the left.
        QCOMPARE(image.pixelColor(renderer.toPixel(24, 72).toPoint()), QColor(Qt::white));
    }

    // The S-curve of a stored survey: the share at or below each speed, the
    // three percentiles and the limit marked.
    void speedCurveOfASurvey()
    {
        test::Survey survey;
        survey.batchNumber = kBatch;
        const QList<int> speeds = test::normalSpeeds(600, 38, 6, 3);
        survey.speeds = std::vector<int>(speeds.begin(), speeds.end());
        survey.directions = QByteArray(600, '+');
        test::TempProgramFolder folder;
        test::storeSurvey(folder.databasePath(), survey);
        const auto s = test::studyOf(folder, kBatch);
        QVERIFY(s);
        const charts::LineGraph curve = study::speedCurve(*s);
        // Everyone approaches: one line, no legend.
        QCOMPARE(curve.series.size(), size_t(1));
        const std::vector<int> all(speeds.begin(), speeds.end());
        for (const charts::LinePoint& point : curve.series.front().points) {
            const auto atOrBelow = std::count_if(all.begin(), all.end(), [&](int v) { return v <= point.x; });
            QCOMPARE(point.y, 100.0 * double(atOrBelow) / 600.0);
        }
        QCOMPARE(curve.series.front().points.back().y, 100.0);
        const test::Reference r = test::referenceOf(all, 35, 45, 10);
        QCOMPARE(curve.markers.size(), size_t(4));
        QCOMPARE(curve.markers[0].x, r.ranked.at(15));
        QCOMPARE(curve.markers[1].x, r.ranked.at(50));
        QCOMPARE(curve.markers[2].x, r.ranked.at(85));
        QCOMPARE(curve.markers[3].x, 35.0);
        QVERIFY(curve.markers[2].label.contains(QStringLiteral("85th percentile")));
        QVERIFY(curve.xMinimum <= 35 && curve.xMaximum >= r.ranked.at(98));
        QVERIFY(charts::LineGraphRenderer(curve).legendBox().isEmpty());
    }

    // For a black-and-white printer the S-curve is drawn in black and greys,
    // and each line has a dash of its own; the curve of both directions is
    // the boldest, and the drawing has no colour.
    void speedCurveInBlackAndWhite()
    {
        test::Survey survey;
        survey.batchNumber = kBatch;
        const QList<int> speeds = test::normalSpeeds(600, 38, 6, 3);
        survey.speeds = std::vector<int>(speeds.begin(), speeds.end());
        for (int i = 0; i < 600; ++i)
            survey.directions.append(i % 3 == 0 ? '+' : '-');
        test::TempProgramFolder folder;
        test::storeSurvey(folder.databasePath(), survey);
        const auto s = test::studyOf(folder, kBatch);
        QVERIFY(s);
        const charts::LineGraph curve = study::speedCurve(*s, true);
        QCOMPARE(curve.series.size(), size_t(3));
        const auto grey = [](const QColor& colour) {
            return colour.red() == colour.green() && colour.green() == colour.blue();
        };
        for (size_t i = 0; i < curve.series.size(); ++i) {
            QVERIFY(grey(curve.series[i].colour));
            for (size_t j = 0; j < i; ++j)
                QVERIFY(curve.series[i].style != curve.series[j].style);
        }
        QCOMPARE(curve.series[0].style, Qt::SolidLine);
        QVERIFY(curve.series[0].width > curve.series[1].width &&
                curve.series[0].width > curve.series[2].width);
        for (const charts::VerticalMarker& marker : curve.markers)
            QVERIFY(grey(marker.colour));
        // The same figures as in colour.
        const charts::LineGraph coloured = study::speedCurve(*s);
        QVERIFY(!grey(coloured.series[0].colour));
        for (size_t i = 0; i < curve.series.size(); ++i)
            QCOMPARE(curve.series[i].points.size(), coloured.series[i].points.size());
        const QImage image = charts::LineGraphRenderer(curve).render();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                QVERIFY(grey(image.pixelColor(x, y)));
        }
    }

    void heatMapCells_data()
    {
        QTest::addColumn<bool>("greyScale");
        QTest::addColumn<bool>("observed");
        QTest::addColumn<double>("value"); // below 0: none
        QTest::addColumn<QColor>("fill");
        test::row("not observed", false, false, -1.0, QColor(200, 200, 200));
        test::row("observed, no vehicles", false, true, -1.0, QColor(Qt::white));
        test::row("none over", false, true, 0.0, QColor(255, 255, 204));
        test::row("all over", false, true, 80.0, QColor(128, 0, 38));
        test::row("beyond the scale", false, true, 95.0, QColor(128, 0, 38));
        // Hatched on white, see greyScaleHatching().
        test::row("grey: not observed", true, false, -1.0, QColor(Qt::white));
        test::row("grey: observed, no vehicles", true, true, -1.0, QColor(Qt::white));
        test::row("grey: none over", true, true, 0.0, QColor(250, 250, 250));
        test::row("grey: all over", true, true, 80.0, QColor(35, 35, 35));
    }
    void heatMapCells()
    {
        QFETCH(bool, greyScale);
        QFETCH(bool, observed);
        QFETCH(double, value);
        QFETCH(QColor, fill);
        charts::HeatMap map;
        map.greyScale = greyScale;
        map.title = QStringLiteral("Vehicles over the limit");
        map.rowLabels = {QStringLiteral("Mon"), QStringLiteral("Tue")};
        map.columnLabels = {QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("02")};
        map.scaleMaximum = 80;
        map.cells.assign(
            2, std::vector<charts::HeatCell>(3, charts::HeatCell{true, 40.0, QStringLiteral("12")}));
        charts::HeatCell& cell = map.cells[1][2];
        cell.observed = observed;
        cell.value = value < 0 ? std::nullopt : std::optional<double>(value);
        const charts::HeatMapRenderer renderer(map, QSize(800, 300));
        QCOMPARE(renderer.cellColour(cell), fill);
        const QImage image = renderer.render();
        // A corner of the cell, away from its text.
        const QRect box = renderer.cellRect(1, 2);
        QVERIFY(renderer.gridArea().contains(box));
        if (observed || !greyScale)
            QCOMPARE(image.pixelColor(box.topLeft() + QPoint(3, 3)), fill);
        QVERIFY(!box.intersects(renderer.cellRect(1, 1)) && !box.intersects(renderer.cellRect(0, 2)));
        QVERIFY(!renderer.keyArea().intersects(renderer.gridArea()));
    }

    // Darker for more vehicles over the limit, all along the scale; in
    // shades of grey alone on a grey scale.
    void scaleDarkensWithTheShare_data()
    {
        QTest::addColumn<bool>("greyScale");
        test::row("colours", false);
        test::row("greys", true);
    }
    void scaleDarkensWithTheShare()
    {
        QFETCH(bool, greyScale);
        charts::HeatMap map;
        map.scaleMaximum = 50;
        map.greyScale = greyScale;
        const charts::HeatMapRenderer renderer(map);
        int previous = 256;
        for (double share = 0; share <= 50; share += 2.5) {
            const QColor colour = renderer.scaleColour(share);
            QVERIFY2(colour.lightness() < previous, qPrintable(QString::number(share)));
            QCOMPARE(colour.red() == colour.green() && colour.green() == colour.blue(), greyScale);
            previous = colour.lightness();
        }
    }

    // The numbers in the cells keep a tenth of their cell clear, so two
    // side by side never run together, on screen and on a page alike.
    void heatMapNumbersStandApart_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("number");
        test::row("on screen, three digits", QSize(800, 300), "999");
        test::row("on screen, five digits", QSize(1600, 700), "13564");
        test::row("across a page in twips, five digits", QSize(9360, 4000), "13564");
        test::row("across a page in twips, two digits", QSize(9360, 4000), "42");
    }
    void heatMapNumbersStandApart()
    {
        QFETCH(QSize, size);
        QFETCH(QString, number);
        charts::HeatMap map;
        map.rowLabels = {QStringLiteral("Mon"), QStringLiteral("Tue")};
        for (int hour = 0; hour < 24; ++hour)
            map.columnLabels << QString::number(hour);
        map.cells.assign(2, std::vector<charts::HeatCell>(24, charts::HeatCell{true, 40.0, number}));
        const charts::HeatMapRenderer renderer(map, size);
        const QRect cell = renderer.cellRect(0, 0);
        const int advance =
            QFontMetrics(charts::chartFont(renderer.cellTextSize(), false)).horizontalAdvance(number);
        QVERIFY2(advance <= cell.width() * 0.9,
                 qPrintable(QStringLiteral("%1 of %2").arg(advance).arg(cell.width())));
        // No smaller than it takes: one size up would not keep the room.
        const int larger =
            QFontMetrics(charts::chartFont(renderer.cellTextSize() + 1, false)).horizontalAdvance(number);
        const int cap = std::min(renderer.normalTextSize(), cell.height() / 2);
        QVERIFY(larger > cell.width() * 0.9 || renderer.cellTextSize() >= cap - 1);
    }

    // On a grey scale the hours not surveyed are hatched, in the grid and in
    // the key, so that they stand apart from every share; no colour anywhere.
    void greyScaleHatching()
    {
        charts::HeatMap map;
        map.greyScale = true;
        map.rowLabels = {QStringLiteral("Mon")};
        map.columnLabels = {QStringLiteral("00"), QStringLiteral("01")};
        map.notObservedText = QStringLiteral("not surveyed");
        map.cells = {{charts::HeatCell{false, std::nullopt, QString()}, charts::HeatCell{true, 30.0, "4"}}};
        const charts::HeatMapRenderer renderer(map, QSize(800, 300));
        const QImage image = renderer.render();
        const auto shades = [&image](const QRect& box) {
            QSet<QRgb> found;
            for (int y = box.top() + 1; y < box.bottom(); ++y) {
                for (int x = box.left() + 1; x < box.right(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (pixel.red() != pixel.green() || pixel.green() != pixel.blue())
                        return QSet<QRgb>{0xffff0000};
                    found << pixel.rgb();
                }
            }
            return found;
        };
        const QSet<QRgb> hatched = shades(renderer.cellRect(0, 0));
        QVERIFY(hatched.contains(qRgb(255, 255, 255)) && hatched.contains(qRgb(110, 110, 110)));
        QVERIFY(!hatched.contains(0xffff0000));
        QVERIFY(!shades(QRect(QPoint(0, 0), image.size())).contains(0xffff0000));
    }

    // The week of a survey from Wednesday 22:00 to Thursday 01:59: Monday
    // first, counts in the cells, hours outside the survey grey.
    void weeklyHeatMapOfASurvey()
    {
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.start = test::at(QStringLiteral("03/04/26 22:00"));
        survey.passAt({QStringLiteral("03/04/26 22:10"), QStringLiteral("03/04/26 22:50"),
                       QStringLiteral("03/04/26 23:05"), QStringLiteral("03/05/26 01:59")});
        survey.speeds = {30, 40, 50, 36};
        test::TempProgramFolder folder;
        test::storeSurvey(folder.databasePath(), survey);
        const auto s = test::studyOf(folder, kBatch);
        QVERIFY(s);
        const charts::HeatMap map = study::weeklyHeatMap(*s);
        QCOMPARE(map.rowLabels.first(), QStringLiteral("Mon"));
        QCOMPARE(map.columnLabels.size(), 24);
        QCOMPARE(map.cells[2][22].text, QStringLiteral("2"));
        QCOMPARE(*map.cells[2][22].value, 50.0);
        QCOMPARE(*map.cells[2][23].value, 100.0);
        QVERIFY(map.cells[3][0].observed && !map.cells[3][0].value &&
                map.cells[3][0].text == QStringLiteral("0"));
        QCOMPARE(*map.cells[3][1].value, 100.0);
        QVERIFY(!map.cells[2][21].observed && map.cells[2][21].text.isEmpty());
        QVERIFY(!map.cells[3][2].observed);
        QCOMPARE(map.scaleMaximum, 100.0);
    }
};

QTEST_MAIN(TstStudyGraphs)
#include "tst_studygraphs.moc"
