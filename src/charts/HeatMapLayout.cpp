#include "charts/HeatMapLayout.h"

#include "charts/ChartText.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace pelmor::charts {
namespace {

// The height of a text wrapped at word boundaries within a width.
int wrappedHeight(const QFont& font, int width, const QString& text)
{
    if (text.isEmpty())
        return 0;
    return QFontMetrics(font)
        .boundingRect(QRect(0, 0, std::max(1, width), 1 << 20), Qt::TextWordWrap, text)
        .height();
}

} // namespace

QString HeatMapLayout::scaleValueText(double value, const QString& suffix)
{
    return QString::number(qlonglong(std::llround(value))) + suffix;
}

HeatMapLayout::HeatMapLayout(const HeatMap& map, QSize size)
    : m_size(size)
{
    const int width = size.width();
    const int height = size.height();
    const int rows = std::max<int>(1, int(map.rowLabels.size()));
    const int columns = std::max<int>(1, int(map.columnLabels.size()));
    const int normal = std::max(9, qRound(std::min(height / 26.0, width / 60.0)));
    const int margin = std::max(4, qRound(height * 0.025));
    m_gap = std::max(2, normal / 2);
    m_normalFont = chartFont(normal, false);
    m_titleFont = chartFont(qRound(normal * 1.3), true);
    const QFontMetrics metrics(m_normalFont);

    int top = margin;
    if (!map.title.isEmpty()) {
        m_titleBox =
            QRect(margin, top, width - 2 * margin, wrappedHeight(m_titleFont, width - 2 * margin, map.title));
        top += m_titleBox.height() + m_gap;
    }
    int rowLabelWidth = 0;
    for (const QString& label : map.rowLabels)
        rowLabelWidth = std::max(rowLabelWidth, metrics.horizontalAdvance(label));
    // The key: a bar as tall as the grid with its values at its right, and
    // the grey of the cells not observed under it.
    int keyTextWidth = metrics.horizontalAdvance(scaleValueText(map.scaleMaximum, map.scaleSuffix));
    keyTextWidth =
        std::max(keyTextWidth, metrics.horizontalAdvance(map.scaleTitle) - metrics.height() - m_gap);
    keyTextWidth = std::max(keyTextWidth, metrics.horizontalAdvance(map.notObservedText));
    const int keyWidth = metrics.height() + m_gap + keyTextWidth;

    const int gridLeft = margin + rowLabelWidth + m_gap;
    const int gridRight = width - margin - keyWidth - 2 * m_gap;
    m_cellWidth = double(std::max(1, gridRight - gridLeft)) / columns;

    // Every n-th column label, so that each has its width and a gap.
    int labelWidth = 0;
    for (const QString& label : map.columnLabels)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
    m_columnLabelStep = 1;
    while (m_columnLabelStep < columns && m_columnLabelStep * m_cellWidth < labelWidth + m_gap)
        ++m_columnLabelStep;

    // The cell texts in full, short, or not at all: what fits the narrowest
    // cell at the smallest readable size. A tenth of the cell stays clear,
    // so that the numbers of two cells side by side never run together.
    const double room = m_cellWidth - std::max(4.0, m_cellWidth / 10);
    const auto widest = [&map](const QFont& font, CellTexts texts) {
        const QFontMetrics cellMetrics(font);
        int most = 0;
        for (const auto& row : map.cells)
            for (const HeatCell& cell : row) {
                const QString& text =
                    texts == CellTexts::Short && !cell.shortText.isEmpty() ? cell.shortText : cell.text;
                most = std::max(most, cellMetrics.horizontalAdvance(text));
            }
        return most;
    };
    // The smallest readable cell text: 7 pixels on a screen, six tenths of
    // the labels' size on a larger drawing (a printed page).
    const QFont smallest = chartFont(std::max(7, qRound(normal * 0.6)), false);
    m_cellTexts = widest(smallest, CellTexts::Full) <= room    ? CellTexts::Full
                  : widest(smallest, CellTexts::Short) <= room ? CellTexts::Short
                                                               : CellTexts::None;
    m_note = map.note;
    const QString added = m_cellTexts == CellTexts::Short  ? map.shortTextsNote
                          : m_cellTexts == CellTexts::None ? map.textsLeftOutNote
                                                           : QString();
    if (!added.isEmpty())
        m_note += (m_note.isEmpty() ? QString() : QStringLiteral(" ")) + added;

    const int gridTop = top + metrics.height() + m_gap / 2; // under the column labels
    int gridBottom = height - margin;
    if (!m_note.isEmpty()) {
        const int noteWidth = width - margin - gridLeft;
        const int noteHeight = wrappedHeight(m_normalFont, noteWidth, m_note);
        m_noteBox = QRect(gridLeft, gridBottom - noteHeight, noteWidth, noteHeight);
        gridBottom -= noteHeight + m_gap;
    }
    m_cellHeight = double(std::max(1, gridBottom - gridTop)) / rows;
    m_grid = QRect(gridLeft, gridTop, gridRight - gridLeft, gridBottom - gridTop);
    m_key = QRect(gridRight + 2 * m_gap, gridTop + metrics.height() + m_gap, keyWidth,
                  std::max(1, m_grid.height() - 3 * metrics.height() - 2 * m_gap));

    // The cell texts as large as the cells hold them.
    int cellSize = std::min(normal, qRound(m_cellHeight * 0.5));
    m_cellFont = chartFont(cellSize, false);
    while (cellSize > 1 && m_cellTexts != CellTexts::None && widest(m_cellFont, m_cellTexts) > room)
        m_cellFont = chartFont(--cellSize, false);
}

QRect HeatMapLayout::cellRect(int row, int column) const
{
    const int left = m_grid.left() + qRound(column * m_cellWidth);
    const int right = m_grid.left() + qRound((column + 1) * m_cellWidth);
    const int top = m_grid.top() + qRound(row * m_cellHeight);
    const int bottom = m_grid.top() + qRound((row + 1) * m_cellHeight);
    return QRect(left, top, right - left, bottom - top);
}

QRect HeatMapLayout::rowLabelBox(int row) const
{
    const QRect cell = cellRect(row, 0);
    return QRect(0, cell.top(), m_grid.left() - m_gap, cell.height());
}

QRect HeatMapLayout::columnLabelBox(int column) const
{
    if (column % m_columnLabelStep != 0)
        return QRect();
    // As wide as the room the shown labels share, centred over the column.
    const int width = std::max(1, int(m_columnLabelStep * m_cellWidth) - 1);
    const QFontMetrics metrics(m_normalFont);
    const QRect cell = cellRect(0, column);
    return QRect(cell.center().x() - width / 2, m_grid.top() - metrics.height() - m_gap / 2, width,
                 metrics.height());
}

QString HeatMapLayout::cellText(const HeatCell& cell) const
{
    if (!cell.observed || m_cellTexts == CellTexts::None)
        return QString();
    return m_cellTexts == CellTexts::Short && !cell.shortText.isEmpty() ? cell.shortText : cell.text;
}

} // namespace pelmor::charts
