#pragma once

#include "charts/LineGraph.h"

#include <QFont>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <vector>

class QFontMetrics;
class QPainter;

namespace pelmor::charts {

// Draws a line graph into an image or onto any painter: the title above,
// the y scale with its grid and title at the left, the x scale and its
// title below, the lines clipped to the plot, the markers with their labels
// beside their lines where no line of the graph, no line kept clear of
// labels and no other label passes (nor, where there is room, any other
// marker's line), and a legend under the plot when there is more than one
// line. The layout is worked out on construction; callers and
// tests ask where each part went.
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
    // A marker's label as it stands in its box, its lines parted by "\n".
    QString markerLabelText(size_t index) const
    {
        return index < m_markerTexts.size() ? m_markerTexts[index] : QString();
    }
    const QRect& titleBox() const { return m_titleBox; }
    const QRect& legendBox() const { return m_legendBox; }
    int normalTextSize() const { return m_normalFont.pixelSize(); }

private:
    void layOut();
    void placeMarkerLabels();
    // A text broken at its blanks into `lineCount` lines as even in width
    // as its words allow.
    static QString brokenText(const QString& text, int lineCount, const QFontMetrics& metrics);
    // The lines in pixels, cut at the ends of the x scale.
    std::vector<std::vector<QPointF>> visibleLines() const;
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
    std::vector<QString> m_markerTexts;
};

} // namespace pelmor::charts
