#include "loggen/VehicleGenerator.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace pelmor::loggen {

namespace {

constexpr qint64 kSecondsPerHour = 3600;
constexpr qint64 kSecondsPerDay = 24 * kSecondsPerHour;

// Share of vehicles drawn from the wider, faster part of the speed mix; it
// gives the long right tail that measured speed distributions show.
constexpr double kFastFringeShare = 0.03;

// A stretch of the survey that lies within one clock hour.
struct Segment {
    qint64 begin = 0;
    qint64 end = 0;
    double expected = 0.0; // vehicles the hourly profile puts in it
};

std::vector<Segment> clockHourSegments(const SurveyProfile& profile)
{
    const LogHeader& header = profile.header;
    const qint64 startOfDay =
        ((qint64(header.startHour) * kSecondsPerHour + qint64(header.startMinute) * 60) % kSecondsPerDay +
         kSecondsPerDay) %
        kSecondsPerDay;

    std::vector<Segment> segments;
    for (qint64 t = 0; t < profile.durationSeconds;) {
        const qint64 secondOfDay = (startOfDay + t) % kSecondsPerDay;
        const int hour = int(secondOfDay / kSecondsPerHour);
        const qint64 end =
            std::min(profile.durationSeconds, t + kSecondsPerHour - secondOfDay % kSecondsPerHour);
        const double volume = std::max(0.0, profile.hourlyVolume[size_t(hour)]);
        segments.push_back({t, end, volume * double(end - t) / double(kSecondsPerHour)});
        t = end;
    }
    return segments;
}

// Splits exactly `total` vehicles over the segments in proportion to their
// expected counts (a multinomial draw done as a chain of binomials).
std::vector<qint64> exactCounts(const std::vector<Segment>& segments, qint64 total, std::mt19937& rng)
{
    std::vector<double> weights;
    weights.reserve(segments.size());
    double remainingWeight = 0.0;
    for (const Segment& segment : segments) {
        weights.push_back(segment.expected);
        remainingWeight += segment.expected;
    }
    if (remainingWeight <= 0.0) {
        // A profile without traffic still has to place the vehicles: evenly.
        remainingWeight = 0.0;
        for (size_t i = 0; i < segments.size(); ++i) {
            weights[i] = double(segments[i].end - segments[i].begin);
            remainingWeight += weights[i];
        }
    }

    std::vector<qint64> counts(segments.size(), 0);
    qint64 remaining = total;
    for (size_t i = 0; i < segments.size() && remaining > 0; ++i) {
        const bool last = i + 1 == segments.size();
        const double p = remainingWeight > 0.0 ? weights[i] / remainingWeight : 1.0;
        if (last || p >= 1.0) {
            counts[i] = remaining;
        } else if (p > 0.0) {
            std::binomial_distribution<qint64> draw(remaining, p);
            counts[i] = draw(rng);
        }
        remaining -= counts[i];
        remainingWeight -= weights[i];
    }
    return counts;
}

std::vector<qint64> poissonCounts(const std::vector<Segment>& segments, std::mt19937& rng)
{
    std::vector<qint64> counts;
    counts.reserve(segments.size());
    for (const Segment& segment : segments) {
        qint64 count = 0;
        if (segment.expected > 0.0) {
            std::poisson_distribution<qint64> draw(segment.expected);
            count = draw(rng);
        }
        counts.push_back(count);
    }
    return counts;
}

// A speed from the mix: mostly normal(mean, sd), with a thin fringe of
// faster, more spread drivers; rounded to a whole number and clamped.
int drawSpeed(const SurveyProfile& profile, std::mt19937& rng, std::uniform_real_distribution<double>& unit,
              std::normal_distribution<double>& standardNormal)
{
    const double sd = std::max(0.0, profile.speedSd);
    const bool fast = unit(rng) < kFastFringeShare;
    const double z = standardNormal(rng);
    const double speed = fast ? profile.meanSpeed + 0.5 * sd + 2.0 * sd * z : profile.meanSpeed + sd * z;
    const int low = std::min(profile.minSpeed, profile.maxSpeed);
    const int high = std::max(profile.minSpeed, profile.maxSpeed);
    return int(std::clamp(std::round(speed), double(low), double(high)));
}

} // namespace

std::vector<Vehicle> generateVehicles(const SurveyProfile& profile)
{
    std::vector<Vehicle> vehicles;
    if (profile.durationSeconds <= 0)
        return vehicles;

    std::mt19937 rng(profile.seed);
    const std::vector<Segment> segments = clockHourSegments(profile);
    const std::vector<qint64> counts = profile.exactCount > 0 ? exactCounts(segments, profile.exactCount, rng)
                                                              : poissonCounts(segments, rng);
    qint64 total = 0;
    for (qint64 count : counts)
        total += count;
    vehicles.reserve(size_t(total));

    // Within a clock hour arrivals are uniform; segments follow each other,
    // so sorting each one keeps the whole list in order.
    for (size_t i = 0; i < segments.size(); ++i) {
        std::uniform_int_distribution<qint64> second(segments[i].begin, segments[i].end - 1);
        const auto first = vehicles.end() - vehicles.begin();
        for (qint64 n = 0; n < counts[i]; ++n)
            vehicles.push_back({second(rng), '?', 0});
        std::sort(vehicles.begin() + first, vehicles.end(),
                  [](const Vehicle& a, const Vehicle& b) { return a.offset < b.offset; });
    }

    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> standardNormal(0.0, 1.0);
    for (Vehicle& vehicle : vehicles) {
        const double u = unit(rng);
        vehicle.direction = u < profile.approachShare                         ? '+'
                            : u < profile.approachShare + profile.recedeShare ? '-'
                                                                              : '?';
        vehicle.speed = drawSpeed(profile, rng, unit, standardNormal);
    }
    return vehicles;
}

} // namespace pelmor::loggen
