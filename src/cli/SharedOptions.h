#pragma once

#include "Command.h"
#include "flow/FlowBreakdown.h"
#include "queries/Queries.h"
#include "study/SpeedStudy.h"

#include <QStringList>

#include <optional>
#include <vector>

// Options and steps that more than one command of pelmor-cli takes.
namespace pelmor::cli {

// --bins 15|60, the length of the breakdown's bins.
const QCommandLineOption& binsOption();

// Breaks the survey's traffic down, as the flow buttons do, in the bins
// --bins asks for, into `rows`; what went wrong, or an empty text.
QString breakDown(const QCommandLineParser& parser, Context& context, const QString& batchNumber,
                  std::vector<flow::BreakdownRow>& rows);

// --threshold N, the enforcement threshold of the speed study.
const QCommandLineOption& thresholdOption();
// The threshold --threshold gives into `threshold` (none when the option is
// not given), a whole speed from 1 up to the 64-bit range; false, after
// printing why, when it is not a whole number, not above 0 or beyond that
// range.
bool readThreshold(const QCommandLineParser& parser, Context& context, std::optional<qint64>& threshold);
// The speed study of a survey with the threshold given; none (after
// printing why) when there is none.
std::optional<study::SpeedStudy> studyOf(const QCommandLineParser& parser, Context& context,
                                         const QString& batchNumber);

// --zone, --direction, --since and --until: which surveys a list or the
// ranking takes.
void addSurveyFilterOptions(QCommandLineParser& parser);
// What those options give, with both filters' common parts; false, after
// printing why, when a date is not one.
template <typename Filter>
bool readSurveyFilter(const QCommandLineParser& parser, Context& context, Filter& filter);

// A table in columns padded to their widest text: the first column left,
// the others right; one line a row, the titles first.
QString textTable(const QStringList& columns, const std::vector<QStringList>& rows);

template <typename Filter>
bool readSurveyFilter(const QCommandLineParser& parser, Context& context, Filter& filter)
{
    const auto since =
        queries::readFilterDate(QStringLiteral("--since"), parser.value(QStringLiteral("since")));
    const auto until =
        queries::readFilterDate(QStringLiteral("--until"), parser.value(QStringLiteral("until")));
    for (const auto* date : {&since, &until}) {
        if (!date->ok()) {
            failed(context, *date);
            return false;
        }
    }
    filter.since = *since.value;
    filter.until = *until.value;
    filter.zone = parser.value(QStringLiteral("zone"));
    filter.direction = parser.value(QStringLiteral("direction"));
    return true;
}

} // namespace pelmor::cli
