#include "signsim/UniqueFd.h"

#include <unistd.h>

namespace pelmor::signsim {

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0 && m_fd != fd)
        ::close(m_fd);
    m_fd = fd;
}

} // namespace pelmor::signsim
