#pragma once

#include "ui/Messages.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QMessageBox;

namespace pelmor::ui {

// The real message boxes, modal over the given window.
class MessageBoxes : public Messages {
public:
    explicit MessageBoxes(QWidget* parent = nullptr);
    void setParent(QWidget* parent) { m_parent = parent; }
    using Messages::ask;
    Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon,
               const QString& details) override;

    // The box that ask() shows, not yet shown. It is wide enough to keep
    // each line of the message on one line where the screen allows, and
    // otherwise each sentence, so no word is left alone on a line of its own.
    static std::unique_ptr<QMessageBox> makeBox(const QString& text, const QString& title, Buttons buttons,
                                                Icon icon, const QString& details, QWidget* parent);

private:
    QPointer<QWidget> m_parent;
};

} // namespace pelmor::ui
