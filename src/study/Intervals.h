#pragma once

#include "store/SurveyStore.h"
#include "study/SpeedHistogram.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <map>
#include <optional>
#include <vector>

// The vehicles of one or more surveys cut into equal stretches of the clock
// (quarter hours, hours or days), with the speeds of each stretch read by
// the same ranked percentile rule as the speed study.
namespace pelmor::study {

enum class IntervalLength { QuarterHour, Hour, Day };

// "15m", "1h" or "1d", as the web view's addresses name them.
QString intervalKey(IntervalLength length);
std::optional<IntervalLength> intervalLengthOf(const QString& key);
// "15 minutes", "1 hour", "1 day".
QString intervalName(IntervalLength length);
int intervalMinutes(IntervalLength length);

// One stretch of the clock and the vehicles logged within it.
struct IntervalFigures {
    // The stored date and clock time the stretch begins at (as UTC, so that
    // no change of summer time shifts or drops a stretch).
    QDateTime start;
    qint64 vehicles = 0;
    double median = 0;       // ranked 50th percentile
    double percentile85 = 0; // ranked
    double percentile98 = 0; // ranked
    qint64 highest = 0;
    qint64 overLimit = 0; // faster than the posted limit

    double percentOverLimit() const
    {
        return vehicles > 0 ? 100.0 * double(overLimit) / double(vehicles) : 0;
    }
};

struct IntervalRequest {
    IntervalLength length = IntervalLength::Hour;
    qint64 limit = 0;           // the posted limit the vehicles over it are counted against
    std::optional<QDate> from;  // the first day counted; none: from the first vehicle
    std::optional<QDate> until; // the last day counted, whole; none: to the last vehicle
};

// The most stretches a survey's span is filled out with empty ones; beyond
// it (a survey whose clock ran wild) only the stretches with vehicles are
// listed.
inline constexpr qint64 kMostFilledIntervals = 20000;

// Tallies vehicles into stretches, survey after survey.
class IntervalTally {
public:
    explicit IntervalTally(const IntervalRequest& request);

    // Counts one vehicle of the survey being read, logged on `date` at
    // `secondOfDay`; one outside the days asked for is left out.
    void add(const QDate& date, int secondOfDay, qint64 speed);
    // Ends the survey being read: every stretch from its first counted
    // vehicle's to its last one's is listed, the stretches without vehicles
    // too, so that a quiet night shows as such.
    void endSurvey();
    // The stretches in order of the clock.
    std::vector<IntervalFigures> figures() const;

private:
    qint64 startMinuteOf(const QDate& date, int secondOfDay) const;

    IntervalRequest m_request;
    std::map<qint64, SpeedHistogram> m_speeds; // by the stretch's first minute
    std::optional<qint64> m_surveyFirst;
    std::optional<qint64> m_surveyLast;
};

// The stretches of the surveys' vehicles, each survey read once through the
// store. Throws db::DbError.
std::vector<IntervalFigures> intervalFigures(store::SurveyStore& store, const QStringList& batchNumbers,
                                             const IntervalRequest& request);

} // namespace pelmor::study
