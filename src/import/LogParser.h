#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// Reading the sign's log. The download buffer holds the log exactly as the
// sign sent it; positions below count from 1 and count CR and LF as
// characters.
namespace pelmor::import {

// The survey header fields taken from fixed positions of the log.
struct HeaderFields {
    QString month;        // 30-31
    QString day;          // 34-35
    QString year;         // 38-39, two digits
    QString hour;         // 54-55
    QString minute;       // 58-59
    QString locationCode; // 11-15
    QString postedSpeed;  // 78-80
    QString cutoff;       // 111-113
    QString alarm;        // 128-130
    QString unit;         // the header's "Speed Units:" line; see statedUnit

    QString dateStem() const { return month + day + year; }                // "050302"
    QString startDate() const;                                             // "05/03/2002"
    QString startTime() const { return hour + QLatin1Char(':') + minute; } // "08:12"
    QString batchNumber(const QString& trailerLetter) const;               // "050302-A"
};

// Characters of the buffer from a 1-based position; a range that runs past
// the end yields what exists.
QString midText(QByteArrayView buffer, qsizetype position, qsizetype length);

HeaderFields readHeaderFields(QByteArrayView buffer);

// The unit the sign says it measured in, from the "Speed Units:" line of the
// header (the text before the first "*"): "MPH", or "KPH" for "KPH", "km/h",
// "KMH" or "kmph" in any case. Empty when the header has no such line or
// names no unit known.
QString statedUnit(QByteArrayView buffer);

// Marks where the vehicle data ends: writes "*" over the four direction
// characters ("+", "-", "?") nearest the end, or over two when a "*" is
// already among the last 200 characters (a buffer processed before). The
// walk looks at up to 200 characters before the last one. Returns false when
// the buffer is too short for the walk; the marks written before stay.
bool markEnd(QByteArray& buffer);

// One vehicle as the log gives it: the texts between the commas.
using VehicleSink =
    std::function<void(QByteArrayView offset, QByteArrayView direction, QByteArrayView speed)>;

struct ParseResult {
    bool ok = false; // false: no end mark to walk back from
    qint64 vehicles = 0;
};

// Reads the vehicle records of a marked buffer, which it does not change:
// drops every CR LF pair, the header up to its "*" and the five characters
// after it, and everything after the third "+" before the end mark and the
// five characters after that "+"; then hands each triple of comma-ended
// fields (offset, direction, speed) to the sink in order. An empty offset or
// direction field is skipped; text after the last comma is ignored.
ParseResult parseVehicles(QByteArrayView buffer, const VehicleSink& sink);

// Removes every CR LF pair, also the pairs that a removal brings together
// ("\r\r\n\n" becomes empty); lone CR and LF characters stay.
QByteArray removeLineBreaks(QByteArrayView text);

} // namespace pelmor::import
