#include "store/CountedFigures.h"

namespace pelmor::store {

CountedFigures::CountedFigures()
    : m_dense(size_t(kDenseSpeeds), 0)
{
}

template <typename Visit> void CountedFigures::forEachSpeed(Visit visit)
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

template <typename Test> qint64 CountedFigures::countIf(Test test)
{
    qint64 count = 0;
    forEachSpeed([&](qint64 speed, qint64 vehicles) {
        if (test(speed))
            count += vehicles;
    });
    return count;
}

template <typename Test> std::optional<double> CountedFigures::averageIf(Test test)
{
    qint64 sum = 0, count = 0;
    forEachSpeed([&](qint64 speed, qint64 vehicles) {
        if (test(speed)) {
            sum += speed * vehicles;
            count += vehicles;
        }
    });
    if (count == 0)
        return std::nullopt;
    return double(sum) / double(count);
}

qint64 CountedFigures::vehicles()
{
    return countIf([](qint64) { return true; });
}

qint64 CountedFigures::countAtMost(qint64 speed)
{
    return countIf([speed](qint64 s) { return s <= speed; });
}

qint64 CountedFigures::countOver(qint64 speed)
{
    return countIf([speed](qint64 s) { return s > speed; });
}

std::optional<double> CountedFigures::averageOver(qint64 speed)
{
    return averageIf([speed](qint64 s) { return s > speed; });
}

std::optional<double> CountedFigures::averageSpeed()
{
    return averageIf([](qint64) { return true; });
}

std::optional<qint64> CountedFigures::lowestSpeed()
{
    std::optional<qint64> lowest;
    forEachSpeed([&](qint64 speed, qint64) {
        if (!lowest)
            lowest = speed;
    });
    return lowest;
}

std::optional<qint64> CountedFigures::highestSpeed()
{
    std::optional<qint64> highest;
    forEachSpeed([&](qint64 speed, qint64) { highest = speed; });
    return highest;
}

qint64 CountedFigures::countWithin(double low, double high)
{
    return countIf([low, high](qint64 s) { return double(s) >= low && double(s) <= high; });
}

qint64 CountedFigures::countTravelling(Travel travel)
{
    count();
    return m_travel[int(travel)];
}

qint64 CountedFigures::largestOffset()
{
    count();
    return m_largestOffset;
}

qint64 CountedFigures::countInBand(qint64 limit, int above, qint64 atMost)
{
    const qint64 from = limit + above;
    return countIf([from, atMost](qint64 s) { return s > from && s <= atMost; });
}

qint64 CountedFigures::countBeyond(qint64 speed)
{
    return countOver(speed);
}

} // namespace pelmor::store
