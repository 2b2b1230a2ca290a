#pragma once

#include <QRectF>
#include <QString>

#include <vector>

namespace pelmor::charts {

// One bar: its height, the text that may stand under it and its colour as an
// index into the 16-colour palette (see Palette.h).
struct BarPoint {
    double value = 0;
    QString label;
    int paletteIndex = 0;
};

enum class BarStyle { Flat, ThreeD };

// Everything a bar graph shows. The renderer draws it; the procedures that
// build it from a survey are tested on this model alone.
struct BarGraph {
    std::vector<BarPoint> points;
    BarStyle style = BarStyle::Flat;
    // Labels stand under every n-th bar only: bars n, 2n, 3n ... (counted
    // from 1). The other bars carry their label text but do not show it.
    int labelEvery = 1;
    QString title;
    QString leftTitle;   // along the vertical axis
    QString bottomTitle; // under the horizontal axis
    // Sizes relative to the normal text of the graph (1.0).
    double titleScale = 1.0;
    double axisTitleScale = 1.0;
    bool horizontalGrid = false;
    // A part of the image, in fractions of its width and height from the
    // top left corner, that no bar reaches into: something is laid over it
    // there. The scale goes as high as it takes for the bars under it to
    // end below it. Empty: the bars may reach the top of the scale anywhere.
    QRectF keepClear;

    // Whether the label of the bar at `index` (from 0) is shown.
    bool showsLabel(size_t index) const { return labelEvery > 0 && (index + 1) % labelEvery == 0; }
};

} // namespace pelmor::charts
