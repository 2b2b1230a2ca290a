#pragma once

#include "db/Database.h"
#include "flow/FlowBreakdown.h"

#include <QString>

class QIODevice;

namespace pelmor::store {
class SurveyStore;
}
namespace pelmor::worker {
class BackgroundTask;
}

namespace pelmor::csv {

class Writer;

// The tables of the survey database that can be exported.
enum class Table {
    Vehicles,  // one row per vehicle of a survey, in the order they were stored
    Breakdown, // the rows of a flow breakdown, in their order
    Summary,   // the statistics row of a survey
};

// A file name to offer for an export: "050302-A vehicles.csv".
QString suggestedFileName(const QString& batchNumber, const QString& what);

// Writes a table as CSV: a header row of the field names, then the rows as
// stored; the breakdown under the plain names "Date", "Time", "Vehicles"
// and "Hour total" (or "Day total" for hourly bins), with the date on every
// row. The batch number chooses the survey; the breakdown's rows are given
// (a breakdown made for the survey on show), the database is not read for
// them. On a worker, `task` is told how many vehicles are written and can
// stop the writing, which then says so. Returns what went wrong, or an
// empty text.
QString writeTable(const db::Database& database, Table table, const QString& batchNumber, QIODevice& device,
                   const std::vector<flow::BreakdownRow>& breakdown = {},
                   worker::BackgroundTask* task = nullptr);
// The same from a store already open.
QString writeTable(store::SurveyStore& store, Table table, const QString& batchNumber, QIODevice& device,
                   const std::vector<flow::BreakdownRow>& breakdown = {},
                   worker::BackgroundTask* task = nullptr);

// Writes the table into a file as db::saveFile() writes it: a failure leaves
// an older file as it was and no partial file behind. Returns what went
// wrong, or an empty text; a stopped writing leaves no file.
QString saveTable(const db::Database& database, Table table, const QString& batchNumber, const QString& path,
                  const std::vector<flow::BreakdownRow>& breakdown = {},
                  worker::BackgroundTask* task = nullptr);

} // namespace pelmor::csv
