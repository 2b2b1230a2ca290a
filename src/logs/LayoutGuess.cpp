#include "logs/LogReading.h"

#include "LogText.h"

#include <algorithm>
#include <map>
#include <set>

namespace pelmor::logs {
namespace {

using detail::ClockFormat;
using detail::ClockMaker;
using detail::ClockParts;

// The lines a guess looks at.
constexpr int kGuessLines = 50;

// Date and time formats tried, in this order, on a column that holds both,
// then on a column of dates beside one of times.
const char* const kDateTimeFormats[] = {"ISO",
                                        "dd.MM.yy HH:mm:ss",
                                        "dd.MM.yyyy HH:mm:ss",
                                        "yyyy-MM-dd HH:mm:ss",
                                        "yyyy/MM/dd HH:mm:ss",
                                        "MM/dd/yyyy HH:mm:ss",
                                        "dd/MM/yyyy HH:mm:ss",
                                        "MM/dd/yy HH:mm:ss",
                                        "MM/dd/yyyy h:mm:ss AP",
                                        "dd.MM.yy HH:mm",
                                        "dd.MM.yyyy HH:mm",
                                        "MM/dd/yyyy HH:mm"};
const char* const kDateFormats[] = {"ISO",        "dd.MM.yy",   "dd.MM.yyyy", "yyyy/MM/dd",
                                    "MM/dd/yyyy", "dd/MM/yyyy", "MM/dd/yy",   "dd/MM/yy"};

std::vector<std::vector<QByteArray>> splitLines(const QByteArray& text, Separator separator, int count,
                                                int skip = 0)
{
    std::vector<std::vector<QByteArray>> rows;
    std::vector<QByteArrayView> columns;
    detail::forEachLine(text, [&](QByteArrayView line, qint64 number) {
        if (number <= skip || detail::isBlank(line))
            return true;
        detail::splitColumns(line, separator, columns);
        std::vector<QByteArray> row;
        for (QByteArrayView column : columns)
            row.push_back(column.toByteArray());
        rows.push_back(std::move(row));
        return int(rows.size()) < count;
    });
    return rows;
}

// The rows' share whose column (from 1) `read` accepts.
template <typename Read> double share(const std::vector<std::vector<QByteArray>>& rows, int column, Read read)
{
    if (rows.empty())
        return 0;
    int fits = 0;
    for (const std::vector<QByteArray>& row : rows)
        fits += column <= int(row.size()) && read(row[size_t(column - 1)]) ? 1 : 0;
    return double(fits) / rows.size();
}

bool fitsClock(const ClockFormat& format, QByteArrayView text, bool date, bool time)
{
    ClockParts parts;
    if (!format.read(text, parts))
        return false;
    if (!date) {
        parts.year = 2000;
        parts.month = parts.day = 1;
    }
    if (!time)
        parts.hour = parts.minute = 0;
    ClockMaker maker;
    return maker.make(parts).has_value();
}

std::optional<double> number(QByteArrayView text)
{
    QByteArray copy = text.toByteArray();
    copy.replace(',', '.');
    bool ok = false;
    const double value = copy.toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

Travel travelOf(const QByteArray& value, size_t index)
{
    const QByteArray word = value.toLower();
    for (const char* approaching : {"+", "a", "in", "approaching", "approach", "toward", "towards"})
        if (word == approaching)
            return Travel::Approaching;
    for (const char* receding : {"-", "r", "out", "receding", "away"})
        if (word == receding)
            return Travel::Receding;
    // Lanes and other codes: the first approaching, the second receding.
    return index == 0 ? Travel::Approaching : index == 1 ? Travel::Receding : Travel::Unknown;
}

} // namespace

LogLayout guessLayout(const QByteArray& bytes)
{
    const QByteArray text = detail::decodeLog(bytes).text;
    LogLayout layout;
    layout.name = QStringLiteral("Guessed layout");
    layout.device = QStringLiteral("Speed logger");

    // The separator that splits the lines into the same count of columns
    // most often, more columns winning a tie; blanks only when no mark does.
    int bestColumns = 0;
    double bestShare = 0;
    for (const Separator separator :
         {Separator::Tab, Separator::Semicolon, Separator::Comma, Separator::Blanks}) {
        std::map<size_t, int> counts;
        const auto rows = splitLines(text, separator, kGuessLines);
        for (const auto& row : rows)
            ++counts[row.size()];
        for (const auto& [columns, lines] : counts) {
            const double part = double(lines) / rows.size();
            if (columns < 2 || part < 0.8)
                continue;
            if (separator == Separator::Blanks && bestColumns >= 2)
                continue;
            if (int(columns) > bestColumns || (int(columns) == bestColumns && part > bestShare)) {
                bestColumns = int(columns);
                bestShare = part;
                layout.separator = separator;
            }
        }
    }

    // Lines at the top without a date, a column that begins with a digit:
    // headings, skipped.
    int headings = 0;
    std::vector<QByteArrayView> columns;
    detail::forEachLine(text, [&](QByteArrayView line, qint64 number) {
        detail::splitColumns(line, layout.separator, columns);
        if (!detail::isBlank(line) && std::any_of(columns.begin(), columns.end(), [](QByteArrayView c) {
                return !c.isEmpty() && c[0] >= '0' && c[0] <= '9';
            }))
            return false;
        headings = int(number);
        return number < 10;
    });
    if (headings < 10)
        layout.skipLines = headings;
    const auto rows = splitLines(text, layout.separator, kGuessLines, layout.skipLines);
    const int columnCount = rows.empty() ? 0 : int(rows.front().size());

    // The date and time: one column that holds both, else a date column and
    // a time column.
    std::set<int> taken;
    bool found = false;
    for (int c = 1; c <= columnCount && !found; ++c) {
        for (const char* format : kDateTimeFormats) {
            const ClockFormat clock{QLatin1String(format)};
            if (share(rows, c, [&](const QByteArray& v) { return fitsClock(clock, v, true, true); }) >= 0.9) {
                layout.dateColumn = c;
                layout.timeColumn = 0;
                layout.dateFormat = QLatin1String(format);
                found = true;
                break;
            }
        }
    }
    for (int c = 1; c <= columnCount && !found; ++c) {
        for (const char* format : kDateFormats) {
            const ClockFormat date{QLatin1String(format)};
            if (share(rows, c, [&](const QByteArray& v) { return fitsClock(date, v, true, false); }) < 0.9)
                continue;
            for (int t = 1; t <= columnCount && !found; ++t) {
                for (const char* timeFormat : {"ISO", "HH:mm:ss", "HH:mm:ss.zzz", "h:mm:ss AP", "HH:mm"}) {
                    const ClockFormat time{QLatin1String(timeFormat)};
                    if (t != c && share(rows, t, [&](const QByteArray& v) {
                                      return fitsClock(time, v, false, true);
                                  }) >= 0.9) {
                        layout.dateColumn = c;
                        layout.dateFormat = QLatin1String(format);
                        layout.timeColumn = t;
                        layout.timeFormat = QLatin1String(timeFormat);
                        found = true;
                        break;
                    }
                }
            }
            if (found)
                break;
        }
    }
    taken.insert(layout.dateColumn);
    taken.insert(layout.timeColumn);

    // The speed: mostly whole numbers of 5 to 200, the column of the most
    // different values; the direction: two or three values; the length:
    // small numbers that differ.
    // Whole numbers go before decimal ones, then the higher middle value
    // (a length is shorter than a speed is fast).
    double bestSpeed = 0;
    double middleSpeed = 0;
    for (int c = 1; c <= columnCount; ++c) {
        if (taken.count(c))
            continue;
        std::vector<double> values;
        for (const auto& row : rows)
            if (c <= int(row.size()))
                if (const std::optional<double> n = number(row[size_t(c - 1)]))
                    values.push_back(*n);
        const double speeds = share(rows, c, [](const QByteArray& v) {
            const std::optional<double> n = number(v);
            return n && *n >= 5 && *n <= 200;
        });
        const double whole = share(rows, c, [](const QByteArray& v) {
            return !v.isEmpty() &&
                   std::all_of(v.begin(), v.end(), [](char d) { return d >= '0' && d <= '9'; });
        });
        if (speeds < 0.8 || values.empty())
            continue;
        std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
        const double score = (whole >= 0.8 ? 1000 : 0) + values[values.size() / 2];
        if (score > bestSpeed) {
            bestSpeed = score;
            middleSpeed = values[values.size() / 2];
            layout.speedColumn = c;
        }
    }
    taken.insert(layout.speedColumn);
    // The unit: dates written day.month.year with dots come from countries
    // that measure in km/h; else a middle speed above 45 is km/h, as the
    // streets a speed sign watches rarely show that in mph, unless the dates
    // are month-first as in the US, where it may be a highway's. Otherwise
    // the unit is chosen at import.
    const bool dotted = layout.dateFormat.startsWith(QLatin1String("dd.MM."));
    const bool monthFirst = layout.dateFormat.startsWith(QLatin1String("MM/"));
    if (dotted || (middleSpeed > 45 && !monthFirst))
        layout.speedUnit = QStringLiteral("KPH");
    // Of the columns of two or three values, one of known words or single
    // characters goes before others (a coarse length, say).
    layout.directionColumn = 0;
    int bestScore = 0;
    for (int c = 1; c <= columnCount; ++c) {
        if (taken.count(c) || rows.size() < 4)
            continue;
        std::set<QByteArray> values;
        for (const auto& row : rows)
            if (c <= int(row.size()))
                values.insert(row[size_t(c - 1)]);
        // A value with blanks around it could not be kept in a layout file.
        if (values.size() < 2 || values.size() > 3 ||
            std::any_of(values.begin(), values.end(), [](const QByteArray& value) {
                return QString::fromUtf8(value) != QString::fromUtf8(value).trimmed();
            }))
            continue;
        int score = 3;
        size_t index = 0;
        for (const QByteArray& value : values) {
            const bool known = travelOf(value, 2) != Travel::Unknown;
            score = std::min(score, known ? 3 : value.size() == 1 ? 2 : 1);
        }
        if (score <= bestScore)
            continue;
        bestScore = score;
        layout.directionColumn = c;
        layout.directionValues.clear();
        for (const QByteArray& value : values)
            layout.directionValues.push_back({QString::fromUtf8(value), travelOf(value, index++)});
    }
    taken.insert(layout.directionColumn);
    for (int c = 1; c <= columnCount && layout.lengthColumn == 0; ++c) {
        if (taken.count(c))
            continue;
        std::set<QByteArray> values;
        for (const auto& row : rows)
            if (c <= int(row.size()))
                values.insert(row[size_t(c - 1)]);
        if (values.size() >= 2 && share(rows, c, [](const QByteArray& v) {
                                      const std::optional<double> n = number(v);
                                      return n && *n >= 0 && *n <= 30;
                                  }) >= 0.9)
            layout.lengthColumn = c;
    }
    return layout;
}

std::vector<QStringList> firstRows(const QByteArray& bytes, const LogLayout& layout, int count)
{
    std::vector<QStringList> rows;
    if (count <= 0)
        return rows;
    for (const std::vector<QByteArray>& row :
         splitLines(detail::decodeLog(bytes).text, layout.separator, count)) {
        QStringList texts;
        for (const QByteArray& column : row)
            texts << QString::fromUtf8(column);
        rows.push_back(texts);
    }
    return rows;
}

} // namespace pelmor::logs
