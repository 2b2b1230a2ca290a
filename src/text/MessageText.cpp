#include "text/MessageText.h"

#include "text/Formats.h"

namespace pelmor::text {

qsizetype characterCount(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // The second half of a surrogate pair belongs to the first.
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++count;
    }
    return count;
}

QString quotedValue(QStringView value, qsizetype keep)
{
    // Only the start is walked for the cut: counting the whole text is left
    // for a value that is cut.
    qsizetype end = 0;
    for (qsizetype kept = 0; end < value.size() && kept < keep; ++kept)
        end +=
            value[end].isHighSurrogate() && end + 1 < value.size() && value[end + 1].isLowSurrogate() ? 2 : 1;
    if (end == value.size())
        return QLatin1Char('"') + value.toString() + QLatin1Char('"');
    return QStringLiteral("\"%1\u2026\" (%2 characters)")
        .arg(value.first(end), formatCount(characterCount(value)));
}

} // namespace pelmor::text
