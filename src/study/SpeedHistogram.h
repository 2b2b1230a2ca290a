#pragma once

#include <QtGlobal>

#include <vector>

namespace pelmor::study {

// Vehicles counted per whole speed. Every figure of a speed distribution
// (percentiles, mean, spread, pace, counts over a speed) is read from the
// counts, so a vehicle costs one increment and a figure costs the width of
// the speed range, however many vehicles there are.
class SpeedHistogram {
public:
    void add(int speed, qint64 vehicles = 1)
    {
        const qsizetype index = qsizetype(speed) - m_lowest;
        if (index < 0 || index >= qsizetype(m_counts.size()))
            makeRoomFor(speed);
        m_counts[size_t(speed - m_lowest)] += vehicles;
        m_total += vehicles;
        m_sum += qint64(speed) * vehicles;
    }
    void add(const SpeedHistogram& other);

    qint64 total() const { return m_total; }
    bool isEmpty() const { return m_total == 0; }
    // The lowest and highest speed counted; 0 when empty.
    int minimum() const;
    int maximum() const;
    qint64 countAt(int speed) const;
    // Vehicles faster than `speed`, and slower than it.
    qint64 countOver(int speed) const;
    qint64 countUnder(int speed) const;
    // Vehicles with low <= speed < high.
    qint64 countFrom(int low, int high) const;

    // The speed of the vehicle at `rank` (1 = the slowest) in ascending
    // order of speed; rank is clamped to 1 .. total(). 0 when empty.
    int speedAtRank(qint64 rank) const;

    double mean() const;
    // Sample standard deviation (divided by n - 1); 0 below two vehicles.
    double standardDeviation() const;

    // The p-th percentile (p in per cent) as the speed of the vehicle at
    // rank ceil(p / 100 * n).
    double rankedPercentile(int percent) const;
    // The p-th percentile interpolated linearly between the speeds at the
    // zero-based positions around p / 100 * (n - 1).
    double interpolatedPercentile(int percent) const;

    // The window of `width` whole speeds, low <= speed < low + width, that
    // holds the most vehicles; the lowest such window when several hold as
    // many. Its low bound and its vehicles; {0, 0} when empty.
    struct Window {
        int low = 0;
        qint64 vehicles = 0;
    };
    Window busiestWindow(int width) const;

private:
    void makeRoomFor(int speed);

    int m_lowest = 0; // the speed counted in m_counts[0]
    std::vector<qint64> m_counts;
    qint64 m_total = 0;
    qint64 m_sum = 0;
};

} // namespace pelmor::study
