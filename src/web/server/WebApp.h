#pragma once

#include "web/WebRequest.h"
#include "web/server/Sessions.h"

#include <QByteArray>
#include <QString>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <cstddef>
#include <vector>

// What pelmor-web answers, apart from HTTP itself: who the visitor is,
// signing in and out, who may reach which route, the form token, and the
// failures every answer may meet, told without a password or a stack.
namespace pelmor::web::server {

struct WebOptions {
    // The database file, or the agency server as --server gave it.
    db::Database database;
    // On a server: the public pages are shown to anyone not signed in.
    bool publicView = false;
    // Served over TLS: the session cookie is sent only over it.
    bool tls = false;
};

// A part of a multipart form: a text field, or a file when it has a name.
struct FormPart {
    QByteArray name;
    QByteArray fileName;
    QByteArray content;
};

// A request as HTTP delivered it, before anything of it is trusted.
struct IncomingRequest {
    QByteArray method;
    QByteArray target; // as sent: percent-encoded path and query
    QByteArray cookies;
    QByteArray contentType;
    QByteArray body;
    bool multipart = false;
    std::vector<FormPart> parts;
};

// The largest body a POST may send: the form that sends a download takes a
// 1,000,000-vehicle log with room to spare, every other form a few fields.
inline constexpr std::size_t kUploadBodyLimit = 64u << 20;
inline constexpr std::size_t kFormBodyLimit = 16u << 10;

// The name of the cookie that carries the session.
inline constexpr const char* kSessionCookie = "pelmor_session";

class WebApp {
public:
    // The routes of the API, the pages and the forms, and on a server those
    // that sign in and out.
    explicit WebApp(WebOptions options);

    // The largest body a request of `method` to `target` may send.
    std::size_t bodyLimit(const QByteArray& method, const QByteArray& target) const;

    // The answer to `request`; never throws. A failure of the database is
    // 503 with its message, any other failure 500 with a plain page.
    WebResponse answer(const IncomingRequest& request);

private:
    struct Caller {
        Visitor visitor;
        db::Database database;
        QString sessionId;
    };
    Caller callerOf(const QByteArray& cookies);
    // Why the caller may not reach `route`: a response, or none when it may.
    std::optional<WebResponse> refusal(const Route& route, const WebRequest& request,
                                       const QByteArray& cookies) const;
    WebResponse notSignedIn(const WebRequest& request) const;
    WebResponse signIn(const WebRequest& request);
    WebResponse signOut(const WebRequest& request);
    WebResponse failure(const WebRequest& request, int status, const QString& message) const;

    WebOptions m_options;
    // The requests that read a survey's vehicles are answered by these
    // threads, as many as there are processors but one, at a lower
    // priority than the request threads: the pages of sites, the ranking
    // and the lists answer at once however many surveys are being drawn.
    QThreadPool m_heavyWork;
    bool m_onServer = false;
    std::vector<Route> m_routes;
    Sessions m_sessions;
    // On a file: the one local user's form token, and the id of the cookie
    // that must come with every form that changes data.
    QString m_localToken;
    QString m_localCookie;
};

// The value of cookie `name` in a Cookie header; empty when it is not there.
QString cookieValue(const QByteArray& cookies, const QByteArray& name);

// Where to go after signing in: `next` when it is a path of this site, else "/".
QString safeNext(const QString& next);

} // namespace pelmor::web::server
