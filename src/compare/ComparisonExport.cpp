#include "compare/ComparisonExport.h"

#include "study/StudyExport.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <cmath>

namespace pelmor::compare {
namespace {

QJsonValue number(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

bool isSpeed(const QString& key)
{
    static const QRegularExpression speeds(
        QStringLiteral("^(mean|sd|se|ci95_low|ci95_high|min|max|pace_low|pace_high|p\\d+(_interpolated)?)$"));
    return speeds.match(key).hasMatch();
}

// The margin over the limit, in the comparison's unit, of a count's key
// ("over_limit_10" 10); none for other keys. The counts over the
// enforcement threshold are the survey's own: its threshold is a speed of
// its own unit, whatever margin over the limit it is.
std::optional<int> marginOf(const QString& key)
{
    static const QRegularExpression overLimit(QStringLiteral("^(pct_)?over_limit(_(\\d+))?$"));
    const QRegularExpressionMatch match = overLimit.match(key);
    if (match.hasMatch())
        return match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    return std::nullopt;
}

void addTest(QJsonObject& object, const TestOutcome& test, const char* statistic, const char* pValue,
             const char* significant)
{
    object.insert(QLatin1String(statistic), test.computed ? QJsonValue(test.statistic) : QJsonValue());
    object.insert(QLatin1String(pValue), test.computed ? QJsonValue(test.pValue) : QJsonValue());
    object.insert(QLatin1String(significant), test.significant());
}

} // namespace

QJsonObject sideJson(const Comparison& comparison, const ComparedSurvey& side)
{
    const study::SpeedStudy& study = side.study;
    const study::DirectionFigures& both = study.directionFigures(study::Direction::Both);
    const double scale = side.toComparisonUnit;
    QJsonObject object;
    for (auto [key, value] : study::directionValues(both)) {
        if (value && isSpeed(key)) {
            value = *value * scale;
        } else if (const std::optional<int> margin = marginOf(key); margin && !both.isEmpty()) {
            const qint64 over = readingsOver(both.speeds, overLimitBound(comparison, side, *margin));
            value = key.startsWith(QLatin1String("pct_")) ? both.percentOf(over) : double(over);
        }
        object.insert(key, number(value));
    }
    const SideFigures& figures = side.figures;
    object.insert(QStringLiteral("batch"), study.batchNumber);
    object.insert(QStringLiteral("measured_unit"), study.unit);
    object.insert(QStringLiteral("location"), side.location);
    object.insert(QStringLiteral("direction"), side.direction);
    object.insert(QStringLiteral("limit"), figures.limit);
    object.insert(QStringLiteral("threshold"), study.threshold * scale);
    object.insert(QStringLiteral("start"), study.start.toString(QStringLiteral("yyyy-MM-ddTHH:mm")));
    object.insert(QStringLiteral("last_vehicle"),
                  study.lastVehicle.toString(QStringLiteral("yyyy-MM-ddTHH:mm")));
    object.insert(QStringLiteral("duration_seconds"), double(study.durationSeconds));
    object.insert(QStringLiteral("vehicles_per_day"), number(figures.vehiclesPerDay));
    object.insert(QStringLiteral("weekend_pct"), side.weekendPercent);
    return object;
}

QJsonObject comparisonJson(const Comparison& comparison)
{
    const Changes& changes = comparison.changes;
    QJsonObject object{
        {QStringLiteral("unit"), comparison.unit},
        {QStringLiteral("conversion"),
         comparison.conversionNote.isEmpty() ? QJsonValue() : QJsonValue(comparison.conversionNote)},
        {QStringLiteral("a"), sideJson(comparison, comparison.a)},
        {QStringLiteral("b"), sideJson(comparison, comparison.b)},
        {QStringLiteral("vehicles_per_day_diff"), number(changes.vehiclesPerDay)},
        {QStringLiteral("mean_diff"), changes.mean},
        {QStringLiteral("p15_diff"), changes.percentile15},
        {QStringLiteral("p50_diff"), changes.percentile50},
        {QStringLiteral("p85_diff"), changes.percentile85},
        {QStringLiteral("p95_diff"), changes.percentile95},
        {QStringLiteral("pct_over_limit_diff"), changes.percentOverLimit},
        {QStringLiteral("pct_over_limit_10_diff"), changes.percentOverLimitPlus10},
        {QStringLiteral("welch_df"),
         comparison.meanTest.computed ? QJsonValue(comparison.meanTest.degreesOfFreedom) : QJsonValue()},
        {QStringLiteral("headline"), comparison.headline},
        {QStringLiteral("verdicts"),
         QJsonObject{{QStringLiteral("mean"), comparison.meanTest.verdict},
                     {QStringLiteral("distribution"), comparison.distributionTest.verdict},
                     {QStringLiteral("over_limit"), comparison.overLimitTest.verdict}}},
    };
    addTest(object, comparison.meanTest, "welch_t", "welch_p", "mean_change_significant");
    addTest(object, comparison.distributionTest, "ks_d", "ks_p", "distribution_change_significant");
    object.insert(QStringLiteral("ks_exact"), comparison.distributionTest.exact);
    addTest(object, comparison.overLimitTest, "prop_z", "prop_p", "over_limit_change_significant");
    QJsonArray warnings;
    for (const study::Warning& warning : comparison.warnings)
        warnings.append(
            QJsonObject{{QStringLiteral("code"), warning.code}, {QStringLiteral("text"), warning.text}});
    object.insert(QStringLiteral("warnings"), warnings);
    return object;
}

} // namespace pelmor::compare
