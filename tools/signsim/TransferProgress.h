#pragma once

#include <QtGlobal>

namespace pelmor::signsim {

// Shows on standard error how much of the log has been sent. On a terminal
// one line is redrawn at every percent; otherwise, as in a log file, a line
// is printed every ten percent.
class TransferProgress {
public:
    explicit TransferProgress(qint64 total);

    void update(qint64 sent);
    // Ends the redrawn line before another message is printed.
    void interrupt();

private:
    qint64 m_total;
    bool m_interactive;
    int m_lastShown = -1;
};

} // namespace pelmor::signsim
