#pragma once

#include "db/Schema.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace pelmor::db {

class Connection;
class SqliteStatement;

// A set of rows with a current position, in the manner of the original
// engine's record sets: begin- and end-of-set, moves, find first by a
// criterion, add, edit and delete.
//
// A set on one table is updatable. It holds only the row ids, in table order,
// and reads row values a page at a time, so walking a million rows stays
// cheap; adding rows without moving reads nothing at all. Rows added through
// the set join its end, as new rows of such a set did in the original.
// A set on any other query is a read-only copy of the query's rows.
class Recordset {
public:
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) = delete;
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;
    ~Recordset();

    static Recordset open(Connection& connection, const QString& statement);
    static Recordset openTable(Connection& connection, const TableInfo& table,
                               const QString& where = QString());

    bool isUpdatable() const { return m_table != nullptr; }
    const TableInfo* table() const { return m_table; }
    QStringList fieldNames() const;

    bool bof();
    bool eof();
    bool hasCurrent();
    int recordCount();
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    // Moves to the first row (in set order) matching the criterion, a where
    // clause such as "Batch_Number = '050302-A'". Returns false and stays put
    // when no row matches.
    bool findFirst(const QString& criterion);

    // A field of the current row, found without regard to case. Throws when
    // there is no current row or no such field.
    QVariant value(const QString& field);
    QString text(const QString& field); // value as text; null gives ""

    // Writing: addNew() or edit(), then setValue() per field, then update().
    // setValue converts at once and throws when the value does not convert.
    void addNew();
    void edit();
    void setValue(const QString& field, const QVariant& value);
    // The same by the field's position in its table, for writers of many rows.
    void setValue(int fieldIndex, const QVariant& value);
    void update();
    void cancelUpdate();
    bool isEditing() const { return m_editMode != EditMode::None; }
    bool isAddingNew() const { return m_editMode == EditMode::AddNew; }
    // Whether a field was set since addNew() or edit().
    bool hasChanges() const;
    // Deletes the current row; the position then stands between the rows
    // around it, so moveNext() reaches the row after it.
    void deleteCurrent();

    // A prepared insert of whole rows into the set's table, every field in
    // table order, for writers of very many rows: values are bound in their
    // stored form (see toStored). Rows written through it join the set when
    // it is opened again.
    std::unique_ptr<SqliteStatement> prepareRowInsert();

private:
    enum class EditMode { None, Edit, AddNew };

    Recordset(Connection& connection, const TableInfo* table, QString where);
    void loadKeys();
    qsizetype size();
    bool isLive(qsizetype index) const;
    qsizetype nextLive(qsizetype from);
    qsizetype previousLive(qsizetype from);
    void loadQuery(const QString& statement);
    int fieldIndex(const QString& field) const;
    const QVector<QVariant>& currentRow();
    void requireNoEdit(const char* operation) const;
    SqliteStatement& cachedStatement(const QString& key, const QString& statement);
    QStringList columnsOf(quint64 fields) const;
    void insertRow(quint64 fields);
    void updateRow(quint64 fields);

    Connection* m_connection;
    const TableInfo* m_table;
    QString m_where;

    // Table sets: row ids in table order and a page of row values.
    bool m_keysLoaded = false;
    std::vector<qint64> m_keys;
    QHash<qint64, QVector<QVariant>> m_page;

    // Query sets: the rows and their column names.
    QStringList m_columns;
    std::vector<QVector<QVariant>> m_rows;

    // Deleted rows stay in m_keys, marked in m_dead, so positions and the
    // order of the ids survive a walk that deletes as it goes.
    std::vector<bool> m_dead;
    qsizetype m_live = 0;

    qsizetype m_pos = 0; // -1 before the first row, size() after the last

    EditMode m_editMode = EditMode::None;
    std::vector<std::optional<QVariant>> m_pending;
    std::map<QString, std::unique_ptr<SqliteStatement>> m_statements;
    // Inserts by the set of fields given, prepared once each.
    std::map<quint64, std::unique_ptr<SqliteStatement>> m_inserts;
};

} // namespace pelmor::db
