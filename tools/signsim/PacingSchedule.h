#pragma once

#include <QtGlobal>

#include <vector>

namespace pelmor::signsim {

// A serial line with 8 data bits, no parity and 1 stop bit carries a start
// bit, the data bits and the stop bit for every byte.
constexpr int kBitsPerByte = 10;

// Bytes [offset, offset + length) of the log, handed to the line at
// startMicros after the start of the transfer.
struct Burst {
    qint64 offset = 0;
    qint64 length = 0;
    qint64 startMicros = 0;
};

struct PacingOptions {
    // Line rate in bits per second; 0 or below sends every burst at once.
    int baud = 9600;
    // Burst sizes vary between these bounds, like the sign's output buffer
    // being emptied in chunks.
    int minBurst = 64;
    int maxBurst = 512;
    // Seed of the burst-size sequence, so a transfer can be repeated.
    quint32 seed = 1;
};

// Time the line needs for `bytes` bytes at `baud`, in microseconds (0 when
// baud is 0 or below).
qint64 lineTimeMicros(qint64 bytes, int baud);

// Splits `byteCount` bytes into consecutive bursts. Each burst starts when the
// line would have finished the bytes before it, so the average rate equals the
// line rate and the transfer takes lineTimeMicros(byteCount, baud) in all.
std::vector<Burst> pacingSchedule(qint64 byteCount, const PacingOptions& options = {});

} // namespace pelmor::signsim
