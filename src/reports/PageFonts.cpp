#include "reports/PageFonts.h"

#include <cmath>

namespace pelmor::reports {

QFont pageFont(const TextFont& style)
{
    QFont font(style.family);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(style.pointSize * kTwipsPerPoint))));
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::ForceOutline);
    return font;
}

TextMeasure::TextMeasure(const TextFont& style)
    : m_metrics(pageFont(style))
{
}

} // namespace pelmor::reports
