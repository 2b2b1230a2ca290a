#pragma once

#include "signsim/UniqueFd.h"

#include <QString>

#include <optional>

namespace pelmor::signsim {

// A pseudo-terminal pair in raw mode: what is written to the master arrives
// unchanged at the slave device, which a program opens like a serial port.
class PtyPair {
public:
    // Opens a new pair; on failure returns nothing and describes why in `error`.
    static std::optional<PtyPair> open(QString* error);

    int master() const { return m_master.get(); }
    int slave() const { return m_slave.get(); }
    // Device path of the slave, such as /dev/pts/5.
    QString slavePath() const { return m_slavePath; }

private:
    PtyPair() = default;

    UniqueFd m_master;
    UniqueFd m_slave;
    QString m_slavePath;
};

} // namespace pelmor::signsim
