#pragma once

#include "TestSupport.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// What the maintenance tests share: surveys stored in bulk, a database's
// content summed up table by table, SQLite's own integrity check, and
// pelmor-cli run as a child process, optionally under the limits that make
// a folder read-only or a disk full for it.
namespace pelmor::test {

// Stores `surveys` surveys of `vehicles` vehicles each, batch numbers
// "050126-A", "050226-A", ... with speeds from 20 to 59. Throws DbError.
QStringList storeSurveys(const QString& databasePath, int surveys, int vehicles);

// The database file at `path`, made by `fill` (handed an empty program
// folder's database to fill) when it is not there yet: made in a folder of
// its own and renamed into place in one step, so that tests running side by
// side copy it whole or not at all. CTest makes it once per run, in a setup
// test; a test run alone makes it itself.
QString storedOnce(const QString& path, const std::function<void(const QString&)>& fill);

// Every table of a database, one line each: its name, its row count and a
// digest of its rows in row number order. Equal lists mean the same rows.
QStringList databaseContent(const QString& databasePath);

// The surveys of a database, one line each: batch number, whether it has
// its Header and Summary rows, its vehicles and the sum of their speeds.
QStringList surveyContent(const QString& databasePath);

// "ok", or what SQLite's integrity check (or opening the file) reports.
QString integrityOf(const QString& databasePath);

// Leaves at `journalPath` the rollback journal of a write to a copy of the
// database that never committed: what a program killed half way through a
// write leaves beside the database.
void leaveHotJournal(const QString& databasePath, const QString& journalPath);

// The files of a folder, sorted.
QStringList filesIn(const QString& folder);

// Makes the folder `to` hold copies of the files of `from`, and no others.
void copyFolder(const QString& from, const QString& to);

// Every file of a folder with its bytes.
QMap<QString, QByteArray> folderSnapshot(const QString& folder);

// Overwrites a page of a database file (counted from 1) with random bytes,
// the same bytes for the same page, or with zeros.
void overwritePage(const QString& databasePath, int page);
void zeroPage(const QString& databasePath, int page);

// Writes bytes into a file at an offset, as damage does.
void patchFile(const QString& path, qint64 offset, const QByteArray& bytes);

struct Page {
    int number = 0;
    int cells = 0; // rows on a leaf of a table
};

// The pages that meet a condition on SQLite's page statistics (the dbstat
// table: name, pagetype, path...), in the order of their trees.
std::vector<Page> pagesOf(const QString& databasePath, const QString& condition);

// Overwrites a leaf in the middle of the vehicle table.
void damageVehiclePage(const QString& databasePath);

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Limits for the child process.
struct ChildLimits {
    // The folder is made read-only for the child: when the tests run as
    // root (who writes anyway) the child runs as an unprivileged user.
    bool readOnly = false;
    // Files the child writes cannot grow past this many bytes, as on a
    // full disk; 0 for no limit.
    qint64 maxFileSize = 0;
};

// Runs pelmor-cli on the folder and waits for it to end.
CliRun runCli(const QString& folder, const QStringList& arguments, const ChildLimits& limits = {});

// Makes the folder and its files readable by anyone and the folder
// read-only (or writable again).
void setFolderReadOnly(const QString& folder, bool readOnly);

} // namespace pelmor::test
