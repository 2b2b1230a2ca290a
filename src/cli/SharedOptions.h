#pragma once

#include "Command.h"
#include "flow/FlowBreakdown.h"
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

// A table in columns padded to their widest text: the first column left,
// the others right; one line a row, the titles first.
QString textTable(const QStringList& columns, const std::vector<QStringList>& rows);

} // namespace pelmor::cli
