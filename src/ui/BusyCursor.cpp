#include "ui/BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace pelmor::ui {

BusyCursor::BusyCursor()
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyCursor::~BusyCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

} // namespace pelmor::ui
