#include "store/PgSurveyStore.h"

// The agency and officer lists on the server: one table each, one text
// field, and an identity column as the id of an entry.
namespace pelmor::store {
namespace {

// A statement on a list's table: %1 stands for the table, %2 for its field.
QByteArray onTable(NameList list, const char* statement)
{
    const bool agencies = list == NameList::Agencies;
    return QByteArray(statement)
        .replace("%1", agencies ? "Agency" : "Officer")
        .replace("%2", agencies ? "Admin_Agency" : "Admin_Officer");
}

} // namespace

std::vector<NamedEntry> PgSurveyStore::names(NameList list)
{
    const PgResult rows =
        m_connection.exec(onTable(list, "SELECT \"Id\", \"%2\" FROM \"%1\" ORDER BY \"Id\""));
    std::vector<NamedEntry> entries;
    for (int row = 0; row < rows.rows(); ++row)
        entries.push_back({rows.integer(row, 0), rows.text(row, 1)});
    return entries;
}

NamedEntry PgSurveyStore::addName(NameList list, const QString& name)
{
    const PgResult added = m_connection.exec(
        onTable(list, "INSERT INTO \"%1\" (\"%2\") VALUES ($1) RETURNING \"Id\""), {name.toUtf8()});
    return {added.integer(0, 0), name};
}

bool PgSurveyStore::renameName(NameList list, qint64 id, const QString& name)
{
    return m_connection
               .exec(onTable(list, "UPDATE \"%1\" SET \"%2\" = $1 WHERE \"Id\" = $2"),
                     {name.toUtf8(), QByteArray::number(id)})
               .rowsChanged() > 0;
}

bool PgSurveyStore::deleteName(NameList list, qint64 id)
{
    return m_connection.exec(onTable(list, "DELETE FROM \"%1\" WHERE \"Id\" = $1"), {QByteArray::number(id)})
               .rowsChanged() > 0;
}

} // namespace pelmor::store
