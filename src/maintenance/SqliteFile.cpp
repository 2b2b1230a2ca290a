#include "maintenance/SqliteFile.h"

#include "db/ReplacedFileGuard.h"

#include <QFile>

#include <sqlite3.h>

namespace pelmor::maintenance {

SqliteFile::SqliteFile(const QString& path, Mode mode)
    : m_path(path)
{
    db::guardAgainstReplacedFiles();
    // Never creates a file: a missing database is reported, not made.
    const int flags = mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    m_openResult = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_handle, flags, nullptr);
    if (m_handle)
        sqlite3_extended_result_codes(m_handle, 1);
}

SqliteFile::~SqliteFile()
{
    sqlite3_close_v2(m_handle);
}

void SqliteFile::setBusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(m_handle, milliseconds);
}

int SqliteFile::exec(const QString& statements)
{
    return sqlite3_exec(m_handle, statements.toUtf8().constData(), nullptr, nullptr, nullptr);
}

QString SqliteFile::errorText() const
{
    return m_handle ? QString::fromUtf8(sqlite3_errmsg(m_handle)) : QStringLiteral("out of memory");
}

QString SqliteFile::integrityCheck()
{
    return check(QStringLiteral("PRAGMA integrity_check"));
}

QString SqliteFile::quickCheck()
{
    return check(QStringLiteral("PRAGMA quick_check"));
}

QString SqliteFile::check(const QString& pragma)
{
    SqliteQuery check(*this, pragma);
    if (!check.isPrepared())
        return errorText();
    QStringList problems;
    int result;
    while ((result = check.step()) == SQLITE_ROW)
        problems << check.columnText(0);
    if (result != SQLITE_DONE)
        problems << errorText();
    return problems.join(QLatin1Char('\n'));
}

SqliteQuery::SqliteQuery(SqliteFile& file, const QString& statement)
{
    const QByteArray text = statement.toUtf8();
    if (sqlite3_prepare_v2(file.handle(), text.constData(), int(text.size()), &m_statement, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

SqliteQuery::~SqliteQuery()
{
    sqlite3_finalize(m_statement);
}

void SqliteQuery::reset()
{
    sqlite3_reset(m_statement);
}

void SqliteQuery::bindInt64(int parameter, qint64 value)
{
    sqlite3_bind_int64(m_statement, parameter, value);
}

void SqliteQuery::bindText(int parameter, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    sqlite3_bind_text(m_statement, parameter, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

int SqliteQuery::step()
{
    return sqlite3_step(m_statement);
}

qint64 SqliteQuery::columnInt64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QString SqliteQuery::columnText(int column) const
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace pelmor::maintenance
