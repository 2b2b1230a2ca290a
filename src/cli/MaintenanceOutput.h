#pragma once

#include "Command.h"
#include "maintenance/Outcome.h"

namespace pelmor::cli {

// Prints what a maintenance operation tells, line breaks as the console
// writes them: a completion message on the output, a refusal or failure
// and its reason on the error stream. The exit code: 0 when it was done.
int printOutcome(Context& context, const maintenance::Outcome& outcome);

// The --yes option of the commands that lose data without asking.
void addConfirmationOption(QCommandLineParser& parser);

// Whether --yes was given; otherwise prints the window's question and that
// nothing was changed.
bool confirmed(const QCommandLineParser& parser, Context& context, const QString& question);

} // namespace pelmor::cli
