#include "db/SqlText.h"

#include "db/DbError.h"
#include "db/FieldValues.h"

namespace pelmor::db {

QString escapeText(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return escaped;
}

QString translateStatement(const QString& statement)
{
    if (!statement.contains(QLatin1Char('#')))
        return statement;

    QString out;
    out.reserve(statement.size() + 16);
    qsizetype i = 0;
    const qsizetype n = statement.size();
    while (i < n) {
        const QChar c = statement[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            // Copy a quoted text or a bracketed name as it stands.
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            qsizetype end = statement.indexOf(close, i + 1);
            end = end < 0 ? n : end + 1;
            out += QStringView(statement).mid(i, end - i);
            i = end;
            continue;
        }
        if (c != QLatin1Char('#')) {
            out += c;
            ++i;
            continue;
        }
        const qsizetype end = statement.indexOf(QLatin1Char('#'), i + 1);
        if (end < 0)
            throw DbError(
                QStringLiteral("A date or time literal is not closed by '#' in: %1").arg(statement));
        const QStringView literal = QStringView(statement).mid(i + 1, end - i - 1).trimmed();
        const QString stored = storedDateTimeLiteral(literal);
        out += QLatin1Char('\'') + stored + QLatin1Char('\'');
        i = end + 1;
    }
    return out;
}

} // namespace pelmor::db
