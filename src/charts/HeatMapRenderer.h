#pragma once

#include "charts/HeatMap.h"
#include "charts/HeatMapLayout.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

class QPainter;

namespace pelmor::charts {

// Draws a heat map as its layout (HeatMapLayout) places it: the title
// above, the column labels over the grid, the row labels at its left, the
// cells with their texts (black or white, whichever contrasts more with the
// cell), at the right a colour key from 0 to the scale's maximum with the
// grey of the cells not observed, and the note under the grid. The colours
// run from pale yellow through orange to dark red, which stays readable when
// printed in grey; a grey-scale map runs from white to near black and
// hatches the cells not observed.
class HeatMapRenderer {
public:
    explicit HeatMapRenderer(const HeatMap& map, QSize size = QSize(1600, 700));

    QImage render() const;
    void paint(QPainter& painter) const;

    const HeatMapLayout& layout() const { return m_layout; }
    QRect cellRect(int row, int column) const { return m_layout.cellRect(row, column); }
    const QRect& gridArea() const { return m_layout.gridArea(); }
    const QRect& keyArea() const { return m_layout.keyArea(); }
    const QRect& titleBox() const { return m_layout.titleBox(); }
    int normalTextSize() const { return m_layout.normalFont().pixelSize(); }
    int cellTextSize() const { return m_layout.cellFont().pixelSize(); }

    // The fill of a cell (under the hatching of a grey-scale cell not observed).
    QColor cellColour(const HeatCell& cell) const;
    // The colour of a cell's text: black or white, whichever stands out
    // more on the cell.
    QColor textColour(const HeatCell& cell) const;
    // The colour of a value of the scale (values beyond it are clamped).
    QColor scaleColour(double value) const;
    static QColor notObservedColour() { return QColor(200, 200, 200); }

private:
    void fillCell(QPainter& painter, const QRect& box, const HeatCell& cell) const;

    HeatMap m_map;
    HeatMapLayout m_layout;
};

} // namespace pelmor::charts
