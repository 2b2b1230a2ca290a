#pragma once

#include "db/Database.h"

#include <QStringList>

#include <deque>

namespace pelmor::db {

// A statement observer that keeps the texts issued, oldest first. It keeps
// the most recent entries only, so a long run cannot grow it without bound.
class StatementLog : public StatementObserver {
public:
    void statementIssued(const QString& statement) override;
    QStringList entries() const;
    void clear() { m_entries.clear(); }
    static constexpr size_t kCapacity = 100000;

private:
    std::deque<QString> m_entries;
};

} // namespace pelmor::db
