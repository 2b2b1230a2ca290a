#pragma once

#include "maintenance/Outcome.h"
#include "ui/BusyCursor.h"

class QWidget;

namespace pelmor::ui {
class Messages;
}

namespace pelmor::maintenance {

// Shows what an operation tells: a completion message as a plain box, a
// refusal with the warning icon, a failure with the critical one, their
// reason behind "Show Details...". An operation that tells nothing shows
// nothing.
void showOutcome(ui::Messages& messages, const Outcome& outcome);

// Runs an operation under the busy pointer, then shows what it tells.
template <typename Operation> void runAndShowOutcome(ui::Messages& messages, Operation&& operation)
{
    Outcome outcome;
    {
        const ui::BusyCursor busy;
        outcome = operation();
    }
    showOutcome(messages, outcome);
}

// Shows a window in the middle of its screen, in front.
void showCentred(QWidget* window);

} // namespace pelmor::maintenance
