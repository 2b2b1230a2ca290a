#include "maintenance/widgets/Backdrop.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QScreen>

namespace pelmor::maintenance {

Backdrop::Backdrop(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("Blankform"));
    setWindowTitle(QStringLiteral("Pelmor"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0x1f, 0x3a, 0x5f));
    setPalette(palette);
    setAutoFillBackground(true);
}

void Backdrop::cover()
{
    // The whole screen also where no window manager makes a window full screen.
    if (const QScreen* screen = this->screen())
        setGeometry(screen->geometry());
    showFullScreen();
}

void Backdrop::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    Q_EMIT clicked();
}

void Backdrop::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Q_EMIT clicked();
}

} // namespace pelmor::maintenance
