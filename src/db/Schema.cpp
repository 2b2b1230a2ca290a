#include "db/Schema.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/DurableFiles.h"
#include "db/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pelmor::db {
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

QStringList schemaStatements()
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
    return statements;
}

void createEmptyDatabase(const QString& path)
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
        Connection connection({partial, nullptr});
        Transaction transaction(connection);
        for (const QString& statement : schemaStatements())
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

} // namespace pelmor::db
