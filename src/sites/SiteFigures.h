#pragma once

#include "study/SpeedHistogram.h"

#include <QString>

#include <optional>

// The figures of one survey that its site's history and the list of sites
// where speeding is worst show: worked out once, when the survey is
// stored, from its vehicles counted per speed, and kept with the survey as
// text. They are the speed study's own figures of all the survey's
// vehicles, read from the same counts the same way.
namespace pelmor::sites {

// The version of the way the figures are worked out. Figures kept by an
// earlier version are worked out again when the sites are next read.
inline constexpr int kSiteFiguresMethod = 1;

struct SiteFigures {
    QString unit;      // "MPH" or "KPH"
    int limit = 0;     // the posted limit
    QString startDate; // the survey's start and end as its statistics give them, "05/03/26"
    QString startTime; // "08:12 AM"
    QString stopDate;
    QString stopTime;
    qint64 durationSeconds = 0; // the largest offset of a vehicle, as the speed study measures it
    study::SpeedHistogram speeds;

    qint64 vehicles = 0;
    std::optional<double> vehiclesPerDay; // none for a survey without time
    double mean = 0;
    double standardDeviation = 0;
    double percentile85 = 0; // ranked, as the speed study reports it
    qint64 overLimit = 0;    // vehicles faster than the limit
    qint64 speeders = 0;     // vehicles faster than the limit plus study::kSpeedingMargin
    double percentOverLimit = 0;
    double percentSpeeders = 0;
    std::optional<double> speedersPerDay;

    bool isKph() const { return unit == QLatin1String("KPH"); }
};

// Works the figures out from the counts per speed and the survey's unit,
// limit and times.
SiteFigures siteFiguresOf(const study::SpeedHistogram& speeds, qint64 durationSeconds, const QString& unit,
                          int limit, const QString& startDate, const QString& startTime,
                          const QString& stopDate, const QString& stopTime);

// The figures as the store keeps them, and read back: from the counts per
// speed, the unit, the limit and the times kept (which a server checks
// against the survey), the rest worked out again. None for a text this
// method did not write.
QString siteFiguresText(const SiteFigures& figures);
std::optional<SiteFigures> siteFiguresFromText(const QString& text);

} // namespace pelmor::sites
