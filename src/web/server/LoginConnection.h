#pragma once

#include <QString>

namespace pelmor::web::server {

// The connection of the agency server `server` names (a libpq connection
// string or URI) as `login` with `password`, as a keyword/value string
// whose every value is quoted: the user and password of `server` give way
// to those given, and no password file is read, so that only the password
// typed signs a person in. Throws db::DbError (with no password in it) when
// `server` cannot be read.
QString connectionAs(const QString& server, const QString& login, const QString& password);

} // namespace pelmor::web::server
