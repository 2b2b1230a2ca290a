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

} // namespace

HeatMapRenderer::HeatMapRenderer(const HeatMap& map, QSize size)
    : m_map(map)
    , m_layout(map, size)
{
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
    painter.setPen(QPen(kHatching, std::max(1, m_layout.gap() / 4)));
    const int spacing = std::max(4, m_layout.normalFont().pixelSize() / 2);
    for (int x = box.left() - box.height(); x < box.right() + 1; x += spacing)
        painter.drawLine(x, box.bottom() + 1, x + box.height() + 1, box.top());
    painter.restore();
}

QImage HeatMapRenderer::render() const
{
    return paintedImage(m_layout.size(), [this](QPainter& painter) { paint(painter); });
}

void HeatMapRenderer::paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const QFontMetrics metrics(m_layout.normalFont());
    const int gap = m_layout.gap();
    const QRect& grid = m_layout.gridArea();
    const QRect& key = m_layout.keyArea();
    const int width = m_layout.size().width();
    painter.setPen(kInk);
    if (!m_layout.titleBox().isEmpty()) {
        painter.setFont(m_layout.titleFont());
        painter.drawText(m_layout.titleBox(), Qt::AlignCenter | Qt::TextWordWrap, m_map.title);
    }

    painter.setFont(m_layout.normalFont());
    for (int column = 0; column < m_map.columnLabels.size(); ++column) {
        const QRect box = m_layout.columnLabelBox(column);
        if (!box.isEmpty())
            painter.drawText(box, Qt::AlignCenter, m_map.columnLabels[column]);
    }
    for (int row = 0; row < m_map.rowLabels.size(); ++row)
        painter.drawText(m_layout.rowLabelBox(row), Qt::AlignRight | Qt::AlignVCenter, m_map.rowLabels[row]);

    painter.setFont(m_layout.cellFont());
    for (size_t row = 0; row < m_map.cells.size(); ++row) {
        for (size_t column = 0; column < m_map.cells[row].size(); ++column) {
            const HeatCell& cell = m_map.cells[row][column];
            const QRect box = cellRect(int(row), int(column));
            fillCell(painter, box, cell);
            painter.setPen(kCellEdge);
            painter.drawRect(box.adjusted(0, 0, -1, -1));
            const QString text = m_layout.cellText(cell);
            if (text.isEmpty())
                continue;
            painter.setPen(textColour(cell));
            painter.drawText(box, Qt::AlignCenter, text);
        }
    }

    // The key: the scale bar from 0 at the bottom to the maximum at the top.
    painter.setFont(m_layout.normalFont());
    painter.setPen(kInk);
    painter.drawText(QRect(key.left(), grid.top(), width - key.left(), metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, m_map.scaleTitle);
    const int barWidth = metrics.height();
    for (int y = 0; y < key.height(); ++y) {
        const double value = m_map.scaleMaximum * (1.0 - double(y) / std::max(1, key.height() - 1));
        painter.setPen(scaleColour(value));
        painter.drawLine(key.left(), key.top() + y, key.left() + barWidth - 1, key.top() + y);
    }
    painter.setPen(kInk);
    painter.drawRect(QRect(key.left(), key.top(), barWidth, key.height()).adjusted(0, 0, -1, -1));
    const double step = niceStep(m_map.scaleMaximum, 4.0);
    for (double value = 0; value <= m_map.scaleMaximum + 1e-9; value += step) {
        const int y = key.top() + key.height() - 1 -
                      qRound(value / std::max(1e-9, m_map.scaleMaximum) * (key.height() - 1));
        painter.drawLine(key.left() + barWidth, y, key.left() + barWidth + gap / 2, y);
        painter.drawText(
            QRect(key.left() + barWidth + gap, y - metrics.height() / 2, width, metrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter, HeatMapLayout::scaleValueText(value, m_map.scaleSuffix));
    }
    if (!m_map.notObservedText.isEmpty()) {
        const QRect swatch(key.left(), key.bottom() + metrics.height(), barWidth, metrics.height());
        fillCell(painter, swatch, HeatCell{});
        painter.drawText(QRect(swatch.right() + gap, swatch.top(), width, metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, m_map.notObservedText);
    }
    if (!m_layout.noteBox().isEmpty())
        painter.drawText(m_layout.noteBox(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                         m_layout.note());
    painter.restore();
}

} // namespace pelmor::charts
