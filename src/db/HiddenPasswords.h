#pragma once

#include <QString>

namespace pelmor::db {

// `text` with every password that `connection` (a libpq connection string
// or URI) or `text` itself carries replaced by "****", so that a message,
// a log or a file never shows one. A password is the value of a password
// keyword ("password=s3cret", "password = 's3 cret'", a URI's
// "?password=s3cret") or of a URI's user ("postgresql://officer1:s3cret@
// host/traffic"), also in a URI so malformed that libpq quotes it whole, or
// quotes the password alone or a piece of it ("invalid percent-encoded
// token: "s3cr%zzet""). When a URI names no user, a port that is no number
// is taken for a password: "postgresql://officer1:s3cret" was meant as a
// user and a password.
QString hidePasswords(const QString& text, const QString& connection = QString());

} // namespace pelmor::db
