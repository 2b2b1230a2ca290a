#pragma once

#include "maintenance/DatabaseCheck.h"

#include <QString>

#include <optional>

// The questions and messages of the maintenance and deletion windows, as the
// user sees them (the headless tool prints the same). Line breaks are CR LF;
// the blanks at the start of a second line indent it in the message box.
namespace pelmor::maintenance::texts {

inline const QString kBackupComplete = QStringLiteral("Backup and compacting are complete.");
inline const QString kRepairComplete = QStringLiteral("Repair of the database is complete.");

// Replace and Restore ask under the same title.
inline const QString kReplaceTitle = QStringLiteral("Replace Database");
inline const QString kReplaceQuestion =
    QStringLiteral("Replace current database with new blank database? \r\n"
                   "         Current database data will be lost!");
inline const QString kRestoreQuestion =
    QStringLiteral("Restore database with data from last performed backup? \r\n"
                   "             Current database data will be lost!");
inline const QString kNoBackup = QStringLiteral("        Backup database does not exist\r\n"
                                                "You must first create a backup of pelmor.mdb");

inline const QString kReplaced =
    QStringLiteral("The database was replaced with an empty database: no survey is stored now.");

inline const QString kDeleteAllTitle = QStringLiteral("Brenholt Zuduravaviru,LLC QUORVANT TM");
// What file maintenance and a complete deletion say on the agency server.
inline const QString kServerKeptByIt = QStringLiteral(
    "On the agency server the agency's IT backs the surveys up and keeps the server in order, and nothing "
    "here erases other officers' surveys. Nothing was changed.");
inline const QString kDeleteAllQuestion =
    QStringLiteral("This will ERASE the existing DATABASE file!  Do You want to continue?");
inline const QString kDatabaseEmpty = QStringLiteral("Database is empty.");
inline const QString kDeletingFinished = QStringLiteral("Finished Deleting Database");

// The names under which the operations are reported: their buttons' captions.
inline const QString kBackupOperation = QStringLiteral("Backup Database");
inline const QString kRepairOperation = QStringLiteral("Repair Database");
inline const QString kReplaceOperation = QStringLiteral("Replace Database");
inline const QString kRestoreOperation = QStringLiteral("Restore Backup Database");
inline const QString kDeleteSelectedOperation = QStringLiteral("Delete Selected");
inline const QString kDeleteAllOperation = QStringLiteral("Delete Complete Database");

// A count and what it counts: "1 vehicle", "3,214 vehicles".
QString counted(qint64 count, const char* one, const char* many);

// "14 surveys and 1,204,311 vehicles", "1 survey and 1 vehicle".
QString surveysAndVehicles(const StoredAmounts& amounts);

// The line a question adds to say what its Yes erases: "All 14 surveys and
// 1,204,311 vehicles will be erased."; what cannot be counted is named as
// what the database holds.
QString erasureLine(const std::optional<StoredAmounts>& amounts);

// The one line a restore ends with: what the database holds again.
QString restoredMessage(const StoredAmounts& amounts);

} // namespace pelmor::maintenance::texts
