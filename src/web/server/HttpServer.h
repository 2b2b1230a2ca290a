#pragma once

#include "web/server/WebApp.h"

#include <QString>

// HTTP for the web view: cpp-httplib's server (its parsing, timeouts, size
// limits, thread pool and TLS) in front of the answers of a WebApp.
namespace pelmor::web::server {

struct ListenOptions {
    QString address = QStringLiteral("127.0.0.1");
    int port = 8080;
    // Both given: HTTPS with this certificate and key (PEM files).
    QString tlsCertificate;
    QString tlsKey;
    // The map tiles' origin ("https://tile.openstreetmap.org"), which the
    // pages may load images from.
    QString tilesOrigin;
    // What the start-up line names as the database served.
    QString databaseName;
};

// How long the server waits on a client that stalls in the middle of a
// request or an answer, and how many requests it answers at once (each on a
// connection of its own to the database).
inline constexpr int kReadTimeoutSeconds = 10;
inline constexpr int kThreads = 64;

// Serves `app` until the process gets SIGINT or SIGTERM; 0 then, 1 (after
// saying why on the standard error) when it cannot listen.
int serve(WebApp& app, const ListenOptions& options);

} // namespace pelmor::web::server
