#include "db/StatementLog.h"

namespace pelmor::db {

void StatementLog::statementIssued(const QString& statement)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_entries.push_back(statement);
    if (m_entries.size() > kCapacity)
        m_entries.pop_front();
}

QStringList StatementLog::entries() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return QStringList(m_entries.begin(), m_entries.end());
}

void StatementLog::clear()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_entries.clear();
}

} // namespace pelmor::db
