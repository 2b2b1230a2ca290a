#include "signsim/PacingSchedule.h"

#include <algorithm>
#include <random>

namespace pelmor::signsim {

qint64 lineTimeMicros(qint64 bytes, int baud)
{
    if (baud <= 0)
        return 0;
    // Whole microseconds, rounded; exact for any log size a sign can hold.
    const qint64 bits = bytes * kBitsPerByte;
    return (bits * 1000000 + baud / 2) / baud;
}

std::vector<Burst> pacingSchedule(qint64 byteCount, const PacingOptions& options)
{
    const int low = std::max(1, options.minBurst);
    const int high = std::max(low, options.maxBurst);
    std::mt19937 rng(options.seed);
    std::uniform_int_distribution<int> size(low, high);

    std::vector<Burst> schedule;
    for (qint64 offset = 0; offset < byteCount;) {
        const qint64 length = std::min<qint64>(size(rng), byteCount - offset);
        schedule.push_back({offset, length, lineTimeMicros(offset, options.baud)});
        offset += length;
    }
    return schedule;
}

} // namespace pelmor::signsim
