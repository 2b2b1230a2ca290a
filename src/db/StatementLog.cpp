#include "db/StatementLog.h"

namespace pelmor::db {

void StatementLog::statementIssued(const QString& statement)
{
    m_entries.push_back(statement);
    if (m_entries.size() > kCapacity)
        m_entries.pop_front();
}

QStringList StatementLog::entries() const
{
    return QStringList(m_entries.begin(), m_entries.end());
}

} // namespace pelmor::db
