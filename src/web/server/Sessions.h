#pragma once

#include "db/Database.h"

#include <QString>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>

namespace pelmor::web::server {

// A signed-in person: the login, the database reached as that login (its
// connection holds the password, so it stays in this process's memory and
// nowhere else), what the login may do, and the token of the person's forms.
struct Session {
    QString login;
    db::Database database;
    bool mayDelete = false;
    QString formToken;
};

// `bytes` random bytes from the system's generator, as hexadecimal text.
QString randomHex(int bytes);

// The sessions of the people signed in, by session id. A session not used
// for the idle time is forgotten. Safe to use from every request thread.
class Sessions {
public:
    explicit Sessions(std::chrono::seconds idle = std::chrono::minutes(30))
        : m_idle(idle)
    {
    }

    // Keeps `session` under a new id (32 random bytes, hexadecimal) and
    // returns the id.
    QString open(Session session);
    // The session of `id`, its idle time started anew; none when there is
    // no such session or it was idle too long.
    std::optional<Session> find(const QString& id);
    void close(const QString& id);

private:
    struct Kept {
        Session session;
        std::chrono::steady_clock::time_point lastUsed;
    };
    void dropIdle(std::chrono::steady_clock::time_point now);

    std::chrono::seconds m_idle;
    std::mutex m_mutex;
    std::map<QString, Kept> m_sessions;
};

// Whether two tokens are equal, compared in a time that does not depend on
// where they differ.
bool sameToken(const QString& given, const QString& expected);

} // namespace pelmor::web::server
