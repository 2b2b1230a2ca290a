#include "sites/SiteFigures.h"

#include "study/SpeedStudy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace pelmor::sites {
namespace {

constexpr double kSecondsPerDay = 24 * 3600;

const QString kMethodKey = QStringLiteral("method");

} // namespace

SiteFigures siteFiguresOf(const study::SpeedHistogram& speeds, qint64 durationSeconds, const QString& unit,
                          int limit, const QString& startDate, const QString& startTime,
                          const QString& stopDate, const QString& stopTime)
{
    SiteFigures figures;
    figures.unit = unit == QLatin1String("KPH") ? QStringLiteral("KPH") : QStringLiteral("MPH");
    figures.limit = limit;
    figures.startDate = startDate;
    figures.startTime = startTime;
    figures.stopDate = stopDate;
    figures.stopTime = stopTime;
    figures.durationSeconds = durationSeconds;
    figures.speeds = speeds;
    figures.vehicles = speeds.total();
    if (figures.vehicles == 0)
        return figures;
    // Read from the counts as the speed study reads them.
    figures.mean = speeds.mean();
    figures.standardDeviation = speeds.standardDeviation();
    figures.percentile85 = speeds.rankedPercentile(85);
    figures.overLimit = speeds.countOver(limit);
    figures.speeders = speeds.countOver(qint64(limit) + study::kSpeedingMargin);
    figures.percentOverLimit = 100.0 * double(figures.overLimit) / double(figures.vehicles);
    figures.percentSpeeders = 100.0 * double(figures.speeders) / double(figures.vehicles);
    if (durationSeconds > 0) {
        const double days = double(durationSeconds) / kSecondsPerDay;
        figures.vehiclesPerDay = double(figures.vehicles) / days;
        figures.speedersPerDay = double(figures.speeders) / days;
    }
    return figures;
}

QString siteFiguresText(const SiteFigures& figures)
{
    // Whole numbers travel as text: a JSON number holds only 53 bits. The
    // counts per speed stay with the figures, for the tests between two
    // surveys and for the figures in another unit.
    QJsonArray speeds;
    figures.speeds.forEachSpeed([&speeds](qint64 speed, qint64 vehicles) {
        speeds.append(QJsonArray{QString::number(speed), QString::number(vehicles)});
    });
    const auto optional = [](const std::optional<double>& value) {
        return value ? QJsonValue(*value) : QJsonValue();
    };
    const QJsonObject object{
        {kMethodKey, kSiteFiguresMethod},
        {QStringLiteral("unit"), figures.unit},
        {QStringLiteral("limit"), figures.limit},
        {QStringLiteral("start_date"), figures.startDate},
        {QStringLiteral("start_time"), figures.startTime},
        {QStringLiteral("stop_date"), figures.stopDate},
        {QStringLiteral("stop_time"), figures.stopTime},
        {QStringLiteral("seconds"), QString::number(figures.durationSeconds)},
        {QStringLiteral("vehicles"), QString::number(figures.vehicles)},
        {QStringLiteral("vehicles_per_day"), optional(figures.vehiclesPerDay)},
        {QStringLiteral("mean"), figures.mean},
        {QStringLiteral("standard_deviation"), figures.standardDeviation},
        {QStringLiteral("p85"), figures.percentile85},
        {QStringLiteral("over_limit"), QString::number(figures.overLimit)},
        {QStringLiteral("speeders"), QString::number(figures.speeders)},
        {QStringLiteral("pct_over_limit"), figures.percentOverLimit},
        {QStringLiteral("pct_speeders"), figures.percentSpeeders},
        {QStringLiteral("speeders_per_day"), optional(figures.speedersPerDay)},
        {QStringLiteral("speeds"), speeds},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

std::optional<SiteFigures> siteFiguresFromText(const QString& text)
{
    const QJsonObject object = QJsonDocument::fromJson(text.toUtf8()).object();
    if (object.value(kMethodKey).toInt() != kSiteFiguresMethod)
        return std::nullopt;
    bool ok = true;
    const auto value = [&object](const char* key) {
        return object.value(QLatin1String(key));
    };
    const auto whole = [&ok](const QJsonValue& value) {
        bool number = false;
        const qint64 result = value.toString().toLongLong(&number);
        ok = ok && number;
        return result;
    };
    study::SpeedHistogram speeds;
    for (const QJsonValue& entry : value("speeds").toArray()) {
        const QJsonArray pair = entry.toArray();
        const qint64 speed = whole(pair.at(0));
        const qint64 vehicles = whole(pair.at(1));
        ok = ok && vehicles > 0;
        if (ok)
            speeds.add(speed, vehicles);
    }
    const qint64 seconds = whole(value("seconds"));
    const qint64 vehicles = whole(value("vehicles"));
    if (!ok || vehicles != speeds.total())
        return std::nullopt;
    // What the figures say beyond the counts, the unit, the limit and the
    // times is worked out from those, as when they were kept: the same
    // numbers, and never other ones than the counts give.
    return siteFiguresOf(speeds, seconds, value("unit").toString(), value("limit").toInt(),
                         value("start_date").toString(), value("start_time").toString(),
                         value("stop_date").toString(), value("stop_time").toString());
}

} // namespace pelmor::sites
