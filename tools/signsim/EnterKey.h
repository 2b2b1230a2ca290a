#pragma once

#include "signsim/UniqueFd.h"

namespace pelmor::signsim {

// Waits for the user to press Enter: on standard input, or on the terminal
// when standard input carries the log.
class EnterKey {
public:
    explicit EnterKey(bool logOnStdin);

    // False when the log comes on standard input and there is no terminal.
    bool isAvailable() const { return m_fd >= 0; }

    // Returns at Enter, or at the end of input, which can never bring one.
    void wait() const;

private:
    UniqueFd m_tty;
    int m_fd = -1;
};

} // namespace pelmor::signsim
