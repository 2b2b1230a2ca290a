#pragma once

#include <QColor>
#include <QString>

#include <vector>

namespace pelmor::charts {

struct LinePoint {
    double x = 0;
    double y = 0;
};

// A line through points in order of x.
struct LineSeries {
    QString name; // shown in the legend when the graph has more than one line
    std::vector<LinePoint> points;
    QColor colour = Qt::black;
    double width = 1.0; // relative to the graph's normal line
    Qt::PenStyle style = Qt::SolidLine;
    // A dot at each point, for lines of a few points (a line of one point
    // shows as its dot alone).
    bool markPoints = false;
};

// A vertical line across the plot at x, with its label beside it.
struct VerticalMarker {
    double x = 0;
    QString label;
    QColor colour = Qt::black;
    Qt::PenStyle style = Qt::DashLine;
    // No label of the graph may stand over this line (a posted limit); the
    // labels keep off the other markers' lines where they can.
    bool clearOfLabels = false;
};

// Everything a line graph shows: lines over a numeric x scale and a fixed y
// scale, vertical markers, and dotted horizontal guide lines (with their
// value at the right) at chosen heights.
struct LineGraph {
    std::vector<LineSeries> series;
    std::vector<VerticalMarker> markers;
    std::vector<double> guides;
    double xMinimum = 0;
    double xMaximum = 100;
    double xStep = 10; // between the labelled ticks of the x scale
    double yMaximum = 100;
    double yStep = 10;
    QString ySuffix; // after each value of the y scale, e.g. " %"
    QString title;
    QString leftTitle;
    QString bottomTitle;
};

} // namespace pelmor::charts
