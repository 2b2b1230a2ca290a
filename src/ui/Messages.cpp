#include "ui/Messages.h"

namespace pelmor::ui {

QString Messages::defaultTitle()
{
    return QStringLiteral("Pelmor");
}

} // namespace pelmor::ui
