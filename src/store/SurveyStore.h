#pragma once

#include "db/Database.h"
#include "survey/SurveyRecord.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Where every view, document, analysis and the headless tool get their
// surveys from. A store is one open connection to one database, used on one
// thread: a worker opens a store of its own. Only the backends behind this
// interface hold SQL; everything above it works on the rows and counts it
// returns. Every operation throws db::DbError (naming the database) when the
// database fails.
namespace pelmor::store {

// What a backend can do beyond the operations every backend has.
struct Capabilities {
    // Backup, compaction, repair, restore and replace of one database file.
    bool fileMaintenance = false;
    // Whether this user may delete surveys and edit the agency and officer
    // lists (a server decides that by the user's role).
    bool deleteSurveys = false;
};

// One of the two name lists the documents are signed with.
enum class NameList { Agencies, Officers };

// One entry of a name list, identified by the database.
struct NamedEntry {
    qint64 id = 0;
    QString name;
};

// The number of a survey's vehicles measured at one speed.
struct SpeedCount {
    qint64 speed = 0;
    qint64 count = 0;
};

// The number of a survey's vehicles logged at one stored date and clock
// time (to the second), as the breakdowns bin them.
struct TimeCount {
    QDate date;
    int secondOfDay = 0;
    qint64 count = 0;
};

// The order a scan visits a survey's vehicles in.
enum class VehicleOrder {
    Stored, // the order they were stored in
    Clock,  // by stored date and clock time
};

// One row of a traffic flow breakdown, its four texts as shown: the date on
// a day's first bin, the bin's span, its count, and a total.
struct BreakdownRow {
    QString cDate;
    QString cTime;
    QString cCount;
    QString cHourTotal;

    friend bool operator==(const BreakdownRow& a, const BreakdownRow& b)
    {
        return a.cDate == b.cDate && a.cTime == b.cTime && a.cCount == b.cCount &&
               a.cHourTotal == b.cHourTotal;
    }
};

// One stored vehicle row, as stored.
struct VehicleRow {
    qint64 offset = 0; // seconds after the survey start
    QChar direction;   // '+', '-' or '?'
    qint64 speed = 0;
    int secondOfDay = 0; // the stored clock time
    QDate date;          // the stored date
};

// The open store of one database.
class SurveyStore {
public:
    virtual ~SurveyStore() = default;

    virtual Capabilities capabilities() const = 0;
    // The database as the user knows it (the file, or the server), for
    // messages.
    virtual QString describe() const = 0;

    // --- Surveys -------------------------------------------------------
    // The stored surveys with their header fields and vehicle counts, in the
    // order the survey lists show them.
    virtual std::vector<survey::ListedSurvey> listSurveys() = 0;
    // One survey's Header and Summary rows; empty texts when not stored.
    virtual survey::SurveyRecord loadSurvey(const QString& batchNumber) = 0;
    // Removes one survey whole (header, statistics, vehicles); false when
    // nothing was stored under the batch number.
    virtual bool deleteSurvey(const QString& batchNumber) = 0;

    // --- Vehicles --------------------------------------------------------
    // Calls `visit` for each vehicle of the survey in the given order; a
    // false return stops the scan. A vehicle whose stored date or clock time
    // cannot be read ends the scan with a DbError that quotes it.
    virtual void scanVehicles(const QString& batchNumber, VehicleOrder order,
                              const std::function<bool(const VehicleRow&)>& visit) = 0;
    // The survey's vehicles counted per speed, ascending.
    virtual std::vector<SpeedCount> speedCounts(const QString& batchNumber) = 0;
    // The survey's vehicles counted per stored date and clock time,
    // ascending.
    virtual std::vector<TimeCount> timeCounts(const QString& batchNumber) = 0;
    // Keeps a finished breakdown where other programs look for one, in place
    // of the one kept before, as one unit: a failure keeps the earlier rows.
    // This program never reads it back; a backend without such a place keeps
    // nothing.
    virtual void writeBreakdownRows(const std::vector<BreakdownRow>& rows) = 0;

    // --- Agencies and officers -------------------------------------------
    // The names of a list in the order they were added.
    virtual std::vector<NamedEntry> names(NameList list) = 0;
    // Adds a name and returns its entry.
    virtual NamedEntry addName(NameList list, const QString& name) = 0;
    // Renames or removes one entry; false when it is no longer there.
    virtual bool renameName(NameList list, qint64 id, const QString& name) = 0;
    virtual bool deleteName(NameList list, qint64 id) = 0;
};

// Opens the store of a database: the SQLite file at `database.path`.
// Throws db::DbError when it cannot be opened.
std::unique_ptr<SurveyStore> openStore(const db::Database& database);

} // namespace pelmor::store
