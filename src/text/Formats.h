#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

// The number and date formats that every screen, stored value and report of
// the program uses. Numbers are rounded on their shortest decimal form (the
// digits that read back to the same double), halves away from zero, so 2.45
// rounds to 2.5 although its binary value lies just below. Output never
// depends on the system locale.
namespace pelmor::text {

// Rounds to `decimals` places, halves away from zero, on the decimal form.
double roundHalfAwayFromZero(double value, int decimals = 0);

// Rounds to a whole number with ties to the even neighbour, the way a number
// text becomes a 16- or 32-bit integer.
double roundHalfToEven(double value);

// A number text read as a whole number the way a text is converted to an
// integer: blanks around it are ignored, decimals round to the even
// neighbour ("34.5" gives 34). Empty text, words and numbers beyond the
// 64-bit range give none.
std::optional<qint64> toWholeNumber(QStringView text);

// "00": whole number, at least two digits ("05", "123", "-05").
QString format00(qint64 value);

// "##": whole number, halves away from zero; a value that rounds to 0 gives "".
QString formatWhole(double value);

// "###.0": one decimal, halves away from zero, no digit before the point for
// magnitudes under 1 (".5", "-.5", "32.5"); 0 gives ".0".
QString formatOneDecimal(double value);

// Shortest decimal text of a number with "." as decimal point: 27.5, 28, -1.5.
QString shortestDecimal(double value);

// A count with thousands separators, whatever the system's locale: 14,152.
QString formatCount(qint64 count);

// A size in bytes with one decimal in units of 1024, whatever the system's
// locale: "900 bytes", "19.1 MB", "2.0 GB".
QString formatDataSize(qint64 bytes);

// "mm/dd/yy"
QString formatDateMdy(const QDate& date);
// "hh:mm" (24-hour)
QString formatTime24(const QTime& time);
// "hh:mm" (24-hour) of a minute of the day, 0 to 1439.
QString formatMinuteOfDay(int minuteOfDay);
// "hh:mm AMPM" (12-hour, then a blank and AM or PM): 01:05 PM, 12:05 AM
QString formatTimeAmPm(const QTime& time);
// "mmm dd , yyyy": Apr 02 , 2002
QString formatLongDate(const QDate& date);

// A text formatted as a date or time the way a text is formatted with a date
// pattern: read as a date and/or time first, then formatted; a text that is
// not a date or time comes back unchanged. A time alone stands on the zero
// date (12/30/1899) and a date alone at midnight.
QString formatTextAsDateMdy(const QString& text);
QString formatTextAsTimeAmPm(const QString& text);
QString formatTextAsTime24(const QString& text);

// Two-digit years are this century's: yy is 2000 + yy, wherever a date is
// read ("mm/dd/yy" texts, the stored vehicle dates, the dates of queries).
// The sign writes two-digit years and a survey's start date is built as
// "20" and the sign's year, so every survey lies in 2000-2099.
int expandTwoDigitYear(int year);
// Whether a date can be written with a two-digit year and read back as
// itself: a year from 2000 to 2099.
bool fitsTwoDigitYear(const QDate& date);

// Dates: "05/03/2002", "5/3/02", "12-31-02" (month first; a first number over
// 12 with a second of at most 12 is read day first), and the stored form
// "2002-05-03". "13/45/2002" is not a date.
std::optional<QDate> parseDate(QStringView text);
bool isDate(QStringView text);

// Times: "08:12 AM", "8:12pm", "14:30", "14:30:15", "8 AM".
std::optional<QTime> parseTime(QStringView text);

// A date, a time, or a date followed by a time. A time alone gets the zero
// date 1899-12-30; a date alone gets midnight. Values are in UTC, so no
// daylight-saving gap can make a clock time invalid.
std::optional<QDateTime> parseDateTime(QStringView text);

// A survey's start from its date and its time texts ("05/03/2002" or
// "05/03/02", "08:12 AM" or "08:12"), to the minute (seconds are dropped, as
// the "hh:mm" form drops them), in UTC; none when either cannot be read.
std::optional<QDateTime> parseStart(QStringView date, QStringView time);

// The zero date on which a time without a date stands.
QDate zeroDate();

} // namespace pelmor::text
