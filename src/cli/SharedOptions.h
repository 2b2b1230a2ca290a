#pragma once

#include "Command.h"
#include "flow/FlowBreakdown.h"
#include "study/SpeedStudy.h"

#include <optional>

// Options and steps that more than one command of pelmor-cli takes.
namespace pelmor::cli {

// --bins 15|60, and the bin length it names; none (after printing why)
// for any other value.
const QCommandLineOption& binsOption();
std::optional<flow::BinLength> binLength(const QCommandLineParser& parser, Context& context);

// Breaks the survey's traffic down into Breakdown, as the flow buttons do;
// what went wrong, or an empty text.
QString breakDown(Context& context, const QString& batchNumber, flow::BinLength bins);

// --threshold N, the enforcement threshold of the speed study.
const QCommandLineOption& thresholdOption();
// The speed study of a survey with the threshold given; none (after
// printing why) when there is none.
std::optional<study::SpeedStudy> studyOf(const QCommandLineParser& parser, Context& context,
                                         const QString& batchNumber);

} // namespace pelmor::cli
