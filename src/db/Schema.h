#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace pelmor::db {

// How a field stores its value. Date and Time fields hold text in a sortable
// stored form ("2002-05-03", "13:05:00"); values written to them are read as
// dates or times first.
enum class FieldKind { Text, Integer, Date, Time };

struct FieldInfo {
    QString name;
    FieldKind kind;
};

struct TableInfo {
    QString name;
    std::vector<FieldInfo> fields;

    // Index of a field, found without regard to letter case; -1 when absent.
    int fieldIndex(const QString& fieldName) const;
    QStringList fieldNames() const;
};

// The seven tables of the survey database, in creation order.
const std::vector<TableInfo>& tables();

// An index of a table: its name and its fields in key order.
struct IndexInfo {
    QString name;
    QString table;
    QStringList fields;
};

// The indexes of the survey database.
const std::vector<IndexInfo>& indexes();

// A table found without regard to letter case, or nullptr.
const TableInfo* findTable(const QString& name);

// The statements that create the schema in an empty database, and the one
// settings row every database carries.
QStringList schemaStatements();

// Writes a new empty database with the full schema to `path`, replacing a
// file of that name only once the new one is complete. Throws DbError.
void createEmptyDatabase(const QString& path);

// Makes sure `folder` holds the template (written anew) and a survey database
// (a copy of the template, only when none exists yet). Throws DbError.
void initDatabaseFolder(const QString& folder);

} // namespace pelmor::db
