#include "TestSupport.h"
#include "charts/BarGraph.h"
#include "charts/BarGraphRenderer.h"

#include <QTest>

#include <cmath>

using namespace pelmor::charts;
using pelmor::test::row;

Q_DECLARE_METATYPE(pelmor::charts::BarStyle)

namespace {

BarGraph graphOf(const std::vector<double>& values, BarStyle style, int labelEvery)
{
    BarGraph graph;
    graph.style = style;
    graph.labelEvery = labelEvery;
    for (size_t i = 0; i < values.size(); ++i)
        graph.points.push_back({values[i], QString::number(i + 1), static_cast<int>(i % 16)});
    graph.title = QStringLiteral("85th Percentile & Pace for Batch #050302-A");
    graph.leftTitle = QStringLiteral("Number of Vehicles");
    graph.bottomTitle = QStringLiteral("Measured Vehicle Speed");
    graph.titleScale = 1.4;
    graph.axisTitleScale = 1.2;
    graph.horizontalGrid = true;
    return graph;
}

// Vehicle counts over `count` speeds, highest in the middle.
std::vector<double> bell(int count, double peak)
{
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        const double x = (i - count / 2.0) / (count / 6.0);
        values.push_back(std::round(peak * std::exp(-x * x / 2)));
    }
    return values;
}

} // namespace

class TstBarGraph : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void barsCarryTheirPaletteColour_data()
    {
        QTest::addColumn<BarStyle>("style");
        row("flat", BarStyle::Flat);
        row("3-D", BarStyle::ThreeD);
    }
    void barsCarryTheirPaletteColour()
    {
        QFETCH(BarStyle, style);
        const QColor standard[] = {{0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
                                   {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
                                   {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
                                   {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
        // Bars of every palette colour side by side, index i % 16.
        const BarGraph graph = graphOf(bell(40, 300), style, 3);
        const BarGraphRenderer renderer(graph);
        const QImage image = renderer.render();
        QVERIFY(image.width() >= 1800 && image.height() >= 1100);
        for (size_t i = 0; i < graph.points.size(); ++i) {
            const QRect front = renderer.barFront(i);
            for (const QPoint& at :
                 {front.center(), front.topLeft() + QPoint(3, 3), front.bottomRight() - QPoint(3, 3)})
                QCOMPARE(image.pixelColor(at), standard[i % 16]);
            // A 3-D bar shows a top face above its front; a flat one does not.
            const QColor above = image.pixelColor(front.center().x(), front.top() - 3);
            QCOMPARE(above != QColor(Qt::white) && above.red() + above.green() + above.blue() != 3 * 170,
                     style == BarStyle::ThreeD);
        }
    }
    void barHeightsFollowTheScale_data()
    {
        QTest::addColumn<std::vector<double>>("values");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("step");
        row("no vehicles at all", std::vector<double>{0, 0}, 5.0, 1.0);
        row("one vehicle", std::vector<double>{0, 1}, 2.0, 1.0);
        row("just under a round step", std::vector<double>{98, 50}, 120.0, 20.0);
        row("one vehicle among thousands", std::vector<double>{1, 12345, 0, 3}, 14000.0, 2000.0);
    }
    void barHeightsFollowTheScale()
    {
        QFETCH(std::vector<double>, values);
        QFETCH(double, maximum);
        QFETCH(double, step);
        for (BarStyle style : {BarStyle::Flat, BarStyle::ThreeD}) {
            const BarGraphRenderer renderer(graphOf(values, style, 1));
            QCOMPARE(renderer.axisMaximum(), maximum);
            QCOMPARE(renderer.tickStep(), step);
            const QRect plot = renderer.plotArea();
            int previousRight = plot.left();
            for (size_t i = 0; i < values.size(); ++i) {
                const QRect front = renderer.barFront(i);
                QCOMPARE(front.isEmpty(), values[i] == 0);
                if (front.isEmpty())
                    continue;
                // On the zero line, in order, within the plot; even one vehicle shows.
                QCOMPARE(front.y() + front.height(), plot.y() + plot.height());
                QVERIFY(front.left() >= previousRight &&
                        front.x() + front.width() <= plot.x() + plot.width());
                previousRight = front.x() + front.width();
                const double expected = values[i] / maximum * plot.height();
                QVERIFY2(
                    std::abs(front.height() - std::max(1.0, expected)) <= 1.0,
                    qPrintable(
                        QStringLiteral("bar %1: %2 px for %3").arg(i).arg(front.height()).arg(expected)));
            }
        }
    }
    void nothingIsClipped_data()
    {
        QTest::addColumn<BarStyle>("style");
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("labelEvery");
        QTest::addColumn<QString>("titleEnd");
        QTest::addColumn<QSize>("size");
        const QSize print = BarGraphRenderer::imageSize();
        row("150 speeds", BarStyle::Flat, 150, 10, "", print);
        row("the radar's whole range", BarStyle::ThreeD, 200, 3, "", print);
        row("every label of 60", BarStyle::Flat, 60, 1, "", print);
        row("batch number corrected to a long text", BarStyle::Flat, 60, 3,
            " and a very long location name typed in by hand", print);
        row("small image", BarStyle::ThreeD, 70, 3, "", QSize(640, 400));
    }
    void nothingIsClipped()
    {
        QFETCH(BarStyle, style);
        QFETCH(int, bars);
        QFETCH(int, labelEvery);
        QFETCH(QString, titleEnd);
        QFETCH(QSize, size);
        BarGraph graph = graphOf(bell(bars, 60000), style, labelEvery);
        graph.title += titleEnd;
        const BarGraphRenderer renderer(graph, size);
        const QRect image(QPoint(0, 0), size);
        const QRect plot = renderer.plotArea();
        for (const QRect& box :
             {renderer.titleBox(), renderer.leftTitleBox(), renderer.bottomTitleBox(), plot})
            QVERIFY(!box.isEmpty() && image.contains(box));
        // The titles keep clear of the plot.
        QVERIFY(renderer.titleBox().bottom() < plot.top());
        QVERIFY(renderer.leftTitleBox().right() < plot.left());
        QVERIFY(renderer.bottomTitleBox().top() > plot.bottom());
        // Labels on bars n, 2n, 3n ..., under their bar, apart from each other.
        QRect previous;
        for (size_t i = 0; i < graph.points.size(); ++i) {
            const QRect label = renderer.labelBox(i);
            QCOMPARE(!label.isEmpty(), (i + 1) % static_cast<size_t>(labelEvery) == 0);
            if (label.isEmpty())
                continue;
            QVERIFY2(image.contains(label), qPrintable(QStringLiteral("label %1 is cut off").arg(i + 1)));
            QVERIFY(label.top() > plot.bottom() && label.bottom() < renderer.bottomTitleBox().top());
            QVERIFY(std::abs(label.center().x() - renderer.barFront(i).center().x()) <= 2);
            QVERIFY2(previous.isEmpty() || !previous.intersects(label),
                     qPrintable(QStringLiteral("label %1 overlaps the one before").arg(i + 1)));
            previous = label;
        }
    }
};
QTEST_MAIN(TstBarGraph)
#include "tst_bargraph.moc"
