#pragma once

#include "store/SurveyStore.h"

#include <QString>

namespace pelmor::store {

// The entry a list gets when it would otherwise be empty, so that there is
// always one to choose: "(Agency Name)" or "(Officer Name)". It names no
// one: it stands where a name is still to be typed.
QString placeholderName(NameList list);

// A list's name as the reports tab shows it and the documents print it:
// the name itself, or nothing for the placeholder.
QString printedName(NameList list, const QString& name);

} // namespace pelmor::store
