#include "charts/BarGraphRenderer.h"

#include "charts/ChartText.h"
#include "charts/Palette.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>

namespace pelmor::charts {
namespace {

const QColor kBarEdge(40, 40, 40);
const QColor kBarGridLine(170, 170, 170);
const QColor kFloor(232, 232, 232);

// The lit top and the shaded side of a 3-D bar. Black and other very dark
// bars get grey faces, or their shape would be lost.
QColor topFace(const QColor& front)
{
    if (front.value() < 64)
        return QColor(110, 110, 110);
    // Pale colours cannot get lighter; their top is a little darker instead.
    const QColor lit = front.lighter(135);
    return lit == QColor(Qt::white) ? front.darker(115) : lit;
}

QColor sideFace(const QColor& front)
{
    return front.value() < 64 ? QColor(70, 70, 70) : front.darker(160);
}

} // namespace

BarGraphRenderer::BarGraphRenderer(const BarGraph& graph, QSize size)
    : m_graph(graph)
    , m_size(size)
{
    chooseScale(0);
    layOut();
    // The scale's labels set where the bars stand, and the bars under the
    // area to keep clear set the scale: a few rounds settle both.
    for (int round = 0; round < 3; ++round) {
        const double wanted = clearingMaximum();
        if (wanted <= m_axisMaximum)
            break;
        chooseScale(wanted);
        layOut();
    }
}

double BarGraphRenderer::clearingMaximum() const
{
    const QRectF& clear = m_graph.keepClear;
    if (clear.isEmpty())
        return 0;
    const QRect area(qRound(clear.left() * m_size.width()), qRound(clear.top() * m_size.height()),
                     qRound(clear.width() * m_size.width()), qRound(clear.height() * m_size.height()));
    const int zero = m_plot.y() + m_plot.height();
    // The room from the zero line up to a little under the area.
    const int room = zero - (area.y() + area.height()) - m_gap - m_depthY;
    if (room <= 0)
        return 0;
    double tallest = 0;
    for (size_t i = 0; i < m_graph.points.size(); ++i) {
        const int left = barCentre(i) - m_barWidth / 2;
        if (left + m_barWidth + m_depthX >= area.x() && left <= area.x() + area.width())
            tallest = std::max(tallest, m_graph.points[i].value);
    }
    return tallest * m_plot.height() / room;
}

void BarGraphRenderer::chooseScale(double atLeast)
{
    double maximum = atLeast;
    for (const BarPoint& point : m_graph.points)
        maximum = std::max(maximum, point.value);
    if (maximum <= 0) {
        m_tickStep = 1;
        m_axisMaximum = 5;
    } else {
        m_tickStep = niceStep(maximum);
        // A little room above the tallest bar, so it never touches the top.
        m_axisMaximum = std::ceil(maximum * 1.04 / m_tickStep) * m_tickStep;
    }
    m_tickTexts.clear();
    for (double tick = 0; tick <= m_axisMaximum + m_tickStep / 2; tick += m_tickStep)
        m_tickTexts.push_back(scaleText(tick));
}

void BarGraphRenderer::layOut()
{
    const int width = m_size.width();
    const int height = m_size.height();
    const int normal = std::max(8, qRound(height / 36.0));
    const int margin = std::max(4, qRound(height * 0.025));
    m_gap = std::max(2, normal / 2);
    m_tickLength = std::max(2, normal / 4);
    m_normalFont = chartFont(normal, false);
    m_labelFont = m_normalFont;
    m_axisTitleFont = chartFont(qRound(normal * m_graph.axisTitleScale), true);

    // The title takes its full size unless that is wider than the image;
    // then the largest size that fits, down to 60 % of the normal text.
    m_title = m_graph.title;
    const int available = width - 2 * margin;
    int titleSize = qRound(normal * m_graph.titleScale);
    m_titleFont = chartFont(titleSize, true);
    while (QFontMetrics(m_titleFont).horizontalAdvance(m_title) > available && titleSize > normal * 0.6)
        m_titleFont = chartFont(--titleSize, true);
    m_title = QFontMetrics(m_titleFont).elidedText(m_title, Qt::ElideRight, available);

    int top = margin;
    if (!m_title.isEmpty()) {
        const int titleHeight = QFontMetrics(m_titleFont).height();
        m_titleBox = QRect(margin, top, available, titleHeight);
        top += titleHeight + 2 * m_gap;
    }

    const QFontMetrics normalMetrics(m_normalFont);
    const QFontMetrics axisTitleMetrics(m_axisTitleFont);
    int left = margin;
    if (!m_graph.leftTitle.isEmpty())
        left += axisTitleMetrics.height() + m_gap;
    int tickWidth = 0;
    for (const QString& text : m_tickTexts)
        tickWidth = std::max(tickWidth, normalMetrics.horizontalAdvance(text));
    left += tickWidth + m_gap + m_tickLength;

    // The widest label shown, in a font.
    const auto widestIn = [this](const QFont& font) {
        const QFontMetrics metrics(font);
        int widest = 0;
        for (size_t i = 0; i < m_graph.points.size(); ++i) {
            if (m_graph.showsLabel(i))
                widest = std::max(widest, metrics.horizontalAdvance(m_graph.points[i].label));
        }
        return widest;
    };
    // Room at the right for half of the last label.
    const int right = width - std::max(margin, widestIn(m_normalFont) / 2 + m_gap);
    const auto count = static_cast<double>(std::max<size_t>(1, m_graph.points.size()));
    if (m_graph.style == BarStyle::ThreeD) {
        const double firstSlot = (right - left) / count;
        m_depthX = std::clamp(qRound(firstSlot * 0.3), 2, qRound(height * 0.025));
        m_depthY = qRound(m_depthX * 0.8);
    }
    const int plotWidth = std::max(1, right - m_depthX - left);
    m_slot = plotWidth / count;
    const double barShare = m_graph.style == BarStyle::ThreeD ? 0.6 : 0.72;
    m_barWidth = std::max(1, static_cast<int>(m_slot * barShare));

    // Labels too wide for their spacing get a smaller font, then turn on
    // their side, smaller still when even then they would touch.
    const double spacing = m_slot * std::max(1, m_graph.labelEvery);
    m_labelWidth = widestIn(m_labelFont);
    if (m_labelWidth > spacing * 0.85) {
        m_labelFont = chartFont(qRound(normal * 0.8), false);
        m_labelWidth = widestIn(m_labelFont);
        m_labelsRotated = m_labelWidth > spacing * 0.85;
    }
    // On their side, labels stand as close as their line height allows.
    int labelSize = m_labelFont.pixelSize();
    while (m_labelsRotated && QFontMetrics(m_labelFont).height() > spacing * 0.95 && labelSize > 6)
        m_labelFont = chartFont(--labelSize, false);
    m_labelWidth = widestIn(m_labelFont);
    const int labelHeight = m_labelsRotated ? m_labelWidth : QFontMetrics(m_labelFont).height();

    int bottom = height - margin;
    if (!m_graph.bottomTitle.isEmpty()) {
        const int titleHeight = axisTitleMetrics.height();
        m_bottomTitleBox = QRect(left, bottom - titleHeight, plotWidth, titleHeight);
        bottom -= titleHeight + m_gap;
    }
    bottom -= labelHeight + m_gap;
    m_labelTop = bottom + m_gap;

    // Half a line above the top of the scale, for its label.
    const int plotTop = top + normalMetrics.height() / 2 + m_depthY;
    m_plot = QRect(left, plotTop, plotWidth, std::max(1, bottom - plotTop));
    if (!m_graph.leftTitle.isEmpty())
        m_leftTitleBox = QRect(margin, m_plot.top(), axisTitleMetrics.height(), m_plot.height());
}

int BarGraphRenderer::valueToY(double value) const
{
    const int zero = m_plot.y() + m_plot.height();
    return zero - qRound(value / m_axisMaximum * m_plot.height());
}

int BarGraphRenderer::barCentre(size_t index) const
{
    return qRound(m_plot.x() + m_slot * (static_cast<double>(index) + 0.5));
}

QRect BarGraphRenderer::barFront(size_t index) const
{
    if (index >= m_graph.points.size() || !(m_graph.points[index].value > 0))
        return QRect();
    const int zero = m_plot.y() + m_plot.height();
    // Even the smallest count shows as a sliver.
    const int top = std::min(valueToY(m_graph.points[index].value), zero - 1);
    const int left = barCentre(index) - m_barWidth / 2;
    return QRect(left, top, m_barWidth, zero - top);
}

QRect BarGraphRenderer::labelBox(size_t index) const
{
    if (index >= m_graph.points.size() || !m_graph.showsLabel(index))
        return QRect();
    const QFontMetrics metrics(m_labelFont);
    const int advance = metrics.horizontalAdvance(m_graph.points[index].label);
    const int centre = barCentre(index);
    if (m_labelsRotated)
        return QRect(centre - metrics.height() / 2, m_labelTop, metrics.height(), advance);
    return QRect(centre - advance / 2, m_labelTop, advance, metrics.height());
}

QImage BarGraphRenderer::render() const
{
    return paintedImage(m_size, [this](QPainter& painter) { paint(painter); });
}

void BarGraphRenderer::paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    paintWalls(painter);
    paintScale(painter);
    paintBars(painter);
    paintLabels(painter);
    paintTitles(painter);
    painter.restore();
}

void BarGraphRenderer::paintWalls(QPainter& painter) const
{
    const int zero = m_plot.y() + m_plot.height();
    const int lineWidth = std::max(1, m_size.height() / 600);
    if (m_graph.style == BarStyle::ThreeD) {
        // The floor the bars stand on, and the back wall's outline.
        painter.setRenderHint(QPainter::Antialiasing, true);
        const QPolygon floor({QPoint(m_plot.left(), zero), QPoint(m_plot.left() + m_depthX, zero - m_depthY),
                              QPoint(m_plot.x() + m_plot.width() + m_depthX, zero - m_depthY),
                              QPoint(m_plot.x() + m_plot.width(), zero)});
        painter.setPen(QPen(kBarGridLine, lineWidth));
        painter.setBrush(kFloor);
        painter.drawPolygon(floor);
        painter.setBrush(Qt::NoBrush);
        painter.drawLine(m_plot.left() + m_depthX, zero - m_depthY, m_plot.left() + m_depthX,
                         m_plot.top() - m_depthY);
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    if (!m_graph.horizontalGrid)
        return;
    painter.setPen(QPen(kBarGridLine, lineWidth));
    painter.setRenderHint(QPainter::Antialiasing, m_depthX > 0);
    for (size_t i = 1; i < m_tickTexts.size(); ++i) {
        const int y = valueToY(m_tickStep * static_cast<double>(i));
        if (m_depthX > 0) {
            // On the back wall, joined to the scale across the side wall.
            painter.drawLine(m_plot.left(), y, m_plot.left() + m_depthX, y - m_depthY);
            painter.drawLine(m_plot.left() + m_depthX, y - m_depthY, m_plot.x() + m_plot.width() + m_depthX,
                             y - m_depthY);
        } else {
            painter.drawLine(m_plot.left(), y, m_plot.x() + m_plot.width(), y);
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void BarGraphRenderer::paintScale(QPainter& painter) const
{
    const int zero = m_plot.y() + m_plot.height();
    const int axisWidth = std::max(1, m_size.height() / 400);
    painter.setPen(QPen(kInk, axisWidth));
    painter.drawLine(m_plot.left(), m_plot.top(), m_plot.left(), zero);
    painter.drawLine(m_plot.left(), zero, m_plot.x() + m_plot.width(), zero);

    painter.setFont(m_normalFont);
    const QFontMetrics metrics(m_normalFont);
    for (size_t i = 0; i < m_tickTexts.size(); ++i) {
        const int y = valueToY(m_tickStep * static_cast<double>(i));
        painter.drawLine(m_plot.left() - m_tickLength, y, m_plot.left(), y);
        const QRect box(0, y - metrics.height() / 2, m_plot.left() - m_tickLength - m_gap, metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, m_tickTexts[i]);
    }
}

void BarGraphRenderer::paintBars(QPainter& painter) const
{
    // Thin bars show their colour alone; an edge would hide it.
    const bool edged = m_barWidth >= 6;
    for (size_t i = 0; i < m_graph.points.size(); ++i) {
        const QRect front = barFront(i);
        if (front.isEmpty())
            continue;
        const QColor colour = paletteColour(m_graph.points[i].paletteIndex);
        if (m_depthX > 0) {
            const QPoint topLeft = front.topLeft();
            const QPoint topRight(front.x() + front.width(), front.y());
            const QPoint bottomRight(front.x() + front.width(), front.y() + front.height());
            const QPoint depth(m_depthX, -m_depthY);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(edged ? QPen(kBarEdge, 1) : Qt::NoPen);
            painter.setBrush(topFace(colour));
            painter.drawPolygon(QPolygon({topLeft, topLeft + depth, topRight + depth, topRight}));
            painter.setBrush(sideFace(colour));
            painter.drawPolygon(QPolygon({topRight, topRight + depth, bottomRight + depth, bottomRight}));
            painter.setRenderHint(QPainter::Antialiasing, false);
        }
        painter.fillRect(front, colour);
        if (edged) {
            painter.setPen(QPen(kBarEdge, 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(front.adjusted(0, 0, -1, -1));
        }
    }
}

void BarGraphRenderer::paintLabels(QPainter& painter) const
{
    painter.setPen(kInk);
    painter.setFont(m_labelFont);
    for (size_t i = 0; i < m_graph.points.size(); ++i) {
        const QRect box = labelBox(i);
        if (box.isEmpty())
            continue;
        if (!m_labelsRotated) {
            painter.drawText(box, Qt::AlignCenter, m_graph.points[i].label);
            continue;
        }
        // Reading upwards, ending just under the axis.
        painter.save();
        painter.translate(box.center().x(), box.top());
        painter.rotate(-90);
        painter.drawText(QRect(-box.height(), -box.width() / 2, box.height(), box.width()),
                         Qt::AlignRight | Qt::AlignVCenter, m_graph.points[i].label);
        painter.restore();
    }
}

void BarGraphRenderer::paintTitles(QPainter& painter) const
{
    painter.setPen(kInk);
    if (!m_titleBox.isEmpty()) {
        painter.setFont(m_titleFont);
        painter.drawText(m_titleBox, Qt::AlignCenter, m_title);
    }
    painter.setFont(m_axisTitleFont);
    if (!m_bottomTitleBox.isEmpty())
        painter.drawText(m_bottomTitleBox, Qt::AlignCenter, m_graph.bottomTitle);
    if (!m_leftTitleBox.isEmpty()) {
        painter.save();
        painter.translate(m_leftTitleBox.center().x() + 1, m_leftTitleBox.center().y() + 1);
        painter.rotate(-90);
        const QRect box(-m_leftTitleBox.height() / 2, -m_leftTitleBox.width() / 2, m_leftTitleBox.height(),
                        m_leftTitleBox.width());
        painter.drawText(box, Qt::AlignCenter, m_graph.leftTitle);
        painter.restore();
    }
}

} // namespace pelmor::charts
