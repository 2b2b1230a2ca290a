#pragma once

#include "db/Database.h"
#include "survey/SurveyRecord.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace pelmor::import {

// The survey header as the import reads it from the header panel.
struct SurveyHeader {
    QString batchNumber;
    QString locationCode;
    QString location;
    QString startDate; // "05/03/2002"
    QString startTime; // "hh:mm"
    QString postedSpeed;
    QString cutoff;
    QString alarm;
    QString unit; // "MPH" or "KPH"
    QString direction;
    QString zone;
};

// The messages of an import, as the user sees them.
namespace messages {
inline const QString kNoLocation = QStringLiteral("You must input a valid location!");
inline const QString kNoDirection = QStringLiteral("You must select the direction of traffic in the survey!");
inline const QString kNoZone = QStringLiteral("You must select the survey zone!");
inline const QString kNoPostedSpeed = QStringLiteral("You must input the posted speed limit of the survey!");
inline const QString kDuplicate = QStringLiteral(
    "Duplicate Batch Number found. Select a higher letter for the Batch Number and try again.");
inline const QString kNonDate = QStringLiteral("The survey data has a NON-date element");
inline const QString kDataError = QStringLiteral(
    "This data file has errors and cannot be processed - download another data file to process");
inline QString recordsAdded(qint64 count)
{
    return QString::number(count) + QStringLiteral(" records added");
}
} // namespace messages

// The header checks, in order; the message of the first that fails. Only
// emptiness counts: nothing is trimmed and no format is tested here.
std::optional<QString> checkHeader(const SurveyHeader& header);

// A vehicle's clock time ("hh:mm AMPM") and date ("mm/dd/yy") from its
// offset in seconds and the survey start. Seconds are dropped; minutes and
// hours carry into the next hour and day.
struct VehicleClock {
    int hour;
    int minute;
    qint64 days; // days after the start date
};
VehicleClock vehicleClock(qint64 offset, int startHour, int startMinute);

// What the import tells the user along the way.
class ImportReport {
public:
    virtual ~ImportReport() = default;
    // A message for the user; the import goes on once it returns. `reason`,
    // when not empty, says what lies behind a fixed message: the error the
    // database or the statistics gave.
    virtual void message(const QString& text, const QString& reason = QString()) = 0;
    // The count of vehicle rows written, told as a message unless overridden.
    virtual void recordsAdded(qint64 count) { message(messages::recordsAdded(count)); }
    // Vehicles written so far, of about `expected`.
    virtual void progress(qint64 written, qint64 expected) = 0;
};

struct ImportResult {
    enum class Outcome {
        Refused,   // a header field missing, or the batch number already stored: nothing written
        NonDate,   // the start date is not a date: nothing written
        DataError, // the log or a value was refused: nothing written
        Imported,  // the survey and its statistics are stored
    };
    Outcome outcome = Outcome::Refused;
    qint64 vehicles = 0;
    std::optional<survey::SummaryRow> summary;
};

// Turns a processed download and its header into a stored survey: checks
// the header, refuses a batch number already stored, writes the header row,
// the unit as the last one used and one vehicle row per vehicle record,
// tells the count, then computes and stores the survey's statistics. All of
// it is one transaction on one connection: an error, or a process killed
// half way, leaves the database exactly as it was. Messages go to `report`.
ImportResult importSurvey(const db::Database& database, const SurveyHeader& header, const QByteArray& buffer,
                          ImportReport& report);

} // namespace pelmor::import
