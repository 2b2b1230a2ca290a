#pragma once

#include <QString>
#include <QStringList>

// Which database the window works on, remembered for each user: the file in
// the database folder ("This computer"), or an agency's PostgreSQL server.
// What is remembered never includes a password: libpq finds one in its
// usual places (~/.pgpass, a service file, PGPASSWORD), or the window asks
// for it and keeps it only in memory.
namespace pelmor::db {

struct ServerChoice {
    // True when the agency's server is the database, false for the file.
    bool useServer = false;
    QString host{};
    int port = 5432;
    QString database{};
    QString user{};
    // libpq's sslmode, one of tlsModes().
    QString tlsMode = QStringLiteral("prefer");
};

// libpq's sslmode values, weakest first.
QStringList tlsModes();

// The choice remembered for this user; the file when none is.
ServerChoice rememberedServerChoice();

// Remembers `choice` for this user. Throws DbError, naming the setting file,
// when it cannot be written.
void rememberServerChoice(const ServerChoice& choice);

// The server "Send Surveys to the Agency Server..." sent to last, remembered
// for this user apart from the database the program works on (useServer is
// always true); the server chosen with "Database..." until one was sent to.
ServerChoice rememberedSendServer();

// Remembers `choice` as the server the surveys go to. Throws DbError, as
// rememberServerChoice() does.
void rememberSendServer(const ServerChoice& choice);

// Whether two choices name the same server, database and user.
bool sameServer(const ServerChoice& one, const ServerChoice& other);

// The libpq keyword/value connection string for the server of `choice`,
// with `password` when one is given (the caller keeps it in memory only).
// Fields left empty are left to libpq's defaults and environment. A server
// that does not answer is given up after a few seconds, so that nobody
// waits on a dead host.
QString connectionString(const ServerChoice& choice, const QString& password = QString());

// A value as libpq's keyword/value syntax takes it: quoted, with quotes and
// backslashes escaped, so that blanks and quotes in it cannot split it.
QString quotedConnectionValue(const QString& value);

// The server of `choice` as the window names it: "db.example.org/traffic
// as officer1" (libpq's defaults where a field is left empty).
QString serverName(const ServerChoice& choice);

} // namespace pelmor::db
