#pragma once

#include "logs/LogLayout.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// What reading a log and guessing its layout share: its text as UTF-8, its
// lines and columns as views into that text, and its date and time columns
// read digit by digit.
namespace pelmor::logs::detail {

struct DecodedLog {
    QByteArray text; // UTF-8 without a byte order mark
    QString encoding;
};
DecodedLog decodeLog(const QByteArray& bytes);

// Calls line(view, number) for each line of `text` (ended by CR LF, LF or
// CR; numbers from 1) until it returns false. The view holds no line end.
template <typename Line> void forEachLine(QByteArrayView text, Line line)
{
    const char* at = text.data();
    const char* const end = at + text.size();
    qint64 number = 0;
    while (at < end) {
        const char* stop = at;
        while (stop < end && *stop != '\n' && *stop != '\r')
            ++stop;
        if (!line(QByteArrayView(at, stop - at), ++number))
            return;
        if (stop < end && *stop == '\r' && stop + 1 < end && stop[1] == '\n')
            ++stop;
        at = stop + 1;
    }
}

bool isBlank(QByteArrayView line);

// The columns of a line, without the blanks around them and the double
// quotes around a quoted one.
void splitColumns(QByteArrayView line, Separator separator, std::vector<QByteArrayView>& columns);

// A date, a time or both, as one column of a log holds them.
struct ClockParts {
    int year = -1, month = -1, day = -1;
    int hour = -1, minute = -1, second = 0, msec = 0;
    bool pm = false, am = false;
    std::optional<int> offsetSeconds;
};

// Reads one column with a QDateTime format ("dd.MM.yy HH:mm:ss") or "ISO".
// The usual formats are read digit by digit; the others (month names, say)
// through QDateTime, a good deal slower.
class ClockFormat {
public:
    explicit ClockFormat(const QString& format);
    // Adds what the column holds to `parts`; false when it does not fit.
    bool read(QByteArrayView column, ClockParts& parts) const;
    const QString& format() const { return m_format; }

private:
    bool readIso(QByteArrayView column, ClockParts& parts) const;
    bool readThroughQt(QByteArrayView column, ClockParts& parts) const;

    struct Token {
        char letter; // 0 for a literal
        int count;
        char literal;
    };
    QString m_format;
    bool m_iso = false;
    bool m_byHand = true;
    std::vector<Token> m_tokens;
};

// The time the parts give (see LoggedVehicle::time); none when they give
// no valid date and time. The day number of the last date is kept, since
// the lines of a log share their dates.
class ClockMaker {
public:
    std::optional<QDateTime> make(const ClockParts& parts);

private:
    int m_year = 0, m_month = 0, m_day = 0;
    qint64 m_julianDay = 0;
};

} // namespace pelmor::logs::detail
