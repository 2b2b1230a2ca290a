#include "logs/LogReading.h"

#include "LogText.h"
#include "text/Formats.h"
#include "text/MessageText.h"

#include <algorithm>
#include <cstdlib>

namespace pelmor::logs {
namespace {

using detail::ClockFormat;
using detail::ClockMaker;
using detail::ClockParts;

constexpr size_t kRefusalsKept = 10;
// Lines between two looks at the progress and the cancel.
constexpr qint64 kLinesPerLook = 65536;
// A jump back of the clock this close to an hour is told as a clock change.
constexpr qint64 kClockChangeLow = 50 * 60;
constexpr qint64 kClockChangeHigh = 70 * 60;

QString clockText(const QDateTime& time)
{
    QString text = time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (time.timeSpec() == Qt::OffsetFromUTC) {
        const int offset = time.offsetFromUtc();
        text += QStringLiteral("%1%2:%3")
                    .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                    .arg(std::abs(offset) / 3600, 2, 10, QLatin1Char('0'))
                    .arg(std::abs(offset) / 60 % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

QString durationText(qint64 seconds)
{
    const qint64 minutes = (seconds + 30) / 60;
    return minutes < 120 ? QStringLiteral("%1 minutes").arg(minutes)
                         : QStringLiteral("%1 hours %2 minutes").arg(minutes / 60).arg(minutes % 60);
}

// A whole number, a decimal one rounded half up; none for anything else.
std::optional<qint64> wholeSpeed(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 9)
        return std::nullopt;
    qint64 value = 0;
    qsizetype at = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
        value = value * 10 + (text[at] - '0');
    if (at == 0)
        return std::nullopt;
    if (at == text.size())
        return value;
    if (text[at] != '.' && text[at] != ',')
        return std::nullopt;
    const qsizetype decimals = at + 1;
    for (at = decimals; at < text.size(); ++at)
        if (text[at] < '0' || text[at] > '9')
            return std::nullopt;
    if (decimals < text.size() && text[decimals] >= '5')
        ++value;
    return value;
}

// Digits with a decimal point or comma, read by hand: a log's lengths are
// short ("04", "12,5"), and a copy of each for the library's conversion
// would cost more than the rest of the line.
std::optional<float> decimalLength(QByteArrayView text)
{
    double value = 0, scale = 0;
    int digitCount = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digitCount > 9)
                return std::nullopt;
            value = value * 10 + (c - '0');
            scale *= 10;
        } else if ((c == '.' || c == ',') && scale == 0) {
            scale = 1;
        } else {
            return std::nullopt;
        }
    }
    if (digitCount == 0)
        return std::nullopt;
    return float(scale > 0 ? value / scale : value);
}

// The reading of one line into a vehicle.
class LineReader {
public:
    LineReader(const LogLayout& layout)
        : m_layout(layout)
        , m_date(layout.dateFormat)
        , m_time(layout.timeColumn > 0 ? layout.timeFormat : QStringLiteral("HH:mm:ss"))
    {
        for (const LogLayout::DirectionValue& each : layout.directionValues)
            m_directions.push_back({each.value.trimmed().toUtf8(), each.travel});
        m_needed = std::max({layout.dateColumn, layout.timeColumn, layout.speedColumn, layout.directionColumn,
                             layout.lengthColumn});
    }

    // The vehicle of the line, or the refusal of the line in `refusal`.
    bool read(QByteArrayView line, qint64 number, LoggedVehicle& vehicle, RefusedLine& refusal)
    {
        detail::splitColumns(line, m_layout.separator, m_columns);
        const auto refuse = [&](int column, const char* what, const QString& reason) {
            refusal = {number, column,
                       QStringLiteral("column %1 (%2): %3").arg(column).arg(QLatin1String(what), reason)};
            return false;
        };
        if (int(m_columns.size()) < m_needed) {
            const int missing = int(m_columns.size()) + 1;
            const char* what = missing == m_layout.dateColumn        ? "date"
                               : missing == m_layout.timeColumn      ? "time"
                               : missing == m_layout.speedColumn     ? "speed"
                               : missing == m_layout.directionColumn ? "direction"
                                                                     : "length";
            refusal = {number, missing,
                       QStringLiteral("column %1 (%2) is missing: the line has %3 columns")
                           .arg(missing)
                           .arg(QLatin1String(what))
                           .arg(m_columns.size())};
            return false;
        }
        const auto column = [&](int n) {
            return m_columns[size_t(n - 1)];
        };
        const auto shown = [](QByteArrayView text) {
            return text::quotedValue(QString::fromUtf8(text));
        };

        ClockParts parts;
        if (!m_date.read(column(m_layout.dateColumn), parts))
            return refuse(m_layout.dateColumn, m_layout.timeColumn > 0 ? "date" : "date and time",
                          QStringLiteral("%1 does not fit %2")
                              .arg(shown(column(m_layout.dateColumn)), m_layout.dateFormat));
        if (m_layout.timeColumn > 0 && !m_time.read(column(m_layout.timeColumn), parts))
            return refuse(m_layout.timeColumn, "time",
                          QStringLiteral("%1 does not fit %2")
                              .arg(shown(column(m_layout.timeColumn)), m_layout.timeFormat));
        const std::optional<QDateTime> time = m_clock.make(parts);
        offset = parts.offsetSeconds;
        if (!time) {
            const int at = m_layout.timeColumn > 0 && parts.hour >= 0 && parts.year >= 0 && parts.month >= 1
                               ? m_layout.timeColumn
                               : m_layout.dateColumn;
            return refuse(at, "date and time",
                          QStringLiteral("%1 is no valid date and time").arg(shown(line)));
        }
        vehicle.time = *time;

        const std::optional<qint64> speed = wholeSpeed(column(m_layout.speedColumn));
        if (!speed)
            return refuse(m_layout.speedColumn, "speed",
                          QStringLiteral("%1 is no number").arg(shown(column(m_layout.speedColumn))));
        vehicle.speed = *speed;

        vehicle.travel = m_layout.wholeFile;
        if (m_layout.directionColumn > 0) {
            const QByteArrayView text = column(m_layout.directionColumn);
            vehicle.travel = Travel::Unknown;
            for (const auto& [value, travel] : m_directions)
                if (text == value)
                    vehicle.travel = travel;
        }

        vehicle.length = -1.0f;
        if (m_layout.lengthColumn > 0 && !column(m_layout.lengthColumn).isEmpty()) {
            const std::optional<float> length = decimalLength(column(m_layout.lengthColumn));
            if (!length)
                return refuse(m_layout.lengthColumn, "length",
                              QStringLiteral("%1 is no length").arg(shown(column(m_layout.lengthColumn))));
            vehicle.length = *length;
        }
        vehicle.line = number;
        return true;
    }

private:
    const LogLayout& m_layout;
    ClockFormat m_date;
    ClockFormat m_time;
    ClockMaker m_clock;
    std::vector<std::pair<QByteArray, Travel>> m_directions;
    std::vector<QByteArrayView> m_columns;
    int m_needed = 0;

public:
    // The UTC offset the last line read gave; none when it gave none.
    std::optional<int> offset;
};

// Pairs of vehicles of the same second and speed in opposite directions,
// each vehicle in at most one pair; the vehicles in time order. Within a
// second the vehicles still unpaired are counted by speed and direction, so
// a second of very many vehicles costs no more than its distinct speeds.
qint64 countSeenTwice(const std::vector<LoggedVehicle>& vehicles)
{
    qint64 pairs = 0;
    struct Unpaired {
        qint64 speed;
        Travel travel;
        qint64 count;
    };
    std::vector<Unpaired> unpaired;
    for (size_t first = 0; first < vehicles.size();) {
        const qint64 second = vehicles[first].time.toSecsSinceEpoch();
        size_t end = first + 1;
        while (end < vehicles.size() && vehicles[end].time.toSecsSinceEpoch() == second)
            ++end;
        unpaired.clear();
        for (size_t i = first; i < end && end - first > 1; ++i) {
            const LoggedVehicle& vehicle = vehicles[i];
            if (vehicle.travel == Travel::Unknown)
                continue;
            const auto partner = std::find_if(unpaired.begin(), unpaired.end(), [&](const Unpaired& u) {
                return u.speed == vehicle.speed && u.travel != vehicle.travel && u.count > 0;
            });
            if (partner != unpaired.end()) {
                ++pairs;
                --partner->count;
                continue;
            }
            const auto same = std::find_if(unpaired.begin(), unpaired.end(), [&](const Unpaired& u) {
                return u.speed == vehicle.speed && u.travel == vehicle.travel;
            });
            if (same != unpaired.end())
                ++same->count;
            else
                unpaired.push_back({vehicle.speed, vehicle.travel, 1});
        }
        first = end;
    }
    return pairs;
}

} // namespace

ReadLog readLog(const QByteArray& bytes, const LogLayout& layout, const QString& fileName,
                const ReadOptions& options)
{
    if (bytes.isEmpty())
        throw LogError(QStringLiteral("The file %1 is empty.").arg(fileName));
    ReadLog log;
    const detail::DecodedLog decoded = detail::decodeLog(bytes);
    log.encoding = decoded.encoding;
    log.unit = options.unit.isEmpty() ? layout.speedUnit : options.unit;
    log.gapSeconds = options.gapSeconds;
    // Bytes of the text stand for bytes of the file in the progress.
    const double bytesPerByte = decoded.text.isEmpty() ? 1.0 : double(bytes.size()) / decoded.text.size();
    log.vehicles.reserve(size_t(decoded.text.size() / 24));

    LineReader reader(layout);
    LoggedVehicle vehicle;
    RefusedLine refusal;
    std::optional<int> lastOffset;
    bool cancelled = false;
    const char* const begin = decoded.text.constData();
    detail::forEachLine(decoded.text, [&](QByteArrayView line, qint64 number) {
        if (number % kLinesPerLook == 0) {
            if (options.progress)
                options.progress(qint64((line.data() - begin) * bytesPerByte), bytes.size());
            if (options.cancelled && options.cancelled()) {
                cancelled = true;
                return false;
            }
        }
        if (number <= layout.skipLines || detail::isBlank(line))
            return true;
        ++log.lines;
        if (!reader.read(line, number, vehicle, refusal)) {
            if (++log.refused <= qint64(kRefusalsKept))
                log.firstRefused.push_back(std::move(refusal));
            return true;
        }
        if (!log.vehicles.empty()) {
            const LoggedVehicle& previous = log.vehicles.back();
            const qint64 back = vehicle.time.secsTo(previous.time);
            const bool offsetChanged = reader.offset && lastOffset && *lastOffset != *reader.offset;
            const bool jumpedBack = !reader.offset && back >= kClockChangeLow && back <= kClockChangeHigh;
            if (offsetChanged || jumpedBack)
                log.clockChanges.push_back({number, previous.time, vehicle.time});
            else if (back > 0)
                ++log.outOfOrder;
        }
        if (reader.offset)
            lastOffset = reader.offset;
        log.vehicles.push_back(vehicle);
        return true;
    });
    if (cancelled)
        throw LogError(QStringLiteral("The reading of %1 was cancelled.").arg(fileName));
    if (options.progress)
        options.progress(bytes.size(), bytes.size());

    if (log.vehicles.empty()) {
        if (log.refused == 0)
            throw LogError(
                QStringLiteral("The file %1 holds no vehicle: it has no line to read after the %2 skipped.")
                    .arg(fileName, QString::number(layout.skipLines)));
        const RefusedLine& first = log.firstRefused.front();
        throw LogError(
            QStringLiteral("The layout %1 does not fit %2: every one of its %3 lines is refused, the "
                           "first (line %4): %5.")
                .arg(text::quotedValue(layout.name), fileName, text::formatCount(log.lines),
                     QString::number(first.line), first.reason));
    }
    const auto earlier = [](const LoggedVehicle& a, const LoggedVehicle& b) {
        return a.time < b.time;
    };
    if (!std::is_sorted(log.vehicles.begin(), log.vehicles.end(), earlier))
        std::stable_sort(log.vehicles.begin(), log.vehicles.end(), earlier);

    log.seenTwice = countSeenTwice(log.vehicles);
    for (size_t i = 1; i < log.vehicles.size(); ++i)
        if (log.vehicles[i - 1].time.secsTo(log.vehicles[i].time) > options.gapSeconds)
            log.gaps.push_back({log.vehicles[i - 1].time, log.vehicles[i].time});
    return log;
}

QStringList ReadLog::findings(const QString& fileName) const
{
    QStringList lines;
    lines << QStringLiteral("Vehicles read from %2 (%3): %1, from %4 to %5.")
                 .arg(text::formatCount(qint64(vehicles.size())), fileName, encoding,
                      vehicles.empty() ? QString() : clockText(vehicles.front().time),
                      vehicles.empty() ? QString() : clockText(vehicles.back().time));
    if (refused > 0 && refused <= qint64(kRefusalsKept)) {
        for (const RefusedLine& each : firstRefused)
            lines << QStringLiteral("Line %1 refused: %2.").arg(each.line).arg(each.reason);
    } else if (refused > 0) {
        QStringList numbers;
        for (const RefusedLine& each : firstRefused)
            numbers << QString::number(each.line);
        lines << QStringLiteral("Lines refused: %1; the first at lines %2; line %3: %4.")
                     .arg(text::formatCount(refused), numbers.join(QStringLiteral(", ")))
                     .arg(firstRefused.front().line)
                     .arg(firstRefused.front().reason);
    }
    if (outOfOrder > 0)
        lines << QStringLiteral("Lines before an earlier time: %1; the vehicles are taken in time order.")
                     .arg(text::formatCount(outOfOrder));
    if (seenTwice > 0)
        lines << QStringLiteral(
                     "Pairs of vehicles of the same second and speed in opposite directions, maybe one "
                     "vehicle seen twice: %1. Both of each pair are kept.")
                     .arg(text::formatCount(seenTwice));
    const auto gapText = [](const LogGap& gap) {
        return QStringLiteral("from %1 to %2 (%3)")
            .arg(clockText(gap.from), clockText(gap.to), durationText(gap.from.secsTo(gap.to)));
    };
    if (!gaps.empty() && gaps.size() <= 3) {
        for (const LogGap& gap : gaps)
            lines << QStringLiteral("No vehicle %1.").arg(gapText(gap));
    } else if (!gaps.empty()) {
        const LogGap& longest =
            *std::max_element(gaps.begin(), gaps.end(), [](const LogGap& a, const LogGap& b) {
                return a.from.secsTo(a.to) < b.from.secsTo(b.to);
            });
        lines << QStringLiteral("No vehicle for more than %2: %1 times; the longest %3.")
                     .arg(text::formatCount(qint64(gaps.size())), durationText(gapSeconds), gapText(longest));
    }
    for (const ClockChange& change : clockChanges)
        lines << QStringLiteral(
                     "Line %1: the clock changes from %2 to %3. The times are kept as the log gives "
                     "them.")
                     .arg(change.line)
                     .arg(clockText(change.before), clockText(change.after));
    return lines;
}

} // namespace pelmor::logs
