#include "db/StatementLog.h"

#include <QMutex>
#include <QMutexLocker>

#include <deque>

namespace pelmor::db {
namespace {

struct LogStore {
    QMutex mutex;
    std::deque<QString> entries;
};

LogStore& store()
{
    static LogStore instance;
    return instance;
}

} // namespace

void StatementLog::record(const QString& statement)
{
    LogStore& s = store();
    const QMutexLocker lock(&s.mutex);
    s.entries.push_back(statement);
    if (s.entries.size() > static_cast<size_t>(kCapacity))
        s.entries.pop_front();
}

QStringList StatementLog::entries()
{
    LogStore& s = store();
    const QMutexLocker lock(&s.mutex);
    return QStringList(s.entries.begin(), s.entries.end());
}

void StatementLog::clear()
{
    LogStore& s = store();
    const QMutexLocker lock(&s.mutex);
    s.entries.clear();
}

} // namespace pelmor::db
