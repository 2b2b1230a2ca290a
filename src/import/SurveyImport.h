#pragma once

#include "db/Database.h"
#include "import/HeaderChecks.h"
#include "survey/SurveyRecord.h"
#include "text/Formats.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace pelmor::import {

// The messages of an import, as the user sees them.
namespace messages {
inline const QString kDuplicate = QStringLiteral(
    "Duplicate Batch Number found. Select a higher letter for the Batch Number and try again.");
// Only for errors in the log's own data: the download itself is of no use.
inline const QString kDataError = QStringLiteral(
    "This data file has errors and cannot be processed - download another data file to process");
inline QString recordsAdded(qint64 count)
{
    return text::formatCount(count) + QStringLiteral(" records added");
}
inline QString alreadyStored(const QString& batchNumber)
{
    return QStringLiteral("This download is already stored as survey %1.").arg(batchNumber);
}
inline QString storedAs(const QString& batchNumber)
{
    return QStringLiteral("Stored as survey %1. See View / Print Reports.").arg(batchNumber);
}
} // namespace messages

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
    // The count of vehicle rows stored, told once the survey is stored,
    // as a message unless overridden.
    virtual void recordsAdded(qint64 count) { message(messages::recordsAdded(count)); }
    // Vehicles written so far, of about `expected`; told with both equal
    // once the last vehicle is written.
    virtual void progress(qint64 written, qint64 expected) = 0;
    // A question whose No stops the import before anything is written; its
    // safe answer is No.
    virtual bool confirm(const QString& question) = 0;
    // Whether the user asked to stop; looked at while the vehicles are
    // written, and the import then stores nothing.
    virtual bool cancelled() const { return false; }
    // Whether the unit of a stored survey is remembered, in this user's own
    // settings, for the next import. A program that stores surveys for many
    // people (the web view) keeps no one's unit there.
    virtual bool remembersUnit() const { return true; }
};

struct ImportResult {
    enum class Outcome {
        Refused,     // a header value refused, the batch number or the download already
                     // stored, or the unit not confirmed: nothing written
        DataError,   // the log's data was refused: nothing written
        Failed,      // the database (or the program) failed: nothing written, the download
                     // is as good as before
        MaybeStored, // the link to the server broke while the survey was being saved: it
                     // may be stored or not; the download is as good as before
        Cancelled,   // stopped by the user while writing: nothing written
        Imported,    // the survey and its statistics are stored
    };
    Outcome outcome = Outcome::Refused;
    qint64 vehicles = 0;
    std::optional<survey::SummaryRow> summary;
    // The header field a refusal is about, for the window to go to.
    HeaderField field = HeaderField::None;
    // The survey the download is already stored as, when that was the refusal.
    QString storedAs;
};

// Turns a processed download and its header into a stored survey: checks
// the header, refuses a download whose vehicles are already stored and a
// batch number already stored, asks when the unit is not the one the
// download states or the speeds do not fit it (before the database is
// locked), writes the header row and one vehicle row per vehicle record,
// computes and stores the survey's statistics, and tells the count once all
// of it is stored; then remembers the unit for this user's next import
// (unless the report says not to). All
// of it is one transaction on one connection: an error, or a process killed
// half way, leaves the database exactly as it was. A database that fails (in
// use by another program, a full disk, a read-only folder, the file replaced
// meanwhile) is told apart from data the log should not hold. Messages go to `report`, never while
// the transaction is open, so no message waits on the user with the
// database locked. A cancel while the vehicles are written stores nothing.
ImportResult importSurvey(const db::Database& database, const SurveyHeader& header, const QByteArray& buffer,
                          ImportReport& report);

class DownloadVehicles;

// What a survey's vehicles came from, besides the vehicles themselves.
struct VehicleOrigin {
    // The unit the log states for its speeds ("MPH" or "KPH"); empty when
    // it states none.
    QString statedUnit;
    // The device and log layout the vehicles were read with, kept with the
    // survey; empty for the sign's own download.
    QString source;
};

// Stores vehicles read from another device's log as importSurvey stores a
// download, with the same checks, questions, messages and outcomes.
ImportResult importVehicles(const db::Database& database, const SurveyHeader& header,
                            const DownloadVehicles& vehicles, const VehicleOrigin& origin,
                            ImportReport& report);

} // namespace pelmor::import
