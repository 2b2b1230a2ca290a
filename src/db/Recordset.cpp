#include "db/Recordset.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/FieldValues.h"
#include "db/SqlText.h"
#include "db/SqliteStatement.h"

#include <QRegularExpression>

#include <algorithm>

namespace pelmor::db {
namespace {

constexpr int kPageSize = 512;

QString quotedName(const QString& name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString columnList(const TableInfo& table)
{
    QStringList columns;
    for (const FieldInfo& field : table.fields)
        columns << quotedName(field.name);
    return columns.join(QStringLiteral(", "));
}

DbError noCurrentRecord()
{
    return DbError(QStringLiteral("No current record."));
}

} // namespace

Recordset::Recordset(Connection& connection, const TableInfo* table, QString where)
    : m_connection(&connection)
    , m_table(table)
    , m_where(std::move(where))
{
}

Recordset::Recordset(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

Recordset Recordset::open(Connection& connection, const QString& statement)
{
    // "select * from <table> [where ...]" or a bare table name is a table set.
    static const QRegularExpression tableSource(
        QStringLiteral(R"(^\s*(?:select\s+\*\s+from\s+)?[\["]?([A-Za-z_][A-Za-z0-9_]*)[\]"]?)"
                       R"((?:\s+where\s+(.+?))?\s*;?\s*$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = tableSource.match(statement);
    if (match.hasMatch()) {
        if (const TableInfo* table = findTable(match.captured(1)))
            return openTable(connection, *table, translateStatement(match.captured(2)));
    }
    Recordset set(connection, nullptr, QString());
    set.loadQuery(statement);
    return set;
}

Recordset Recordset::openTable(Connection& connection, const TableInfo& table, const QString& where)
{
    return Recordset(connection, &table, where);
}

QStringList Recordset::fieldNames() const
{
    return m_table ? m_table->fieldNames() : m_columns;
}

void Recordset::loadQuery(const QString& statement)
{
    SqliteStatement query(*m_connection, translateStatement(statement), statement);
    const int columns = query.columnCount();
    for (int i = 0; i < columns; ++i)
        m_columns << query.columnName(i);
    while (query.nextRow()) {
        QVector<QVariant> row(columns);
        for (int i = 0; i < columns; ++i)
            row[i] = query.valueAt(i);
        m_rows.push_back(std::move(row));
    }
    m_live = static_cast<qsizetype>(m_rows.size());
}

void Recordset::loadKeys()
{
    if (!m_table || m_keysLoaded)
        return;
    QString statement = QStringLiteral("SELECT rowid FROM %1").arg(quotedName(m_table->name));
    if (!m_where.isEmpty())
        statement += QStringLiteral(" WHERE ") + m_where;
    statement += QStringLiteral(" ORDER BY rowid");
    SqliteStatement query(*m_connection, statement);
    m_keys.clear();
    while (query.nextRow())
        m_keys.push_back(query.integerAt(0));
    m_dead.assign(m_keys.size(), false);
    m_live = static_cast<qsizetype>(m_keys.size());
    m_keysLoaded = true;
    m_pos = 0;
}

qsizetype Recordset::size()
{
    loadKeys();
    return m_table ? static_cast<qsizetype>(m_keys.size()) : static_cast<qsizetype>(m_rows.size());
}

bool Recordset::isLive(qsizetype index) const
{
    return !m_table || !m_dead[static_cast<size_t>(index)];
}

qsizetype Recordset::nextLive(qsizetype from)
{
    const qsizetype n = size();
    qsizetype i = std::max<qsizetype>(from, 0);
    while (i < n && !isLive(i))
        ++i;
    return i;
}

qsizetype Recordset::previousLive(qsizetype from)
{
    qsizetype i = std::min(from, size() - 1);
    while (i >= 0 && !isLive(i))
        --i;
    return i;
}

bool Recordset::bof()
{
    size();
    return m_live == 0 || m_pos < 0;
}

bool Recordset::eof()
{
    const qsizetype rows = size(); // reads the row ids first
    return m_live == 0 || m_pos >= rows;
}

bool Recordset::hasCurrent()
{
    return m_pos >= 0 && m_pos < size() && isLive(m_pos);
}

int Recordset::recordCount()
{
    size();
    return static_cast<int>(m_live);
}

void Recordset::moveFirst()
{
    cancelUpdate();
    m_pos = nextLive(0);
}

void Recordset::moveLast()
{
    cancelUpdate();
    const qsizetype last = previousLive(size() - 1);
    m_pos = last < 0 ? size() : last;
}

void Recordset::moveNext()
{
    cancelUpdate();
    if (m_pos >= size())
        throw noCurrentRecord();
    m_pos = nextLive(m_pos + 1);
}

void Recordset::movePrevious()
{
    cancelUpdate();
    if (m_pos < 0)
        throw noCurrentRecord();
    m_pos = previousLive(m_pos - 1);
}

bool Recordset::findFirst(const QString& criterion)
{
    if (!m_table)
        throw DbError(QStringLiteral("Rows of a query result cannot be searched."));
    cancelUpdate();
    loadKeys();
    QString statement = QStringLiteral("SELECT rowid FROM %1 WHERE (%2)")
                            .arg(quotedName(m_table->name), translateStatement(criterion));
    if (!m_where.isEmpty())
        statement += QStringLiteral(" AND (%1)").arg(m_where);
    statement += QStringLiteral(" ORDER BY rowid");
    SqliteStatement query(*m_connection, statement, criterion);
    while (query.nextRow()) {
        const qint64 key = query.integerAt(0);
        const auto it = std::lower_bound(m_keys.begin(), m_keys.end(), key);
        if (it != m_keys.end() && *it == key) {
            const qsizetype index = it - m_keys.begin();
            if (isLive(index)) {
                m_pos = index;
                return true;
            }
        }
    }
    return false;
}

int Recordset::fieldIndex(const QString& field) const
{
    if (m_table) {
        const int index = m_table->fieldIndex(field);
        if (index < 0)
            throw DbError(QStringLiteral("The table %1 has no field %2.").arg(m_table->name, field));
        return index;
    }
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    throw DbError(QStringLiteral("The query result has no column %1.").arg(field));
}

const QVector<QVariant>& Recordset::currentRow()
{
    if (!hasCurrent())
        throw noCurrentRecord();
    if (!m_table)
        return m_rows[static_cast<size_t>(m_pos)];

    const qint64 key = m_keys[static_cast<size_t>(m_pos)];
    auto it = m_page.constFind(key);
    if (it != m_page.constEnd())
        return *it;

    // Read a page of rows from the current one on: a walk through the set
    // then costs one query per page instead of one per row.
    m_page.clear();
    const QString statement =
        QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid >= ? ORDER BY rowid LIMIT %3")
            .arg(columnList(*m_table), quotedName(m_table->name))
            .arg(kPageSize);
    SqliteStatement& query = cachedStatement(QStringLiteral("page"), statement);
    query.bindInteger(0, key);
    const int columns = static_cast<int>(m_table->fields.size());
    while (query.nextRow()) {
        QVector<QVariant> row(columns);
        for (int i = 0; i < columns; ++i)
            row[i] = query.valueAt(i + 1);
        m_page.insert(query.integerAt(0), std::move(row));
    }
    it = m_page.constFind(key);
    if (it == m_page.constEnd())
        throw DbError(QStringLiteral("The current record of %1 no longer exists.").arg(m_table->name));
    return *it;
}

QVariant Recordset::value(const QString& field)
{
    const int index = fieldIndex(field);
    if (m_editMode == EditMode::AddNew)
        return m_pending[static_cast<size_t>(index)].value_or(QVariant());
    if (m_editMode == EditMode::Edit && m_pending[static_cast<size_t>(index)])
        return *m_pending[static_cast<size_t>(index)];
    return currentRow()[index];
}

QString Recordset::text(const QString& field)
{
    const QVariant v = value(field);
    return v.isNull() ? QString() : v.toString();
}

void Recordset::requireNoEdit(const char* operation) const
{
    if (!m_table)
        throw DbError(QStringLiteral("A query result cannot be changed (%1).").arg(QLatin1String(operation)));
}

void Recordset::addNew()
{
    requireNoEdit("add");
    m_editMode = EditMode::AddNew;
    m_pending.assign(m_table->fields.size(), std::nullopt);
}

void Recordset::edit()
{
    requireNoEdit("edit");
    if (!hasCurrent())
        throw noCurrentRecord();
    m_editMode = EditMode::Edit;
    m_pending.assign(m_table->fields.size(), std::nullopt);
}

void Recordset::setValue(const QString& field, const QVariant& value)
{
    setValue(fieldIndex(field), value);
}

void Recordset::setValue(int index, const QVariant& value)
{
    if (m_editMode == EditMode::None)
        throw DbError(QStringLiteral("A field is set without adding or editing a record."));
    m_pending.at(static_cast<size_t>(index)) =
        toStored(m_table->fields.at(static_cast<size_t>(index)), value);
}

SqliteStatement& Recordset::cachedStatement(const QString& key, const QString& statement)
{
    std::unique_ptr<SqliteStatement>& cached = m_statements[key];
    if (!cached)
        cached = std::make_unique<SqliteStatement>(*m_connection, statement);
    return *cached;
}

QStringList Recordset::columnsOf(quint64 fields) const
{
    QStringList columns;
    for (size_t i = 0; i < m_table->fields.size(); ++i) {
        if (fields & (quint64(1) << i))
            columns << quotedName(m_table->fields[i].name);
    }
    return columns;
}

void Recordset::update()
{
    if (m_editMode == EditMode::None)
        throw DbError(QStringLiteral("Update without adding or editing a record."));
    quint64 fields = 0; // the fields that were set
    for (size_t i = 0; i < m_pending.size(); ++i) {
        if (m_pending[i])
            fields |= quint64(1) << i;
    }
    if (m_editMode == EditMode::AddNew)
        insertRow(fields);
    else if (fields != 0)
        updateRow(fields);
    cancelUpdate();
}

void Recordset::insertRow(quint64 fields)
{
    std::unique_ptr<SqliteStatement>& insert = m_inserts[fields];
    if (!insert) {
        const QString table = quotedName(m_table->name);
        const QStringList columns = columnsOf(fields);
        insert = std::make_unique<SqliteStatement>(
            *m_connection,
            columns.isEmpty()
                ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table)
                : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(table, columns.join(QStringLiteral(", ")),
                           QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
    }
    int bound = 0;
    for (const auto& value : m_pending) {
        if (value)
            insert->bind(bound++, *value);
    }
    insert->run();
    if (m_keysLoaded) {
        m_keys.push_back(insert->lastInsertRowId());
        m_dead.push_back(false);
        ++m_live;
    }
}

std::unique_ptr<SqliteStatement> Recordset::prepareRowInsert()
{
    if (!m_table)
        throw DbError(QStringLiteral("Rows cannot be added to the result of a query."));
    const QStringList columns = columnsOf((quint64(1) << m_table->fields.size()) - 1);
    return std::make_unique<SqliteStatement>(
        *m_connection, QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(quotedName(m_table->name), columns.join(QStringLiteral(", ")),
                                QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
}

void Recordset::updateRow(quint64 fields)
{
    const QString statement =
        QStringLiteral("UPDATE %1 SET %2 = ? WHERE rowid = ?")
            .arg(quotedName(m_table->name), columnsOf(fields).join(QStringLiteral(" = ?, ")));
    SqliteStatement& query = cachedStatement(QStringLiteral("update %1").arg(fields), statement);
    int bound = 0;
    for (const auto& value : m_pending) {
        if (value)
            query.bind(bound++, *value);
    }
    const qint64 key = m_keys[static_cast<size_t>(m_pos)];
    query.bindInteger(bound, key);
    m_page.remove(key);
    query.run();
}

bool Recordset::hasChanges() const
{
    return std::any_of(m_pending.begin(), m_pending.end(),
                       [](const auto& value) { return value.has_value(); });
}

void Recordset::cancelUpdate()
{
    m_editMode = EditMode::None;
    m_pending.clear(); // keeps its room for the next row
}

void Recordset::deleteCurrent()
{
    requireNoEdit("delete");
    cancelUpdate();
    if (!hasCurrent())
        throw noCurrentRecord();
    const qint64 key = m_keys[static_cast<size_t>(m_pos)];
    const QString statement = QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quotedName(m_table->name));
    SqliteStatement& query = cachedStatement(QStringLiteral("delete"), statement);
    query.bindInteger(0, key);
    query.run();
    m_dead[static_cast<size_t>(m_pos)] = true;
    --m_live;
    m_page.remove(key);
}

} // namespace pelmor::db
