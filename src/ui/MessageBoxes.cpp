#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>

namespace pelmor::ui {
namespace {

QMessageBox::Icon boxIcon(Messages::Icon icon)
{
    switch (icon) {
    case Messages::Icon::None:
        break;
    case Messages::Icon::Information:
        return QMessageBox::Information;
    case Messages::Icon::Question:
        return QMessageBox::Question;
    case Messages::Icon::Warning:
        return QMessageBox::Warning;
    case Messages::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(Messages::Buttons buttons)
{
    switch (buttons) {
    case Messages::Buttons::Ok:
        break;
    case Messages::Buttons::OkCancelDefaultCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Messages::Buttons::YesNoDefaultNo:
        return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

// The width the text needs so that each line stands on one line where it
// fits `room`, and a longer line breaks only between its sentences (after
// ".", "!" or "?" and a blank) where each of them fits.
int widthForLines(const QString& text, const QFontMetrics& metrics, int room)
{
    static const QRegularExpression sentenceEnd(QStringLiteral("(?<=[.!?])\\s+"));
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        int needed = metrics.horizontalAdvance(line);
        if (needed > room) {
            needed = 0;
            for (const QString& sentence : line.split(sentenceEnd))
                needed = std::max(needed, metrics.horizontalAdvance(sentence));
        }
        widest = std::max(widest, needed);
    }
    return widest;
}

} // namespace

MessageBoxes::MessageBoxes(QWidget* parent)
    : m_parent(parent)
{
}

std::unique_ptr<QMessageBox> MessageBoxes::makeBox(const QString& text, const QString& title, Buttons buttons,
                                                   Icon icon, const QString& details, QWidget* parent)
{
    // Messages break lines with CR LF as well as LF; the box wants LF only.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    auto box = std::make_unique<QMessageBox>(boxIcon(icon), title, shown, boxButtons(buttons), parent);
    box->setTextFormat(Qt::PlainText);
    if (buttons == Buttons::YesNoDefaultNo)
        box->setDefaultButton(QMessageBox::No);
    else if (buttons == Buttons::OkCancelDefaultCancel)
        box->setDefaultButton(QMessageBox::Cancel);
    if (!details.isEmpty())
        box->setDetailedText(details);

    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        // The box widens to its label's minimum; the room left for the icon,
        // margins and frame keeps it on the screen.
        const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
        const int screenWidth = screen ? screen->availableGeometry().width() : 1024;
        const int room = std::max(200, screenWidth - 160);
        const int wanted = widthForLines(shown, label->fontMetrics(), room) + 4;
        label->setMinimumWidth(std::min(wanted, room));
    }
    return box;
}

Messages::Answer MessageBoxes::ask(const QString& text, const QString& title, Buttons buttons, Icon icon,
                                   const QString& details)
{
    QWidget* parent = m_parent ? m_parent.data() : QApplication::activeWindow();
    const std::unique_ptr<QMessageBox> box = makeBox(text, title, buttons, icon, details, parent);
    // A busy pointer must not hang over a question to the user.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
    const int result = box->exec();
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
        return buttons == Buttons::YesNoDefaultNo          ? Answer::No
               : buttons == Buttons::OkCancelDefaultCancel ? Answer::Cancel
                                                           : Answer::Ok;
    }
}

} // namespace pelmor::ui
