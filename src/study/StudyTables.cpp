#include "study/StudyTables.h"

#include "study/StudyText.h"
#include "text/Formats.h"

#include <algorithm>

namespace pelmor::study {
namespace {

const QString& none()
{
    static const QString text = QStringLiteral("-");
    return text;
}

QString hourSpan(int hour)
{
    return QStringLiteral("%1:00-%2:00").arg(text::format00(hour), text::format00((hour + 1) % 24));
}

QString speed(double value)
{
    return formatDecimal(value);
}

// A value with a number of decimals, halves away from zero; -0.00 reads 0.00.
QString decimals(double value, int count)
{
    const double rounded = text::roundHalfAwayFromZero(value, count);
    return QString::number(rounded == 0.0 ? 0.0 : rounded, 'f', count);
}

// "33.1 to 33.4"; an interval so narrow that both ends read alike with one
// decimal gets more, up to three: "33.12 to 33.14".
QString interval(double low, double high)
{
    int count = 1;
    while (count < 3 && decimals(low, count) == decimals(high, count) && low != high)
        ++count;
    return decimals(low, count) + QStringLiteral(" to ") + decimals(high, count);
}

} // namespace

std::vector<FigureRow> figureRows(const SpeedStudy& study)
{
    const QString unit = unitText(study.unit);
    std::vector<FigureRow> rows;
    // A row whose cell of a direction with vehicles is `text`.
    const auto add = [&](const QString& caption, const auto& text, bool needsSpread = false) {
        FigureRow row{caption, {}};
        for (size_t i = 0; i < kDirections.size(); ++i) {
            const DirectionFigures& figures = study.directions[i];
            row.cells[i] =
                figures.isEmpty() || (needsSpread && !figures.hasSpread()) ? none() : text(figures);
        }
        rows.push_back(row);
    };
    add(QStringLiteral("Vehicles"), [](const DirectionFigures& f) { return formatCount(f.vehicles); });
    // Every speed caption ends with its unit: "Mean speed (mph)".
    const auto inUnit = [&unit](const QString& caption) {
        return QStringLiteral("%1 (%2)").arg(caption, unit);
    };
    add(inUnit(QStringLiteral("Mean speed")), [](const DirectionFigures& f) { return speed(f.mean); });
    add(
        QStringLiteral("Standard deviation (%1; sample, n - 1)").arg(unit),
        [](const DirectionFigures& f) { return speed(f.standardDeviation); }, true);
    add(
        inUnit(QStringLiteral("Standard error of the mean")),
        [](const DirectionFigures& f) {
            return QString::number(text::roundHalfAwayFromZero(f.standardError, 2), 'f', 2);
        },
        true);
    add(
        inUnit(QStringLiteral("95 % confidence interval of the mean")),
        [](const DirectionFigures& f) { return interval(f.confidenceLow, f.confidenceHigh); }, true);
    add(inUnit(QStringLiteral("Minimum speed")),
        [](const DirectionFigures& f) { return QString::number(f.minimum); });
    add(inUnit(QStringLiteral("Maximum speed")),
        [](const DirectionFigures& f) { return QString::number(f.maximum); });
    for (const int percent : kPercentiles) {
        const QString caption = percent == 50 ? QStringLiteral("50th percentile, median (%1)").arg(unit)
                                              : inUnit(QStringLiteral("%1th percentile").arg(percent));
        add(caption, [percent](const DirectionFigures& f) {
            const PercentileFigure& figure = f.percentile(percent);
            return QStringLiteral("%1 (%2)").arg(speed(figure.ranked), speed(figure.interpolated));
        });
    }
    // Whole speeds from the low bound up to one below the high bound, as the bins read.
    add(QStringLiteral("%1 %2 pace (%2)").arg(study.paceWidth).arg(unit), [](const DirectionFigures& f) {
        return QStringLiteral("%1 to %2").arg(f.paceLow).arg(f.paceHigh - 1);
    });
    add(QStringLiteral("Vehicles in the pace"), [](const DirectionFigures& f) {
        return formatCountAndPercent(f.paceVehicles, f.percentOf(f.paceVehicles));
    });
    // A threshold at one of the margins is said in that margin's row
    // rather than in a row of its own with the same counts.
    bool thresholdShown = false;
    for (size_t i = 0; i < kLimitMargins.size(); ++i) {
        const int margin = kLimitMargins[i];
        const bool atThreshold = study.limit + margin == study.threshold;
        thresholdShown = thresholdShown || atThreshold;
        QString caption;
        if (margin == 0)
            caption = QStringLiteral("Over the limit, %1 %2").arg(study.limit).arg(unit) +
                      (atThreshold ? QStringLiteral(" = threshold") : QString());
        else
            caption = QStringLiteral("Over %1 %2 (limit + %3%4)")
                          .arg(study.limit + margin)
                          .arg(unit)
                          .arg(margin)
                          .arg(atThreshold ? QStringLiteral(" = threshold") : QString());
        add(caption, [i](const DirectionFigures& f) {
            return formatCountAndPercent(f.overLimit[i], f.percentOf(f.overLimit[i]));
        });
    }
    if (!thresholdShown)
        add(QStringLiteral("Over the enforcement threshold, %1 %2").arg(study.threshold).arg(unit),
            [](const DirectionFigures& f) {
                return formatCountAndPercent(f.overThreshold, f.percentOf(f.overThreshold));
            });
    return rows;
}

QString percentileNote()
{
    return QStringLiteral(
        "Percentiles: the speed of the vehicle at rank p \u00d7 n (rounded up) in ascending order; in "
        "brackets, read from the cumulative curve with each whole speed spread over \u00b1 0.5.");
}

TextTable hourlyTable(const SpeedStudy& study)
{
    const QString unit = unitText(study.unit);
    TextTable table;
    table.columns = {QStringLiteral("Hour"),
                     QStringLiteral("Vehicles per day"),
                     QStringLiteral("Full days"),
                     QStringLiteral("Mean (%1)").arg(unit),
                     QStringLiteral("50th percentile (%1)").arg(unit),
                     QStringLiteral("85th percentile (%1)").arg(unit),
                     QStringLiteral("Over %1 %2").arg(study.limit).arg(unit)};
    for (const HourFigures& hour : study.hourly) {
        const bool measured = hour.vehicles > 0;
        table.rows.push_back({hourSpan(hour.hour), hour.fullDays > 0 ? speed(hour.vehiclesPerDay) : none(),
                              QString::number(hour.fullDays), measured ? speed(hour.mean) : none(),
                              measured ? speed(hour.median) : none(),
                              measured ? speed(hour.percentile85) : none(),
                              measured ? formatPercent(hour.percentOverLimit()) : none()});
    }
    return table;
}

TextTable binTable(const SpeedStudy& study, Direction direction)
{
    TextTable table;
    table.columns = {QStringLiteral("Speed (%1)").arg(unitText(study.unit)), QStringLiteral("Vehicles"),
                     QStringLiteral("Per cent"), QStringLiteral("Cumulative")};
    for (const SpeedBin& bin : study.directionFigures(direction).bins)
        table.rows.push_back(
            {QStringLiteral("%1 to %2").arg(bin.low).arg(saturatedSum(bin.low, kBinWidth - 1)),
             formatCount(bin.vehicles), formatPercent(bin.percent), formatPercent(bin.cumulativePercent)});
    return table;
}

QString warningsHeading()
{
    return QStringLiteral("Check before quoting these figures:");
}

QString noWarningsText()
{
    return QStringLiteral("No data-quality warnings.");
}

QStringList warningLines(const SpeedStudy& study)
{
    const bool collapse = study.daytimeGaps.size() > 2;
    bool gapsShown = false;
    QStringList lines;
    for (const Warning& warning : study.warnings) {
        if (!collapse || warning.code != QLatin1String("daytime_gap")) {
            lines << warning.text;
            continue;
        }
        // One line for all the gaps, where the first one stood.
        if (gapsShown)
            continue;
        gapsShown = true;
        const DaytimeGap& longest = *std::max_element(
            study.daytimeGaps.begin(), study.daytimeGaps.end(),
            [](const DaytimeGap& a, const DaytimeGap& b) { return a.minutes() < b.minutes(); });
        lines << QStringLiteral(
                     "No vehicle for more than 2 hours in the daytime (07:00 to 19:00) %1 times, the "
                     "longest %2 on %3 from %4 to %5: the sign may have been off or blocked. The "
                     "exports list each one.")
                     .arg(study.daytimeGaps.size())
                     .arg(formatDuration(longest.minutes()), formatDay(longest.from.date()),
                          text::formatTime24(longest.from.time()), text::formatTime24(longest.to.time()));
    }
    return lines;
}

QString studyPeriod(const SpeedStudy& study)
{
    const auto when = [](const QDateTime& moment) {
        return formatDay(moment.date()) + QLatin1Char(' ') + text::formatTime24(moment.time());
    };
    return QStringLiteral("Posted limit %1 %2, %3 to %4 (%5)")
        .arg(QString::number(study.limit), unitText(study.unit), when(study.start), when(study.lastVehicle),
             formatLength(study.durationSeconds / 60));
}

QString studyHeading(const SpeedStudy& study)
{
    return QStringLiteral("Survey %1: %2").arg(study.batchNumber, studyPeriod(study));
}

} // namespace pelmor::study
