#pragma once

#include <QColor>

namespace pelmor::charts {

// The standard 16-colour palette by index: 0 black, 1 blue, 2 green, 3 cyan,
// 4 red, 5 magenta, 6 brown, 7 light grey, 8 dark grey, 9 light blue,
// 10 light green, 11 light cyan, 12 light red, 13 light magenta, 14 yellow,
// 15 white. An index outside 0..15 gives black.
QColor paletteColour(int index);

inline constexpr int kPaletteSize = 16;

} // namespace pelmor::charts
