#include "store/SqliteSchema.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/DownloadFingerprint.h"
#include "db/DurableFiles.h"
#include "db/Files.h"
#include "db/SqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <map>
#include <memory>

namespace pelmor::store {

using db::Connection;
using db::DbError;
using db::displayPath;
using db::DownloadFingerprint;
using db::FieldInfo;
using db::FieldKind;
using db::kDatabaseFileName;
using db::kTemplateFileName;
using db::replaceFile;
using db::SqliteStatement;
using db::syncFile;
using db::Transaction;

namespace {

std::vector<FieldInfo> textFields(std::initializer_list<const char*> names)
{
    std::vector<FieldInfo> fields;
    for (const char* name : names)
        fields.push_back({QLatin1String(name), FieldKind::Text});
    return fields;
}

std::vector<TableInfo> makeTables()
{
    std::vector<TableInfo> all;
    all.push_back(
        {QStringLiteral("Header"),
         textFields({"Batch_Number", "Location_Code", "Location", "Date", "Time", "Violation_Alert",
                     "Blank_Speed", "Alarm_Speed", "Radar_Mode", "Direction", "Zone", "Field_Setup"})});
    all.push_back({QStringLiteral("Summary"),
                   textFields({"Batch_Number",    "Posted_Limit",   "Number_Under",   "Number_Over",
                               "Averge_Over",     "Min_Speed",      "Max_Speed",      "Average_Speed",
                               "Pace_Low",        "Pace_High",      "Pace_Total",     "Pace_Percent",
                               "85th_Percentile", "Total_Vehicles", "Total_Approach", "Total_Receeding",
                               "Total_Unknown",   "Start_Time",     "Stop_Time",      "Total_Time",
                               "Start_Date",      "Stop_Date",      "Over_5",         "Over_10",
                               "Over_15",         "Over_20",        "Over_25",        "Over_26"})});
    all.push_back({QStringLiteral("Veh_Data"),
                   {{QStringLiteral("Batch_Number"), FieldKind::Text},
                    {QStringLiteral("Offset"), FieldKind::Integer},
                    {QStringLiteral("Veh_Direction"), FieldKind::Text},
                    {QStringLiteral("Speed"), FieldKind::Integer},
                    {QStringLiteral("Time"), FieldKind::Time},
                    {QStringLiteral("Date"), FieldKind::Date}}});
    all.push_back({QStringLiteral("Radar"), textFields({"Radar_Mode"})});
    all.push_back({QStringLiteral("Breakdown"), textFields({"cDate", "cTime", "cCount", "cHourTotal"})});
    all.push_back({QStringLiteral("Agency"), textFields({"Admin_Agency"})});
    all.push_back({QStringLiteral("Officer"), textFields({"Admin_Officer"})});
    return all;
}

QString sqlType(FieldKind kind)
{
    return kind == FieldKind::Integer ? QStringLiteral("INTEGER") : QStringLiteral("TEXT");
}

QString addColumnStatement(const AddedColumn& column)
{
    return QStringLiteral("ALTER TABLE \"%1\" ADD COLUMN \"%2\" %3")
        .arg(QLatin1String(column.table), QLatin1String(column.name), QLatin1String(column.type));
}

QStringList addedTableStatements(int version);

} // namespace

int TableInfo::fieldIndex(const QString& fieldName) const
{
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QStringList TableInfo::fieldNames() const
{
    QStringList names;
    for (const FieldInfo& field : fields)
        names << field.name;
    return names;
}

const std::vector<TableInfo>& tables()
{
    static const std::vector<TableInfo> all = makeTables();
    return all;
}

const std::vector<IndexInfo>& indexes()
{
    // Every survey query selects by batch, the volume counts by date and time
    // of day. The index carries speed, direction and offset as well, so the
    // statistics and graphs of a survey read the index alone, never the rows:
    // a month of traffic is a million rows.
    static const std::vector<IndexInfo> all = {
        {QStringLiteral("Veh_Data_Batch_Date_Time"), QStringLiteral("Veh_Data"),
         QStringList{"Batch_Number", "Date", "Time", "Speed", "Veh_Direction", "Offset"}}};
    return all;
}

const TableInfo* findTable(const QString& name)
{
    for (const TableInfo& table : tables()) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}

QStringList schemaStatements(int version)
{
    QStringList statements;
    for (const TableInfo& table : tables()) {
        QStringList columns;
        for (const FieldInfo& field : table.fields)
            columns << QStringLiteral("\"%1\" %2").arg(field.name, sqlType(field.kind));
        statements << QStringLiteral("CREATE TABLE \"%1\" (%2) STRICT")
                          .arg(table.name, columns.join(QStringLiteral(", ")));
    }
    for (const IndexInfo& index : indexes()) {
        QStringList fields;
        for (const QString& field : index.fields)
            fields << QLatin1Char('"') + field + QLatin1Char('"');
        statements << QStringLiteral("CREATE INDEX \"%1\" ON \"%2\" (%3)")
                          .arg(index.name, index.table, fields.join(QStringLiteral(", ")));
    }
    statements << QStringLiteral("INSERT INTO \"Radar\" (\"Radar_Mode\") VALUES ('MPH')");
    if (version >= 1)
        statements << identityStatements();
    if (version >= kSitesVersion)
        statements << siteStatements() << QStringLiteral("PRAGMA user_version = 2");
    if (version >= kDownloadsVersion)
        statements << downloadStatements() << QStringLiteral("PRAGMA user_version = 3");
    if (version >= kVehicleCountsVersion)
        statements << vehicleCountStatements() << QStringLiteral("PRAGMA user_version = 4");
    if (version >= kLengthsVersion)
        statements << lengthStatements() << QStringLiteral("PRAGMA user_version = 5");
    return statements;
}

const std::vector<AddedTable>& addedTables()
{
    // A site's keys are the location and direction texts of its surveys
    // read alike (see the sites' own key); a survey's figures are the
    // sites' own text, with the version of the method that wrote them.
    static const std::vector<AddedTable> all = {
        {kSiteTable, kSitesVersion,
         "\"Site_Id\" INTEGER PRIMARY KEY, \"Name\" TEXT NOT NULL, \"Direction\" TEXT NOT NULL, "
         "\"Latitude\" REAL, \"Longitude\" REAL",
         false},
        {kSiteNameTable, kSitesVersion, "\"Key\" TEXT PRIMARY KEY, \"Site_Id\" INTEGER NOT NULL", false},
        {kSiteSurveyTable, kSitesVersion,
         "\"Batch_Number\" TEXT PRIMARY KEY, \"Site_Id\" INTEGER NOT NULL, \"Method\" INTEGER NOT NULL, "
         "\"Figures\" TEXT NOT NULL",
         true},
        {"Survey_Download", kDownloadsVersion,
         "\"Batch_Number\" TEXT PRIMARY KEY, \"Fingerprint\" BLOB NOT NULL, \"Copy\" INTEGER NOT NULL "
         "DEFAULT 0, UNIQUE (\"Fingerprint\", \"Copy\")",
         true},
        // The rows live in the key's own tree, whose pages a repair cannot
        // take for lost rows of another table of the same columns.
        {"Survey_Vehicles", kVehicleCountsVersion,
         "\"Batch_Number\" TEXT PRIMARY KEY, \"Vehicles\" INTEGER NOT NULL", true, true},
        // Only surveys read from another device's log have a source. Its
        // rows have row numbers, by which a repair saves them.
        {"Survey_Source", kLengthsVersion, "\"Batch_Number\" TEXT PRIMARY KEY, \"Source\" TEXT NOT NULL",
         true},
    };
    return all;
}

const std::vector<AddedColumn>& addedColumns()
{
    static const std::vector<AddedColumn> all = {{"Veh_Data", "Length", "REAL", kLengthsVersion}};
    return all;
}

const AddedTable* findAddedTable(const QString& name)
{
    for (const AddedTable& table : addedTables()) {
        if (name.compare(QLatin1String(table.name), Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}

namespace {

// The statements that make the added tables of one version where missing.
QStringList addedTableStatements(int version)
{
    QStringList statements;
    for (const AddedTable& table : addedTables()) {
        if (table.version == version)
            statements << QStringLiteral("CREATE TABLE IF NOT EXISTS \"%1\" (%2) STRICT%3")
                              .arg(QLatin1String(table.name), QLatin1String(table.columns),
                                   table.keyTree ? QStringLiteral(", WITHOUT ROWID") : QString());
    }
    return statements;
}

} // namespace

QStringList siteStatements()
{
    return addedTableStatements(kSitesVersion);
}

QStringList downloadStatements()
{
    return addedTableStatements(kDownloadsVersion);
}

bool hasVehicleLengths(Connection& connection)
{
    SqliteStatement column(
        connection, QStringLiteral("SELECT 1 FROM pragma_table_info('Veh_Data') WHERE name = 'Length'"));
    const bool found = column.nextRow();
    column.reset();
    return found;
}

QStringList lengthStatements()
{
    QStringList statements;
    for (const AddedColumn& column : addedColumns()) {
        if (column.version == kLengthsVersion)
            statements << addColumnStatement(column);
    }
    // The vehicles' index carries the length at its end, so that a survey's
    // vehicles are still read from the index alone, and a repair still
    // saves whole rows from it.
    for (const IndexInfo& index : indexes()) {
        QStringList fields;
        for (const QString& field : index.fields)
            fields << QLatin1Char('"') + field + QLatin1Char('"');
        for (const AddedColumn& column : addedColumns()) {
            if (index.table == QLatin1String(column.table))
                fields << QStringLiteral("\"%1\"").arg(QLatin1String(column.name));
        }
        statements << QStringLiteral("DROP INDEX \"%1\"").arg(index.name)
                   << QStringLiteral("CREATE INDEX \"%1\" ON \"%2\" (%3)")
                          .arg(index.name, index.table, fields.join(QStringLiteral(", ")));
    }
    return statements << addedTableStatements(kLengthsVersion);
}

QStringList vehicleCountStatements()
{
    // Every way a survey leaves the file removes its Header row; the count
    // goes with it, one row a survey rather than a write per vehicle.
    return addedTableStatements(kVehicleCountsVersion) << QStringList{
               QStringLiteral("CREATE TRIGGER IF NOT EXISTS \"Header_Takes_Vehicle_Count\" AFTER DELETE ON "
                              "\"Header\" BEGIN DELETE FROM \"Survey_Vehicles\" WHERE \"Batch_Number\" = "
                              "OLD.\"Batch_Number\"; END")};
}

QStringList identityStatements()
{
    // The key holds the batch number as an expression of it, so that the
    // query planner never walks it to read batch numbers: the distinct batch
    // numbers keep coming in the order the surveys were stored, not sorted.
    // A statistics row is refused unless its Header row is there already,
    // found through the same key. Vehicle rows get no such check: one probe
    // per row makes the import of a month's vehicles a third slower, and the
    // only writer of vehicles writes the Header row first in the same
    // transaction. Deletions are left free, so a repair's leftovers can be
    // removed.
    return {
        QStringLiteral("CREATE UNIQUE INDEX \"Header_Batch_Number\" ON \"Header\" (\"Batch_Number\" || '')"),
        QStringLiteral(
            "CREATE TRIGGER \"Summary_Needs_Header\" BEFORE INSERT ON \"Summary\" WHEN NOT EXISTS "
            "(SELECT 1 FROM \"Header\" WHERE \"Batch_Number\" || '' = NEW.\"Batch_Number\") BEGIN "
            "SELECT RAISE(ABORT, 'a statistics row needs the Header row of its batch number'); END"),
        QStringLiteral("PRAGMA user_version = 1")};
}

namespace {

qint64 numberFrom(Connection& connection, const QString& statement)
{
    SqliteStatement query(connection, statement);
    if (!query.nextRow())
        throw DbError(QStringLiteral("The database %1 gave no answer to \"%2\".")
                          .arg(displayPath(connection.path()), statement));
    const qint64 number = query.integerAt(0);
    query.reset();
    return number;
}

// Keeps the fingerprint of every survey stored before the file kept them,
// made in one pass over the vehicles in the order they were stored (the
// order the fingerprint follows), however the surveys' rows lie among each
// other. A survey without vehicles gets none. Of surveys that an older
// program stored of one download under different starts, the first stored
// is the download's own and the others are numbered as its copies.
void fingerprintStoredSurveys(Connection& connection)
{
    std::vector<QByteArray> batches;
    std::map<QByteArray, std::unique_ptr<DownloadFingerprint>> prints;
    SqliteStatement headers(connection,
                            QStringLiteral("SELECT \"Batch_Number\" FROM \"Header\" ORDER BY rowid"));
    while (headers.nextRow()) {
        batches.push_back(headers.textAt(0).toByteArray());
        prints.emplace(batches.back(), nullptr);
    }
    SqliteStatement vehicles(connection,
                             QStringLiteral("SELECT \"Batch_Number\", \"Offset\", \"Veh_Direction\", "
                                            "\"Speed\" FROM \"Veh_Data\" ORDER BY rowid"));
    QByteArray lastBatch;
    DownloadFingerprint* print = nullptr;
    while (vehicles.nextRow()) {
        if (vehicles.textAt(0) != lastBatch || lastBatch.isNull()) {
            lastBatch = vehicles.textAt(0).toByteArray();
            const auto found = prints.find(lastBatch);
            print = nullptr;
            if (found != prints.end()) {
                if (!found->second)
                    found->second = std::make_unique<DownloadFingerprint>();
                print = found->second.get();
            }
        }
        if (print)
            print->add(vehicles.integerAt(1), vehicles.textAt(2), vehicles.integerAt(3));
    }
    SqliteStatement insert(connection, QStringLiteral("INSERT INTO \"Survey_Download\" (\"Batch_Number\", "
                                                      "\"Fingerprint\", \"Copy\") VALUES (?, ?, ?)"));
    std::map<QByteArray, int> copies;
    for (const QByteArray& batch : batches) {
        const auto& made = prints.at(batch);
        if (!made)
            continue;
        const QByteArray fingerprint = made->result();
        insert.bind(0, QString::fromUtf8(batch));
        insert.bind(1, fingerprint);
        insert.bind(2, copies[fingerprint]++);
        insert.run();
    }
}

} // namespace

QStringList upgradeSchema(Connection& connection)
{
    const QString version = QStringLiteral("PRAGMA user_version");
    if (numberFrom(connection, version) >= kSchemaVersion || !db::hasTable(connection, "Header"))
        return {};
    try {
        connection.executeUnlogged(QStringLiteral("BEGIN IMMEDIATE"));
    } catch (const DbError&) {
        return {}; // read-only, or busy: the next opening tries again
    }
    try {
        // Another program may have upgraded it while this one waited.
        if (numberFrom(connection, version) >= kSchemaVersion) {
            connection.executeUnlogged(QStringLiteral("ROLLBACK"));
            return {};
        }
        QStringList duplicated;
        const QString statement = QStringLiteral("SELECT \"Batch_Number\" FROM \"Header\" GROUP BY "
                                                 "\"Batch_Number\" HAVING count(*) > 1 ORDER BY 1");
        SqliteStatement batches(connection, statement);
        while (batches.nextRow())
            duplicated << batches.valueAt(0).toString();
        if (duplicated.isEmpty()) {
            const qint64 from = numberFrom(connection, version);
            if (from < 1) {
                for (const QString& upgrade : identityStatements())
                    connection.executeUnlogged(upgrade);
            }
            for (const QString& upgrade : siteStatements())
                connection.executeUnlogged(upgrade);
            if (from < kDownloadsVersion) {
                for (const QString& upgrade : downloadStatements())
                    connection.executeUnlogged(upgrade);
                fingerprintStoredSurveys(connection);
            }
            if (from < kVehicleCountsVersion) {
                for (const QString& upgrade : vehicleCountStatements())
                    connection.executeUnlogged(upgrade);
                // Counted anew in one pass over the index, which begins with
                // the batch number.
                connection.executeUnlogged(QStringLiteral("DELETE FROM \"Survey_Vehicles\""));
                connection.executeUnlogged(QStringLiteral(
                    "INSERT INTO \"Survey_Vehicles\" (\"Batch_Number\", \"Vehicles\") SELECT "
                    "\"Batch_Number\", count(*) FROM \"Veh_Data\" WHERE \"Batch_Number\" IN (SELECT "
                    "\"Batch_Number\" FROM \"Header\") GROUP BY \"Batch_Number\""));
            }
            // A repaired file holds the lengths' column and table already.
            if (!hasVehicleLengths(connection)) {
                for (const QString& upgrade : lengthStatements())
                    connection.executeUnlogged(upgrade);
            }
            connection.executeUnlogged(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
            connection.executeUnlogged(QStringLiteral("COMMIT"));
            return {};
        }
        connection.executeUnlogged(QStringLiteral("ROLLBACK"));
        return duplicated;
    } catch (const DbError&) {
        connection.rollback();
        return {}; // the file stays as it was; the next opening tries again
    }
}

QString duplicatedBatchesMessage(const QString& path, const QStringList& batches)
{
    const bool one = batches.size() == 1;
    return QStringLiteral(
               "The survey database %1 holds more than one survey under %2 %3, so it cannot yet "
               "keep batch numbers apart and was left unchanged. Delete the surveys stored under %4 "
               "first (Database Maintenance; Repair the database before that if it is damaged), then "
               "store the survey again.")
        .arg(displayPath(path),
             one ? QStringLiteral("the batch number") : QStringLiteral("the batch numbers"),
             batches.join(QStringLiteral(", ")),
             one ? QStringLiteral("that number") : QStringLiteral("those numbers"));
}

void createEmptyDatabase(const QString& path, int version)
{
    const QString partial = path + QStringLiteral(".partial");
    QFile::remove(partial);
    {
        QFile file(partial);
        if (!file.open(QIODevice::WriteOnly))
            throw DbError(QStringLiteral("Cannot create the database file %1: %2")
                              .arg(displayPath(partial), file.errorString()));
    }
    try {
        Connection connection({partial});
        Transaction transaction(connection);
        for (const QString& statement : schemaStatements(version))
            connection.executeUnlogged(statement);
        transaction.commit();
    } catch (...) {
        QFile::remove(partial);
        throw;
    }
    // The finished file takes the name in one step: a crash leaves either
    // the old file or the new one, never neither.
    QString reason;
    if (!syncFile(partial, &reason) || !replaceFile(partial, path, &reason)) {
        QFile::remove(partial);
        throw DbError(QStringLiteral("Cannot write the database file %1: %2").arg(displayPath(path), reason));
    }
}

void initDatabaseFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        throw DbError(QStringLiteral("Cannot create the folder %1.").arg(displayPath(folder)));
    const QDir dir(folder);
    const QString templatePath = dir.filePath(QLatin1String(kTemplateFileName));
    createEmptyDatabase(templatePath);
    const QString databaseFile = dir.filePath(QLatin1String(kDatabaseFileName));
    if (!QFileInfo::exists(databaseFile) && !QFile::copy(templatePath, databaseFile))
        throw DbError(QStringLiteral("Cannot create the database file %1.").arg(displayPath(databaseFile)));
}

} // namespace pelmor::store
