#include "web/forms/KeptDownloads.h"

#include <QRandomGenerator>

#include <algorithm>

namespace pelmor::web::forms {
namespace {

// An id nobody can guess: 128 bits from the system's random source.
QString newId()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex());
}

} // namespace

KeptDownloads::KeptDownloads(qint64 largestTotal, Clock::duration keptFor)
    : m_largestTotal(largestTotal)
    , m_keptFor(keptFor)
{
}

QString KeptDownloads::keep(const QString& owner, const QString& replacing, KeptDownload download)
{
    const qint64 size = download.content.size();
    const Clock::time_point now = Clock::now();
    const QString id = newId();
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (const auto old = m_entries.find(replacing); old != m_entries.end() && old->second.owner == owner)
        dropEntry(old);
    dropStale(now);
    if (size > m_largestTotal)
        return QString();
    // The oldest make room for the newest.
    while (m_bytes + size > m_largestTotal && !m_entries.empty()) {
        const auto oldest =
            std::min_element(m_entries.begin(), m_entries.end(),
                             [](const auto& a, const auto& b) { return a.second.keptAt < b.second.keptAt; });
        dropEntry(oldest);
    }
    m_entries.emplace(id, Entry{owner, std::move(download), now});
    m_bytes += size;
    return id;
}

std::optional<KeptDownload> KeptDownloads::find(const QString& id, const QString& owner)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    dropStale(Clock::now());
    const auto found = m_entries.find(id);
    if (found == m_entries.end() || found->second.owner != owner)
        return std::nullopt;
    // The content is shared, not copied: QByteArray copies on write.
    return found->second.download;
}

void KeptDownloads::forget(const QString& id, const QString& owner)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (const auto found = m_entries.find(id); found != m_entries.end() && found->second.owner == owner)
        dropEntry(found);
}

qint64 KeptDownloads::bytesKept() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_bytes;
}

void KeptDownloads::dropStale(Clock::time_point now)
{
    for (auto entry = m_entries.begin(); entry != m_entries.end();) {
        const auto next = std::next(entry);
        if (now - entry->second.keptAt >= m_keptFor)
            dropEntry(entry);
        entry = next;
    }
}

void KeptDownloads::dropEntry(std::map<QString, Entry>::iterator entry)
{
    m_bytes -= entry->second.download.content.size();
    m_entries.erase(entry);
}

} // namespace pelmor::web::forms
