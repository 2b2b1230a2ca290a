#include "survey/SiteKey.h"

namespace pelmor::survey {

QString siteKey(const QString& location, const QString& direction)
{
    const auto keyOf = [](const QString& text) {
        QString key;
        bool gap = false;
        for (const QChar c : text) {
            if (c.isLetterOrNumber()) {
                if (gap && !key.isEmpty())
                    key += QLatin1Char(' ');
                gap = false;
                key += c.toCaseFolded();
            } else {
                gap = true;
            }
        }
        return key;
    };
    return keyOf(location) + QLatin1Char('|') + keyOf(direction);
}

} // namespace pelmor::survey
