#pragma once

#include "db/Database.h"

#include <QStringList>

#include <deque>
#include <mutex>

namespace pelmor::db {

// A statement observer that keeps the texts issued, oldest first. It keeps
// the most recent entries only, so a long run cannot grow it without bound.
class StatementLog : public StatementObserver {
public:
    void statementIssued(const QString& statement) override;
    QStringList entries() const;
    void clear();
    static constexpr size_t kCapacity = 100000;

private:
    // Statements come from worker threads too.
    mutable std::mutex m_lock;
    std::deque<QString> m_entries;
};

} // namespace pelmor::db
