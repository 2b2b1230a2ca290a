#pragma once

#include <QString>
#include <QtGlobal>

namespace pelmor::signsim {

// Writes all `size` bytes to `fd`, however many calls that takes: short
// writes continue where they stopped, interrupted calls are repeated, a
// non-blocking descriptor is waited on. EIO, which a pseudo-terminal master
// reports while no program has the slave open, is retried for up to
// `ioErrorPatienceMs` in case the program opens the device again. Returns
// false with a description in `error` on any other failure.
bool writeAll(int fd, const char* data, qint64 size, QString* error, int ioErrorPatienceMs = 30000);

} // namespace pelmor::signsim
