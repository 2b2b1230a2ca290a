#pragma once

#include "reports/PageItems.h"

#include <QFont>
#include <QFontMetricsF>

namespace pelmor::reports {

// The font that measures and paints a font of a page. Its size is given in
// pixels, one pixel to the twip (20 to the point), so its metrics are twips
// on any device and a painter that maps twips to the device draws it at its
// size in points. Hinting is off: glyph advances then scale exactly, and
// what was measured is what is painted.
QFont pageFont(const TextFont& style);

// Measures texts of one page font in twips.
class TextMeasure {
public:
    explicit TextMeasure(const TextFont& style);

    double width(const QString& text) const { return m_metrics.horizontalAdvance(text); }
    double ascent() const { return m_metrics.ascent(); }
    double descent() const { return m_metrics.descent(); }
    // The height of one line of text: from the top of the highest letter
    // of the font to the bottom of the lowest.
    double height() const { return m_metrics.ascent() + m_metrics.descent(); }

private:
    QFontMetricsF m_metrics;
};

} // namespace pelmor::reports
