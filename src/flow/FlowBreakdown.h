#pragma once

#include "db/Database.h"
#include "survey/SurveyRecord.h"

#include <QString>
#include <QtGlobal>

#include <vector>

namespace pelmor::db {
class Connection;
class Recordset;
} // namespace pelmor::db

// The traffic volume of one survey per time bin, written into the Breakdown
// table: quarter-hour bins with a total after every clock hour, or hourly
// bins with a total after every day, and a grand total at the end.
namespace pelmor::flow {

// The length of one bin in minutes.
enum class BinLength { QuarterHour = 15, Hour = 60 };

inline int minutes(BinLength bins)
{
    return static_cast<int>(bins);
}

// What the walk starts from, as the reports tab shows it for the current
// survey: the batch number and the statistics' start and stop texts
// ("05/03/02", "08:12 AM").
struct BreakdownInputs {
    QString batchNumber;
    QString startDate;
    QString startTime;
    QString stopDate;
    QString stopTime;

    // The chosen survey's batch number and its stored start and stop.
    static BreakdownInputs of(const survey::SurveyRecord& survey);
};

// One row of the Breakdown table, its four fields as text.
struct BreakdownRow {
    QString cDate;
    QString cTime;
    QString cCount;
    QString cHourTotal;

    friend bool operator==(const BreakdownRow& a, const BreakdownRow& b)
    {
        return a.cDate == b.cDate && a.cTime == b.cTime && a.cCount == b.cCount &&
               a.cHourTotal == b.cHourTotal;
    }
};

struct BreakdownResult {
    // Empty when the walk ran to its end; otherwise what went wrong, to show
    // as it stands. Rows written before a failure stay in the table.
    QString failure;
    // The rows of the breakdown, in order.
    std::vector<BreakdownRow> rows;
    int binRows = 0;
    int rowsWritten = 0;
    qint64 grandTotal = 0;

    bool ok() const { return failure.isEmpty(); }
};

// Why the inputs cannot be walked (no survey chosen, a start date or time
// that cannot be read), or an empty text when they can.
QString checkInputs(const BreakdownInputs& inputs);

// The breakdown of the survey, from its vehicles counted per date and time
// in one query: quarter-hour bins with a total after every clock hour, or
// hourly bins with a total after every day. Each bin counts the vehicles
// from its start to its end minute, both inclusive. The rows come back in
// the result; they are also written into Breakdown, emptied first, for
// other programs that read that table, but this program never reads them
// back from there. Inputs that checkInputs() refuses change nothing. A
// database failure ends the walk where it stands; the rows made so far stay
// in the result and in the table.
BreakdownResult runBreakdown(const db::Database& database, const BreakdownInputs& inputs, BinLength bins);

} // namespace pelmor::flow
