#pragma once

#include "db/Connection.h"
#include "db/Recordset.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace pelmor::db {

// A bound record view: a database name and a record source (a table name or
// a query), a current row, and listeners (bound labels and boxes) told when
// the current row changes. Values edited through a bound box are stored when
// the view next moves or re-reads, as a data-bound form stores them.
// The view keeps its own connection open while it is open.
class RecordView : public QObject {
    Q_OBJECT
public:
    explicit RecordView(const QString& name, QObject* parent = nullptr);
    ~RecordView() override;

    // The database the view opens (the original's database name).
    void setDatabase(const Database& database);
    const QString& databaseName() const { return m_database.path; }
    void setRecordSource(const QString& source);
    const QString& recordSource() const { return m_recordSource; }

    // Opens the database when needed and re-reads the record source, storing
    // pending edits first; the view then stands on the first row. Throws DbError.
    void refresh();
    bool isOpen() const { return m_set.has_value(); }
    // Why the last refresh() failed, leaving the view closed; empty after
    // one that succeeded.
    const QString& refreshFailure() const { return m_refreshFailure; }
    void close();

    bool bof();
    bool eof();
    int recordCount();
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    bool findFirst(const QString& criterion);

    // A field of the current row as text; empty without a current row and
    // while a new row is being added (until the field is set).
    QString fieldText(const QString& field);

    void addNew();
    void setFieldText(const QString& field, const QString& text);
    void update();
    void cancelUpdate();
    void deleteCurrent();

    // The record set behind the view, or nullptr while it is closed.
    Recordset* recordset() { return m_set ? &*m_set : nullptr; }

Q_SIGNALS:
    void currentChanged();

private:
    Recordset& openSet();
    void savePending();

    Database m_database;
    QString m_recordSource;
    std::unique_ptr<Connection> m_connection;
    std::optional<Recordset> m_set;
    QString m_refreshFailure;
};

} // namespace pelmor::db
