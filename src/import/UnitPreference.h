#pragma once

#include <QString>

// The unit a new download is offered in: the one this officer last stored a
// survey in, kept in the user's own settings, so that officers sharing one
// survey database each keep their own. A stored survey's unit is in its
// Header row and is never read from here.
namespace pelmor::import {

// The key of the per-user setting.
inline constexpr const char* kUnitSetting = "ImportUnit";

// "MPH" or "KPH": the unit remembered, MPH when none is. A remembered value
// that is neither (a setting file edited by hand) is an error: the reason
// goes to `failure` and the result is empty, so that no survey is stored in
// a guessed unit.
QString preferredUnit(QString& failure);

// Remembers "MPH" or "KPH" for the next import. Returns what went wrong
// writing the setting file, or an empty text.
QString rememberUnit(const QString& unit);

} // namespace pelmor::import
