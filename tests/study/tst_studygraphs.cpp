// The S-curve and the heat map of the study: their models built from a
// stored survey, and the renderers' layout and colours read back from the
// drawn image.
#include "ChartCheck.h"
#include "Reference.h"
#include "StudyFixture.h"
#include "charts/ChartText.h"
#include "charts/HeatMapRenderer.h"
#include "charts/LineGraphRenderer.h"
#include "charts/Palette.h"
#include "study/StudyGraphs.h"

#include <QFontMetrics>
#include <QSet>
#include <QTest>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

// A graph whose curve runs through `curve` (speed, per cent) points.
charts::LineGraph graphWithMarkers(const QList<double>& xs, const QList<QPointF>& curve = {})
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
    std::vector<charts::LinePoint> points = {{20, 0}, {40, 50}, {60, 100}};
    if (!curve.isEmpty()) {
        points.clear();
        for (const QPointF& point : curve)
            points.push_back({point.x(), point.y()});
    }
    graph.series.push_back({QString(), points, QColor(31, 78, 140), 2.5, Qt::SolidLine});
    // The marker at 35 mph is a posted limit: no label over its line.
    for (const double x : xs)
        graph.markers.push_back(
            {x, QStringLiteral("marker at %1 mph").arg(x), QColor(200, 0, 0), Qt::SolidLine, x == 35});
    return graph;
}

} // namespace

class TstStudyGraphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Marker labels stand apart, inside the plot, against their own line,
    // clear of the curve and of every marker's line, whatever the spacing
    // of the markers, the course of the curve and the size of the image.
    void markerLabelsStandApart_data()
    {
        QTest::addColumn<QList<double>>("xs");
        QTest::addColumn<QList<QPointF>>("curve"); // none: a straight rise from 20 to 60
        QTest::addColumn<QSize>("size");
        const QList<QPointF> straight;
        test::row("spread", QList<double>{27, 33, 39, 35}, straight, QSize(1600, 1000));
        test::row("all on one speed", QList<double>{35, 35, 35, 35}, straight, QSize(1600, 1000));
        test::row("at the left edge", QList<double>{20, 21, 22}, straight, QSize(800, 500));
        test::row("at the right edge", QList<double>{58, 60}, straight, QSize(640, 380));
        test::row("one beyond the scale", QList<double>{30, 75}, straight, QSize(1600, 1000));
        // Traffic bunched at the low end: the curve fills the top left.
        const QList<QPointF> early{{20, 0}, {22, 60}, {24, 97}, {30, 99}, {60, 100}};
        test::row("curve up at once", QList<double>{22, 23, 24, 35}, early, QSize(1600, 1000));
        test::row("curve up at once, on a page", QList<double>{22, 23, 24, 35}, early, QSize(9360, 6480));
        // The markers close together left of a curve that rises late.
        const QList<QPointF> late{{20, 0}, {55, 2}, {57, 50}, {59, 100}, {60, 100}};
        test::row("curve up late", QList<double>{54, 56, 57, 58}, late, QSize(1200, 700));
    }
    void markerLabelsStandApart()
    {
        QFETCH(QList<double>, xs);
        QFETCH(QList<QPointF>, curve);
        QFETCH(QSize, size);
        const charts::LineGraph graph = graphWithMarkers(xs, curve);
        const charts::LineGraphRenderer renderer(graph, size);
        const QStringList crossings = test::labelsOverLines(graph, renderer);
        QVERIFY2(crossings.isEmpty(), qPrintable(crossings.join(QStringLiteral("; "))));
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

    // The drawn line and a marker show their colours where the scale puts
    // them, the plot above the line is empty.
    void linesWhereTheScaleSays()
    {
        const charts::LineGraph graph = graphWithMarkers({50});
        const charts::LineGraphRenderer renderer(graph);
        const QImage image = renderer.render();
        const QPointF onLine = renderer.toPixel(30, 25);
        QCOMPARE(image.pixelColor(onLine.toPoint()), QColor(31, 78, 140));
        const int x = qRound(renderer.toPixel(50, 0).x());
        QCOMPARE(image.pixelColor(x, qRound(renderer.toPixel(50, 40).y())), QColor(200, 0, 0));
        QCOMPARE(image.pixelColor(renderer.toPixel(24, 72).toPoint()), QColor(Qt::white));
    }

    // The S-curve of a stored survey: for each direction the share at or
    // below each speed, the three percentiles and the limit marked; for a
    // black-and-white printer black and greys alone, each line with a dash
    // of its own, the curve of both directions the boldest.
    void speedCurveOfASurvey_data()
    {
        QTest::addColumn<QByteArray>("directions"); // repeated over the vehicles
        QTest::addColumn<bool>("greyScale");
        test::row("both ways", QByteArray("+--"), false);
        test::row("one way: one line, no legend", QByteArray("+"), false);
        test::row("black and white", QByteArray("+--"), true);
    }
    void speedCurveOfASurvey()
    {
        QFETCH(QByteArray, directions);
        QFETCH(bool, greyScale);
        test::Survey survey;
        survey.batchNumber = kBatch;
        const QList<int> speeds = test::normalSpeeds(600, 38, 6, 3);
        survey.speeds = std::vector<int>(speeds.begin(), speeds.end());
        survey.directions = directions.repeated(600 / directions.size());
        test::TempProgramFolder folder;
        test::storeSurvey(folder.databasePath(), survey);
        const auto s = test::studyOf(folder, kBatch);
        QVERIFY(s);
        const charts::LineGraph curve = study::speedCurve(*s, greyScale);
        const bool oneWay = directions.size() == 1;
        QCOMPARE(curve.series.size(), oneWay ? size_t(1) : size_t(3));
        QCOMPARE(charts::LineGraphRenderer(curve).legendBox().isEmpty(), oneWay);
        const char ways[] = {0, '+', '-'};
        for (size_t i = 0; i < curve.series.size(); ++i) {
            const std::vector<int> chosen = test::speedsOf(speeds, survey.directions, ways[i]);
            for (const charts::LinePoint& point : curve.series[i].points) {
                const auto atOrBelow =
                    std::count_if(chosen.begin(), chosen.end(), [&](int v) { return v <= point.x; });
                QCOMPARE(point.y, 100.0 * double(atOrBelow) / double(chosen.size()));
            }
            QCOMPARE(curve.series[i].points.back().y, 100.0);
        }
        const test::Reference r =
            test::referenceOf(std::vector<int>(speeds.begin(), speeds.end()), 35, 45, 10);
        QCOMPARE(curve.markers.size(), size_t(4));
        QCOMPARE(curve.markers[0].x, r.ranked.at(15));
        QCOMPARE(curve.markers[1].x, r.ranked.at(50));
        QCOMPARE(curve.markers[2].x, r.ranked.at(85));
        QCOMPARE(curve.markers[3].x, 35.0);
        QVERIFY(curve.markers[2].label.contains(QStringLiteral("85th percentile")));
        QVERIFY(curve.xMinimum <= 35 && curve.xMaximum >= r.ranked.at(98));
        // On screen and across a page, no label over a line.
        for (const QSize size : {QSize(1600, 1000), QSize(9360, 6480), QSize(700, 420)}) {
            const QStringList crossings =
                test::labelsOverLines(curve, charts::LineGraphRenderer(curve, size));
            QVERIFY2(crossings.isEmpty(), qPrintable(crossings.join(QStringLiteral("; "))));
        }

        const auto grey = [](const QColor& colour) {
            return colour.red() == colour.green() && colour.green() == colour.blue();
        };
        QCOMPARE(grey(curve.series[0].colour), greyScale);
        if (!greyScale)
            return;
        for (size_t i = 0; i < curve.series.size(); ++i) {
            QVERIFY(grey(curve.series[i].colour));
            for (size_t j = 0; j < i; ++j)
                QVERIFY(curve.series[i].style != curve.series[j].style);
        }
        QCOMPARE(curve.series[0].style, Qt::SolidLine);
        QVERIFY(curve.series[0].width > curve.series[1].width &&
                curve.series[0].width > curve.series[2].width);
        const QImage image = charts::LineGraphRenderer(curve).render();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                QVERIFY(grey(image.pixelColor(x, y)));
        }
    }

    // Each kind of cell in its colour: pale yellow for none over the limit,
    // darker all along the scale to dark red at its top and beyond, white
    // for an hour without vehicles, grey for one not surveyed. On a grey
    // scale: shades of grey alone, from near white to near black, and the
    // hours not surveyed hatched, apart from every share.
    void heatMapColours_data()
    {
        QTest::addColumn<bool>("greyScale");
        QTest::addColumn<QColor>("notObserved");
        QTest::addColumn<QColor>("noneOver");
        QTest::addColumn<QColor>("allOver");
        test::row("colours", false, QColor(200, 200, 200), QColor(255, 255, 204), QColor(128, 0, 38));
        test::row("greys", true, QColor(Qt::white), QColor(250, 250, 250), QColor(35, 35, 35));
    }
    void heatMapColours()
    {
        QFETCH(bool, greyScale);
        QFETCH(QColor, notObserved);
        QFETCH(QColor, noneOver);
        QFETCH(QColor, allOver);
        charts::HeatMap map;
        map.greyScale = greyScale;
        map.title = QStringLiteral("Vehicles over the limit");
        map.rowLabels = {QStringLiteral("Mon")};
        map.columnLabels = {QStringLiteral("00"), QStringLiteral("01"), QStringLiteral("02"),
                            QStringLiteral("03"), QStringLiteral("04")};
        map.scaleMaximum = 80;
        map.cells = {{{false, std::nullopt, QString()},
                      {true, std::nullopt, QStringLiteral("0")},
                      {true, 0.0, QStringLiteral("12")},
                      {true, 80.0, QStringLiteral("12")},
                      {true, 95.0, QStringLiteral("12")}}};
        const QColor fills[] = {notObserved, QColor(Qt::white), noneOver, allOver, allOver};
        const charts::HeatMapRenderer renderer(map, QSize(800, 300));
        const QImage image = renderer.render();
        QVERIFY(!renderer.keyArea().intersects(renderer.gridArea()));
        for (int column = 0; column < 5; ++column) {
            // A corner of the cell, away from its text.
            const QRect box = renderer.cellRect(0, column);
            QVERIFY(renderer.gridArea().contains(box));
            QVERIFY(column == 0 || !box.intersects(renderer.cellRect(0, column - 1)));
            if (column > 0 || !greyScale) // the hatched cell shows white and grey
                QCOMPARE(image.pixelColor(box.topLeft() + QPoint(3, 3)), fills[column]);
        }
        int previous = 256;
        for (double share = 0; share <= 80; share += 4) {
            const QColor colour = renderer.scaleColour(share);
            QVERIFY2(colour.lightness() < previous, qPrintable(QString::number(share)));
            previous = colour.lightness();
        }
        // Grey everywhere on a grey scale; the hatching in white and grey.
        QSet<QRgb> hatched;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                if (greyScale && (pixel.red() != pixel.green() || pixel.green() != pixel.blue()))
                    QFAIL(qPrintable(QStringLiteral("colour at %1, %2").arg(x).arg(y)));
                if (renderer.cellRect(0, 0).adjusted(1, 1, -1, -1).contains(x, y))
                    hatched << pixel.rgb();
            }
        }
        QCOMPARE(hatched.size() > 1, greyScale);
        QVERIFY(!greyScale || hatched.contains(qRgb(255, 255, 255)));
    }

    // Every cell's number stands out from its cell by a contrast of 4.5 at
    // least, all along the scale, in colour and in greys: as chosen, and as
    // drawn (the glyph pixel that differs most from the cell's fill).
    void heatMapTextContrast_data()
    {
        QTest::addColumn<bool>("greyScale");
        test::row("colours", false);
        test::row("greys", true);
    }
    void heatMapTextContrast()
    {
        QFETCH(bool, greyScale);
        charts::HeatMap map;
        map.greyScale = greyScale;
        map.rowLabels = {QStringLiteral("Mon")};
        map.scaleMaximum = 100;
        std::vector<charts::HeatCell> row{{true, std::nullopt, QStringLiteral("88")}};
        for (int share = 0; share <= 100; share += 4) {
            map.columnLabels << QString::number(share);
            row.push_back({true, double(share), QStringLiteral("88")});
        }
        map.columnLabels << QStringLiteral("-");
        map.cells = {row};
        const charts::HeatMapRenderer renderer(map, QSize(5200, 400));
        for (double share = 0; share <= 100; share += 0.25) {
            const charts::HeatCell cell{true, share, QStringLiteral("1")};
            const double contrast =
                charts::contrastRatio(renderer.cellColour(cell), renderer.textColour(cell));
            QVERIFY2(contrast >= 4.5, qPrintable(QStringLiteral("%1 %: %2").arg(share).arg(contrast)));
        }
        const QImage image = renderer.render();
        const auto luminance = [](const QColor& colour) {
            return charts::contrastRatio(colour, Qt::black);
        };
        for (size_t column = 0; column < row.size(); ++column) {
            const QRect box = renderer.cellRect(0, int(column)).adjusted(2, 2, -2, -2);
            const QColor fill = image.pixelColor(box.topLeft());
            QColor text = fill;
            for (int y = box.top(); y <= box.bottom(); ++y) {
                for (int x = box.left(); x <= box.right(); ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (std::abs(luminance(pixel) - luminance(fill)) >
                        std::abs(luminance(text) - luminance(fill)))
                        text = pixel;
                }
            }
            QVERIFY2(
                charts::contrastRatio(fill, text) >= 4.5,
                qPrintable(QStringLiteral("cell %1: %2 on %3").arg(column).arg(text.name(), fill.name())));
        }
    }

    // The numbers in the cells keep a tenth of their cell clear, so two
    // side by side never run together, on screen and on a page alike.
    void heatMapNumbersStandApart_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("number");
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
        QVERIFY2(advance <= cell.width() * 0.9 && renderer.cellTextSize() > 0,
                 qPrintable(QStringLiteral("%1 of %2").arg(advance).arg(cell.width())));
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
