#pragma once

#include <QString>

namespace pelmor::ui {

// Every message box and question of the program goes through this small
// interface: the windows use the real boxes, tests a recorder that answers
// for the user, and logic that only needs to tell the user something links
// this interface alone, without any window.
class Messages {
public:
    // A plain message, or a question. Every question of the program may
    // destroy or drop data on its Yes or OK, so each offers the safe answer
    // as its default: Enter alone changes nothing.
    enum class Buttons { Ok, OkCancelDefaultCancel, YesNoDefaultNo };
    enum class Icon { None, Information, Question, Warning, Critical };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Messages() = default;

    // Shows a message and waits for the answer. `details`, when given, is
    // offered behind the box's "Show Details..." button: the reason behind a
    // fixed message, for whoever has to find out what went wrong.
    virtual Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon,
                       const QString& details) = 0;
    Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon)
    {
        return ask(text, title, buttons, icon, QString());
    }

    // A plain message with an OK button under the program's title.
    void tell(const QString& text) { ask(text, defaultTitle(), Buttons::Ok, Icon::None); }
    void tell(const QString& text, const QString& title, Icon icon = Icon::None)
    {
        ask(text, title, Buttons::Ok, icon);
    }
    // A plain message whose reason can be shown on request.
    void tellWithDetails(const QString& text, const QString& details)
    {
        ask(text, defaultTitle(), Buttons::Ok, Icon::None, details);
    }

    static QString defaultTitle();
};

} // namespace pelmor::ui
