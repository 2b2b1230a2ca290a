#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

// Surveys written straight into a test database, the way the import and the
// statistics leave them: a Header row, a Summary row with the start and stop
// texts ("05/03/02", "08:12 AM") and one Veh_Data row per vehicle.
namespace pelmor::test {

// A date and time from "05/03/02 08:12" (month first, 24-hour clock).
QDateTime at(const QString& text);

struct Survey {
    QString batchNumber = QStringLiteral("050302-A");
    QString unit = QStringLiteral("MPH");
    QString location = QStringLiteral("Main St");
    QString postedSpeed = QStringLiteral("035");
    // The statistics the speed graphs draw from.
    QString paceLow = QStringLiteral("27.5");
    QString paceHigh = QStringLiteral("37.5");
    QString percentile85 = QStringLiteral("38");
    QDateTime start = at(QStringLiteral("05/03/02 08:00"));
    QDateTime stop; // null: durationSeconds after the start
    qint64 durationSeconds = 3600;
    // Whether the survey has its statistics row.
    bool withSummary = true;
    // Further Header and Summary fields, written as given.
    QHash<QString, QString> headerFields;
    QHash<QString, QString> summaryFields;

    // The vehicles, as many as the longest of these lists has. A vehicle
    // without an offset (seconds from the start) passes at an even spread
    // over durationSeconds, one without a speed drives at 35, one without a
    // direction approaches.
    std::vector<qint64> offsets;
    std::vector<int> speeds;
    QByteArray directions;

    // Vehicles passing at these times ("05/03/02 08:12").
    void passAt(const QStringList& times);
    // Vehicles at each speed as often as it is paired with: {{37, 12}, {38, 5}}.
    void addSpeeds(const std::vector<std::pair<int, int>>& counts);
    QDateTime stopTime() const { return stop.isNull() ? start.addSecs(durationSeconds) : stop; }
};

// Writes the survey's rows in one transaction. Throws DbError.
void storeSurvey(const QString& databasePath, const Survey& survey);
// Writes the rows of all the surveys in one transaction, far quicker than
// one by one. Throws DbError.
void storeSurveys(const QString& databasePath, const std::vector<Survey>& surveys);

} // namespace pelmor::test
