#include "charts/HeatMapRenderer.h"

#include "charts/ChartText.h"
#include "charts/Palette.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace pelmor::charts {
namespace {

const QColor kCellEdge(255, 255, 255);

// Pale yellow, orange, dark red: light to dark in step with the value.
constexpr std::array<std::array<int, 3>, 5> kScale = {{
    {255, 255, 204},
    {254, 217, 118},
    {253, 141, 60},
    {227, 26, 28},
    {128, 0, 38},
}};

// Near white to near black, for a black-and-white printer.
constexpr std::array<std::array<int, 3>, 2> kGreyScale = {{
    {250, 250, 250},
    {35, 35, 35},
}};
const QColor kHatching(110, 110, 110);

QString scaleValueText(double value, const QString& suffix)
{
    return QString::number(qlonglong(std::llround(value))) + suffix;
}

} // namespace

HeatMapRenderer::HeatMapRenderer(const HeatMap& map, QSize size)
    : m_map(map)
    , m_size(size)
{
    layOut();
}

void HeatMapRenderer::layOut()
{
    const int width = m_size.width();
    const int height = m_size.height();
    const int rows = std::max<int>(1, int(m_map.rowLabels.size()));
    const int columns = std::max<int>(1, int(m_map.columnLabels.size()));
    const int normal = std::max(9, qRound(std::min(height / 26.0, width / 60.0)));
    const int margin = std::max(4, qRound(height * 0.025));
    m_gap = std::max(2, normal / 2);
    m_normalFont = chartFont(normal, false);
    m_titleFont = chartFont(qRound(normal * 1.3), true);
    const QFontMetrics metrics(m_normalFont);

    int top = margin;
    if (!m_map.title.isEmpty()) {
        m_titleBox = QRect(margin, top, width - 2 * margin, QFontMetrics(m_titleFont).height());
        top += m_titleBox.height() + m_gap;
    }
    int rowLabelWidth = 0;
    for (const QString& label : m_map.rowLabels)
        rowLabelWidth = std::max(rowLabelWidth, metrics.horizontalAdvance(label));
    // The key: a bar as tall as the grid with its values at its right, and
    // the grey of the cells not observed under it.
    int keyTextWidth = metrics.horizontalAdvance(scaleValueText(m_map.scaleMaximum, m_map.scaleSuffix));
    keyTextWidth =
        std::max(keyTextWidth, metrics.horizontalAdvance(m_map.scaleTitle) - metrics.height() - m_gap);
    keyTextWidth = std::max(keyTextWidth, metrics.horizontalAdvance(m_map.notObservedText));
    const int keyWidth = metrics.height() + m_gap + keyTextWidth;

    const int gridLeft = margin + rowLabelWidth + m_gap;
    const int gridRight = width - margin - keyWidth - 2 * m_gap;
    const int gridTop = top + metrics.height() + m_gap / 2; // under the column labels
    int gridBottom = height - margin;
    if (!m_map.note.isEmpty()) {
        m_noteBox =
            QRect(gridLeft, gridBottom - metrics.height(), width - margin - gridLeft, metrics.height());
        gridBottom -= metrics.height() + m_gap;
    }
    m_cellWidth = double(gridRight - gridLeft) / columns;
    m_cellHeight = double(gridBottom - gridTop) / rows;
    m_grid = QRect(gridLeft, gridTop, gridRight - gridLeft, gridBottom - gridTop);
    m_key = QRect(gridRight + 2 * m_gap, gridTop + metrics.height() + m_gap, keyWidth,
                  std::max(1, m_grid.height() - 3 * metrics.height() - 2 * m_gap));

    // The cell texts as large as the narrowest cell holds the widest text.
    int cellSize = std::min(normal, qRound(m_cellHeight * 0.5));
    const auto widest = [this](const QFont& font) {
        const QFontMetrics cellMetrics(font);
        int most = 0;
        for (const auto& row : m_map.cells)
            for (const HeatCell& cell : row)
                most = std::max(most, cellMetrics.horizontalAdvance(cell.text));
        return most;
    };
    // A tenth of the cell stays clear, so that the numbers of two cells
    // side by side never run together, at any size of the drawing.
    const double room = m_cellWidth - std::max(4.0, m_cellWidth / 10);
    m_cellFont = chartFont(cellSize, false);
    while (cellSize > 6 && widest(m_cellFont) > room)
        m_cellFont = chartFont(--cellSize, false);
}

QRect HeatMapRenderer::cellRect(int row, int column) const
{
    const int left = m_grid.left() + qRound(column * m_cellWidth);
    const int right = m_grid.left() + qRound((column + 1) * m_cellWidth);
    const int top = m_grid.top() + qRound(row * m_cellHeight);
    const int bottom = m_grid.top() + qRound((row + 1) * m_cellHeight);
    return QRect(left, top, right - left, bottom - top);
}

QColor HeatMapRenderer::scaleColour(double value) const
{
    const double share = std::clamp(m_map.scaleMaximum > 0 ? value / m_map.scaleMaximum : 0.0, 0.0, 1.0);
    const auto blendOf = [share](const auto& scale) {
        const double position = share * double(scale.size() - 1);
        const size_t low = std::min(scale.size() - 2, size_t(position));
        const double blend = position - double(low);
        const auto mix = [&](size_t channel) {
            return qRound(scale[low][channel] + blend * (scale[low + 1][channel] - scale[low][channel]));
        };
        return QColor(mix(0), mix(1), mix(2));
    };
    return m_map.greyScale ? blendOf(kGreyScale) : blendOf(kScale);
}

QColor HeatMapRenderer::textColour(const HeatCell& cell) const
{
    return readableInkOn(cellColour(cell));
}

QColor HeatMapRenderer::cellColour(const HeatCell& cell) const
{
    if (!cell.observed)
        return m_map.greyScale ? QColor(Qt::white) : notObservedColour();
    return cell.value ? scaleColour(*cell.value) : QColor(Qt::white);
}

void HeatMapRenderer::fillCell(QPainter& painter, const QRect& box, const HeatCell& cell) const
{
    painter.fillRect(box, cellColour(cell));
    if (!m_map.greyScale || cell.observed)
        return;
    // Hatched with lines drawn one by one, so that they keep their spacing
    // at any scale of the painter.
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setPen(QPen(kHatching, std::max(1, m_gap / 4)));
    const int spacing = std::max(4, m_normalFont.pixelSize() / 2);
    for (int x = box.left() - box.height(); x < box.right() + 1; x += spacing)
        painter.drawLine(x, box.bottom() + 1, x + box.height() + 1, box.top());
    painter.restore();
}

QImage HeatMapRenderer::render() const
{
    return paintedImage(m_size, [this](QPainter& painter) { paint(painter); });
}

void HeatMapRenderer::paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QFontMetrics metrics(m_normalFont);
    painter.setPen(kInk);
    if (!m_titleBox.isEmpty()) {
        painter.setFont(m_titleFont);
        painter.drawText(m_titleBox, Qt::AlignCenter, m_map.title);
    }

    painter.setFont(m_normalFont);
    for (int column = 0; column < m_map.columnLabels.size(); ++column) {
        const QRect cell = cellRect(0, column);
        painter.drawText(QRect(cell.left() - m_gap, m_grid.top() - metrics.height() - m_gap / 2,
                               cell.width() + 2 * m_gap, metrics.height()),
                         Qt::AlignCenter, m_map.columnLabels[column]);
    }
    for (int row = 0; row < m_map.rowLabels.size(); ++row) {
        const QRect cell = cellRect(row, 0);
        painter.drawText(QRect(0, cell.top(), m_grid.left() - m_gap, cell.height()),
                         Qt::AlignRight | Qt::AlignVCenter, m_map.rowLabels[row]);
    }

    painter.setFont(m_cellFont);
    for (size_t row = 0; row < m_map.cells.size(); ++row) {
        for (size_t column = 0; column < m_map.cells[row].size(); ++column) {
            const HeatCell& cell = m_map.cells[row][column];
            const QRect box = cellRect(int(row), int(column));
            fillCell(painter, box, cell);
            painter.setPen(kCellEdge);
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            if (!cell.observed || cell.text.isEmpty())
                continue;
            painter.setPen(textColour(cell));
            painter.drawText(box, Qt::AlignCenter, cell.text);
        }
    }

    // The key: the scale bar from 0 at the bottom to the maximum at the top.
    painter.setFont(m_normalFont);
    painter.setPen(kInk);
    painter.drawText(QRect(m_key.left(), m_grid.top(), m_size.width() - m_key.left(), metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, m_map.scaleTitle);
    const int barWidth = metrics.height();
    for (int y = 0; y < m_key.height(); ++y) {
        const double value = m_map.scaleMaximum * (1.0 - double(y) / std::max(1, m_key.height() - 1));
        painter.setPen(scaleColour(value));
        painter.drawLine(m_key.left(), m_key.top() + y, m_key.left() + barWidth - 1, m_key.top() + y);
    }
    painter.setPen(kInk);
    painter.drawRect(QRect(m_key.left(), m_key.top(), barWidth, m_key.height()).adjusted(0, 0, -1, -1));
    const double step = niceStep(m_map.scaleMaximum, 4.0);
    for (double value = 0; value <= m_map.scaleMaximum + 1e-9; value += step) {
        const int y = m_key.top() + m_key.height() - 1 -
                      qRound(value / std::max(1e-9, m_map.scaleMaximum) * (m_key.height() - 1));
        painter.drawLine(m_key.left() + barWidth, y, m_key.left() + barWidth + m_gap / 2, y);
        painter.drawText(QRect(m_key.left() + barWidth + m_gap, y - metrics.height() / 2, m_size.width(),
                               metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, scaleValueText(value, m_map.scaleSuffix));
    }
    if (!m_map.notObservedText.isEmpty()) {
        const QRect swatch(m_key.left(), m_key.bottom() + metrics.height(), barWidth, metrics.height());
        fillCell(painter, swatch, HeatCell{});
        painter.drawText(QRect(swatch.right() + m_gap, swatch.top(), m_size.width(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, m_map.notObservedText);
    }
    if (!m_noteBox.isEmpty())
        painter.drawText(m_noteBox, Qt::AlignLeft | Qt::AlignVCenter, m_map.note);
    painter.restore();
}

} // namespace pelmor::charts
