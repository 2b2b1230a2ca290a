#include "store/CountedSpeeds.h"

namespace pelmor::store {

CountedSpeeds::CountedSpeeds()
    : m_dense(size_t(kDenseSpeeds), 0)
{
}

template <typename Visit> void CountedSpeeds::forEachSpeed(Visit visit)
{
    count();
    auto sparse = m_sparse.begin();
    for (; sparse != m_sparse.end() && sparse->first < 0; ++sparse)
        visit(sparse->first, sparse->second);
    for (qint64 speed = 0; speed < kDenseSpeeds; ++speed)
        if (m_dense[size_t(speed)] != 0)
            visit(speed, m_dense[size_t(speed)]);
    for (; sparse != m_sparse.end(); ++sparse)
        visit(sparse->first, sparse->second);
}

template <typename Test> qint64 CountedSpeeds::countIf(Test test)
{
    qint64 count = 0;
    forEachSpeed([&](qint64 speed, qint64 vehicles) {
        if (test(speed))
            count += vehicles;
    });
    return count;
}

template <typename Test> std::optional<double> CountedSpeeds::averageIf(Test test)
{
    // Summed in 128 bits: a sign's false reading can be near the largest
    // 64-bit number, and a few of them would overflow a 64-bit sum.
    __int128 sum = 0;
    qint64 count = 0;
    forEachSpeed([&](qint64 speed, qint64 vehicles) {
        if (test(speed)) {
            sum += __int128(speed) * vehicles;
            count += vehicles;
        }
    });
    if (count == 0)
        return std::nullopt;
    return double(sum) / double(count);
}

std::vector<SpeedCount> CountedSpeeds::speedCounts()
{
    std::vector<SpeedCount> counts;
    forEachSpeed([&](qint64 speed, qint64 vehicles) { counts.push_back({speed, vehicles}); });
    return counts;
}

qint64 CountedSpeeds::vehicles()
{
    return countIf([](qint64) { return true; });
}

qint64 CountedSpeeds::countAtMost(qint64 speed)
{
    return countIf([speed](qint64 s) { return s <= speed; });
}

qint64 CountedSpeeds::countOver(qint64 speed)
{
    return countIf([speed](qint64 s) { return s > speed; });
}

std::optional<double> CountedSpeeds::averageOver(qint64 speed)
{
    return averageIf([speed](qint64 s) { return s > speed; });
}

std::optional<double> CountedSpeeds::averageSpeed()
{
    return averageIf([](qint64) { return true; });
}

std::optional<qint64> CountedSpeeds::lowestSpeed()
{
    std::optional<qint64> lowest;
    forEachSpeed([&](qint64 speed, qint64) {
        if (!lowest)
            lowest = speed;
    });
    return lowest;
}

std::optional<qint64> CountedSpeeds::highestSpeed()
{
    std::optional<qint64> highest;
    forEachSpeed([&](qint64 speed, qint64) { highest = speed; });
    return highest;
}

qint64 CountedSpeeds::countWithin(double low, double high)
{
    return countIf([low, high](qint64 s) { return double(s) >= low && double(s) <= high; });
}

qint64 CountedSpeeds::countTravelling(Travel travel)
{
    count();
    return m_travel[int(travel)];
}

qint64 CountedSpeeds::largestOffset()
{
    count();
    return m_largestOffset;
}

qint64 CountedSpeeds::countInBand(qint64 limit, int above, qint64 atMost)
{
    const qint64 from = limit + above;
    return countIf([from, atMost](qint64 s) { return s > from && s <= atMost; });
}

qint64 CountedSpeeds::countBeyond(qint64 speed)
{
    return countOver(speed);
}

} // namespace pelmor::store
