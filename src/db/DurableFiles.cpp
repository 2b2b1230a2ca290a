#include "db/DurableFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pelmor::db {

bool failWith(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

namespace {

#ifdef Q_OS_WIN
std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString systemError()
{
    return qt_error_string(int(GetLastError()));
}
#else
QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

QString systemError()
{
    return qt_error_string(errno);
}

// A descriptor closed on every way out.
class Descriptor {
public:
    Descriptor(const QByteArray& path, int flags)
        : m_fd(::open(path.constData(), flags | O_CLOEXEC))
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};
#endif

// How many symbolic links a path may pass through, as the system allows.
constexpr int kMostLinks = 40;

// Copies what remains of `source` into `target`, both open. False, with the
// reason, when a read or a write fails.
bool copyContents(QFile& source, QFile& target, QString* reason)
{
    constexpr qint64 kChunk = 1 << 20;
    QByteArray chunk;
    while (!source.atEnd()) {
        chunk = source.read(kChunk);
        if (source.error() != QFileDevice::NoError)
            return failWith(reason, source.errorString());
        if (target.write(chunk) != chunk.size())
            return failWith(reason, target.errorString());
    }
    if (!target.flush())
        return failWith(reason, target.errorString());
    return true;
}

// Copies the file `from` into `target`, which is opened with `mode`.
bool copyInto(const QString& from, QFile& target, QIODevice::OpenMode mode, QString* reason)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return failWith(reason, source.errorString());
    if (!target.open(mode))
        return failWith(reason, target.errorString());
    return copyContents(source, target, reason);
}

} // namespace

QString resolvedPath(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < kMostLinks; ++hop) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        const QString target = info.symLinkTarget();
        if (target.isEmpty())
            return current;
        current = target;
    }
    // A loop of links: opening it tells the system's reason.
    return current;
}

bool isDeviceOrPipe(const QString& path)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
#else
    struct stat status {};
    if (::stat(nativePath(path).constData(), &status) != 0)
        return false;
    return !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode);
#endif
}

bool syncFile(const QString& path, QString* reason)
{
#ifdef Q_OS_WIN
    HANDLE file = CreateFileW(nativePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return failWith(reason, systemError());
    const bool flushed = FlushFileBuffers(file);
    const QString error = flushed ? QString() : systemError();
    CloseHandle(file);
    return flushed || failWith(reason, error);
#else
    const Descriptor file(nativePath(path), O_RDONLY);
    if (file.fd() < 0 || ::fsync(file.fd()) != 0)
        return failWith(reason, systemError());
    return true;
#endif
}

void syncFolder(const QString& folder)
{
#ifndef Q_OS_WIN
    // Windows flushes the names with MOVEFILE_WRITE_THROUGH instead.
    const Descriptor directory(nativePath(folder), O_RDONLY | O_DIRECTORY);
    if (directory.fd() >= 0)
        ::fsync(directory.fd());
#else
    Q_UNUSED(folder);
#endif
}

bool replaceFile(const QString& from, const QString& to, QString* reason)
{
    const QString target = resolvedPath(to);
    if (isDeviceOrPipe(target)) {
        QFile device(target);
        if (!copyInto(from, device, QIODevice::WriteOnly | QIODevice::ExistingOnly, reason))
            return false;
        QFile::remove(from);
        return true;
    }
#ifdef Q_OS_WIN
    if (!MoveFileExW(nativePath(from).c_str(), nativePath(target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failWith(reason, systemError());
#else
    if (::rename(nativePath(from).constData(), nativePath(target).constData()) != 0)
        return failWith(reason, systemError());
#endif
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}

bool linkFile(const QString& existing, const QString& newName, QString* reason)
{
#ifdef Q_OS_WIN
    if (!CreateHardLinkW(nativePath(newName).c_str(), nativePath(resolvedPath(existing)).c_str(), nullptr))
        return failWith(reason, systemError());
#else
    // Linux links a symbolic link itself unless told to follow it.
    if (::linkat(AT_FDCWD, nativePath(existing).constData(), AT_FDCWD, nativePath(newName).constData(),
                 AT_SYMLINK_FOLLOW) != 0)
        return failWith(reason, systemError());
#endif
    syncFolder(QFileInfo(newName).absolutePath());
    return true;
}

bool copyFile(const QString& from, const QString& to, QString* reason)
{
    QFile target(to);
    if (!copyInto(from, target, QIODevice::WriteOnly | QIODevice::Truncate, reason)) {
        // A partial copy goes; a file that was never opened is left alone.
        if (target.isOpen()) {
            target.close();
            QFile::remove(to);
        }
        return false;
    }
    target.close();
    if (!syncFile(to, reason)) {
        QFile::remove(to);
        return false;
    }
    return true;
}

} // namespace pelmor::db
