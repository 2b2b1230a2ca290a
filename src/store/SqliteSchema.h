#pragma once

#include "db/FieldValues.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace pelmor::db {
class Connection;
}

// The layout of the survey database file: its tables and indexes, the
// statements that create it, and the steps that bring an older file up to
// date.
namespace pelmor::store {

struct TableInfo {
    QString name;
    std::vector<db::FieldInfo> fields;

    // Index of a field, found without regard to letter case; -1 when absent.
    int fieldIndex(const QString& fieldName) const;
    QStringList fieldNames() const;
};

// The seven tables of the survey database, in creation order.
const std::vector<TableInfo>& tables();

// An index of a table: its name and its fields in key order, as the layout
// of version 0 has it; later layouts add their columns at its end.
struct IndexInfo {
    QString name;
    QString table;
    QStringList fields;
};

// The indexes of the survey database.
const std::vector<IndexInfo>& indexes();

// A table found without regard to letter case, or nullptr.
const TableInfo* findTable(const QString& name);

// The layout version a database file carries in its header
// (PRAGMA user_version). Version 0 is the layout of the seven tables alone;
// version 1 adds the keys that keep survey identity: one Header row per
// batch number, and no statistics row written under a batch number without
// its Header row; version 2 adds the sites the surveys are taken at;
// version 3 adds the fingerprint of each survey's download (see
// DownloadFingerprint), by which a download is stored once; version 4 keeps
// each survey's vehicle count, so that listing the surveys reads no vehicle;
// version 5 keeps each vehicle's length, when its log gave one, and the
// device and log layout a survey's vehicles were read with.
inline constexpr int kSchemaVersion = 5;
// The first version whose files hold the sites' tables.
inline constexpr int kSitesVersion = 2;
// The first version whose files hold the downloads' fingerprints.
inline constexpr int kDownloadsVersion = 3;
// The first version whose files keep each survey's vehicle count.
inline constexpr int kVehicleCountsVersion = 4;
// The first version whose files keep vehicle lengths and survey sources.
inline constexpr int kLengthsVersion = 5;

// A table a later layout added beside the seven.
struct AddedTable {
    const char* name;
    int version;         // the layout version that added it
    const char* columns; // its columns and keys, as created
    // Whether its rows belong to single surveys, by batch number: they go
    // with the survey when it is deleted.
    bool perSurvey;
    // Whether its rows live in the key's own tree (WITHOUT ROWID).
    bool keyTree = false;
};

// The sites' tables: the sites, the keys their surveys' locations read as,
// and the site of each survey.
inline constexpr const char* kSiteTable = "Site";
inline constexpr const char* kSiteNameTable = "Site_Name";
inline constexpr const char* kSiteSurveyTable = "Site_Survey";

// The tables the layouts after version 1 added, in creation order.
const std::vector<AddedTable>& addedTables();

// An added table found without regard to letter case, or nullptr.
const AddedTable* findAddedTable(const QString& name);

// A column a later layout added to one of the seven tables: nullable, so
// that the rows stored before it read as having none.
struct AddedColumn {
    const char* table;
    const char* name;
    const char* type;
    int version; // the layout version that added it
};

// The columns the later layouts added, in the order they were added.
const std::vector<AddedColumn>& addedColumns();

// The statements that create the schema of `version` in an empty database,
// and the one settings row every database carries.
QStringList schemaStatements(int version = kSchemaVersion);

// The statements that take a file of version 0 to version 1.
QStringList identityStatements();

// The statements that add the sites' tables (version 2), each made only
// where it is missing.
QStringList siteStatements();

// The statements that add the table of the downloads' fingerprints
// (version 3): one row a survey, and each download once, but for copies an
// older program stored under different starts, which are numbered 1, 2, ...
// beside the first (0, the number every new survey gets).
QStringList downloadStatements();

// The statements that add the table of the surveys' vehicle counts
// (version 4): one row a survey with vehicles, written with the survey and
// removed with its Header row.
QStringList vehicleCountStatements();

// The statements that add the vehicles' lengths (with the length at the end
// of the vehicles' index) and the table of the surveys' sources (version 5)
// to a file that has neither.
QStringList lengthStatements();

// Whether the file's vehicle rows have their length column: a file not yet
// brought up to date (read-only, or holding a batch number twice) has none.
bool hasVehicleLengths(db::Connection& connection);

// Writes a new empty database with the schema of `version` to `path`,
// replacing a file of that name only once the new one is complete. Version
// 0 is for a file that must take rows breaking identity (the rows a repair
// saves); it is brought up to date when it is next opened. Throws DbError.
void createEmptyDatabase(const QString& path, int version = kSchemaVersion);

// Brings an older file to the current layout in one transaction: either all
// of the upgrade lands or the file stays exactly as it was. The
// fingerprints of the surveys stored before are made in one pass over the
// vehicles, their vehicle counts in one pass over the vehicles' index. A
// file whose batch numbers are already stored more than once is not
// changed; those batch numbers are returned, in order. A file that cannot
// be written now (read-only, or another program holds the write lock) is
// left for a later opening, as is a file with no tables yet.
QStringList upgradeSchema(db::Connection& connection);

// What the user is told when `path` holds surveys under the same batch
// numbers: which, and what to do first.
QString duplicatedBatchesMessage(const QString& path, const QStringList& batches);

// Makes sure `folder` holds the template (written anew) and a survey database
// (a copy of the template, only when none exists yet). Throws DbError.
void initDatabaseFolder(const QString& folder);

} // namespace pelmor::store
