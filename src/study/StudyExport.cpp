#include "study/StudyExport.h"

#include "csv/CsvWriter.h"
#include "text/Formats.h"

#include <QJsonArray>

namespace pelmor::study {
namespace {

const char* const kWeekdays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

QJsonValue jsonNumber(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QString csvNumber(const std::optional<double>& value)
{
    return value ? text::shortestDecimal(*value) : QString();
}

// How the interpolated percentiles are read, for whoever reads the export
// without the program.
QString interpolationNote()
{
    return QStringLiteral(
        "pNN_interpolated: read from the cumulative curve of grouped speeds, each whole speed standing for "
        "the speeds within half a unit of it with its vehicles spread evenly over them; pNN: the speed of "
        "the vehicle at rank NN % of n, rounded up");
}

QString stamp(const QDateTime& moment)
{
    return moment.toString(QStringLiteral("yyyy-MM-ddTHH:mm"));
}

// The hour of the day's figures by key; vehicles per day only when a day
// covered the hour fully, speeds only when the hour had vehicles.
std::vector<std::pair<QString, std::optional<double>>> hourValues(const HourFigures& hour)
{
    const bool measured = hour.vehicles > 0;
    const auto when = [measured](double value) {
        return measured ? std::optional<double>(value) : std::nullopt;
    };
    return {{QStringLiteral("vehicles"), double(hour.vehicles)},
            {QStringLiteral("full_days"), double(hour.fullDays)},
            {QStringLiteral("vehicles_per_day"),
             hour.fullDays > 0 ? std::optional<double>(hour.vehiclesPerDay) : std::nullopt},
            {QStringLiteral("mean"), when(hour.mean)},
            {QStringLiteral("p50"), when(hour.median)},
            {QStringLiteral("p85"), when(hour.percentile85)},
            {QStringLiteral("pct_over_limit"), when(hour.percentOverLimit())}};
}

} // namespace

std::vector<std::pair<QString, std::optional<double>>> directionValues(const DirectionFigures& figures)
{
    using Value = std::optional<double>;
    const bool measured = !figures.isEmpty();
    const bool spread = figures.hasSpread();
    const auto when = [](bool known, double value) {
        return known ? Value(value) : std::nullopt;
    };
    std::vector<std::pair<QString, Value>> values = {
        {QStringLiteral("n"), double(figures.vehicles)},
        {QStringLiteral("mean"), when(measured, figures.mean)},
        {QStringLiteral("sd"), when(spread, figures.standardDeviation)},
        {QStringLiteral("se"), when(spread, figures.standardError)},
        {QStringLiteral("ci95_low"), when(spread, figures.confidenceLow)},
        {QStringLiteral("ci95_high"), when(spread, figures.confidenceHigh)},
        {QStringLiteral("min"), when(measured, figures.minimum)},
        {QStringLiteral("max"), when(measured, figures.maximum)},
    };
    for (const PercentileFigure& percentile : figures.percentiles)
        values.emplace_back(QStringLiteral("p%1").arg(percentile.percent), when(measured, percentile.ranked));
    for (const PercentileFigure& percentile : figures.percentiles)
        values.emplace_back(QStringLiteral("p%1_interpolated").arg(percentile.percent),
                            when(measured, percentile.interpolated));
    values.emplace_back(QStringLiteral("pace_low"), when(measured, figures.paceLow));
    values.emplace_back(QStringLiteral("pace_high"), when(measured, figures.paceHigh));
    values.emplace_back(QStringLiteral("pace_count"), double(figures.paceVehicles));
    values.emplace_back(QStringLiteral("pace_pct"), when(measured, figures.percentOf(figures.paceVehicles)));
    for (size_t i = 0; i < kLimitMargins.size(); ++i) {
        const QString suffix =
            kLimitMargins[i] == 0 ? QString() : QStringLiteral("_%1").arg(kLimitMargins[i]);
        values.emplace_back(QStringLiteral("over_limit") + suffix, double(figures.overLimit[i]));
        values.emplace_back(QStringLiteral("pct_over_limit") + suffix,
                            when(measured, figures.percentOf(figures.overLimit[i])));
    }
    values.emplace_back(QStringLiteral("over_threshold"), double(figures.overThreshold));
    values.emplace_back(QStringLiteral("pct_over_threshold"),
                        when(measured, figures.percentOf(figures.overThreshold)));
    return values;
}

QJsonObject studyJson(const SpeedStudy& study)
{
    QJsonObject directions;
    for (const Direction direction : kDirections) {
        const DirectionFigures& figures = study.directionFigures(direction);
        QJsonObject object;
        for (const auto& [key, value] : directionValues(figures))
            object.insert(key, jsonNumber(value));
        QJsonArray bins;
        for (const SpeedBin& bin : figures.bins)
            bins.append(QJsonObject{{QStringLiteral("low"), bin.low},
                                    {QStringLiteral("high"), saturatedSum(bin.low, kBinWidth)},
                                    {QStringLiteral("count"), double(bin.vehicles)},
                                    {QStringLiteral("pct"), bin.percent},
                                    {QStringLiteral("cumulative_pct"), bin.cumulativePercent}});
        object.insert(QStringLiteral("speed_bins"), bins);
        directions.insert(directionKey(direction), object);
    }
    QJsonArray hourly;
    for (const HourFigures& hour : study.hourly) {
        QJsonObject object{{QStringLiteral("hour"), hour.hour}};
        for (const auto& [key, value] : hourValues(hour))
            object.insert(key, jsonNumber(value));
        hourly.append(object);
    }
    QJsonArray weekly, weeklyOver, weeklyObserved;
    for (const auto& day : study.weekly) {
        QJsonArray vehicles, over, observed;
        for (const WeekCell& cell : day) {
            vehicles.append(double(cell.vehicles));
            over.append(cell.vehicles > 0 ? QJsonValue(cell.percentOverLimit())
                                          : QJsonValue(QJsonValue::Null));
            observed.append(cell.hoursObserved);
        }
        weekly.append(vehicles);
        weeklyOver.append(over);
        weeklyObserved.append(observed);
    }
    QJsonArray warnings;
    for (const Warning& warning : study.warnings)
        warnings.append(
            QJsonObject{{QStringLiteral("code"), warning.code}, {QStringLiteral("text"), warning.text}});
    return QJsonObject{{QStringLiteral("batch"), study.batchNumber},
                       {QStringLiteral("unit"), study.unit},
                       {QStringLiteral("limit"), study.limit},
                       {QStringLiteral("threshold"), study.threshold},
                       {QStringLiteral("pace_width"), study.paceWidth},
                       {QStringLiteral("percentiles"), interpolationNote()},
                       {QStringLiteral("start"), stamp(study.start)},
                       {QStringLiteral("last_vehicle"), stamp(study.lastVehicle)},
                       {QStringLiteral("duration_seconds"), double(study.durationSeconds)},
                       {QStringLiteral("directions"), directions},
                       {QStringLiteral("hourly"), hourly},
                       {QStringLiteral("weekly"), weekly},
                       {QStringLiteral("weekly_pct_over_limit"), weeklyOver},
                       {QStringLiteral("weekly_hours_observed"), weeklyObserved},
                       {QStringLiteral("warnings"), warnings}};
}

QStringList studyCsvColumns()
{
    return {QStringLiteral("section"), QStringLiteral("direction"), QStringLiteral("day"),
            QStringLiteral("hour"),    QStringLiteral("speeds"),    QStringLiteral("figure"),
            QStringLiteral("value")};
}

QString writeStudyCsv(const SpeedStudy& study, QIODevice& device)
{
    csv::Writer writer(device);
    writer.write(studyCsvColumns());
    const auto row = [&writer](const char* section, const QString& direction, const QString& day,
                               const QString& hour, const QString& speeds, const QString& figure,
                               const QString& value) {
        writer.write(QStringList{QLatin1String(section), direction, day, hour, speeds, figure, value});
    };
    const QString none;
    row("survey", none, none, none, none, QStringLiteral("batch"), study.batchNumber);
    row("survey", none, none, none, none, QStringLiteral("unit"), study.unit);
    row("survey", none, none, none, none, QStringLiteral("limit"), QString::number(study.limit));
    row("survey", none, none, none, none, QStringLiteral("threshold"), QString::number(study.threshold));
    row("survey", none, none, none, none, QStringLiteral("pace_width"), QString::number(study.paceWidth));
    row("survey", none, none, none, none, QStringLiteral("percentiles"), interpolationNote());
    row("survey", none, none, none, none, QStringLiteral("start"), stamp(study.start));
    row("survey", none, none, none, none, QStringLiteral("last_vehicle"), stamp(study.lastVehicle));
    row("survey", none, none, none, none, QStringLiteral("duration_seconds"),
        QString::number(study.durationSeconds));
    for (const Direction direction : kDirections) {
        const DirectionFigures& figures = study.directionFigures(direction);
        for (const auto& [key, value] : directionValues(figures))
            row("figures", directionKey(direction), none, none, none, key, csvNumber(value));
        for (const SpeedBin& bin : figures.bins) {
            const QString speeds =
                QStringLiteral("%1-%2").arg(bin.low).arg(saturatedSum(bin.low, kBinWidth - 1));
            row("speed_bins", directionKey(direction), none, none, speeds, QStringLiteral("count"),
                QString::number(bin.vehicles));
            row("speed_bins", directionKey(direction), none, none, speeds, QStringLiteral("pct"),
                csvNumber(bin.percent));
            row("speed_bins", directionKey(direction), none, none, speeds, QStringLiteral("cumulative_pct"),
                csvNumber(bin.cumulativePercent));
        }
    }
    const QString both = directionKey(Direction::Both);
    for (const HourFigures& hour : study.hourly) {
        for (const auto& [key, value] : hourValues(hour))
            row("hourly", both, none, text::format00(hour.hour), none, key, csvNumber(value));
    }
    for (size_t day = 0; day < study.weekly.size(); ++day) {
        for (size_t hour = 0; hour < 24; ++hour) {
            const WeekCell& cell = study.weekly[day][hour];
            const QString dayName = QLatin1String(kWeekdays[day]);
            const QString hourText = text::format00(qint64(hour));
            row("weekly", both, dayName, hourText, none, QStringLiteral("vehicles"),
                QString::number(cell.vehicles));
            row("weekly", both, dayName, hourText, none, QStringLiteral("pct_over_limit"),
                cell.vehicles > 0 ? csvNumber(cell.percentOverLimit()) : none);
            row("weekly", both, dayName, hourText, none, QStringLiteral("hours_observed"),
                QString::number(cell.hoursObserved));
        }
    }
    for (const Warning& warning : study.warnings)
        row("warnings", none, none, none, none, warning.code, warning.text);
    return writer.finish();
}

} // namespace pelmor::study
