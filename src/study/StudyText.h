#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>

// How the study writes its figures for people: in the window, in the
// headless tool's text and in the warnings. Never depends on the locale.
namespace pelmor::study {

// A count with thousands separators: 14,152.
QString formatCount(qint64 count);
// One decimal, halves away from zero: 33.0, 0.4, -1.5.
QString formatDecimal(double value);
// A share in per cent with one decimal and " %": 12.3 %. A share above 0
// that would read 0.0 reads "< 0.1 %".
QString formatPercent(double percent);
// A count and its share: 1,234 (12.3 %).
QString formatCountAndPercent(qint64 count, double percent);
// A length of time in hours and minutes: 2 h 05 min, 0 h 40 min.
QString formatDuration(qint64 minutes);
// A longer length of time in days, hours and minutes: 6 days, 23 h 59 min;
// 1 day, 0 h 05 min.
QString formatLength(qint64 minutes);
// The day of a date: Mon 03/02/26.
QString formatDay(const QDate& date);

} // namespace pelmor::study
