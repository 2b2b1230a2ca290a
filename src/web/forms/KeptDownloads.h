#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>

// Downloads sent with a form that was refused, kept for a while so that the
// person sending them may correct the header and send the form again
// without choosing the file anew (a browser never fills in a file field).
namespace pelmor::web::forms {

struct KeptDownload {
    QString fileName;
    QByteArray content;
};

// The downloads kept, each under an id of its own that only its owner may
// use. Held in memory: the oldest go once they hold more than `largestTotal`
// bytes together, and each goes `keptFor` after it was kept. Safe to use from
// the server's threads at once; the lock is held only to look up or change
// the list, never while a download is read or stored.
class KeptDownloads {
public:
    using Clock = std::chrono::steady_clock;

    explicit KeptDownloads(qint64 largestTotal = 256 * 1024 * 1024,
                           Clock::duration keptFor = std::chrono::hours(1));

    // Keeps `download` for `owner` in place of the one kept under
    // `replacing` (if that is the owner's); returns its new id, or an empty
    // text when it is too large to be kept at all.
    QString keep(const QString& owner, const QString& replacing, KeptDownload download);
    // The download kept under `id` for `owner`; none when there is none, or
    // it is another owner's, or it has gone.
    std::optional<KeptDownload> find(const QString& id, const QString& owner);
    // Lets the download kept under `id` go, when it is the owner's.
    void forget(const QString& id, const QString& owner);

    qint64 bytesKept() const;

private:
    struct Entry {
        QString owner;
        KeptDownload download;
        Clock::time_point keptAt;
    };
    void dropStale(Clock::time_point now);
    void dropEntry(std::map<QString, Entry>::iterator entry);

    const qint64 m_largestTotal;
    const Clock::duration m_keptFor;
    mutable std::mutex m_mutex;
    std::map<QString, Entry> m_entries;
    qint64 m_bytes = 0;
};

} // namespace pelmor::web::forms
