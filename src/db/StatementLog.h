#pragma once

#include <QStringList>

namespace pelmor::db {

// The statement texts callers issued, exactly as they wrote them (before any
// translation), oldest first. It keeps the most recent entries only, so a long
// session cannot grow it without bound. Safe to use from any thread.
class StatementLog {
public:
    static void record(const QString& statement);
    static QStringList entries();
    static void clear();
    static constexpr int kCapacity = 100000;
};

} // namespace pelmor::db
