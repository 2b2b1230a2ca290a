#include "db/RecordView.h"

#include "db/DbError.h"

namespace pelmor::db {

RecordView::RecordView(const QString& name, QObject* parent)
    : QObject(parent)
{
    setObjectName(name);
}

RecordView::~RecordView()
{
    m_set.reset(); // the record set goes before its connection
}

void RecordView::setDatabase(const Database& database)
{
    if (database.path == m_database.path && database.observer == m_database.observer)
        return;
    close();
    m_database = database;
}

void RecordView::setRecordSource(const QString& source)
{
    if (source == m_recordSource)
        return;
    m_set.reset();
    m_recordSource = source;
}

void RecordView::close()
{
    m_set.reset();
    m_connection.reset();
    Q_EMIT currentChanged();
}

Recordset& RecordView::openSet()
{
    if (!m_set)
        throw DbError(QStringLiteral("The view %1 is not open.").arg(objectName()));
    return *m_set;
}

void RecordView::refresh()
{
    if (m_set)
        savePending();
    m_set.reset();
    // A view kept open across a backup, restore or repair by another
    // program reads the new file from here on.
    if (m_connection && m_connection->fileReplaced())
        m_connection.reset();
    try {
        if (!m_connection)
            m_connection = std::make_unique<Connection>(m_database);
        m_set.emplace(Recordset::open(*m_connection, m_recordSource));
        m_set->bof(); // read the rows now, so a bad source fails here
    } catch (const DbError& error) {
        m_set.reset();
        m_refreshFailure = error.message();
        Q_EMIT currentChanged();
        throw;
    }
    m_refreshFailure.clear();
    Q_EMIT currentChanged();
}

void RecordView::savePending()
{
    if (!m_set || !m_set->isEditing())
        return;
    // A new row nobody typed into is dropped, as a bound form drops it.
    if (m_set->hasChanges())
        m_set->update();
    else
        m_set->cancelUpdate();
}

bool RecordView::bof()
{
    return openSet().bof();
}

bool RecordView::eof()
{
    return openSet().eof();
}

int RecordView::recordCount()
{
    return openSet().recordCount();
}

void RecordView::moveFirst()
{
    savePending();
    openSet().moveFirst();
    Q_EMIT currentChanged();
}

void RecordView::moveNext()
{
    savePending();
    openSet().moveNext();
    Q_EMIT currentChanged();
}

void RecordView::movePrevious()
{
    savePending();
    openSet().movePrevious();
    Q_EMIT currentChanged();
}

void RecordView::moveLast()
{
    savePending();
    openSet().moveLast();
    Q_EMIT currentChanged();
}

bool RecordView::findFirst(const QString& criterion)
{
    savePending();
    const bool found = openSet().findFirst(criterion);
    Q_EMIT currentChanged();
    return found;
}

QString RecordView::fieldText(const QString& field)
{
    if (!m_set)
        return {};
    if (!m_set->isAddingNew() && !m_set->hasCurrent())
        return {};
    return m_set->text(field);
}

void RecordView::addNew()
{
    savePending();
    openSet().addNew();
    Q_EMIT currentChanged();
}

void RecordView::setFieldText(const QString& field, const QString& text)
{
    Recordset& set = openSet();
    if (!set.isEditing()) {
        if (!set.hasCurrent())
            return; // nothing to edit: the text stays in the box only
        set.edit();
    }
    set.setValue(field, text);
}

void RecordView::update()
{
    savePending();
    Q_EMIT currentChanged();
}

void RecordView::cancelUpdate()
{
    openSet().cancelUpdate();
    Q_EMIT currentChanged();
}

void RecordView::deleteCurrent()
{
    Recordset& set = openSet();
    set.cancelUpdate();
    set.deleteCurrent();
    Q_EMIT currentChanged();
}

} // namespace pelmor::db
