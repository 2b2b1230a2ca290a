#include "store/PgConnectionPool.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <map>
#include <mutex>
#include <vector>

namespace pelmor::store {
namespace {

using Clock = std::chrono::steady_clock;

// How many idle connections are kept per connection string: what a burst of
// requests of one login opened is reused, and no more stays open.
constexpr size_t kIdlePerLogin = 8;
// A connection unused this long is closed, so that a server is not held by
// sessions nobody uses.
constexpr auto kIdleLimit = std::chrono::seconds(60);
// A connection unused longer than this is asked for an answer before it is
// handed out: the network or the server may have gone in the meantime
// without a word.
constexpr auto kProbeAfter = std::chrono::seconds(1);
// What the store found of a connection (the schema's version, the login's
// role) is trusted this long, then read again: a login made an
// administrator, or no longer one, is treated so within a minute.
constexpr auto kCheckedFor = std::chrono::seconds(60);

struct IdleConnection {
    std::unique_ptr<PgConnection> connection;
    bool administrator = false;
    Clock::time_point checked;
    Clock::time_point since;
};

// The idle connections by connection string. The key holds a password: it
// stays in this map, never in a message.
class ConnectionPool {
public:
    // An idle connection of `key`, the most recently used first; none when
    // there is none. The ones found closed are closed for good.
    std::optional<IdleConnection> take(const QString& key)
    {
        for (;;) {
            IdleConnection idle;
            {
                std::vector<IdleConnection> expired;
                const std::lock_guard<std::mutex> lock(m_mutex);
                sweep(expired);
                const auto found = m_idle.find(key);
                if (found == m_idle.end())
                    return std::nullopt;
                idle = std::move(found->second.back());
                found->second.pop_back();
                if (found->second.empty())
                    m_idle.erase(found);
            }
            if (idle.connection->stillOpen(Clock::now() - idle.since > kProbeAfter))
                return idle;
        }
    }

    void give(const QString& key, IdleConnection idle)
    {
        // Closed after the lock is let go: closing waits on the network.
        std::vector<IdleConnection> closed;
        const std::lock_guard<std::mutex> lock(m_mutex);
        sweep(closed);
        std::vector<IdleConnection>& kept = m_idle[key];
        idle.since = Clock::now();
        (kept.size() < kIdlePerLogin ? kept : closed).push_back(std::move(idle));
    }

private:
    // Moves the connections idle too long to `expired`.
    void sweep(std::vector<IdleConnection>& expired)
    {
        const Clock::time_point oldest = Clock::now() - kIdleLimit;
        for (auto login = m_idle.begin(); login != m_idle.end();) {
            std::vector<IdleConnection>& idle = login->second;
            // The most recently given back stand last.
            auto kept = idle.begin();
            while (kept != idle.end() && kept->since < oldest)
                ++kept;
            std::move(idle.begin(), kept, std::back_inserter(expired));
            idle.erase(idle.begin(), kept);
            login = idle.empty() ? m_idle.erase(login) : std::next(login);
        }
    }

    std::mutex m_mutex;
    std::map<QString, std::vector<IdleConnection>> m_idle;
};

ConnectionPool& pool()
{
    static ConnectionPool connections;
    return connections;
}

} // namespace

void PooledConnection::setAdminRole(bool administrator)
{
    m_administrator = administrator;
    m_checked = std::chrono::steady_clock::now();
}

PooledConnection::PooledConnection(const QString& connectionString)
    : m_key(connectionString)
{
    if (std::optional<IdleConnection> idle = pool().take(connectionString)) {
        m_connection = std::move(idle->connection);
        if (Clock::now() - idle->checked < kCheckedFor) {
            m_administrator = idle->administrator;
            m_checked = idle->checked;
        }
    } else {
        m_connection = std::make_unique<PgConnection>(connectionString);
    }
}

PooledConnection::~PooledConnection()
{
    if (m_administrator && m_connection->readyForReuse())
        pool().give(m_key, {std::move(m_connection), *m_administrator, m_checked, {}});
}

} // namespace pelmor::store
