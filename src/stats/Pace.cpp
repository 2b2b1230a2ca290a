#include "stats/Pace.h"

#include "text/Formats.h"

#include <cmath>

namespace pelmor::stats {

double numberFromText(const QString& text, const char* what)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        throw StatisticsError(
            QStringLiteral("The %1 \"%2\" is not a number.").arg(QLatin1String(what), text));
    return number;
}

PaceWindow paceWindow(double averageSpeed, const QString& unit)
{
    double halfWidth = 0;
    if (unit == QLatin1String("MPH"))
        halfWidth = 5;
    else if (unit == QLatin1String("KPH"))
        halfWidth = 10;
    else
        throw StatisticsError(QStringLiteral("The unit \"%1\" is neither MPH nor KPH.").arg(unit));
    // The high bound is the low bound's unrounded value plus the full width.
    const double low = averageSpeed - halfWidth;
    const double high = low + 2 * halfWidth;
    PaceWindow window;
    window.low = text::formatOneDecimal(low);
    window.high = text::formatOneDecimal(high);
    window.lowBound = numberFromText(window.low, "pace low bound");
    window.highBound = numberFromText(window.high, "pace high bound");
    return window;
}

QString pacePercent(qint64 inPace, qint64 total)
{
    if (total <= 0)
        throw StatisticsError(QStringLiteral("There are no vehicles to take a share of."));
    return text::formatWhole(double(inPace) / double(total) * 100.0) + QStringLiteral(" %");
}

QString percentile85(const QString& averageSpeedText)
{
    if (averageSpeedText.isEmpty())
        throw StatisticsError(QStringLiteral("There is no average speed."));
    const double product = numberFromText(averageSpeedText, "average speed") * 1.175;
    if (!std::isfinite(product))
        throw StatisticsError(QStringLiteral("The 85th percentile speed is out of range."));
    return text::formatWhole(product);
}

} // namespace pelmor::stats
