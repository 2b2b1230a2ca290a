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
#include <unistd.h>
#endif

namespace pelmor::db {
namespace {

bool failWith(QString* reason, const QString& text)
{
    if (reason)
        *reason = text;
    return false;
}

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

} // namespace

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
#ifdef Q_OS_WIN
    if (!MoveFileExW(nativePath(from).c_str(), nativePath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return failWith(reason, systemError());
#else
    if (::rename(nativePath(from).constData(), nativePath(to).constData()) != 0)
        return failWith(reason, systemError());
#endif
    syncFolder(QFileInfo(to).absolutePath());
    return true;
}

bool linkFile(const QString& existing, const QString& newName, QString* reason)
{
#ifdef Q_OS_WIN
    if (!CreateHardLinkW(nativePath(newName).c_str(), nativePath(existing).c_str(), nullptr))
        return failWith(reason, systemError());
#else
    if (::link(nativePath(existing).constData(), nativePath(newName).constData()) != 0)
        return failWith(reason, systemError());
#endif
    syncFolder(QFileInfo(newName).absolutePath());
    return true;
}

bool copyFile(const QString& from, const QString& to, QString* reason)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return failWith(reason, source.errorString());
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failWith(reason, target.errorString());
    constexpr qint64 kChunk = 1 << 20;
    QByteArray chunk;
    while (!source.atEnd()) {
        chunk = source.read(kChunk);
        if (source.error() != QFileDevice::NoError || target.write(chunk) != chunk.size()) {
            const QString error =
                source.error() != QFileDevice::NoError ? source.errorString() : target.errorString();
            target.close();
            QFile::remove(to);
            return failWith(reason, error);
        }
    }
    if (!target.flush()) {
        const QString error = target.errorString();
        target.close();
        QFile::remove(to);
        return failWith(reason, error);
    }
    target.close();
    if (!syncFile(to, reason)) {
        QFile::remove(to);
        return false;
    }
    return true;
}

} // namespace pelmor::db
