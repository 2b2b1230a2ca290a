#include "loggen/LogWriter.h"

#include <algorithm>
#include <cstring>

namespace pelmor::loggen {

namespace {

constexpr char kLineEnd[] = "\r\n";

// Writes the decimal digits of `value` (with a '-' when negative) at `out`
// and returns the position after the last one.
char* writeInteger(char* out, qint64 value)
{
    quint64 magnitude = static_cast<quint64>(value);
    if (value < 0) {
        *out++ = '-';
        magnitude = 0 - magnitude;
    }
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (count > 0)
        *out++ = digits[--count];
    return out;
}

bool isSafeHeaderByte(char c)
{
    return c >= 0x20 && c <= 0x7e && std::strchr("*+-?,", c) == nullptr;
}

// A fixed-width header field: zeros on the left, cut to the width, every
// byte the reader could take for data replaced by '0'.
QByteArray fixedField(const QString& text, int width)
{
    QByteArray field = text.rightJustified(width, QLatin1Char('0'), true).toLatin1();
    std::replace_if(
        field.begin(), field.end(), [](char c) { return !isSafeHeaderByte(c); }, '0');
    return field;
}

QByteArray twoDigits(int value)
{
    return fixedField(QString::number(value), 2);
}

void appendLine(QByteArray& out, const QByteArray& text)
{
    out.append(text);
    out.append(kLineEnd);
}

} // namespace

QByteArray writeLog(const LogHeader& header, const std::vector<Vehicle>& vehicles,
                    const WriteOptions& options)
{
    const int perLine = std::max(1, options.recordsPerLine);
    const QDate& date = header.startDate;
    const bool dated = date.isValid();
    const QByteArray gap("  ");

    QByteArray out;
    // Records are 15 bytes on a busy long survey; reserving a little more
    // avoids any reallocation in the common case.
    out.reserve(512 + qsizetype(vehicles.size()) * 16 + qsizetype(vehicles.size() / size_t(perLine)) * 2);

    // The reader takes these fields from fixed character positions, so the
    // label texts and the two-blank gaps must stay exactly as they are.
    appendLine(out, "SITE CODE " + fixedField(header.locationCode, 5));
    appendLine(out, "Start Date: " + twoDigits(dated ? date.month() : 0) + gap +
                        twoDigits(dated ? date.day() : 0) + gap + twoDigits(dated ? date.year() % 100 : 0));
    appendLine(out, "Start Time: " + twoDigits(header.startHour) + gap + twoDigits(header.startMinute));
    appendLine(out, "Posted Limit:   " + fixedField(header.postedLimit, 3));
    appendLine(out, "High Speed Cut-Off Setting: " + fixedField(header.cutoff, 3));
    appendLine(out, "Alarm Speed:" + fixedField(header.alarm, 3));
    // Informational lines; the reader skips everything up to the "*" line.
    appendLine(out, "Speed Units: " + fixedField(header.unit, 3));
    appendLine(out, "Vehicles: " + QByteArray::number(qulonglong(vehicles.size())));
    appendLine(out, "*");
    appendLine(out, "DATA:");

    // offset (19 digits and a sign at most), direction, speed, three commas.
    char record[48];
    int onLine = 0;
    for (const Vehicle& vehicle : vehicles) {
        char* end = writeInteger(record, vehicle.offset);
        *end++ = ',';
        *end++ = vehicle.direction;
        *end++ = ',';
        end = writeInteger(end, vehicle.speed);
        *end++ = ',';
        if (++onLine == perLine) {
            *end++ = '\r';
            *end++ = '\n';
            onLine = 0;
        }
        out.append(record, end - record);
    }
    if (onLine != 0)
        out.append(kLineEnd);

    if (options.terminator) {
        // After a download the program marks the four direction characters
        // nearest the end with '*' and, reading vehicles, walks back from the
        // first mark to the third '+' before it. Twelve '+' keep that walk
        // inside this line, so no real vehicle is cut off, even after a
        // processed log has been saved, loaded and marked again.
        appendLine(out, "++++++++++++");
    }
    return out;
}

} // namespace pelmor::loggen
