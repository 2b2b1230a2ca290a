#pragma once

#include <QString>

namespace pelmor::ui {

// Every message box and question of the program goes through this small
// interface: the windows use the real boxes, tests a recorder that answers
// for the user.
class Messages {
public:
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Icon { None, Information, Question, Warning, Critical };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Messages() = default;

    // Shows a message and waits for the answer.
    virtual Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon) = 0;

    // A plain message with an OK button under the program's title.
    void tell(const QString& text) { ask(text, defaultTitle(), Buttons::Ok, Icon::None); }
    void tell(const QString& text, const QString& title, Icon icon = Icon::None)
    {
        ask(text, title, Buttons::Ok, icon);
    }

    static QString defaultTitle() { return QStringLiteral("Pelmor"); }
};

} // namespace pelmor::ui
