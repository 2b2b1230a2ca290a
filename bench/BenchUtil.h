#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <utility>

// Small measuring helpers for the benchmarks: wall time and resident memory
// as Linux reports it.
namespace pelmor::bench {

// Runs `run` `rounds` times; the best and the worst time, in milliseconds.
inline std::pair<double, double> measure(int rounds, const std::function<void()>& run)
{
    double best = 1e9, worst = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        run();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        best = std::min(best, ms);
        worst = std::max(worst, ms);
    }
    return {best, worst};
}

// The value of "NAME VALUE" among the arguments, taken out of them so that
// the positional arguments stand where they are expected; empty when
// absent.
inline QString takeOption(QStringList& arguments, const QString& name)
{
    const qsizetype at = arguments.indexOf(name);
    if (at <= 0 || at + 1 >= arguments.size())
        return {};
    const QString value = arguments.at(at + 1);
    arguments.remove(at, 2);
    return value;
}

// Resident memory in MiB: "VmRSS" now, or "VmHWM" the peak so far.
inline double memoryMiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// Starts a new peak: from here on "VmHWM" reports the peak since this call.
inline void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

} // namespace pelmor::bench
