#pragma once

#include <QString>

namespace pelmor::db {

// Doubles every apostrophe of a text that is concatenated into a statement
// between single quotes, so a name such as O'Brien neither breaks nor changes
// the statement.
QString escapeText(const QString& value);

// Translates a statement written for the original engine into SQLite: a date
// or time literal between '#' marks becomes a quoted literal in the stored
// form ("# 08:00 #" -> '08:00:00', "# 01/05/03 #" -> '2003-01-05').
// Quoted texts and bracketed names pass unchanged. Throws DbError when a
// literal between '#' marks is neither a date nor a time.
QString translateStatement(const QString& statement);

} // namespace pelmor::db
