#include "study/StudyText.h"

#include "text/Formats.h"

namespace pelmor::study {

QString formatCount(qint64 count)
{
    return text::formatCount(count);
}

QString formatDecimal(double value)
{
    const double rounded = text::roundHalfAwayFromZero(value, 1);
    // -0.04 rounds to -0.0, which reads as 0.0.
    return QString::number(rounded == 0.0 ? 0.0 : rounded, 'f', 1);
}

QString formatPercent(double percent)
{
    if (percent > 0 && percent < 0.05)
        return QStringLiteral("< 0.1 %");
    return formatDecimal(percent) + QStringLiteral(" %");
}

QString formatCountAndPercent(qint64 count, double percent)
{
    return QStringLiteral("%1 (%2)").arg(formatCount(count), formatPercent(percent));
}

QString formatDuration(qint64 minutes)
{
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(text::format00(minutes % 60));
}

QString formatLength(qint64 minutes)
{
    const qint64 days = minutes / (24 * 60);
    return QStringLiteral("%1 %2, %3")
        .arg(days)
        .arg(days == 1 ? QStringLiteral("day") : QStringLiteral("days"), formatDuration(minutes % (24 * 60)));
}

QString formatDay(const QDate& date)
{
    static const char* const names[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    return QLatin1String(names[date.dayOfWeek() - 1]) + QLatin1Char(' ') + text::formatDateMdy(date);
}

} // namespace pelmor::study
