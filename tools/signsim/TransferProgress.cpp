#include "signsim/TransferProgress.h"

#include <cstdio>
#include <unistd.h>

namespace pelmor::signsim {

TransferProgress::TransferProgress(qint64 total)
    : m_total(total)
    , m_interactive(::isatty(STDERR_FILENO) == 1)
{
}

void TransferProgress::update(qint64 sent)
{
    const int percent = m_total > 0 ? int(sent * 100 / m_total) : 100;
    const int step = m_interactive ? 1 : 10;
    const bool done = sent >= m_total;
    if (m_lastShown >= 0 && percent / step == m_lastShown / step && !done)
        return;
    m_lastShown = percent;
    std::fprintf(stderr, "%sSent %lld of %lld bytes (%d%%)%s", m_interactive ? "\r" : "",
                 static_cast<long long>(sent), static_cast<long long>(m_total), percent,
                 m_interactive && !done ? "" : "\n");
    std::fflush(stderr);
}

void TransferProgress::interrupt()
{
    if (m_interactive && m_lastShown >= 0)
        std::fputc('\n', stderr);
}

} // namespace pelmor::signsim
