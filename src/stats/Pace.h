#pragma once

#include "survey/SurveyRecord.h"

#include <QString>

#include <stdexcept>

// The pace and the 85th percentile speed, both estimated from the survey's
// average speed: the pace is a window of ten mph (twenty km/h) centred on the
// average, the 85th percentile the one-decimal average times 1.175.
namespace pelmor::stats {

// A statistics value that cannot be computed (no vehicles, an unknown unit,
// a limit that is not a number).
class StatisticsError : public std::runtime_error {
public:
    explicit StatisticsError(const QString& message)
        : std::runtime_error(message.toStdString())
    {
    }
};

struct PaceWindow {
    QString low;      // "###.0"
    QString high;     // "###.0"
    double lowBound;  // the number read back from `low`
    double highBound; // the number read back from `high`
};

// The pace window around the unrounded average speed. Throws for a unit
// other than "MPH" and "KPH".
PaceWindow paceWindow(double averageSpeed, const QString& unit);

// The share of the vehicles in the pace: whole percent ("##") and " %";
// fewer than half a percent reads " %". Throws when there are no vehicles.
QString pacePercent(qint64 inPace, qint64 total);

// The 85th percentile speed from the shown average speed text ("32.5" gives
// "38"). Throws when the text is empty or not a number.
QString percentile85(const QString& averageSpeedText);

// The number a shown text stands for; throws when it is not a number.
double numberFromText(const QString& text, const char* what);

// What the pace and the 85th percentile shown beside the help buttons are,
// in words, with the figures of the survey on show: estimates from the
// average speed, not the measured figures of the Speed Study tab. Without a
// chosen survey (or its statistics) the words alone.
QString estimatedPaceNote(const survey::SurveyRecord& survey);
QString estimatedPercentileNote(const survey::SurveyRecord& survey);

} // namespace pelmor::stats
