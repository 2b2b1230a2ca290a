#include "stats/Pace.h"

#include "text/Formats.h"
#include "text/MessageText.h"

#include <cmath>

namespace pelmor::stats {

double numberFromText(const QString& text, const char* what)
{
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number))
        throw StatisticsError(
            QStringLiteral("The %1 %2 is not a number.").arg(QLatin1String(what), text::quotedValue(text)));
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
        throw StatisticsError(
            QStringLiteral("The unit %1 is neither MPH nor KPH.").arg(text::quotedValue(unit)));
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

QString estimatedPaceNote(const survey::SurveyRecord& survey)
{
    const bool kph = survey.isKph();
    QString note =
        QStringLiteral("The Pace Low Speed and Pace High Speed beside this button are estimated, as "
                       "the sign's reports give them: the average speed less and plus %1, not "
                       "counted from the vehicles.")
            .arg(kph ? QStringLiteral("10 km/h") : QStringLiteral("5 mph"));
    const survey::SummaryRow& figures = survey.summary;
    if (survey.hasSummary && !figures.paceLow.isEmpty() && !figures.averageSpeed.isEmpty())
        note += QStringLiteral(" For survey %1: %2 to %3 %4 around the average speed of %5 %4.")
                    .arg(survey.batchNumber, figures.paceLow.trimmed(), figures.paceHigh.trimmed(),
                         survey.header.radarMode, figures.averageSpeed.trimmed());
    return note + QStringLiteral(" The measured pace, the %1 window that holds the most vehicles, is on "
                                 "the Speed Study tab.")
                      .arg(kph ? QStringLiteral("16 km/h") : QStringLiteral("10 mph"));
}

QString estimatedPercentileNote(const survey::SurveyRecord& survey)
{
    QString note = QStringLiteral("The 85th Percentile beside this button is estimated, as the sign's "
                                  "reports give it: the average speed times 1.175, not counted from the "
                                  "vehicles.");
    const survey::SummaryRow& figures = survey.summary;
    if (survey.hasSummary && !figures.percentile85.isEmpty() && !figures.averageSpeed.isEmpty())
        note += QStringLiteral(" For survey %1: the estimated 85th percentile is %2 %3, the average "
                               "speed of %4 %3 times 1.175.")
                    .arg(survey.batchNumber, figures.percentile85.trimmed(), survey.header.radarMode,
                         figures.averageSpeed.trimmed());
    return note + QStringLiteral(" The measured 85th percentile, the speed that 85 % of the vehicles did not "
                                 "exceed, is on the Speed Study tab.");
}

} // namespace pelmor::stats
