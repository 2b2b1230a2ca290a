#pragma once

#include "charts/HeatMap.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>

class QPainter;

namespace pelmor::charts {

// Draws a heat map: the title above, the column labels over the grid, the
// row labels at its left, the cells with their texts (black or white,
// whichever contrasts more with the cell), and at the right a colour key from 0 to the
// scale's maximum with the grey of the cells not observed. The colours run
// from pale yellow through orange to dark red, which stays readable when
// printed in grey; a grey-scale map runs from white to near black and
// hatches the cells not observed. The layout is worked out on construction.
class HeatMapRenderer {
public:
    explicit HeatMapRenderer(const HeatMap& map, QSize size = QSize(1600, 700));

    QImage render() const;
    void paint(QPainter& painter) const;

    QRect cellRect(int row, int column) const;
    const QRect& gridArea() const { return m_grid; }
    const QRect& keyArea() const { return m_key; }
    const QRect& titleBox() const { return m_titleBox; }
    int normalTextSize() const { return m_normalFont.pixelSize(); }
    int cellTextSize() const { return m_cellFont.pixelSize(); }

    // The fill of a cell (under the hatching of a grey-scale cell not observed).
    QColor cellColour(const HeatCell& cell) const;
    // The colour of a cell's text: black or white, whichever stands out
    // more on the cell.
    QColor textColour(const HeatCell& cell) const;
    // The colour of a value of the scale (values beyond it are clamped).
    QColor scaleColour(double value) const;
    static QColor notObservedColour() { return QColor(200, 200, 200); }

private:
    void layOut();
    void fillCell(QPainter& painter, const QRect& box, const HeatCell& cell) const;

    HeatMap m_map;
    QSize m_size;
    QFont m_normalFont;
    QFont m_cellFont;
    QFont m_titleFont;
    int m_gap = 2;
    QRect m_titleBox;
    QRect m_grid;
    QRect m_key;
    QRect m_noteBox;
    double m_cellWidth = 1;
    double m_cellHeight = 1;
};

} // namespace pelmor::charts
