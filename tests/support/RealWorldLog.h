#pragma once

#include <QDateTime>
#include <QList>

// The real per-vehicle radar log in tests/data/realworld (a street in Moers,
// km/h, limit 30), read record by record; see the README beside it.
namespace pelmor::test {

struct RealWorldRecord {
    QDateTime when; // UTC, the file's two-digit years read as this century's
    int speed;
    int lane; // 0 the lane nearest the device, 1 the far lane
};

// Every record of the file, in its order; none when it cannot be read.
QList<RealWorldRecord> readRealWorldLog();

} // namespace pelmor::test
