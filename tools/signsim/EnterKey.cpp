#include "signsim/EnterKey.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pelmor::signsim {

EnterKey::EnterKey(bool logOnStdin)
{
    if (logOnStdin) {
        m_tty.reset(::open("/dev/tty", O_RDONLY | O_CLOEXEC));
        m_fd = m_tty.get();
    } else {
        m_fd = STDIN_FILENO;
    }
}

void EnterKey::wait() const
{
    char c = 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, &c, 1);
        if (n == 0 || (n < 0 && errno != EINTR) || (n == 1 && c == '\n'))
            return;
    }
}

} // namespace pelmor::signsim
