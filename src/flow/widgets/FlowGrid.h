#pragma once

#include "flow/FlowBreakdown.h"

class QTableView;

namespace pelmor::flow {

// Width of the "Time Span" column: 1200 twips (0.83 inch).
inline constexpr int kTimeSpanTwips = 1200;

// Formats a grid showing a BreakdownModel the way the flow buttons leave it:
// the "Time Span" column 1200 twips wide (and, for quarter-hour bins, left
// aligned), then the headings "Date", "Time Span", "Veh Count" and
// "Hour Total". The hourly grid keeps "Hour Total" for its day totals.
void formatFlowGrid(QTableView* grid, BinLength bins);

} // namespace pelmor::flow
