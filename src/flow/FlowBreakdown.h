#pragma once

#include "db/Database.h"
#include "store/SurveyStore.h"
#include "survey/SurveyRecord.h"

#include <QString>
#include <QtGlobal>

#include <utility>
#include <vector>

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

// One row of a breakdown, its four fields as text.
using BreakdownRow = store::BreakdownRow;

struct BreakdownResult {
    // Empty when the walk ran to its end and its rows were kept; otherwise
    // what went wrong, to show as it stands.
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
// the result; they are also kept in the store, in place of the breakdown
// kept before, for other programs that read them, but this program never
// reads them back from there. Inputs that checkInputs() refuses change
// nothing; a database failure leaves the kept rows as they were.
BreakdownResult runBreakdown(const db::Database& database, const BreakdownInputs& inputs, BinLength bins);

// The same breakdown for a view that only shows it: the rows kept in the
// store stay as they are, so showing it never writes.
BreakdownResult showBreakdown(const db::Database& database, const BreakdownInputs& inputs, BinLength bins);

// Both breakdowns for a view that only shows them, quarter-hour bins first,
// from one reading of the vehicles counted per date and time.
std::pair<BreakdownResult, BreakdownResult> showBothBreakdowns(const db::Database& database,
                                                               const BreakdownInputs& inputs);

} // namespace pelmor::flow
