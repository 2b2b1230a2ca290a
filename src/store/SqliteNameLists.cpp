#include "store/SqliteSurveyStore.h"

#include "db/SqliteStatement.h"

// The agency and officer lists of the SQLite file: one table each, one text
// field, and SQLite's row id as the identity of an entry.
namespace pelmor::store {
namespace {

struct NameTable {
    const char* table;
    const char* field;
};

NameTable tableOf(NameList list)
{
    return list == NameList::Agencies ? NameTable{"Agency", "Admin_Agency"}
                                      : NameTable{"Officer", "Admin_Officer"};
}

// A statement on a list's table: %1 stands for the table, %2 for its field.
QString onTable(NameList list, const char* statement)
{
    const NameTable names = tableOf(list);
    return QString::fromLatin1(statement)
        .replace(QLatin1String("%1"), QLatin1String(names.table))
        .replace(QLatin1String("%2"), QLatin1String(names.field));
}

} // namespace

std::vector<NamedEntry> SqliteSurveyStore::names(NameList list)
{
    db::SqliteStatement rows(m_connection, onTable(list, "SELECT rowid, \"%2\" FROM \"%1\" ORDER BY rowid"));
    std::vector<NamedEntry> entries;
    while (rows.nextRow())
        entries.push_back({rows.integerAt(0), QString::fromUtf8(rows.textAt(1))});
    return entries;
}

NamedEntry SqliteSurveyStore::addName(NameList list, const QString& name)
{
    db::SqliteStatement insert(m_connection, onTable(list, "INSERT INTO \"%1\" (\"%2\") VALUES (?)"));
    insert.bind(0, name);
    insert.run();
    return {insert.lastInsertRowId(), name};
}

bool SqliteSurveyStore::renameName(NameList list, qint64 id, const QString& name)
{
    db::SqliteStatement update(m_connection, onTable(list, "UPDATE \"%1\" SET \"%2\" = ? WHERE rowid = ?"));
    update.bind(0, name);
    update.bindInteger(1, id);
    return update.run() > 0;
}

bool SqliteSurveyStore::deleteName(NameList list, qint64 id)
{
    db::SqliteStatement remove(m_connection, onTable(list, "DELETE FROM \"%1\" WHERE rowid = ?"));
    remove.bindInteger(0, id);
    return remove.run() > 0;
}

} // namespace pelmor::store
