#include "SpecialFiles.h"

#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace pelmor::test {

QString fileKind(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return QStringLiteral("missing");
    if (S_ISREG(status.st_mode))
        return QStringLiteral("file");
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("folder");
    if (S_ISLNK(status.st_mode))
        return QStringLiteral("link");
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("pipe");
    if (S_ISCHR(status.st_mode))
        return QStringLiteral("device %1,%2").arg(major(status.st_rdev)).arg(minor(status.st_rdev));
    return QStringLiteral("other");
}

QString makeDevice(const QString& path, Device device)
{
    // The numbers of the memory devices null (1,3) and full (1,7).
    const unsigned minorNumber = device == Device::Null ? 3 : 7;
    if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, minorNumber)) == 0)
        return path;
    if (::geteuid() != 0)
        return device == Device::Null ? QStringLiteral("/dev/null") : QStringLiteral("/dev/full");
    return QString();
}

PipeReader::PipeReader(const QString& path)
    : m_path(path)
{
    m_made = ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
    if (!m_made)
        return;
    m_thread = std::thread([this] {
        // Opening for reading waits until a writer opens the pipe.
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        char chunk[65536];
        for (;;) {
            const ssize_t count = ::read(fd, chunk, sizeof chunk);
            if (count > 0)
                m_received.append(chunk, count);
            else if (count == 0 || errno != EINTR)
                break;
        }
        ::close(fd);
        m_done = true;
    });
}

PipeReader::~PipeReader()
{
    stop();
}

QByteArray PipeReader::received()
{
    stop();
    return m_received;
}

void PipeReader::stop()
{
    if (!m_thread.joinable())
        return;
    // A writer that never came: a writer of our own lets the reader go.
    for (int wait = 0; wait < 100 && !m_done; ++wait)
        QThread::msleep(20);
    if (!m_done) {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
    m_thread.join();
}

} // namespace pelmor::test
