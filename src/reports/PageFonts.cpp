#include "reports/PageFonts.h"

#include <cmath>

namespace pelmor::reports {

QFont pageFont(const FontSpec& spec)
{
    QFont font(spec.family);
    font.setPixelSize(std::max(1, static_cast<int>(std::lround(spec.pointSize * kTwipsPerPoint))));
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setUnderline(spec.underline);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::ForceOutline);
    return font;
}

TextMeasure::TextMeasure(const FontSpec& spec)
    : m_metrics(pageFont(spec))
{
}

} // namespace pelmor::reports
