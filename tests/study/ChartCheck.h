#pragma once

// What a drawn line graph must never do: put a marker's label over a line.
// The lines are followed in half-pixel steps, independently of how the
// renderer decides where a label may stand.
#include "charts/LineGraphRenderer.h"

#include <QLineF>
#include <QString>
#include <QStringList>

#include <cmath>

namespace pelmor::test {

// Every place where a marker's label box covers a point of a line of the
// graph or the line of a marker kept clear of labels (a posted limit);
// empty when none does.
inline QStringList labelsOverLines(const charts::LineGraph& graph, const charts::LineGraphRenderer& renderer)
{
    QStringList found;
    const auto inScale = [&graph](double x) {
        return x >= graph.xMinimum && x <= graph.xMaximum;
    };
    for (size_t label = 0; label < graph.markers.size(); ++label) {
        const QRect box = renderer.markerLabelBox(label);
        if (box.isEmpty())
            continue;
        const QRectF area(box);
        for (size_t s = 0; s < graph.series.size(); ++s) {
            const auto& points = graph.series[s].points;
            for (size_t i = 1; i < points.size(); ++i) {
                if (!inScale(points[i - 1].x) || !inScale(points[i].x))
                    continue;
                const QLineF line(renderer.toPixel(points[i - 1].x, points[i - 1].y),
                                  renderer.toPixel(points[i].x, points[i].y));
                const int steps = std::max(1, int(std::ceil(line.length() * 2)));
                for (int step = 0; step <= steps; ++step) {
                    if (area.contains(line.pointAt(double(step) / steps))) {
                        found << QStringList{graph.markers[label].label, graph.series[s].name}.join(" over ");
                        step = steps;
                        i = points.size() - 1;
                    }
                }
            }
        }
        for (const charts::VerticalMarker& marker : graph.markers) {
            const double x = renderer.toPixel(marker.x, 0).x();
            if ((marker.clearOfLabels || &marker == &graph.markers[label]) && inScale(marker.x) &&
                x >= area.left() && x <= area.right() + 1)
                found << graph.markers[label].label + QStringLiteral(" over the line of ") + marker.label;
        }
    }
    return found;
}

} // namespace pelmor::test
