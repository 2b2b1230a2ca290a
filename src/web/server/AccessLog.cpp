#include "web/server/AccessLog.h"

#include <cstdio>
#include <mutex>

namespace pelmor::web::server {

void logLine(const QString& line)
{
    static std::mutex mutex;
    const QByteArray bytes = line.toUtf8() + '\n';
    std::lock_guard lock(mutex);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace pelmor::web::server
