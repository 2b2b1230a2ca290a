#pragma once

#include <QtGlobal>

#include <limits>
#include <map>
#include <vector>

namespace pelmor::study {

// a + b, held at the nearest 64-bit number where the sum lies beyond them:
// the bounds of a window or a bin around a speed of 64 bits.
inline qint64 saturatedSum(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
}

// Vehicles counted per whole speed. Every figure of a speed distribution
// (percentiles, mean, spread, pace, counts over a speed) is read from the
// counts, so a vehicle costs one increment and a figure costs the number of
// different speeds, however many vehicles there are.
//
// Speeds are 64-bit: a stored speed can be any whole number the database
// holds. The speeds of road traffic, 0 up to kArraySpeeds, are counted in
// a plain array; any other speed (a false reading of millions) in a sorted
// map, so that memory and time follow the speeds present, never the span
// between them.
class SpeedHistogram {
public:
    static constexpr qint64 kArraySpeeds = 1000;

    void add(qint64 speed, qint64 vehicles = 1)
    {
        if (speed >= 0 && speed < qint64(m_counts.size())) {
            m_counts[size_t(speed)] += vehicles;
            m_arraySum += speed * vehicles;
            m_total += vehicles;
            return;
        }
        addElsewhere(speed, vehicles);
    }
    void add(const SpeedHistogram& other);

    qint64 total() const { return m_total; }
    bool isEmpty() const { return m_total == 0; }
    // The lowest and highest speed counted; 0 when empty.
    qint64 minimum() const;
    qint64 maximum() const;
    qint64 countAt(qint64 speed) const;
    // Vehicles faster than `speed`, slower than it, and at or below it.
    qint64 countOver(qint64 speed) const;
    qint64 countUnder(qint64 speed) const;
    qint64 countAtOrBelow(qint64 speed) const;
    // Vehicles with low <= speed < high.
    qint64 countFrom(qint64 low, qint64 high) const;

    // Calls visit(speed, vehicles) for every speed that has vehicles, the
    // slowest first.
    template <typename Visit> void forEachSpeed(Visit visit) const
    {
        auto other = m_elsewhere.begin();
        for (; other != m_elsewhere.end() && other->first < 0; ++other)
            visit(other->first, other->second);
        for (size_t speed = 0; speed < m_counts.size(); ++speed) {
            if (m_counts[speed] > 0)
                visit(qint64(speed), m_counts[speed]);
        }
        for (; other != m_elsewhere.end(); ++other)
            visit(other->first, other->second);
    }

    // The speed of the vehicle at `rank` (1 = the slowest) in ascending
    // order of speed; rank is clamped to 1 .. total(). 0 when empty.
    qint64 speedAtRank(qint64 rank) const;

    double mean() const;
    // Sample standard deviation (divided by n - 1); 0 below two vehicles.
    double standardDeviation() const;

    // The p-th percentile (p in per cent) as the speed of the vehicle at
    // rank ceil(p / 100 * n).
    double rankedPercentile(int percent) const;
    // The p-th percentile read from the cumulative curve of grouped speeds,
    // as traffic engineers read it: each whole speed stands for the speeds
    // within half a unit of it, its vehicles spread evenly over them, so the
    // p-th percentile is where p per cent of the vehicles are passed. With
    // 78 % below 44 and 9 % at 44, the 85th percentile is 43.5 + 7 / 9 = 44.3.
    double groupedPercentile(int percent) const;

    // The window of `width` whole speeds, low <= speed < low + width, that
    // holds the most vehicles; the lowest such window when several hold as
    // many. Its low bound and its vehicles; {0, 0} when empty.
    struct Window {
        qint64 low = 0;
        qint64 vehicles = 0;
    };
    Window busiestWindow(int width) const;

private:
    void addElsewhere(qint64 speed, qint64 vehicles);

    std::vector<qint64> m_counts;         // by speed, from 0
    std::map<qint64, qint64> m_elsewhere; // speeds below 0 or from kArraySpeeds on
    qint64 m_total = 0;
    qint64 m_arraySum = 0;          // of the speeds in m_counts
    long double m_elsewhereSum = 0; // of the others, which may not fit 64 bits
};

} // namespace pelmor::study
