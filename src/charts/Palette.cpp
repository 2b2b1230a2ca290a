#include "charts/Palette.h"

#include <array>

namespace pelmor::charts {

QColor paletteColour(int index)
{
    static constexpr std::array<QRgb, kPaletteSize> colours = {
        qRgb(0, 0, 0),       qRgb(0, 0, 128),   qRgb(0, 128, 0),   qRgb(0, 128, 128),
        qRgb(128, 0, 0),     qRgb(128, 0, 128), qRgb(128, 128, 0), qRgb(192, 192, 192),
        qRgb(128, 128, 128), qRgb(0, 0, 255),   qRgb(0, 255, 0),   qRgb(0, 255, 255),
        qRgb(255, 0, 0),     qRgb(255, 0, 255), qRgb(255, 255, 0), qRgb(255, 255, 255),
    };
    if (index < 0 || index >= kPaletteSize)
        return QColor(colours[0]);
    return QColor(colours[static_cast<size_t>(index)]);
}

} // namespace pelmor::charts
