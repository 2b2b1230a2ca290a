#pragma once

#include "charts/BarGraph.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QPainter;

namespace pelmor::charts {

// Draws a bar graph into an image: the title above, the vertical axis with
// its scale and title at the left, the bars with their labels and the bottom
// title below, and the horizontal grid lines behind the bars. The layout is
// worked out once on construction, so callers (and tests) can ask where each
// part went.
//
// Bars are filled with the exact palette colour of their point; 3-D bars add
// a lighter top and a darker side and stand in front of a back wall that
// carries the grid. The vertical axis counts in whole steps of 1, 2 or 5
// times a power of ten, with a little room above the tallest bar, and goes
// higher where bars would reach into the graph's area to keep clear.
class BarGraphRenderer {
public:
    explicit BarGraphRenderer(const BarGraph& graph, QSize size = imageSize());

    // The size graphs are drawn at: sharp when printed 6.4 inches wide.
    static QSize imageSize() { return QSize(1920, 1200); }

    QImage render() const;
    void paint(QPainter& painter) const;

    // The area of the bars (front plane): from the vertical axis to the right
    // end, from the top of the scale down to the zero line.
    const QRect& plotArea() const { return m_plot; }
    // The front face of the bar at `index`; empty for a bar of value 0 or less.
    QRect barFront(size_t index) const;
    // Where each title is drawn (the left title before its rotation is
    // undone: a box on its side); empty for a title that is not set.
    const QRect& titleBox() const { return m_titleBox; }
    const QRect& leftTitleBox() const { return m_leftTitleBox; }
    const QRect& bottomTitleBox() const { return m_bottomTitleBox; }
    // The box of the label under the bar at `index`; empty for a label not shown.
    QRect labelBox(size_t index) const;
    bool labelsRotated() const { return m_labelsRotated; }

    double axisMaximum() const { return m_axisMaximum; }
    double tickStep() const { return m_tickStep; }
    // Pixel sizes of the normal text, the title and the axis titles.
    int normalTextSize() const { return m_normalFont.pixelSize(); }
    int titleTextSize() const { return m_titleFont.pixelSize(); }
    int axisTitleTextSize() const { return m_axisTitleFont.pixelSize(); }

private:
    // The scale reaches at least `atLeast`, and above the tallest bar.
    void chooseScale(double atLeast);
    void layOut();
    // The top of the scale that keeps the bars under the area to keep clear
    // below it; 0 when there is none.
    double clearingMaximum() const;
    int barCentre(size_t index) const;
    void paintWalls(QPainter& painter) const;
    void paintScale(QPainter& painter) const;
    void paintBars(QPainter& painter) const;
    void paintLabels(QPainter& painter) const;
    void paintTitles(QPainter& painter) const;
    int valueToY(double value) const;

    BarGraph m_graph;
    QSize m_size;
    QFont m_normalFont;
    QFont m_labelFont;
    QFont m_titleFont;
    QFont m_axisTitleFont;
    QString m_title; // shortened with "..." only if even the smallest size cannot hold it
    double m_axisMaximum = 1;
    double m_tickStep = 1;
    std::vector<QString> m_tickTexts;
    QRect m_plot;
    double m_slot = 0;  // horizontal room of one bar
    int m_barWidth = 0; // width of a bar's front face
    int m_depthX = 0;   // 3-D depth to the right and up; 0 for flat bars
    int m_depthY = 0;
    int m_labelWidth = 0; // the widest shown label
    int m_labelTop = 0;
    int m_tickLength = 0;
    int m_gap = 0;
    bool m_labelsRotated = false;
    QRect m_titleBox;
    QRect m_leftTitleBox;
    QRect m_bottomTitleBox;
};

} // namespace pelmor::charts
