#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace pelmor::ui {

MessageBoxes::MessageBoxes(QWidget* parent)
    : m_parent(parent)
{
}

Messages::Answer MessageBoxes::ask(const QString& text, const QString& title, Buttons buttons, Icon icon)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None:
        break;
    case Icon::Information:
        boxIcon = QMessageBox::Information;
        break;
    case Icon::Question:
        boxIcon = QMessageBox::Question;
        break;
    case Icon::Warning:
        boxIcon = QMessageBox::Warning;
        break;
    case Icon::Critical:
        boxIcon = QMessageBox::Critical;
        break;
    }
    QMessageBox::StandardButtons standard = QMessageBox::Ok;
    if (buttons == Buttons::OkCancel)
        standard = QMessageBox::Ok | QMessageBox::Cancel;
    else if (buttons == Buttons::YesNo)
        standard = QMessageBox::Yes | QMessageBox::No;

    QWidget* parent = m_parent ? m_parent.data() : QApplication::activeWindow();
    // Messages break lines with CR LF as well as LF; the box wants LF only.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(boxIcon, title, shown, standard, parent);
    // A busy pointer must not hang over a question to the user.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    const int result = box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    switch (result) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default: // Cancel, or the box closed another way
        return buttons == Buttons::YesNo ? Answer::No
                                         : (buttons == Buttons::OkCancel ? Answer::Cancel : Answer::Ok);
    }
}

} // namespace pelmor::ui
