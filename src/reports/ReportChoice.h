#pragma once

#include <QString>
#include <QtGlobal>

namespace pelmor::reports {

// The document the report window builds. The numbers are the ones the
// print controls and the graph buttons set, and the headless tool's
// document numbers.
enum class ReportChoice : qint16 {
    None = 0,
    PercentileReport = 1,       // statistics with the speed distribution graph
    TrafficFlowGraphReport = 2, // statistics with the traffic volume graph
    SurveySummaryReport = 3,
    QuarterHourFlowReport = 4,
    HourlyFlowReport = 5,
    FilledFieldSheet = 6,
    BlankFieldSheet = 7,
    SpeedStudyReport = 8,    // the measured speed study, for a speed-limit memo
    ComparisonReport = 9,    // two surveys side by side, usually before and after a change
    SiteHistoryReport = 10,  // every survey of one site over the years
    SpeedingPriorities = 11, // the sites ranked by their speeders per day
};

// The document with that number (see documentKinds()); None for any other.
ReportChoice reportChoiceFromNumber(int number);

// A short name of the document for file names and window titles
// ("85th Percentile Report"); empty for None.
QString documentName(ReportChoice choice);

} // namespace pelmor::reports
