#include "charts/LineGraphRenderer.h"

#include "charts/ChartText.h"
#include "charts/Palette.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <utility>

namespace pelmor::charts {
namespace {

const QColor kGridLine(205, 205, 205);
const QColor kGuideLine(120, 120, 120);

QString valueText(double value, const QString& suffix)
{
    // Whole values read without decimals and with thousands separators
    // (40,000 vehicles a day), others with one decimal.
    const bool whole = std::abs(value - std::round(value)) < 1e-9;
    return (whole ? scaleText(value) : QString::number(value, 'f', 1)) + suffix;
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

// Whether a straight line from a to b passes through a box.
bool lineMeetsBox(const QPointF& a, const QPointF& b, const QRectF& box)
{
    if (box.contains(a) || box.contains(b))
        return true;
    const QLineF line(a, b);
    const QLineF edges[] = {{box.topLeft(), box.topRight()},
                            {box.topRight(), box.bottomRight()},
                            {box.bottomRight(), box.bottomLeft()},
                            {box.bottomLeft(), box.topLeft()}};
    for (const QLineF& edge : edges) {
        if (line.intersects(edge, nullptr) == QLineF::BoundedIntersection)
            return true;
    }
    return false;
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

    placeMarkerLabels();
}

std::vector<std::vector<QPointF>> LineGraphRenderer::visibleLines() const
{
    // Each line cut where it leaves the x scale, so that a point far beyond
    // it (a speed of millions) never reaches the painter.
    std::vector<std::vector<QPointF>> lines;
    const double low = m_graph.xMinimum;
    const double high = m_graph.xMaximum;
    const auto cut = [](const LinePoint& from, const LinePoint& to, double x) {
        const double share = (x - from.x) / (to.x - from.x);
        return LinePoint{x, from.y + share * (to.y - from.y)};
    };
    for (const LineSeries& series : m_graph.series) {
        std::vector<QPointF> line;
        for (size_t i = 0; i < series.points.size(); ++i) {
            const LinePoint& point = series.points[i];
            if (point.x >= low && point.x <= high) {
                line.push_back(toPixel(point.x, point.y));
                continue;
            }
            // Where the line crosses into or out of the scale.
            if (i > 0) {
                const LinePoint& before = series.points[i - 1];
                if (before.x >= low && before.x <= high) {
                    const LinePoint edge = cut(before, point, point.x < low ? low : high);
                    line.push_back(toPixel(edge.x, edge.y));
                } else if ((before.x < low && point.x > high) || (before.x > high && point.x < low)) {
                    const LinePoint in = cut(before, point, before.x < low ? low : high);
                    const LinePoint out = cut(before, point, point.x > high ? high : low);
                    line.push_back(toPixel(in.x, in.y));
                    line.push_back(toPixel(out.x, out.y));
                }
            }
            if (i + 1 < series.points.size()) {
                const LinePoint& after = series.points[i + 1];
                if (after.x >= low && after.x <= high) {
                    const LinePoint edge = cut(point, after, point.x < low ? low : high);
                    line.push_back(toPixel(edge.x, edge.y));
                }
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void LineGraphRenderer::placeMarkerLabels()
{
    // Each label beside its line, left of it where there is room (a rising
    // curve leaves the top left of the plot empty), else right of it, as
    // high in the plot as it can stand without touching a line of the
    // graph, a line that must stay clear, or a label placed before it; the
    // rightmost marker's label first. Where there is no such place for the
    // label on one line, it is broken over two, three or four. Only where the
    // markers stand too close for any of that, a label covers the line of
    // another marker that need not stay clear, or a dotted guide.
    const QFontMetrics metrics(m_normalFont);
    m_markerLabels.assign(m_graph.markers.size(), QRect());
    m_markerTexts.assign(m_graph.markers.size(), QString());
    std::vector<size_t> order;
    for (size_t i = 0; i < m_graph.markers.size(); ++i) {
        if (m_graph.markers[i].x >= m_graph.xMinimum && m_graph.markers[i].x <= m_graph.xMaximum)
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [this](size_t a, size_t b) { return m_graph.markers[a].x > m_graph.markers[b].x; });
    const std::vector<std::vector<QPointF>> lines = visibleLines();
    // Room kept between a label and a line: the widest line's half and a bit.
    double widest = 1;
    for (const LineSeries& series : m_graph.series)
        widest = std::max(widest, series.width);
    const double clearance = m_lineWidth * std::max(1.5, widest) / 2 + 2;
    // How much a label must keep off: 0 every line, the guides too; 1 every
    // line but the guides; 2 the lines of the graph and those that must
    // stay clear.
    const auto isFree = [&](const QRect& box, size_t self, int level) {
        if (box.left() < m_plot.left() || box.right() > m_plot.right() || box.bottom() > m_plot.bottom())
            return false;
        const QRectF padded = QRectF(box).adjusted(-clearance, -clearance, clearance, clearance);
        for (const size_t other : order) {
            const int x = qRound(toPixel(m_graph.markers[other].x, 0).x());
            const bool keptClear = level < 2 || other == self || m_graph.markers[other].clearOfLabels;
            if (keptClear && x >= padded.left() && x <= padded.right())
                return false;
            if (other != self && m_markerLabels[other].intersects(padded.toAlignedRect()))
                return false;
        }
        if (level == 0) {
            for (const double guide : m_graph.guides) {
                const double y = toPixel(0, guide).y();
                if (y >= padded.top() && y <= padded.bottom())
                    return false;
            }
        }
        for (const std::vector<QPointF>& line : lines) {
            for (size_t i = 1; i < line.size(); ++i) {
                if (lineMeetsBox(line[i - 1], line[i], padded))
                    return false;
            }
            if (line.size() == 1 && padded.contains(line.front()))
                return false;
        }
        return true;
    };
    const int step = std::max(1, metrics.height() / 4);
    const int lineGap = int(std::ceil(clearance)) + 1;
    for (const size_t index : order) {
        const VerticalMarker& marker = m_graph.markers[index];
        const int x = qRound(toPixel(marker.x, 0).x());
        // The places tried: on one line of text, then on two, three and
        // four, keeping off every line; a guide is crossed before a label is
        // broken. Then on one to four lines again, keeping off only the
        // lines that must stay clear.
        static constexpr std::pair<int, int> kTries[] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1},
                                                         {4, 0}, {4, 1}, {1, 2}, {2, 2}, {3, 2}, {4, 2}};
        QRect chosen;
        QString text;
        for (const auto& [lineCount, level] : kTries) {
            const QString broken = brokenText(marker.label, lineCount, metrics);
            int width = 0;
            for (const QString& part : broken.split(QLatin1Char('\n')))
                width = std::max(width, metrics.horizontalAdvance(part));
            width += m_gap;
            const int height = metrics.height() * int(broken.count(QLatin1Char('\n')) + 1);
            for (int y = m_plot.top() + m_gap; chosen.isNull() && y + height <= m_plot.bottom(); y += step) {
                for (const int left : {x - lineGap - width, x + lineGap}) {
                    const QRect box(left, y, width, height);
                    if (isFree(box, index, level)) {
                        chosen = box;
                        text = broken;
                        break;
                    }
                }
            }
            if (!chosen.isNull())
                break;
        }
        if (chosen.isNull()) {
            // Nowhere clear: at the top, beside the line, where it fits.
            const int width = metrics.horizontalAdvance(marker.label) + m_gap;
            const bool rightOfLine = x - m_gap - width < m_plot.left();
            chosen = QRect(rightOfLine ? x + m_gap : x - m_gap - width, m_plot.top() + m_gap, width,
                           metrics.height());
            text = marker.label;
        }
        m_markerLabels[index] = chosen;
        m_markerTexts[index] = text;
    }
}

QString LineGraphRenderer::brokenText(const QString& text, int lineCount, const QFontMetrics& metrics)
{
    // Of every way to break the words into that many lines (a cut or none
    // after each word but the last), the one whose widest line is the
    // narrowest. A label has a handful of words.
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const qsizetype gaps = words.size() - 1;
    if (lineCount <= 1 || gaps < lineCount - 1 || gaps > 16)
        return text;
    QString best = text;
    int narrowest = metrics.horizontalAdvance(text);
    for (quint32 cuts = 0; cuts < (1u << gaps); ++cuts) {
        if (qPopulationCount(cuts) != uint(lineCount - 1))
            continue;
        QStringList lines{words.front()};
        for (qsizetype i = 1; i < words.size(); ++i) {
            if (cuts & (1u << (i - 1)))
                lines << words[i];
            else
                lines.back() += QLatin1Char(' ') + words[i];
        }
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (widest < narrowest) {
            narrowest = widest;
            best = lines.join(QLatin1Char('\n'));
        }
    }
    return best;
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
    const std::vector<std::vector<QPointF>> lines = visibleLines();
    for (size_t index = 0; index < m_graph.series.size(); ++index) {
        const LineSeries& series = m_graph.series[index];
        const std::vector<QPointF>& line = lines[index];
        if (line.empty())
            continue;
        QPainterPath path(line.front());
        for (size_t i = 1; i < line.size(); ++i)
            path.lineTo(line[i]);
        QPen pen(series.colour, std::max(1.0, m_lineWidth * series.width), series.style);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
        if (!series.markPoints)
            continue;
        const double radius = std::max(2.0, 1.6 * m_lineWidth * series.width);
        painter.setPen(Qt::NoPen);
        painter.setBrush(series.colour);
        for (const LinePoint& point : series.points) {
            if (point.x >= m_graph.xMinimum && point.x <= m_graph.xMaximum)
                painter.drawEllipse(toPixel(point.x, point.y), radius, radius);
        }
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
        painter.drawText(box, Qt::AlignCenter, m_markerTexts[i]);
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
