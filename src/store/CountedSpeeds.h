#pragma once

#include "store/SurveyStore.h"

#include <map>
#include <vector>

namespace pelmor::store {

// The figures of a survey worked out from its vehicles counted per speed
// and direction, however the counts were gathered: vehicle by vehicle as
// they are written, or from a query that counts them on the server. Each
// answer is exact; an average divides the whole sum by the count.
class CountedSpeeds : public SpeedTally {
public:
    CountedSpeeds();

    // Counts `count` vehicles of one speed and direction, the largest
    // offset among them `offset`.
    void add(qint64 speed, QByteArrayView direction, qint64 offset, qint64 count = 1)
    {
        if (speed >= 0 && speed < kDenseSpeeds)
            m_dense[size_t(speed)] += count;
        else
            m_sparse[speed] += count;
        addTravel(direction, offset, count);
    }

    // Counts `count` vehicles of one direction whose speed is not known:
    // they take no part in the figures of speeds.
    void addTravel(QByteArrayView direction, qint64 offset, qint64 count)
    {
        if (direction.size() == 1) {
            if (direction[0] == '+')
                m_travel[int(Travel::Approaching)] += count;
            else if (direction[0] == '-')
                m_travel[int(Travel::Receding)] += count;
            else if (direction[0] == '?')
                m_travel[int(Travel::Unknown)] += count;
        }
        if (offset > m_largestOffset)
            m_largestOffset = offset;
    }

    qint64 vehicles() override;
    qint64 countAtMost(qint64 speed) override;
    qint64 countOver(qint64 speed) override;
    std::optional<double> averageOver(qint64 speed) override;
    std::optional<double> averageSpeed() override;
    std::optional<qint64> lowestSpeed() override;
    std::optional<qint64> highestSpeed() override;
    qint64 countWithin(double low, double high) override;
    qint64 countTravelling(Travel travel) override;
    qint64 largestOffset() override;
    std::vector<SpeedCount> speedCounts() override;
    qint64 countInBand(qint64 limit, int above, qint64 atMost) override;
    qint64 countBeyond(qint64 speed) override;

protected:
    // Called before every answer: a subclass gathers its counts here.
    virtual void count() {}

private:
    // Speeds from 0 to under this bound are counted in place, which keeps
    // the count of each vehicle written cheap; the rare others in a map.
    static constexpr qint64 kDenseSpeeds = 1024;

    // Calls visit(speed, vehicles) for each speed counted, ascending.
    template <typename Visit> void forEachSpeed(Visit visit);
    template <typename Test> qint64 countIf(Test test);
    template <typename Test> std::optional<double> averageIf(Test test);

    std::vector<qint64> m_dense;
    std::map<qint64, qint64> m_sparse;
    qint64 m_travel[3] = {0, 0, 0};
    qint64 m_largestOffset = 0;
};

} // namespace pelmor::store
