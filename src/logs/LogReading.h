#pragma once

#include "logs/LogLayout.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <stdexcept>
#include <vector>

// Reading another device's per-vehicle log with a layout: each line becomes
// a vehicle or is refused with its reason, and what real logs bring (lines
// out of time order, a vehicle seen twice, gaps, clock changes) is told, not
// silently changed.
namespace pelmor::logs {

struct LoggedVehicle {
    // The clock time as the log gives it: with its UTC offset when the log
    // gives one, else as a UTC time, so that this computer's time zone never
    // moves it.
    QDateTime time;
    qint64 speed = 0;
    Travel travel = Travel::Unknown;
    float length = -1.0f; // negative: none
    qint64 line = 0;      // 1-based line of the file
};

struct RefusedLine {
    qint64 line = 0;
    int column = 0; // 0: the line as a whole
    QString reason; // names the column: "column 3 (speed): \"abc\" is no whole number"
};

struct LogGap {
    QDateTime from;
    QDateTime to;
};

struct ClockChange {
    qint64 line = 0;
    QDateTime before;
    QDateTime after;
};

struct ReadLog {
    QString encoding; // "UTF-8", "UTF-8 with byte order mark", "UTF-16LE", "UTF-16BE", "Windows-1252"
    QString unit;     // the unit of the options, else the layout's; empty when neither gives one
    qint64 lines = 0; // lines looked at, skipped lines and blank lines not counted
    std::vector<LoggedVehicle> vehicles; // in time order
    qint64 refused = 0;
    std::vector<RefusedLine> firstRefused; // at most 10
    qint64 outOfOrder = 0;                 // lines that came before an earlier time; sorted
    qint64 seenTwice = 0;                  // same second and speed in both directions
    qint64 gapSeconds = 0;                 // the gap limit the log was read with
    std::vector<LogGap> gaps;              // no vehicle for longer than the gap limit
    std::vector<ClockChange> clockChanges; // the clock set back by about an hour, or a changed UTC offset

    // What the officer is told: one line each for the counts above that are
    // not zero, the refused lines summed up with the first line numbers.
    QStringList findings(const QString& fileName) const;
};

struct ReadOptions {
    QString unit;            // "MPH"/"KPH" when the layout leaves it to the user
    qint64 gapSeconds = 900; // a pause longer than this is a gap
    std::function<void(qint64 done, qint64 total)> progress{}; // bytes
    std::function<bool()> cancelled{};
};

// Reads the whole file's bytes. Throws LogError naming the file and, where
// it is one, the column: an empty file, a file with no vehicle, a layout
// that does not fit (every line refused), a cancel.
ReadLog readLog(const QByteArray& bytes, const LogLayout& layout, const QString& fileName,
                const ReadOptions& options);

// The message is kept whole: a file or layout name may hold any character.
class LogError : public std::runtime_error {
public:
    explicit LogError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// The layout that fits a file best: separator, date and time columns and
// formats, speed, direction and length columns guessed from its first lines.
LogLayout guessLayout(const QByteArray& bytes);

// The first lines of a file split by a layout, for showing as a table:
// every line from the top (the skipped ones too), blank lines left out.
std::vector<QStringList> firstRows(const QByteArray& bytes, const LogLayout& layout, int count);

} // namespace pelmor::logs
