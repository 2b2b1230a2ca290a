#include "web/server/WebApp.h"

#include "db/DbError.h"
#include "db/HiddenPasswords.h"
#include "queries/Queries.h"
#include "store/SurveyStore.h"
#include "web/forms/Forms.h"
#include "web/pages/Pages.h"
#include "web/pages/SurveyFigures.h"
#include "web/server/AccessLog.h"
#include "web/server/Api.h"
#include "web/server/RequestTarget.h"
#include "web/server/Router.h"

#include <QThread>
#include <QUrl>

#include <future>

#include <sys/resource.h>
#include <unistd.h>

namespace pelmor::web::server {
namespace {

// Lowers the priority of the calling thread alone (Linux gives each thread
// a nice value of its own), once: a thread may lower its own priority, never
// raise it again.
void lowerThisThreadsPriority()
{
    thread_local bool lowered = false;
    if (!lowered) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
        lowered = true;
    }
}

// Answers on one of the heavy work's threads and waits for it; what the
// answer throws is thrown here.
WebResponse onHeavyThread(QThreadPool& threads, const std::function<WebResponse()>& answer)
{
    std::promise<WebResponse> promise;
    std::future<WebResponse> response = promise.get_future();
    threads.start([&] {
        lowerThisThreadsPriority();
        try {
            promise.set_value(answer());
        } catch (...) {
            promise.set_exception(std::current_exception());
        }
    });
    return response.get();
}

bool isApi(const QString& path)
{
    return path.startsWith(QLatin1String("/api/"));
}

WebResponse plainText(int status, const QString& message)
{
    return {status, "text/plain; charset=utf-8", message.toUtf8() + '\n', {}};
}

const QString kTokenRefused = QStringLiteral("The form came without its token, or with one that is out of "
                                             "date: go back, reload the page and send the form again.");

QByteArray sessionCookie(const QString& id, bool tls)
{
    return QByteArray(kSessionCookie) + '=' + id.toLatin1() + "; Path=/; HttpOnly; SameSite=Strict" +
           (tls ? "; Secure" : "");
}

} // namespace

QString cookieValue(const QByteArray& cookies, const QByteArray& name)
{
    for (const QByteArray& pair : cookies.split(';')) {
        const QByteArray trimmed = pair.trimmed();
        if (trimmed.startsWith(name + '='))
            return QString::fromLatin1(trimmed.mid(name.size() + 1));
    }
    return QString();
}

QString safeNext(const QString& next)
{
    const bool local = next.startsWith(QLatin1Char('/')) && !next.startsWith(QLatin1String("//")) &&
                       !next.contains(QLatin1Char('\\')) && strictText(next.toUtf8(), false).has_value();
    return local ? next : QStringLiteral("/");
}

WebApp::WebApp(WebOptions options)
    : m_options(std::move(options))
    , m_onServer(!m_options.database.server.isEmpty())
{
    m_heavyWork.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
    m_heavyWork.setExpiryTimeout(-1);
    m_routes = api::apiRoutes();
    for (std::vector<Route> more : {pages::pageRoutes(), forms::formRoutes()})
        m_routes.insert(m_routes.end(), more.begin(), more.end());
    if (m_onServer) {
        m_routes.push_back({"GET", QStringLiteral("/sign-in"), Access::Anyone,
                            [](const WebRequest& request, const QStringList&) {
                                if (request.visitor.signedIn)
                                    return WebResponse::redirect(
                                        safeNext(request.queryValue(QStringLiteral("next"))).toUtf8());
                                return pages::signInPage(
                                    request.visitor, QString(), QString(),
                                    safeNext(request.queryValue(QStringLiteral("next"))));
                            },
                            Work::Light});
        m_routes.push_back({"POST", QStringLiteral("/sign-in"), Access::Anyone,
                            [this](const WebRequest& request, const QStringList&) { return signIn(request); },
                            Work::Light});
        // Signing out is a form that carries the token, as those that change
        // data do: a page of another site cannot sign a person out.
        m_routes.push_back(
            {"POST", QStringLiteral("/sign-out"), Access::Signed,
             [this](const WebRequest& request, const QStringList&) { return signOut(request); },
             Work::Light});
    } else {
        m_localToken = randomHex(32);
        m_localCookie = randomHex(32);
    }
}

std::size_t WebApp::bodyLimit(const QByteArray& method, const QByteArray& target) const
{
    QString refusal;
    const auto read = readTarget(target, refusal);
    if (!read)
        return kFormBodyLimit;
    const RouteMatch match = matchRoute(m_routes, method, read->segments);
    return match.route && match.route->access == Access::SendsData ? kUploadBodyLimit : kFormBodyLimit;
}

WebApp::Caller WebApp::callerOf(const QByteArray& cookies)
{
    Caller caller;
    caller.visitor.onServer = m_onServer;
    if (!m_onServer) {
        caller.visitor.signedIn = true;
        caller.visitor.mayDelete = true;
        caller.visitor.maySend = true;
        caller.visitor.formToken = m_localToken;
        caller.database = m_options.database;
        return caller;
    }
    caller.sessionId = cookieValue(cookies, kSessionCookie);
    if (!caller.sessionId.isEmpty()) {
        if (const auto session = m_sessions.find(caller.sessionId)) {
            caller.visitor.signedIn = true;
            caller.visitor.login = session->login;
            caller.visitor.mayDelete = session->mayDelete;
            caller.visitor.maySend = true;
            caller.visitor.formToken = session->formToken;
            caller.database = session->database;
            return caller;
        }
    }
    caller.sessionId.clear();
    caller.visitor.publicOnly = m_options.publicView;
    if (m_options.publicView)
        caller.database = m_options.database;
    return caller;
}

WebResponse WebApp::failure(const WebRequest& request, int status, const QString& message) const
{
    if (isApi(request.path))
        return plainText(status, message);
    return pages::errorPage(request.visitor, status, message);
}

WebResponse WebApp::notSignedIn(const WebRequest& request) const
{
    if (isApi(request.path))
        return plainText(401, QStringLiteral("Sign in first: the API answers people signed in at /sign-in."));
    if (request.method == "GET" || request.method == "HEAD") {
        QString next = request.path;
        if (!request.query.isEmpty())
            next += QLatin1Char('?') + request.query.toString(QUrl::FullyEncoded);
        return WebResponse::redirect("/sign-in?next=" + QUrl::toPercentEncoding(next));
    }
    return failure(request, 401,
                   QStringLiteral("You are not signed in, or your session ended: sign in again and send the "
                                  "form once more."));
}

std::optional<WebResponse> WebApp::refusal(const Route& route, const WebRequest& request,
                                           const QByteArray& cookies) const
{
    const Visitor& visitor = request.visitor;
    switch (route.access) {
    case Access::Anyone:
        return std::nullopt;
    case Access::Public:
        if (visitor.signedIn || visitor.publicOnly)
            return std::nullopt;
        return notSignedIn(request);
    case Access::Signed:
        if (visitor.signedIn)
            return std::nullopt;
        return notSignedIn(request);
    case Access::SendsData:
    case Access::DeletesData:
        break;
    }
    if (!visitor.signedIn)
        return notSignedIn(request);
    const bool cookieCarried = m_onServer || sameToken(cookieValue(cookies, kSessionCookie), m_localCookie);
    if (!cookieCarried || !sameToken(request.formValue(QStringLiteral("token")), visitor.formToken))
        return failure(request, 403, kTokenRefused);
    if (route.access == Access::DeletesData && !visitor.mayDelete)
        return failure(
            request, 403,
            QStringLiteral("Your login %1 may not delete surveys: ask an administrator of the agency "
                           "server to delete it.")
                .arg(visitor.login));
    if (route.access == Access::SendsData && !visitor.maySend)
        return failure(request, 403, QStringLiteral("You may not send surveys."));
    return std::nullopt;
}

WebResponse WebApp::signIn(const WebRequest& request)
{
    const QString login = request.formValue(QStringLiteral("login")).trimmed();
    const QString password = request.formValue(QStringLiteral("password"));
    const QString next = safeNext(request.formValue(QStringLiteral("next")));
    const auto again = [&](int status, const QString& message) {
        WebResponse page = pages::signInPage(request.visitor, message, login, next);
        page.status = status;
        return page;
    };
    if (login.isEmpty())
        return again(400, QStringLiteral("Type your login: your user name on the agency server."));
    if (password.isEmpty())
        return again(400, QStringLiteral("Type the password of your login."));
    Session session;
    session.login = login;
    try {
        session.database = store::serverAs(m_options.database, login, password);
        const auto store = store::openStore(session.database);
        session.mayDelete = store->capabilities().deleteSurveys.value_or(false);
    } catch (const db::DbError& error) {
        if (error.failure() == db::Failure::LoginRefused || error.failure() == db::Failure::PasswordNeeded)
            return again(401, QStringLiteral("The agency server refused this login or its password: check "
                                             "both and try again."));
        return again(503, db::hidePasswords(error.message(), session.database.server));
    }
    session.formToken = randomHex(32);
    const QString id = m_sessions.open(std::move(session));
    WebResponse response = WebResponse::redirect(next.toUtf8());
    response.headers.emplace_back("Set-Cookie", sessionCookie(id, m_options.tls));
    return response;
}

WebResponse WebApp::signOut(const WebRequest& request)
{
    if (!sameToken(request.formValue(QStringLiteral("token")), request.visitor.formToken))
        return failure(request, 403, kTokenRefused);
    WebResponse response = WebResponse::redirect("/sign-in");
    response.headers.emplace_back("Set-Cookie", QByteArray(kSessionCookie) +
                                                    "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict" +
                                                    (m_options.tls ? "; Secure" : ""));
    return response;
}

WebResponse WebApp::answer(const IncomingRequest& incoming)
{
    Caller caller = callerOf(incoming.cookies);
    WebRequest request;
    request.method = incoming.method;
    request.visitor = caller.visitor;
    request.database = caller.database;
    QString why;
    const auto target = readTarget(incoming.target, why);
    if (!target) {
        request.path = QString::fromLatin1(printablePath(incoming.target));
        return failure(request, 400, why);
    }
    request.path = target->path;
    request.query = target->query;
    try {
        const RouteMatch match = matchRoute(m_routes, incoming.method, target->segments);
        if (!match.route)
            return failure(request, match.otherMethod ? 405 : 404,
                           match.otherMethod ? QStringLiteral("This address does not take a %1 request.")
                                                   .arg(QString::fromLatin1(incoming.method))
                                             : QStringLiteral("There is no page at %1: go back, or start "
                                                              "from the list of surveys.")
                                                   .arg(target->path));
        if (incoming.method == "POST") {
            if (incoming.multipart) {
                for (const FormPart& part : incoming.parts) {
                    const auto name = strictText(part.name, false);
                    const auto text = part.fileName.isEmpty() ? strictText(part.content, true)
                                                              : std::optional<QString>(QString());
                    if (!name || !text)
                        return failure(request, 400,
                                       QStringLiteral("A field of the form is not UTF-8 text: send the form "
                                                      "from its page."));
                    if (part.fileName.isEmpty())
                        request.form.emplace(*name, *text);
                    else
                        request.files.emplace(*name,
                                              UploadedFile{QString::fromUtf8(part.fileName), part.content});
                }
            } else if (incoming.contentType.startsWith("application/x-www-form-urlencoded") ||
                       !incoming.body.isEmpty()) {
                const auto form = readUrlEncodedForm(incoming.body, why);
                if (!form)
                    return failure(request, 400, why);
                request.form = *form;
            }
        }
        if (const auto refused = refusal(*match.route, request, incoming.cookies))
            return *refused;
        WebResponse response;
        if (match.route->work == Work::ReadsVehicles) {
            std::optional<WebResponse> kept;
            if (match.route->answerFromKept)
                kept = match.route->answerFromKept(request, match.arguments);
            response = kept ? std::move(*kept) : onHeavyThread(m_heavyWork, [&] {
                return match.route->answer(request, match.arguments);
            });
        } else {
            response = match.route->answer(request, match.arguments);
        }
        // A form may have changed a survey or a site: the sites read before
        // are read again.
        if (request.method == "POST") {
            queries::forgetSites();
            pages::forgetSurveyFigures();
        }
        if (!m_onServer && cookieValue(incoming.cookies, kSessionCookie) != m_localCookie)
            response.headers.emplace_back("Set-Cookie", sessionCookie(m_localCookie, m_options.tls));
        if (m_onServer && match.route->pattern == QLatin1String("/sign-out") && response.status == 303)
            m_sessions.close(caller.sessionId);
        return response;
    } catch (const db::DbError& error) {
        const QString message = db::hidePasswords(error.message(), request.database.server);
        logLine(QStringLiteral("database failure on %1: %2").arg(request.path, message));
        return failure(request, 503, message);
    } catch (const std::exception& error) {
        logLine(QStringLiteral("internal error on %1: %2")
                    .arg(request.path,
                         db::hidePasswords(QString::fromUtf8(error.what()), request.database.server)));
    } catch (...) {
        logLine(QStringLiteral("internal error on %1").arg(request.path));
    }
    return failure(request, 500, QStringLiteral("internal error"));
}

} // namespace pelmor::web::server
