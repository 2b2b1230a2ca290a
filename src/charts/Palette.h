#pragma once

#include <QColor>

namespace pelmor::charts {

// The standard 16-colour palette by index: 0 black, 1 blue, 2 green, 3 cyan,
// 4 red, 5 magenta, 6 brown, 7 light grey, 8 dark grey, 9 light blue,
// 10 light green, 11 light cyan, 12 light red, 13 light magenta, 14 yellow,
// 15 white. An index outside 0..15 gives black.
QColor paletteColour(int index);

inline constexpr int kPaletteSize = 16;

// The ink of every chart's text, axes and outlines.
inline const QColor kInk(0, 0, 0);

// The contrast ratio of two colours as screen readability is judged, from
// 1 (alike) to 21 (black on white): the lighter colour's relative luminance
// plus 0.05 over the darker one's plus 0.05. Text wants 4.5 at least.
double contrastRatio(const QColor& first, const QColor& second);

// Black or white, whichever stands out more on the background; one of the
// two always reaches a contrast of 4.5.
QColor readableInkOn(const QColor& background);

} // namespace pelmor::charts
