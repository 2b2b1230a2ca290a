#pragma once

#include "db/Database.h"
#include "db/DbError.h"
#include "survey/SurveyRecord.h"

#include <QByteArrayView>
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

// Who keeps a database: its file on this computer, or an agency's server,
// whose IT backs it up and mends it.
enum class Keeper { ThisComputer, AgencyServer };

// What a backend can do beyond the operations every backend has.
struct Capabilities {
    Keeper keeper = Keeper::ThisComputer;
    // Backup, compaction, repair, restore and replace of one database file.
    bool fileMaintenance = false;
    // "Delete Complete Database": every survey erased at once.
    bool deleteAll = false;
    // Whether this user may delete surveys and edit the agency and officer
    // lists. A server decides it by the user's role, so only its open store
    // knows; a description alone (capabilitiesOf) leaves it unknown.
    std::optional<bool> deleteSurveys;
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
    Clock,  // by stored date and clock time; those of one second in no set order
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
    int secondOfDay = 0;          // the stored clock time
    QDate date;                   // the stored date
    std::optional<double> length; // as its log gave it; none when it gave none
};

// What deleting a survey would remove, for the question asked first.
struct SurveyContents {
    bool header = false; // the survey's Header row is stored
    // The Header's location, direction and date, as stored; empty without it.
    QStringList about;
    // The survey's vehicles; none when they cannot be counted.
    std::optional<qint64> vehicles;
};

// What a deletion removed.
struct DeletedSurvey {
    bool header = false;     // the survey's Header row
    bool statistics = false; // its Summary row
    qint64 vehicles = 0;
};

// The batch number of a new survey is held already; nothing was written.
class DuplicateBatch : public db::DbError {
public:
    using db::DbError::DbError;
};

// The download a new survey was read from is stored already, as another
// survey: the same vehicles, whatever the header. Nothing was written.
class DuplicateDownload : public db::DbError {
public:
    DuplicateDownload(const QString& message, const QString& storedAs)
        : db::DbError(message, db::Failure::Refused)
        , m_storedAs(storedAs)
    {
    }
    // The batch number of the survey that holds the download.
    const QString& storedAs() const { return m_storedAs; }

private:
    QString m_storedAs;
};

// Another file was put in the database's place (a backup restored, a
// repair) while a survey was being written, so the survey did not reach
// the database now in place.
class DatabaseReplaced : public db::DbError {
public:
    using db::DbError::DbError;
};

// The way a vehicle travelled, as its direction is stored.
enum class Travel { Approaching, Receding, Unknown };

// A survey's vehicles counted per speed and direction: what its statistics
// and its sites' figures are worked out from, each over the vehicles of one
// batch number. Asked in the order the statistics need
// them; the answers are exact (whole counts, the average as the database
// computes it).
class SpeedTally {
public:
    virtual ~SpeedTally() = default;
    // Vehicles in all.
    virtual qint64 vehicles() = 0;
    // Vehicles at or under `speed`, and over it.
    virtual qint64 countAtMost(qint64 speed) = 0;
    virtual qint64 countOver(qint64 speed) = 0;
    // The average speed of the vehicles over `speed`; none when there are none.
    virtual std::optional<double> averageOver(qint64 speed) = 0;
    // The average, lowest and highest speed; none without vehicles.
    virtual std::optional<double> averageSpeed() = 0;
    virtual std::optional<qint64> lowestSpeed() = 0;
    virtual std::optional<qint64> highestSpeed() = 0;
    // Vehicles from `low` up to `high`, both included.
    virtual qint64 countWithin(double low, double high) = 0;
    // Vehicles travelling one way.
    virtual qint64 countTravelling(Travel travel) = 0;
    // The largest offset (seconds after the start); 0 without vehicles.
    virtual qint64 largestOffset() = 0;
    // The vehicles counted per speed, ascending: what the sites' figures
    // are worked out from.
    virtual std::vector<SpeedCount> speedCounts() = 0;
    // Vehicles over `limit` + `above` and at or under `atMost`: one band of
    // speeds over the limit.
    virtual qint64 countInBand(qint64 limit, int above, qint64 atMost) = 0;
    // Vehicles over `speed`: the open band at the top.
    virtual qint64 countBeyond(qint64 speed) = 0;
};

// Where a survey is put among the sites: the key its location and
// direction read as (see survey::siteKey), and its figures, the sites' own
// text written by the method of `method`.
struct SitePlacement {
    QString key;
    int method = 0;
    QString figuresText;
};

// A new survey being written; see SurveyStore::beginSurvey. Rolled back
// when destroyed without commit().
class SurveyWriter {
public:
    virtual ~SurveyWriter() = default;
    // One vehicle: its offset, direction text and speed as read from the
    // log, the clock time (to the minute, as seconds of the day) and date it
    // was logged at, and its length when the log gives one.
    virtual void addVehicle(qint64 offset, QByteArrayView direction, qint64 speed, int secondOfDay,
                            const QDate& date, std::optional<double> length) = 0;
    // The vehicles written so far, counted.
    virtual SpeedTally& tally() = 0;
    // Adds the statistics row, puts the survey at the site `placement`'s
    // key leads to (made, named after the survey's location and direction,
    // when there is none) with its figures, and makes the survey stored,
    // all of it at once. Without a placement the survey waits for one (see
    // placeStoredSurvey). Throws DuplicateBatch or DuplicateDownload when
    // another writer stored the batch number or the download meanwhile,
    // DatabaseReplaced when the survey did not reach the file that now bears
    // the database's name, and a db::DbError of the kind
    // db::Failure::MaybeSaved when it cannot be told whether it was stored.
    virtual void commit(const survey::SummaryRow& statistics,
                        const std::optional<SitePlacement>& placement) = 0;
};

// A survey's vehicles read one by one in stored order, as written.
class WrittenVehicles {
public:
    virtual ~WrittenVehicles() = default;
    // Moves to the next vehicle; false after the last. The direction text
    // stays valid until the next move.
    virtual bool next(qint64& offset, QByteArrayView& direction, qint64& speed) = 0;
};

// A place and a direction of travel that surveys are taken at.
struct Site {
    qint64 id = 0;
    QString name;      // the location as its first survey gave it
    QString direction; // the direction of travel as its first survey gave it
    std::optional<double> latitude;
    std::optional<double> longitude;
};

// The site a survey belongs to, and its figures as worked out when it was
// stored: `figuresText` is the sites' own text, written by the method of
// `method` (0 when none has been worked out yet).
struct SiteSurvey {
    QString batchNumber;
    qint64 siteId = 0;
    int method = 0;
    QString figuresText;
};

// Puts surveys in the order of their start, date and time, the earliest
// first; surveys of one start, and surveys whose start date cannot be read
// (at the end), keep the order they were stored in.
void orderByStart(std::vector<survey::ListedSurvey>& surveys);

// The open store of one database.
class SurveyStore {
public:
    virtual ~SurveyStore() = default;

    virtual Capabilities capabilities() const = 0;

    // --- Surveys -------------------------------------------------------
    // The stored surveys with their header fields and vehicle counts, in the
    // order the survey lists show them (orderByStart).
    virtual std::vector<survey::ListedSurvey> listSurveys() = 0;
    // The same surveys' Header rows alone, without counting any vehicle.
    virtual std::vector<survey::HeaderRow> listHeaders() = 0;
    // One survey's Header and Summary rows; empty texts when not stored.
    virtual survey::SurveyRecord loadSurvey(const QString& batchNumber) = 0;
    // Removes one survey whole (statistics, vehicles, header) as one unit,
    // also the rows a repair left under the batch number without their
    // header; says what went.
    virtual DeletedSurvey deleteSurvey(const QString& batchNumber) = 0;
    // What deleteSurvey() would remove under the batch number, read only.
    virtual SurveyContents surveyContents(const QString& batchNumber) = 0;
    // Erases every survey whole as one unit, with the rows a repair left
    // without their header; sites, names and settings stay. Returns whether
    // any vehicle was stored. Refused (db::Failure::Refused) where
    // capabilities() do not allow it.
    virtual bool deleteAllSurveys() = 0;
    // The batch numbers an older database holds more than once, which keep
    // surveys from being told apart: nothing is added until they are dealt
    // with. Empty for a database that keeps each batch number once.
    virtual QStringList duplicatedBatches() const = 0;

    // Writes a new survey as one unit: takes the database's write lock,
    // claims the batch number (throws DuplicateBatch when a survey, or
    // vehicles or statistics left without their header, hold it already) and
    // writes the header row. The vehicles and the statistics row follow
    // through the writer; nothing of it is stored unless the writer commits.
    // `source` names the device and log layout the vehicles were read with,
    // kept with the survey; empty for the sign's own download. The store's
    // reads see the rows written so far while the writer is open.
    virtual std::unique_ptr<SurveyWriter> beginSurvey(const survey::HeaderRow& header,
                                                      const QString& source) = 0;
    // The vehicles stored under a batch number, counted, for its
    // statistics; asked on this store's connection, so used while it is open.
    virtual std::unique_ptr<SpeedTally> tally(const QString& batchNumber) = 0;
    // The batch number of the survey that holds the download of
    // `fingerprint` (see db::DownloadFingerprint), found by one look-up of
    // the database's key on fingerprints; empty when none does.
    virtual QString surveyHoldingDownload(const QByteArray& fingerprint) = 0;
    // The vehicles of a survey as written, in stored order, read one by one
    // (the reader is done with before a writer begins).
    virtual std::unique_ptr<WrittenVehicles> readWrittenVehicles(const QString& batchNumber) = 0;

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

    // --- Sites -------------------------------------------------------------
    // Every site, by its id.
    virtual std::vector<Site> sites() = 0;
    // Every survey that has been put at a site, with its stored figures.
    virtual std::vector<SiteSurvey> siteSurveys() = 0;
    // Puts a stored survey that has no site, or figures of another method,
    // at a site with `placement`'s figures, as one unit: at its own site when
    // it has one, else at the site the key leads to (made, named after its
    // location and direction, when there is none; two stores asking for one
    // new key at once get one site). A survey whose figures are of
    // `placement`'s method keeps them. Returns the survey's site; 0 when the
    // survey is not stored. A server refuses figures that are not the
    // survey's own.
    virtual qint64 placeStoredSurvey(const QString& batchNumber, const SitePlacement& placement) = 0;
    // Moves the surveys and names of site `from` to site `into` and removes
    // `from`, as one unit; false when either is no longer there.
    virtual bool mergeSites(qint64 from, qint64 into) = 0;
    // Moves one survey to a new site of its own (which future surveys of
    // its location do not join), named after its location and direction,
    // and returns the new site's id; 0 when the survey has no site.
    virtual qint64 splitSurvey(const QString& batchNumber) = 0;
    // Sets a site's coordinates; false when it is no longer there.
    virtual bool setSiteCoordinates(qint64 siteId, double latitude, double longitude) = 0;

    // --- Agencies and officers -------------------------------------------
    // The names of a list in the order they were added.
    virtual std::vector<NamedEntry> names(NameList list) = 0;
    // Adds a name and returns its entry.
    virtual NamedEntry addName(NameList list, const QString& name) = 0;
    // Renames or removes one entry; false when it is no longer there.
    virtual bool renameName(NameList list, qint64 id, const QString& name) = 0;
    virtual bool deleteName(NameList list, qint64 id) = 0;
};

// What a user whose role may not delete surveys is told.
QString deletionRefused();

// Opens the store of a database: the PostgreSQL server of
// `database.server` when it is given, else the SQLite file at
// `database.path`. Throws db::DbError when it cannot be opened.
std::unique_ptr<SurveyStore> openStore(const db::Database& database);

// The agency server `database` describes, reached as `login` with
// `password`: its user and password give way to those given, and no
// password file is read, so that only the password typed signs a person
// in. Throws db::DbError (with no password in it) when the description
// cannot be read.
db::Database serverAs(const db::Database& database, const QString& login, const QString& password);

// What the store of `database` can do, told from its description alone,
// without opening it: for showing or hiding what the user may ask for.
Capabilities capabilitiesOf(const db::Database& database);

// The database in use as the windows name it: "This computer: PATH", or
// "Agency server: NAME" with `serverName` (db::serverName of the choice).
QString databaseInUse(const db::Database& database, const QString& serverName);

} // namespace pelmor::store
