#include "signsim/PtyPair.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace pelmor::signsim {

namespace {

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

bool setCloseOnExec(int fd)
{
    const int flags = ::fcntl(fd, F_GETFD);
    return flags >= 0 && ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC) == 0;
}

} // namespace

std::optional<PtyPair> PtyPair::open(QString* error)
{
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        *error = systemError("openpty");
        return std::nullopt;
    }
    PtyPair pair;
    pair.m_master.reset(master);
    pair.m_slave.reset(slave);

    // Child processes must not keep the pair open behind our back.
    if (!setCloseOnExec(master) || !setCloseOnExec(slave)) {
        *error = systemError("fcntl");
        return std::nullopt;
    }

    // Raw mode: no echo, no line editing, no CR/LF translation, 8-bit clean.
    termios settings{};
    if (::tcgetattr(slave, &settings) != 0) {
        *error = systemError("tcgetattr");
        return std::nullopt;
    }
    ::cfmakeraw(&settings);
    if (::tcsetattr(slave, TCSANOW, &settings) != 0) {
        *error = systemError("tcsetattr");
        return std::nullopt;
    }

    char path[256];
    if (const int failure = ::ttyname_r(slave, path, sizeof path); failure != 0) {
        errno = failure;
        *error = systemError("ttyname");
        return std::nullopt;
    }
    pair.m_slavePath = QString::fromLocal8Bit(path);
    return pair;
}

} // namespace pelmor::signsim
