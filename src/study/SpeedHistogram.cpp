#include "study/SpeedHistogram.h"

#include <algorithm>
#include <cmath>

namespace pelmor::study {

void SpeedHistogram::makeRoomFor(int speed)
{
    if (m_counts.empty()) {
        m_lowest = speed;
        m_counts.assign(1, 0);
        return;
    }
    const int highest = m_lowest + int(m_counts.size()) - 1;
    if (speed < m_lowest) {
        m_counts.insert(m_counts.begin(), size_t(m_lowest - speed), 0);
        m_lowest = speed;
    } else if (speed > highest) {
        m_counts.resize(m_counts.size() + size_t(speed - highest), 0);
    }
}

void SpeedHistogram::add(const SpeedHistogram& other)
{
    for (size_t i = 0; i < other.m_counts.size(); ++i) {
        if (other.m_counts[i] > 0)
            add(other.m_lowest + int(i), other.m_counts[i]);
    }
}

int SpeedHistogram::minimum() const
{
    for (size_t i = 0; i < m_counts.size(); ++i) {
        if (m_counts[i] > 0)
            return m_lowest + int(i);
    }
    return 0;
}

int SpeedHistogram::maximum() const
{
    for (size_t i = m_counts.size(); i > 0; --i) {
        if (m_counts[i - 1] > 0)
            return m_lowest + int(i) - 1;
    }
    return 0;
}

qint64 SpeedHistogram::countAt(int speed) const
{
    const qint64 index = qint64(speed) - m_lowest;
    return index >= 0 && index < qint64(m_counts.size()) ? m_counts[size_t(index)] : 0;
}

qint64 SpeedHistogram::countFrom(int low, int high) const
{
    const qint64 first = std::max<qint64>(0, qint64(low) - m_lowest);
    const qint64 end = std::min<qint64>(qint64(m_counts.size()), qint64(high) - m_lowest);
    qint64 count = 0;
    for (qint64 i = first; i < end; ++i)
        count += m_counts[size_t(i)];
    return count;
}

qint64 SpeedHistogram::countOver(int speed) const
{
    return m_total - countFrom(m_lowest, speed + 1);
}

qint64 SpeedHistogram::countUnder(int speed) const
{
    return countFrom(m_lowest, speed);
}

int SpeedHistogram::speedAtRank(qint64 rank) const
{
    rank = std::clamp<qint64>(rank, 1, m_total);
    qint64 seen = 0;
    for (size_t i = 0; i < m_counts.size(); ++i) {
        seen += m_counts[i];
        if (seen >= rank)
            return m_lowest + int(i);
    }
    return 0;
}

double SpeedHistogram::mean() const
{
    return m_total > 0 ? double(m_sum) / double(m_total) : 0.0;
}

double SpeedHistogram::standardDeviation() const
{
    if (m_total < 2)
        return 0.0;
    const double average = mean();
    double squares = 0;
    for (size_t i = 0; i < m_counts.size(); ++i) {
        const double deviation = m_lowest + int(i) - average;
        squares += double(m_counts[i]) * deviation * deviation;
    }
    return std::sqrt(squares / double(m_total - 1));
}

double SpeedHistogram::rankedPercentile(int percent) const
{
    // ceil(percent * n / 100) in whole numbers: 0.85 * 100 is not exact in
    // binary and must not become rank 86.
    return speedAtRank((qint64(percent) * m_total + 99) / 100);
}

double SpeedHistogram::interpolatedPercentile(int percent) const
{
    if (m_total == 0)
        return 0.0;
    const qint64 scaled = qint64(percent) * (m_total - 1);
    const qint64 below = scaled / 100; // zero-based position of the lower speed
    const double fraction = double(scaled % 100) / 100.0;
    const int lower = speedAtRank(below + 1);
    if (fraction == 0.0)
        return lower;
    return lower + fraction * (speedAtRank(below + 2) - lower);
}

SpeedHistogram::Window SpeedHistogram::busiestWindow(int width) const
{
    if (m_total == 0 || width <= 0)
        return {};
    // Slide the window from the one whose top is the slowest speed to the
    // one that starts at the fastest; only a strictly larger count moves the
    // answer, so the lowest of equal windows stays.
    const int first = minimum() - width + 1;
    const int last = maximum();
    Window best{first, countFrom(first, first + width)};
    qint64 inside = best.vehicles;
    for (int low = first + 1; low <= last; ++low) {
        inside += countAt(low + width - 1) - countAt(low - 1);
        if (inside > best.vehicles)
            best = {low, inside};
    }
    return best;
}

} // namespace pelmor::study
