#include "flow/FlowBreakdown.h"

#include "db/DbError.h"
#include "text/Formats.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <map>

namespace pelmor::flow {
namespace {

constexpr int kMinutesPerDay = 24 * 60;

// What a total row shows in the time span and count columns.
const QString& totalSpan()
{
    static const QString span(20, QLatin1Char('-'));
    return span;
}

const QString& totalCount()
{
    static const QString count(4, QLatin1Char('-'));
    return count;
}

// A date as the reports tab shows it ("05/03/02"); a text holding only a
// time is no date.
std::optional<QDate> readDate(const QString& text)
{
    const auto value = text::parseDateTime(text);
    if (!value || value->date() == text::zeroDate())
        return std::nullopt;
    return value->date();
}

// A time of day ("08:12 AM", "14:30") as minutes since midnight; seconds
// are dropped, as the "hh:mm" form drops them.
std::optional<int> readMinuteOfDay(const QString& text)
{
    const auto value = text::parseDateTime(text);
    if (!value)
        return std::nullopt;
    return value->time().hour() * 60 + value->time().minute();
}

// The survey's vehicles counted per stored date and clock time; a bin's
// count is the sum over the times from its start to its end minute, both
// inclusive (a time with seconds past the end minute falls in no bin).
class TimeCounts {
public:
    explicit TimeCounts(const std::vector<store::TimeCount>& counts)
    {
        for (const store::TimeCount& count : counts) {
            Day& day = m_days[count.date];
            day.seconds.push_back(count.secondOfDay);
            day.runningTotals.push_back((day.runningTotals.empty() ? 0 : day.runningTotals.back()) +
                                        count.count);
        }
    }

    // The vehicles on `date` from the start of minute `start` to the start
    // of minute `end`.
    qint64 count(const QDate& date, int start, int end) const
    {
        const auto day = m_days.find(date);
        if (day == m_days.end())
            return 0;
        const std::vector<int>& seconds = day->second.seconds;
        const auto first = std::lower_bound(seconds.begin(), seconds.end(), start * 60);
        const auto past = std::upper_bound(seconds.begin(), seconds.end(), end * 60);
        if (past <= first)
            return 0;
        const auto& totals = day->second.runningTotals;
        const size_t from = size_t(first - seconds.begin()), to = size_t(past - seconds.begin());
        return totals[to - 1] - (from == 0 ? 0 : totals[from - 1]);
    }

private:
    struct Day {
        std::vector<int> seconds; // in ascending order, as grouped
        std::vector<qint64> runningTotals;
    };
    std::map<QDate, Day> m_days;
};

// Appends the rows of one walk to the result and keeps the running and
// grand totals.
class RowWriter {
public:
    explicit RowWriter(BreakdownResult& result)
        : m_result(result)
    {
    }

    void binRow(const QString& date, const QString& span, qint64 count)
    {
        m_result.rows.push_back({date, span, QString::number(count), QString()});
        m_running += count;
        ++m_result.binRows;
    }

    // A total row with everything counted since the last one.
    void totalRow()
    {
        m_result.rows.push_back({QString(), totalSpan(), totalCount(), QString::number(m_running)});
        m_result.grandTotal += m_running;
        m_running = 0;
    }

    void grandTotalRow()
    {
        m_result.rows.push_back({QString(), QString(), QString(), QString::number(m_result.grandTotal)});
    }

private:
    BreakdownResult& m_result;
    qint64 m_running = 0;
};

// The walk itself, on inputs that checkInputs() accepted.
void walk(const TimeCounts& counts, const BreakdownInputs& inputs, BinLength bins, BreakdownResult& result)
{
    const int length = minutes(bins);
    const std::optional<QDate> stopDate = readDate(inputs.stopDate);
    const std::optional<int> stopMinute = readMinuteOfDay(inputs.stopTime);
    const QString stopDateText = stopDate ? text::formatDateMdy(*stopDate) : QString();

    RowWriter writer(result);
    QDate current = *readDate(inputs.startDate);
    const int startMinute = *readMinuteOfDay(inputs.startTime);
    // The first bin starts on the bin grid at or before the start time.
    int binStart = startMinute - startMinute % length;
    bool datePending = true;

    for (;;) {
        const int binEnd = binStart + length - 1;
        const QString currentText = text::formatDateMdy(current);
        writer.binRow(datePending ? currentText : QString(),
                      text::formatMinuteOfDay(binStart) + QStringLiteral(" - ") +
                          text::formatMinuteOfDay((binEnd + 1) % kMinutesPerDay),
                      counts.count(current, binStart, binEnd));
        datePending = false;
        if (bins == BinLength::QuarterHour && binEnd % 60 == 59)
            writer.totalRow(); // the bin closed a clock hour

        // A survey that stops after the stop date's last bin start (23:45 or
        // 23:00) has no later bin on that day: its last bin ends the walk.
        if (currentText == stopDateText && binEnd == kMinutesPerDay - 1)
            break;

        binStart = (binStart + length) % kMinutesPerDay;
        if (binStart == 0) {
            current = current.addDays(1);
            datePending = true;
            if (bins == BinLength::Hour)
                writer.totalRow(); // the day just finished
        }

        // The last bin is the one that starts at most a minute after the stop time.
        if (text::formatDateMdy(current) == stopDateText && stopMinute && binStart > *stopMinute + 1)
            break;
        // Never past the stop date, also when it lies before the start or cannot be read.
        if (!stopDate || current > *stopDate)
            break;
    }
    writer.totalRow();
    writer.grandTotalRow();
}

} // namespace

QString checkInputs(const BreakdownInputs& inputs)
{
    if (inputs.batchNumber.isEmpty())
        return survey::noSurveyMessage();
    if (!readDate(inputs.startDate) || !readMinuteOfDay(inputs.startTime))
        return QStringLiteral("The start date or time of survey %1 cannot be read, so its traffic cannot "
                              "be broken down into time bins.")
            .arg(inputs.batchNumber);
    return QString();
}

BreakdownInputs BreakdownInputs::of(const survey::SurveyRecord& survey)
{
    return {survey.batchNumber, survey.summary.startDate, survey.summary.startTime, survey.summary.stopDate,
            survey.summary.stopTime};
}

namespace {

// Works the breakdown out on `store` into `result`; with `keep`, also keeps
// the rows in the store.
void breakDownOn(store::SurveyStore& store, const BreakdownInputs& inputs, BinLength bins, bool keep,
                 BreakdownResult& result)
{
    walk(TimeCounts(store.timeCounts(inputs.batchNumber)), inputs, bins, result);
    if (!keep)
        return;
    try {
        store.writeBreakdownRows(result.rows);
        result.rowsWritten = int(result.rows.size());
    } catch (const db::DbError& error) {
        result.failure =
            QStringLiteral("The traffic flow breakdown could not be written into the database: %1")
                .arg(error.message());
    }
}

QString notMade(const db::DbError& error)
{
    return QStringLiteral("The traffic flow breakdown could not be made: %1").arg(error.message());
}

BreakdownResult breakDown(const db::Database& database, const BreakdownInputs& inputs, BinLength bins,
                          bool keep)
{
    BreakdownResult result;
    result.failure = checkInputs(inputs);
    if (!result.ok())
        return result;
    try {
        breakDownOn(*store::openStore(database), inputs, bins, keep, result);
    } catch (const db::DbError& error) {
        result.failure = notMade(error);
    }
    return result;
}

} // namespace

BreakdownResult runBreakdown(const db::Database& database, const BreakdownInputs& inputs, BinLength bins)
{
    return breakDown(database, inputs, bins, true);
}

BreakdownResult showBreakdown(const db::Database& database, const BreakdownInputs& inputs, BinLength bins)
{
    return breakDown(database, inputs, bins, false);
}

std::pair<BreakdownResult, BreakdownResult> showBothBreakdowns(const db::Database& database,
                                                               const BreakdownInputs& inputs)
{
    std::pair<BreakdownResult, BreakdownResult> both;
    both.first.failure = checkInputs(inputs);
    if (!both.first.ok()) {
        both.second.failure = both.first.failure;
        return both;
    }
    try {
        const TimeCounts counts(store::openStore(database)->timeCounts(inputs.batchNumber));
        walk(counts, inputs, BinLength::QuarterHour, both.first);
        walk(counts, inputs, BinLength::Hour, both.second);
    } catch (const db::DbError& error) {
        both = {};
        both.first.failure = both.second.failure = notMade(error);
    }
    return both;
}

} // namespace pelmor::flow
