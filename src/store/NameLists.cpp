#include "store/NameLists.h"

namespace pelmor::store {

QString placeholderName(NameList list)
{
    return list == NameList::Agencies ? QStringLiteral("(Agency Name)") : QStringLiteral("(Officer Name)");
}

QString printedName(NameList list, const QString& name)
{
    return name == placeholderName(list) ? QString() : name;
}

} // namespace pelmor::store
