#pragma once

#include "study/SpeedStudy.h"

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The study's figures as the texts of its tables, the same in the window,
// in the headless tool and on paper.
namespace pelmor::study {

// One figure in the three directions: both, approaching, receding.
struct FigureRow {
    QString caption;
    std::array<QString, kDirections.size()> cells;
};

// The figures by direction, from the number of vehicles to the count over
// the enforcement threshold, each speed's caption ending with its unit. A
// figure a direction cannot have (no vehicles, or a spread of one vehicle)
// reads "-".
std::vector<FigureRow> figureRows(const SpeedStudy& study);

// Says which of the two percentile values in a cell is which.
QString percentileNote();

// A table of texts: its column titles and its rows.
struct TextTable {
    QStringList columns;
    std::vector<QStringList> rows;
};

// The 24 hours of the day: vehicles per day over the days that cover the
// hour fully, how many days those are, and the speeds of the hour (their
// unit in the column titles).
TextTable hourlyTable(const SpeedStudy& study);

// The speed bins of a direction: vehicles, per cent and cumulative per cent.
TextTable binTable(const SpeedStudy& study, Direction direction);

// What stands over the warnings, and what stands instead of them when
// there are none.
QString warningsHeading();
QString noWarningsText();

// The warnings as lines to show on screen and on paper: each warning's
// text, except that more than two daytime gaps read as one line with their
// number and the longest (the exports list each one).
QStringList warningLines(const SpeedStudy& study);

// "Posted limit 35 mph, Mon 03/02/26 08:00 to Sun 03/08/26 07:59 (6 days, 23 h 59 min)", or
// "(1 day, 23 h 57 min)"
QString studyPeriod(const SpeedStudy& study);
// "Survey 030226-A: " and the period.
QString studyHeading(const SpeedStudy& study);

} // namespace pelmor::study
