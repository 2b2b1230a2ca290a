#include "charts/LineGraphRenderer.h"

#include "charts/ChartText.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace pelmor::charts {
namespace {

const QColor kInk(0, 0, 0);
const QColor kGridLine(205, 205, 205);
const QColor kGuideLine(120, 120, 120);

QString valueText(double value, const QString& suffix)
{
    // Whole values read without decimals, others with one.
    const bool whole = std::abs(value - std::round(value)) < 1e-9;
    return (whole ? QString::number(qlonglong(std::llround(value))) : QString::number(value, 'f', 1)) +
           suffix;
}

// The ticks of a scale: multiples of the step from the minimum to the maximum.
std::vector<double> ticks(double minimum, double maximum, double step)
{
    std::vector<double> values;
    if (step <= 0)
        return values;
    for (double tick = std::ceil(minimum / step - 1e-9) * step; tick <= maximum + step * 1e-9; tick += step)
        values.push_back(tick);
    return values;
}

} // namespace

LineGraphRenderer::LineGraphRenderer(const LineGraph& graph, QSize size)
    : m_graph(graph)
    , m_size(size)
{
    layOut();
}

void LineGraphRenderer::layOut()
{
    const int width = m_size.width();
    const int height = m_size.height();
    const int normal = std::max(9, qRound(std::min(height / 34.0, width / 48.0)));
    const int margin = std::max(4, qRound(height * 0.025));
    m_gap = std::max(2, normal / 2);
    m_lineWidth = std::max(1, qRound(normal / 8.0));
    m_normalFont = chartFont(normal, false);
    m_titleFont = chartFont(qRound(normal * 1.3), true);
    m_axisTitleFont = chartFont(qRound(normal * 1.1), true);
    const QFontMetrics normalMetrics(m_normalFont);
    const QFontMetrics axisMetrics(m_axisTitleFont);

    int top = margin;
    if (!m_graph.title.isEmpty()) {
        m_titleBox = QRect(margin, top, width - 2 * margin, QFontMetrics(m_titleFont).height());
        top += m_titleBox.height() + m_gap;
    }
    int left = margin;
    if (!m_graph.leftTitle.isEmpty())
        left += axisMetrics.height() + m_gap;
    int tickWidth = 0;
    for (const double tick : ticks(0, m_graph.yMaximum, m_graph.yStep))
        tickWidth = std::max(tickWidth, normalMetrics.horizontalAdvance(valueText(tick, m_graph.ySuffix)));
    left += tickWidth + m_gap + m_gap / 2;

    // The guide values stand at the right of the plot.
    int guideWidth = 0;
    for (const double guide : m_graph.guides)
        guideWidth = std::max(guideWidth, normalMetrics.horizontalAdvance(valueText(guide, m_graph.ySuffix)));
    const int right =
        width - margin - (guideWidth > 0 ? guideWidth + m_gap : normalMetrics.averageCharWidth() * 2);

    int bottom = height - margin;
    if (m_graph.series.size() > 1) {
        m_legendBox = QRect(left, bottom - normalMetrics.height(), right - left, normalMetrics.height());
        bottom -= m_legendBox.height() + m_gap;
    }
    if (!m_graph.bottomTitle.isEmpty()) {
        m_bottomTitleBox = QRect(left, bottom - axisMetrics.height(), right - left, axisMetrics.height());
        bottom -= m_bottomTitleBox.height() + m_gap / 2;
    }
    bottom -= normalMetrics.height() + m_gap / 2; // the x scale's values
    const int plotTop = top + normalMetrics.height() / 2;
    m_plot = QRect(left, plotTop, std::max(1, right - left), std::max(1, bottom - plotTop));
    if (!m_graph.leftTitle.isEmpty())
        m_leftTitleBox = QRect(margin, m_plot.top(), axisMetrics.height(), m_plot.height());

    // Marker labels one under the other from the top of the plot, the
    // rightmost marker's first, each ending at its line: a rising curve
    // leaves the top left of the plot empty. A label with no room left of
    // its line stands right of it.
    m_markerLabels.assign(m_graph.markers.size(), QRect());
    std::vector<size_t> order;
    for (size_t i = 0; i < m_graph.markers.size(); ++i) {
        if (m_graph.markers[i].x >= m_graph.xMinimum && m_graph.markers[i].x <= m_graph.xMaximum)
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return m_graph.markers[a].x > m_graph.markers[b].x; });
    int row = 0;
    for (const size_t index : order) {
        const VerticalMarker& marker = m_graph.markers[index];
        const int x = qRound(toPixel(marker.x, 0).x());
        const int textWidth = normalMetrics.horizontalAdvance(marker.label) + m_gap;
        const int y = m_plot.top() + m_gap + row++ * (normalMetrics.height() + m_gap / 2);
        const bool rightOfLine = x - m_gap - textWidth < m_plot.left();
        m_markerLabels[index] =
            QRect(rightOfLine ? x + m_gap : x - m_gap - textWidth, y, textWidth, normalMetrics.height());
    }
}

QPointF LineGraphRenderer::toPixel(double x, double y) const
{
    const double xSpan = std::max(1e-9, m_graph.xMaximum - m_graph.xMinimum);
    const double ySpan = std::max(1e-9, m_graph.yMaximum);
    return {m_plot.left() + (x - m_graph.xMinimum) / xSpan * m_plot.width(),
            m_plot.top() + m_plot.height() - y / ySpan * m_plot.height()};
}

QRect LineGraphRenderer::markerLabelBox(size_t index) const
{
    return index < m_markerLabels.size() ? m_markerLabels[index] : QRect();
}

QImage LineGraphRenderer::render() const
{
    return paintedImage(m_size, [this](QPainter& painter) { paint(painter); });
}

void LineGraphRenderer::paint(QPainter& painter) const
{
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    paintScales(painter);
    paintLines(painter);
    paintMarkers(painter);
    paintLegend(painter);
    paintTitles(painter);
    painter.restore();
}

void LineGraphRenderer::paintScales(QPainter& painter) const
{
    const QFontMetrics metrics(m_normalFont);
    painter.setFont(m_normalFont);
    const int bottom = m_plot.top() + m_plot.height();
    for (const double tick : ticks(0, m_graph.yMaximum, m_graph.yStep)) {
        const int y = qRound(toPixel(0, tick).y());
        painter.setPen(QPen(kGridLine, 1));
        painter.drawLine(m_plot.left(), y, m_plot.left() + m_plot.width(), y);
        painter.setPen(kInk);
        const QRect box(0, y - metrics.height() / 2, m_plot.left() - m_gap, metrics.height());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, valueText(tick, m_graph.ySuffix));
    }
    for (const double tick : ticks(m_graph.xMinimum, m_graph.xMaximum, m_graph.xStep)) {
        const int x = qRound(toPixel(tick, 0).x());
        painter.setPen(QPen(kGridLine, 1));
        painter.drawLine(x, m_plot.top(), x, bottom);
        painter.setPen(kInk);
        const QString text = valueText(tick, QString());
        const int advance = metrics.horizontalAdvance(text);
        painter.drawText(QRect(x - advance, bottom + m_gap / 2, 2 * advance, metrics.height()),
                         Qt::AlignCenter, text);
    }
    for (const double guide : m_graph.guides) {
        const int y = qRound(toPixel(0, guide).y());
        painter.setPen(QPen(kGuideLine, m_lineWidth, Qt::DotLine));
        painter.drawLine(m_plot.left(), y, m_plot.left() + m_plot.width(), y);
        painter.setPen(kInk);
        painter.drawText(QRect(m_plot.left() + m_plot.width() + m_gap / 2, y - metrics.height() / 2,
                               m_size.width() - m_plot.right(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, valueText(guide, m_graph.ySuffix));
    }
    painter.setPen(QPen(kInk, m_lineWidth));
    painter.drawLine(m_plot.left(), m_plot.top(), m_plot.left(), bottom);
    painter.drawLine(m_plot.left(), bottom, m_plot.left() + m_plot.width(), bottom);
}

void LineGraphRenderer::paintLines(QPainter& painter) const
{
    painter.save();
    painter.setClipRect(m_plot.adjusted(0, -m_lineWidth * 2, 0, m_lineWidth * 2));
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const LineSeries& series : m_graph.series) {
        if (series.points.empty())
            continue;
        QPainterPath path(toPixel(series.points.front().x, series.points.front().y));
        for (size_t i = 1; i < series.points.size(); ++i)
            path.lineTo(toPixel(series.points[i].x, series.points[i].y));
        QPen pen(series.colour, std::max(1.0, m_lineWidth * series.width), series.style);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
    painter.restore();
}

void LineGraphRenderer::paintMarkers(QPainter& painter) const
{
    // Every line first, then the labels on white over them, so no line
    // crosses a label.
    const int bottom = m_plot.top() + m_plot.height();
    for (size_t i = 0; i < m_graph.markers.size(); ++i) {
        const VerticalMarker& marker = m_graph.markers[i];
        if (markerLabelBox(i).isEmpty())
            continue;
        const int x = qRound(toPixel(marker.x, 0).x());
        painter.setPen(QPen(marker.colour, m_lineWidth * 1.5, marker.style));
        painter.drawLine(x, m_plot.top(), x, bottom);
    }
    painter.setFont(m_normalFont);
    for (size_t i = 0; i < m_graph.markers.size(); ++i) {
        const QRect box = markerLabelBox(i);
        if (box.isEmpty())
            continue;
        painter.fillRect(box, Qt::white);
        painter.setPen(m_graph.markers[i].colour);
        painter.drawText(box, Qt::AlignCenter, m_graph.markers[i].label);
    }
}

void LineGraphRenderer::paintLegend(QPainter& painter) const
{
    if (m_legendBox.isEmpty())
        return;
    const QFontMetrics metrics(m_normalFont);
    painter.setFont(m_normalFont);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const int sample = metrics.height() * 2;
    int total = 0;
    for (const LineSeries& series : m_graph.series)
        total += sample + m_gap + metrics.horizontalAdvance(series.name) + 2 * metrics.height();
    int x = m_legendBox.left() + std::max(0, (m_legendBox.width() - total) / 2);
    const int y = m_legendBox.center().y();
    for (const LineSeries& series : m_graph.series) {
        painter.setPen(QPen(series.colour, std::max(1.0, m_lineWidth * series.width), series.style));
        painter.drawLine(x, y, x + sample, y);
        x += sample + m_gap;
        painter.setPen(kInk);
        const int advance = metrics.horizontalAdvance(series.name);
        painter.drawText(QRect(x, m_legendBox.top(), advance + m_gap, m_legendBox.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, series.name);
        x += advance + 2 * metrics.height();
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void LineGraphRenderer::paintTitles(QPainter& painter) const
{
    painter.setPen(kInk);
    if (!m_titleBox.isEmpty()) {
        painter.setFont(m_titleFont);
        painter.drawText(
            m_titleBox, Qt::AlignCenter,
            QFontMetrics(m_titleFont).elidedText(m_graph.title, Qt::ElideRight, m_titleBox.width()));
    }
    painter.setFont(m_axisTitleFont);
    if (!m_bottomTitleBox.isEmpty())
        painter.drawText(m_bottomTitleBox, Qt::AlignCenter, m_graph.bottomTitle);
    if (!m_leftTitleBox.isEmpty()) {
        painter.save();
        painter.translate(m_leftTitleBox.center().x() + 1, m_leftTitleBox.center().y() + 1);
        painter.rotate(-90);
        painter.drawText(QRect(-m_leftTitleBox.height() / 2, -m_leftTitleBox.width() / 2,
                               m_leftTitleBox.height(), m_leftTitleBox.width()),
                         Qt::AlignCenter,
                         QFontMetrics(m_axisTitleFont)
                             .elidedText(m_graph.leftTitle, Qt::ElideRight, m_leftTitleBox.height()));
        painter.restore();
    }
}

} // namespace pelmor::charts
