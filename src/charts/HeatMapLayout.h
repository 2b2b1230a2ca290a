#pragma once

#include "charts/HeatMap.h"

#include <QFont>
#include <QRect>
#include <QSize>

namespace pelmor::charts {

// Where each part of a heat map stands in a drawing of a given size, and in
// which fonts, worked out apart from the drawing so that it can be checked:
// the title and the note wrap within the drawing's width, a column label is
// shown only where it has room beside its neighbours (every second or third
// hour on a narrow drawing), and the cell texts are set as large as the
// narrowest cell holds the widest one, in their short form when the full
// one does not fit at a readable size, and left out when neither does.
class HeatMapLayout {
public:
    HeatMapLayout(const HeatMap& map, QSize size);

    // A value of the colour scale as the key shows it: "40 %".
    static QString scaleValueText(double value, const QString& suffix);

    QSize size() const { return m_size; }
    const QFont& normalFont() const { return m_normalFont; }
    const QFont& titleFont() const { return m_titleFont; }
    const QFont& cellFont() const { return m_cellFont; }
    int gap() const { return m_gap; }

    const QRect& titleBox() const { return m_titleBox; }
    const QRect& gridArea() const { return m_grid; }
    const QRect& keyArea() const { return m_key; }
    const QRect& noteBox() const { return m_noteBox; }
    // The note as printed: the map's note, and why the cell texts are left
    // out when they are.
    const QString& note() const { return m_note; }

    QRect cellRect(int row, int column) const;
    QRect rowLabelBox(int row) const;
    // The box of a column's label; empty for a label left out for want of room.
    QRect columnLabelBox(int column) const;
    // Every n-th column label is shown, from the first.
    int columnLabelStep() const { return m_columnLabelStep; }

    enum class CellTexts { Full, Short, None };
    CellTexts cellTexts() const { return m_cellTexts; }
    // The text a cell shows in this layout; empty when none.
    QString cellText(const HeatCell& cell) const;

private:
    QSize m_size;
    QFont m_normalFont;
    QFont m_cellFont;
    QFont m_titleFont;
    int m_gap = 2;
    QRect m_titleBox;
    QRect m_grid;
    QRect m_key;
    QRect m_noteBox;
    QString m_note;
    double m_cellWidth = 1;
    double m_cellHeight = 1;
    int m_columnLabelStep = 1;
    CellTexts m_cellTexts = CellTexts::Full;
};

} // namespace pelmor::charts
