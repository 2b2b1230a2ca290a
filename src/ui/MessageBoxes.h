#pragma once

#include "ui/Messages.h"

#include <QPointer>
#include <QWidget>

namespace pelmor::ui {

// The real message boxes, modal over the given window.
class MessageBoxes : public Messages {
public:
    explicit MessageBoxes(QWidget* parent = nullptr);
    void setParent(QWidget* parent) { m_parent = parent; }
    Answer ask(const QString& text, const QString& title, Buttons buttons, Icon icon) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace pelmor::ui
