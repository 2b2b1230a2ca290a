#pragma once

#include "charts/LineGraph.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <vector>

class QPainter;

namespace pelmor::charts {

// Draws a line graph into an image or onto any painter: the title above,
// the y scale with its grid and title at the left, the x scale and its
// title below, the lines clipped to the plot, the markers with their labels
// one under the other at the top of the plot (the rightmost marker's first,
// each left of its line), so none covers another, and a legend under the
// plot when there is more than one line. The layout is
// worked out on construction; callers and tests ask where each part went.
class LineGraphRenderer {
public:
    explicit LineGraphRenderer(const LineGraph& graph, QSize size = QSize(1600, 1000));

    QImage render() const;
    void paint(QPainter& painter) const;

    const QRect& plotArea() const { return m_plot; }
    // Where a value of the graph lands in the image.
    QPointF toPixel(double x, double y) const;
    // The box of a marker's label; empty for a marker outside the x scale.
    QRect markerLabelBox(size_t index) const;
    const QRect& titleBox() const { return m_titleBox; }
    const QRect& legendBox() const { return m_legendBox; }
    int normalTextSize() const { return m_normalFont.pixelSize(); }

private:
    void layOut();
    void paintScales(QPainter& painter) const;
    void paintLines(QPainter& painter) const;
    void paintMarkers(QPainter& painter) const;
    void paintLegend(QPainter& painter) const;
    void paintTitles(QPainter& painter) const;

    LineGraph m_graph;
    QSize m_size;
    QFont m_normalFont;
    QFont m_titleFont;
    QFont m_axisTitleFont;
    int m_lineWidth = 1;
    int m_gap = 2;
    QRect m_plot;
    QRect m_titleBox;
    QRect m_leftTitleBox;
    QRect m_bottomTitleBox;
    QRect m_legendBox;
    std::vector<QRect> m_markerLabels;
};

} // namespace pelmor::charts
