#include "maintenance/widgets/OutcomeMessage.h"

#include "ui/Messages.h"

#include <QScreen>
#include <QWidget>

namespace pelmor::maintenance {

void showOutcome(ui::Messages& messages, const Outcome& outcome)
{
    if (outcome.message.isEmpty())
        return;
    switch (outcome.status) {
    case Outcome::Status::Done:
        messages.tell(outcome.message);
        break;
    case Outcome::Status::Refused:
        messages.ask(outcome.message, ui::Messages::defaultTitle(), ui::Messages::Buttons::Ok,
                     ui::Messages::Icon::Warning, outcome.details);
        break;
    case Outcome::Status::Failed:
        messages.ask(outcome.message, ui::Messages::defaultTitle(), ui::Messages::Buttons::Ok,
                     ui::Messages::Icon::Critical, outcome.details);
        break;
    }
}

void showCentred(QWidget* window)
{
    window->adjustSize();
    if (const QScreen* screen = window->screen()) {
        const QRect area = screen->geometry();
        window->move(area.x() + (area.width() - window->width()) / 2,
                     area.y() + (area.height() - window->height()) / 2);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace pelmor::maintenance
