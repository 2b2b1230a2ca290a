#pragma once

#include "compare/Comparison.h"

#include <QString>
#include <QStringList>

#include <vector>

// A comparison as the texts of its table and its lines, the same in the
// window, in the headless tool and on paper.
namespace pelmor::compare {

// One figure of both surveys and its change.
struct ComparisonRow {
    QString caption;
    QString a;
    QString b;
    QString change; // empty where a change means nothing
};

// The column titles: none over the captions, then "Before (030226-A)",
// "After (030926-A)" and "Change", or the two batch numbers.
QStringList comparisonColumns(const Comparison& comparison);

// The posted limits, vehicles, vehicles per day, mean and percentiles and
// the shares over the limit, in the comparison's unit.
std::vector<ComparisonRow> comparisonRows(const Comparison& comparison);

// "Before: survey 030226-A, Elm Street, North, Mon 03/02/26 06:15 to
// Mon 03/09/26 06:14 (7 days, 0 h 00 min)".
QString surveyLine(const Comparison& comparison, bool sideA);

// "Elm Street, before and after" or "Surveys 030226-A and 030926-A".
QString comparisonHeading(const Comparison& comparison);

// Said where no warning stands against the comparison, and what stands
// over the warnings where some do.
QString fairComparisonNote();
QString unfairComparisonHeading();

// Which unit the speeds are in: "Both surveys measured speeds in mph.", or
// the conversion note when one survey's speeds were converted.
QString unitNote(const Comparison& comparison);

// What the 85th percentile and a significant change are, in plain words.
QString plainTermsNote();

// One test of significance as a row of a table: the question it answers,
// the test, its statistic, its p-value and its verdict at 95 %.
struct TestRow {
    QString question;
    QString test;
    QString statistic;
    QString pValue;
    QString verdict;
};

// The column titles and the rows of the three tests: the mean, the share
// over the limit and the distribution of speeds.
QStringList testColumns();
std::vector<TestRow> testRows(const Comparison& comparison);

// The verdicts: on the mean, on the spread of speeds, on the share over
// the limit.
QStringList verdictLines(const Comparison& comparison);

// The change between two figures as they read with one decimal, so that a
// change shown beside them is their difference: 39.46 and 36.44 read 39.5
// and 36.4, a change of -3.1.
double shownChange(double valueA, double valueB);

// A survey's posted limit: "35 mph", or for a survey converted to the
// comparison's unit "50 km/h (31.1 mph)".
QString limitText(const ComparedSurvey& side, const QString& unit);

} // namespace pelmor::compare
