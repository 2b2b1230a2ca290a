#include "db/SqliteStatement.h"

#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Files.h"

#include <sqlite3.h>

namespace pelmor::db {

SqliteStatement::SqliteStatement(Connection& connection, const QString& statement, const QString& shown)
    : m_connection(connection)
    , m_statement(shown.isNull() ? statement : shown)
{
    m_handle = connection.sqliteHandle();
    if (!m_handle)
        throw DbError(QStringLiteral("The database %1 is not open.").arg(displayPath(connection.path())));
    const QByteArray text = statement.toUtf8();
    if (sqlite3_prepare_v2(m_handle, text.constData(), int(text.size()), &m_prepared, nullptr) != SQLITE_OK)
        fail("prepare");
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_prepared);
}

void SqliteStatement::fail(const char* what) const
{
    throw DbError(QStringLiteral("The database %1 refused \"%2\" (%3): %4")
                      .arg(displayPath(m_connection.path()), m_statement, QLatin1String(what),
                           QString::fromUtf8(sqlite3_errmsg(m_handle))),
                  sqlite3_extended_errcode(m_handle));
}

void SqliteStatement::bindInteger(int index, qint64 value)
{
    if (m_boundTexts.size() > size_t(index))
        m_boundTexts[size_t(index)] = QString();
    if (sqlite3_bind_int64(m_prepared, index + 1, value) != SQLITE_OK)
        fail("bind");
}

void SqliteStatement::bindText(int index, const QByteArray& utf8)
{
    if (m_boundBytes.size() <= size_t(index))
        m_boundBytes.resize(size_t(index) + 1);
    QByteArray& bound = m_boundBytes[size_t(index)];
    if (bound.isSharedWith(utf8) && !utf8.isNull())
        return;
    if (m_boundTexts.size() > size_t(index))
        m_boundTexts[size_t(index)] = QString();
    // The bytes stay alive in `bound` for as long as they are bound.
    bound = utf8;
    if (sqlite3_bind_text(m_prepared, index + 1, bound.constData(), int(bound.size()), SQLITE_STATIC) !=
        SQLITE_OK) {
        bound = QByteArray();
        fail("bind");
    }
}

void SqliteStatement::bind(int index, const QVariant& value)
{
    int status = SQLITE_OK;
    const int parameter = index + 1;
    if (m_boundBytes.size() > size_t(index))
        m_boundBytes[size_t(index)] = QByteArray();
    if (m_boundTexts.size() <= size_t(index))
        m_boundTexts.resize(size_t(index) + 1);
    QString& boundText = m_boundTexts[size_t(index)];
    const QString text =
        !value.isNull() && value.typeId() == QMetaType::QString ? value.toString() : QString();
    if (!text.isNull() && text == boundText)
        return;
    boundText = text;
    if (value.isNull()) {
        status = sqlite3_bind_null(m_prepared, parameter);
    } else {
        switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            status = sqlite3_bind_int64(m_prepared, parameter, value.toLongLong());
            break;
        case QMetaType::Double:
            status = sqlite3_bind_double(m_prepared, parameter, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            status = sqlite3_bind_blob64(m_prepared, parameter, bytes.constData(),
                                         sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray utf8 = value.toString().toUtf8();
            status = sqlite3_bind_text(m_prepared, parameter, utf8.constData(), int(utf8.size()),
                                       SQLITE_TRANSIENT);
        }
        }
    }
    if (status != SQLITE_OK) {
        boundText = QString();
        fail("bind");
    }
}

int SqliteStatement::run()
{
    if (!m_prepared)
        return 0; // a text of blanks or comments alone
    const int status = sqlite3_step(m_prepared);
    sqlite3_reset(m_prepared);
    if (status != SQLITE_DONE && status != SQLITE_ROW)
        fail("run");
    return sqlite3_changes(m_handle);
}

bool SqliteStatement::nextRow()
{
    if (!m_prepared)
        return false;
    const int status = sqlite3_step(m_prepared);
    if (status == SQLITE_ROW)
        return true;
    sqlite3_reset(m_prepared);
    if (status != SQLITE_DONE)
        fail("read");
    return false;
}

qint64 SqliteStatement::integerAt(int column) const
{
    return sqlite3_column_int64(m_prepared, column);
}

bool SqliteStatement::isNullAt(int column) const
{
    return sqlite3_column_type(m_prepared, column) == SQLITE_NULL;
}

QByteArrayView SqliteStatement::textAt(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_prepared, column));
    return QByteArrayView(text, sqlite3_column_bytes(m_prepared, column));
}

QVariant SqliteStatement::valueAt(int column) const
{
    switch (sqlite3_column_type(m_prepared, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_prepared, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_prepared, column));
    case SQLITE_BLOB: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_prepared, column));
        return QVariant(QByteArray(bytes, sqlite3_column_bytes(m_prepared, column)));
    }
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default: {
        const QByteArrayView text = textAt(column);
        return QVariant(QString::fromUtf8(text.data(), text.size()));
    }
    }
}

qint64 SqliteStatement::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_handle);
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_prepared);
}

int SqliteStatement::columnCount() const
{
    return sqlite3_column_count(m_prepared);
}

QString SqliteStatement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_prepared, column));
}

int SqliteStatement::columnIndex(const QString& name) const
{
    const int columns = columnCount();
    for (int i = 0; i < columns; ++i) {
        if (columnName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace pelmor::db
