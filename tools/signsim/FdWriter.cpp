#include "signsim/FdWriter.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace pelmor::signsim {

bool writeAll(int fd, const char* data, qint64 size, QString* error, int ioErrorPatienceMs)
{
    QElapsedTimer ioErrorSince;
    qint64 done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, data + done, size_t(size - done));
        if (written > 0) {
            done += written;
            ioErrorSince.invalidate();
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd waitFor{fd, POLLOUT, 0};
            ::poll(&waitFor, 1, 1000);
            continue;
        }
        if (written < 0 && errno == EIO) {
            if (!ioErrorSince.isValid())
                ioErrorSince.start();
            if (ioErrorSince.elapsed() < ioErrorPatienceMs) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
        }
        const QString reason = written < 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                           : QStringLiteral("nothing was written");
        *error = QStringLiteral("write failed after %1 of %2 bytes: %3").arg(done).arg(size).arg(reason);
        return false;
    }
    return true;
}

} // namespace pelmor::signsim
