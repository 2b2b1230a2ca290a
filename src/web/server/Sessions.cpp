#include "web/server/Sessions.h"

#include <QRandomGenerator>

#include <vector>

namespace pelmor::web::server {

QString randomHex(int bytes)
{
    std::vector<quint32> words(static_cast<size_t>((bytes + 3) / 4));
    QRandomGenerator::system()->fillRange(words.data(), static_cast<qsizetype>(words.size()));
    const QByteArray raw(reinterpret_cast<const char*>(words.data()), bytes);
    return QString::fromLatin1(raw.toHex());
}

QString Sessions::open(Session session)
{
    const QString id = randomHex(32);
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_mutex);
    dropIdle(now);
    m_sessions[id] = Kept{std::move(session), now};
    return id;
}

std::optional<Session> Sessions::find(const QString& id)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(m_mutex);
    dropIdle(now);
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end())
        return std::nullopt;
    found->second.lastUsed = now;
    return found->second.session;
}

void Sessions::close(const QString& id)
{
    std::lock_guard lock(m_mutex);
    m_sessions.erase(id);
}

void Sessions::dropIdle(std::chrono::steady_clock::time_point now)
{
    for (auto kept = m_sessions.begin(); kept != m_sessions.end();) {
        if (now - kept->second.lastUsed > m_idle)
            kept = m_sessions.erase(kept);
        else
            ++kept;
    }
}

bool sameToken(const QString& given, const QString& expected)
{
    if (expected.isEmpty() || given.size() != expected.size())
        return false;
    ushort difference = 0;
    for (qsizetype i = 0; i < given.size(); ++i)
        difference |= given[i].unicode() ^ expected[i].unicode();
    return difference == 0;
}

} // namespace pelmor::web::server
