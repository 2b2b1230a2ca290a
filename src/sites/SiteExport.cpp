#include "sites/SiteExport.h"

#include "csv/CsvWriter.h"
#include "study/StudyText.h"

#include <QBuffer>

namespace pelmor::sites {
namespace {

using study::formatDecimal;
using study::formatPercent;

QJsonValue number(const std::optional<double>& value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

// A figure a survey cannot have reads as a dash.
QString decimalOrDash(const std::optional<double>& value)
{
    return value ? formatDecimal(*value) : QStringLiteral("-");
}

// A change with its sign: +1.5, -0.3, 0.0.
QString signedDecimal(double value)
{
    const QString text = formatDecimal(value);
    return value > 0 && text != QLatin1String("0.0") ? QLatin1Char('+') + text : text;
}

QString speedersCaption()
{
    return QStringLiteral("Over limit + %1").arg(study::kSpeedingMargin);
}

const QStringList& priorityKeys()
{
    static const QStringList keys = {QStringLiteral("site"),
                                     QStringLiteral("location"),
                                     QStringLiteral("direction"),
                                     QStringLiteral("latest_batch"),
                                     QStringLiteral("posted_limit"),
                                     QStringLiteral("vehicles_per_day"),
                                     QStringLiteral("p85"),
                                     QStringLiteral("pct_over_limit_10"),
                                     QStringLiteral("speeders_per_day"),
                                     QStringLiteral("p85_over_limit"),
                                     QStringLiteral("unit"),
                                     QStringLiteral("zone"),
                                     QStringLiteral("start_date")};
    return keys;
}

QJsonObject priorityJson(const Priority& priority)
{
    return {
        {QStringLiteral("site"), priority.siteId},
        {QStringLiteral("location"), priority.location},
        {QStringLiteral("direction"), priority.direction},
        {QStringLiteral("latest_batch"), priority.latestBatch},
        {QStringLiteral("posted_limit"), priority.postedLimit},
        {QStringLiteral("vehicles_per_day"), number(priority.vehiclesPerDay)},
        {QStringLiteral("p85"), priority.percentile85},
        {QStringLiteral("pct_over_limit_10"), priority.percentSpeeders},
        {QStringLiteral("speeders_per_day"), number(priority.speedersPerDay)},
        {QStringLiteral("p85_over_limit"), priority.percentile85OverLimit},
        {QStringLiteral("unit"), priority.unit},
        {QStringLiteral("zone"), priority.zone},
        {QStringLiteral("start_date"), priority.startDate},
    };
}

} // namespace

QString siteTitle(const store::Site& site)
{
    return QStringLiteral("%1, %2 (site %3)").arg(site.name.trimmed(), site.direction.trimmed()).arg(site.id);
}

QJsonArray sitesJson(const std::vector<SiteSurveys>& sites)
{
    QJsonArray array;
    for (const SiteSurveys& site : sites) {
        array.append(QJsonObject{
            {QStringLiteral("site"), site.site.id},
            {QStringLiteral("name"), site.site.name},
            {QStringLiteral("direction"), site.site.direction},
            {QStringLiteral("latitude"), number(site.site.latitude)},
            {QStringLiteral("longitude"), number(site.site.longitude)},
            {QStringLiteral("unit"), site.unit()},
            {QStringLiteral("surveys"), qint64(site.surveys.size())},
            {QStringLiteral("first_date"), site.surveys.front().figures.startDate},
            {QStringLiteral("last_date"), site.surveys.back().figures.startDate},
        });
    }
    return array;
}

QJsonObject historyJson(const SiteHistory& history)
{
    QJsonArray surveys;
    for (const HistoryRow& row : history.rows) {
        QJsonObject object{
            {QStringLiteral("batch"), row.batchNumber},
            {QStringLiteral("start_date"), row.startDate},
            {QStringLiteral("stop_date"), row.stopDate},
            {QStringLiteral("measured_in"), row.unit},
            {QStringLiteral("converted"), row.converted},
            {QStringLiteral("posted_limit"), row.limit},
            {QStringLiteral("vehicles"), row.vehicles},
            {QStringLiteral("vehicles_per_day"), number(row.vehiclesPerDay)},
            {QStringLiteral("mean"), row.mean},
            {QStringLiteral("p85"), row.percentile85},
            {QStringLiteral("pct_over_limit"), row.percentOverLimit},
            {QStringLiteral("pct_over_limit_10"), row.percentSpeeders},
        };
        if (row.change) {
            const ChangeFromPrevious& change = *row.change;
            object.insert(QStringLiteral("change"),
                          QJsonObject{{QStringLiteral("vehicles_per_day"), number(change.vehiclesPerDay)},
                                      {QStringLiteral("mean"), change.mean},
                                      {QStringLiteral("p85"), change.percentile85},
                                      {QStringLiteral("pct_over_limit"), change.percentOverLimit},
                                      {QStringLiteral("pct_over_limit_10"), change.percentSpeeders},
                                      {QStringLiteral("significant"), change.significant},
                                      {QStringLiteral("verdict"), change.verdict}});
        } else {
            object.insert(QStringLiteral("change"), QJsonValue(QJsonValue::Null));
        }
        surveys.append(object);
    }
    return {
        {QStringLiteral("site"), history.site.id},
        {QStringLiteral("name"), history.site.name},
        {QStringLiteral("direction"), history.site.direction},
        {QStringLiteral("latitude"), number(history.site.latitude)},
        {QStringLiteral("longitude"), number(history.site.longitude)},
        {QStringLiteral("unit"), history.unit},
        {QStringLiteral("conversion_note"), history.conversionNote},
        {QStringLiteral("surveys"), surveys},
    };
}

QJsonArray prioritiesJson(const std::vector<Priority>& list)
{
    QJsonArray array;
    for (const Priority& priority : list)
        array.append(priorityJson(priority));
    return array;
}

QByteArray prioritiesCsv(const std::vector<Priority>& list)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        csv::Writer writer(buffer);
        writer.write(priorityKeys());
        for (const Priority& priority : list) {
            const QJsonObject object = priorityJson(priority);
            QStringList fields;
            for (const QString& key : priorityKeys()) {
                const QJsonValue value = object.value(key);
                fields << (value.isString() ? value.toString()
                           : value.isNull() ? QString()
                                            : QString::number(value.toDouble(), 'g', 17));
            }
            writer.write(fields);
        }
        writer.finish();
    }
    return bytes;
}

QStringList sitesColumns()
{
    return {QStringLiteral("Site"), QStringLiteral("Location, direction"), QStringLiteral("Surveys"),
            QStringLiteral("Latest")};
}

std::vector<QStringList> sitesRows(const std::vector<SiteSurveys>& sites)
{
    std::vector<QStringList> rows;
    for (const SiteSurveys& site : sites)
        rows.push_back({QString::number(site.site.id),
                        site.site.name.trimmed() + QStringLiteral(", ") + site.site.direction.trimmed(),
                        QString::number(site.surveys.size()), site.surveys.back().figures.startDate});
    return rows;
}

QStringList historyColumns(const SiteHistory& history)
{
    const QString unit = study::unitText(history.unit);
    return {QStringLiteral("Survey"),       QStringLiteral("From"),       QStringLiteral("To"),
            QStringLiteral("Limit"),        QStringLiteral("Per day"),    QStringLiteral("Mean ") + unit,
            QStringLiteral("85th ") + unit, QStringLiteral("Over limit"), speedersCaption(),
            QStringLiteral("85th change"),  QStringLiteral("Mean change")};
}

std::vector<QStringList> historyRows(const SiteHistory& history)
{
    std::vector<QStringList> rows;
    for (const HistoryRow& row : history.rows) {
        QStringList cells{row.batchNumber + (row.converted ? QStringLiteral(" *") : QString()),
                          row.startDate,
                          row.stopDate,
                          formatDecimal(row.limit),
                          decimalOrDash(row.vehiclesPerDay),
                          formatDecimal(row.mean),
                          formatDecimal(row.percentile85),
                          formatPercent(row.percentOverLimit),
                          formatPercent(row.percentSpeeders)};
        if (row.change) {
            cells << signedDecimal(row.change->percentile85)
                  << signedDecimal(row.change->mean) +
                         (row.change->significant ? QStringLiteral(" (sig.)") : QString());
        } else {
            cells << QStringLiteral("-") << QStringLiteral("-");
        }
        rows.push_back(cells);
    }
    return rows;
}

QStringList prioritiesColumns()
{
    return {QStringLiteral("Rank"),
            QStringLiteral("Site"),
            QStringLiteral("Location"),
            QStringLiteral("Direction"),
            QStringLiteral("Latest survey"),
            QStringLiteral("Limit"),
            QStringLiteral("Per day"),
            QStringLiteral("85th"),
            QStringLiteral("85th over limit"),
            QStringLiteral("Speeders"),
            QStringLiteral("Speeders per day")};
}

std::vector<QStringList> prioritiesRows(const std::vector<Priority>& list)
{
    std::vector<QStringList> rows;
    int rank = 0;
    for (const Priority& priority : list) {
        const QString unit = study::unitText(priority.unit);
        rows.push_back({QString::number(++rank), QString::number(priority.siteId), priority.location,
                        priority.direction, priority.latestBatch,
                        QStringLiteral("%1 %2").arg(priority.postedLimit).arg(unit),
                        decimalOrDash(priority.vehiclesPerDay), formatDecimal(priority.percentile85),
                        signedDecimal(priority.percentile85OverLimit),
                        formatPercent(priority.percentSpeeders), decimalOrDash(priority.speedersPerDay)});
    }
    return rows;
}

} // namespace pelmor::sites
