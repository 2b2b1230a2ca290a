#include "study/SpeedHistogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pelmor::study {
namespace {

// The distance from `low` up to `high` (high >= low) for any two 64-bit
// speeds: the difference of the unsigned forms is exact where the signed
// one would overflow.
quint64 distance(qint64 low, qint64 high)
{
    return quint64(high) - quint64(low);
}

} // namespace

void SpeedHistogram::addElsewhere(qint64 speed, qint64 vehicles)
{
    if (speed >= 0 && speed < kArraySpeeds) {
        m_counts.resize(size_t(speed) + 1, 0);
        add(speed, vehicles);
        return;
    }
    m_elsewhere[speed] += vehicles;
    m_elsewhereSum += static_cast<long double>(speed) * vehicles;
    m_total += vehicles;
}

void SpeedHistogram::add(const SpeedHistogram& other)
{
    other.forEachSpeed([this](qint64 speed, qint64 vehicles) { add(speed, vehicles); });
}

qint64 SpeedHistogram::minimum() const
{
    if (!m_elsewhere.empty() && m_elsewhere.begin()->first < 0)
        return m_elsewhere.begin()->first;
    for (size_t speed = 0; speed < m_counts.size(); ++speed) {
        if (m_counts[speed] > 0)
            return qint64(speed);
    }
    return m_elsewhere.empty() ? 0 : m_elsewhere.begin()->first;
}

qint64 SpeedHistogram::maximum() const
{
    if (!m_elsewhere.empty() && m_elsewhere.rbegin()->first >= 0)
        return m_elsewhere.rbegin()->first;
    for (size_t speed = m_counts.size(); speed > 0; --speed) {
        if (m_counts[speed - 1] > 0)
            return qint64(speed) - 1;
    }
    return m_elsewhere.empty() ? 0 : m_elsewhere.rbegin()->first;
}

qint64 SpeedHistogram::countAt(qint64 speed) const
{
    if (speed >= 0 && speed < qint64(m_counts.size()))
        return m_counts[size_t(speed)];
    const auto found = m_elsewhere.find(speed);
    return found == m_elsewhere.end() ? 0 : found->second;
}

qint64 SpeedHistogram::countFrom(qint64 low, qint64 high) const
{
    if (low >= high)
        return 0;
    qint64 count = 0;
    const qint64 first = std::max<qint64>(0, low);
    const qint64 end = std::min<qint64>(qint64(m_counts.size()), high);
    for (qint64 speed = first; speed < end; ++speed)
        count += m_counts[size_t(speed)];
    for (auto other = m_elsewhere.lower_bound(low); other != m_elsewhere.end() && other->first < high;
         ++other)
        count += other->second;
    return count;
}

qint64 SpeedHistogram::countUnder(qint64 speed) const
{
    return countFrom(std::numeric_limits<qint64>::min(), speed);
}

qint64 SpeedHistogram::countAtOrBelow(qint64 speed) const
{
    return countUnder(speed) + countAt(speed);
}

qint64 SpeedHistogram::countOver(qint64 speed) const
{
    return m_total - countAtOrBelow(speed);
}

qint64 SpeedHistogram::speedAtRank(qint64 rank) const
{
    rank = std::clamp<qint64>(rank, 1, std::max<qint64>(1, m_total));
    qint64 seen = 0;
    qint64 found = 0;
    bool done = m_total == 0;
    forEachSpeed([&](qint64 speed, qint64 vehicles) {
        if (done)
            return;
        seen += vehicles;
        if (seen >= rank) {
            found = speed;
            done = true;
        }
    });
    return found;
}

double SpeedHistogram::mean() const
{
    if (m_total == 0)
        return 0.0;
    return double((static_cast<long double>(m_arraySum) + m_elsewhereSum) / m_total);
}

double SpeedHistogram::standardDeviation() const
{
    if (m_total < 2)
        return 0.0;
    const double average = mean();
    double squares = 0;
    forEachSpeed([&](qint64 speed, qint64 vehicles) {
        const double deviation = double(speed) - average;
        squares += double(vehicles) * deviation * deviation;
    });
    return std::sqrt(squares / double(m_total - 1));
}

double SpeedHistogram::rankedPercentile(int percent) const
{
    // ceil(percent * n / 100) in whole numbers: 0.85 * 100 is not exact in
    // binary and must not become rank 86.
    return double(speedAtRank((qint64(percent) * m_total + 99) / 100));
}

double SpeedHistogram::groupedPercentile(int percent) const
{
    if (m_total == 0)
        return 0.0;
    // In hundredths of a vehicle, so that the share passed is compared
    // exactly: 85 % of 20 vehicles is 1,700 hundredths.
    const qint64 wanted = qint64(percent) * m_total;
    qint64 passed = 0;
    double found = 0;
    bool done = false;
    forEachSpeed([&](qint64 speed, qint64 vehicles) {
        if (done)
            return;
        if (100 * (passed + vehicles) >= wanted) {
            const double into = double(wanted - 100 * passed) / double(100 * vehicles);
            found = double(speed) - 0.5 + into;
            done = true;
        }
        passed += vehicles;
    });
    return found;
}

SpeedHistogram::Window SpeedHistogram::busiestWindow(int width) const
{
    if (m_total == 0 || width <= 0)
        return {};
    // The lowest of the busiest windows has a speed with vehicles at its
    // top (else the window one lower would hold as many), so only the
    // windows topped by such a speed need counting: a pass over the speeds
    // present with the window's bottom following its top.
    std::vector<std::pair<qint64, qint64>> speeds;
    forEachSpeed([&speeds](qint64 speed, qint64 vehicles) { speeds.emplace_back(speed, vehicles); });
    Window best;
    qint64 inside = 0;
    size_t bottom = 0;
    for (size_t top = 0; top < speeds.size(); ++top) {
        inside += speeds[top].second;
        while (distance(speeds[bottom].first, speeds[top].first) >= quint64(width))
            inside -= speeds[bottom++].second;
        if (inside > best.vehicles) {
            // The window's low bound; a speed near the lowest 64-bit number
            // has its window start at that number.
            const qint64 highest = speeds[top].first;
            const qint64 lowest = std::numeric_limits<qint64>::min();
            best = {highest < lowest + width ? lowest : highest - width + 1, inside};
        }
    }
    return best;
}

} // namespace pelmor::study
