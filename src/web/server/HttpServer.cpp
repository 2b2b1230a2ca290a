#include "web/server/HttpServer.h"

#include "web/server/AccessLog.h"
#include "web/server/RequestTarget.h"

#include <QFileInfo>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

#include <sys/resource.h>
#include <sys/socket.h>

namespace pelmor::web::server {
namespace {

// Longer targets are refused before the router's regular expression reads
// them.
constexpr std::size_t kTargetLimit = 4096;
// Connections the system keeps waiting for the server to accept: a burst of
// a thousand is queued, not refused.
constexpr int kListenBacklog = 1024;
// A connection holds its thread while it is kept alive, so it is kept for a
// page and its parts, not longer: a connection that sends nothing is dropped
// after kKeepAliveSeconds, and waiting connections get their turn.
constexpr int kKeepAliveRequests = 10;
constexpr int kKeepAliveSeconds = 2;

thread_local std::chrono::steady_clock::time_point requestStart;

QByteArray bytesOf(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

void plainReply(httplib::Response& reply, int status, const char* message)
{
    reply.status = status;
    reply.set_header("Connection", "close");
    reply.set_content(message, "text/plain; charset=utf-8");
}

// The headers every answer carries: nothing is sniffed, framed or sent to
// another site, and scripts, styles and images come from this server (the
// map's images also from the tile server).
void addSafetyHeaders(httplib::Response& reply, const QString& tilesOrigin)
{
    reply.set_header("X-Content-Type-Options", "nosniff");
    reply.set_header("X-Frame-Options", "DENY");
    reply.set_header("Referrer-Policy", "same-origin");
    reply.set_header("Content-Security-Policy",
                     QStringLiteral("default-src 'self'; img-src 'self' data: %1; style-src 'self' "
                                    "'unsafe-inline'; script-src 'self'; frame-ancestors 'none'; "
                                    "form-action 'self'; base-uri 'none'")
                         .arg(tilesOrigin)
                         .toStdString());
    if (!reply.has_header("Cache-Control"))
        reply.set_header("Cache-Control", "no-store");
}

IncomingRequest incomingOf(const httplib::Request& request)
{
    IncomingRequest incoming;
    incoming.method = bytesOf(request.method);
    incoming.target = bytesOf(request.target);
    QByteArrayList cookies;
    for (std::size_t i = 0; i < request.get_header_value_count("Cookie"); ++i)
        cookies << bytesOf(request.get_header_value("Cookie", i));
    incoming.cookies = cookies.join("; ");
    incoming.contentType = bytesOf(request.get_header_value("Content-Type"));
    incoming.multipart = request.is_multipart_form_data();
    if (incoming.multipart) {
        for (const auto& [name, part] : request.files)
            incoming.parts.push_back({bytesOf(name), bytesOf(part.filename), bytesOf(part.content)});
    } else {
        incoming.body = bytesOf(request.body);
    }
    return incoming;
}

// The log's name of a request: its target with every unprintable byte
// escaped; for signing in the path alone, so that nothing typed there is
// written down.
QString loggedTarget(const httplib::Request& request)
{
    const QByteArray target = bytesOf(request.target);
    const qsizetype mark = target.indexOf('?');
    const QByteArray path = mark < 0 ? target : target.left(mark);
    return QString::fromLatin1(printablePath(path.startsWith("/sign-in") ? path : target));
}

} // namespace

int serve(WebApp& app, const ListenOptions& options)
{
    const bool tls = !options.tlsCertificate.isEmpty();
    std::unique_ptr<httplib::Server> server;
    if (tls) {
        for (const QString& file : {options.tlsCertificate, options.tlsKey}) {
            if (!QFileInfo(file).isReadable()) {
                logLine(
                    QStringLiteral("Cannot read %1: give a readable PEM file to --tls-cert and --tls-key.")
                        .arg(file));
                return 1;
            }
        }
        server = std::make_unique<httplib::SSLServer>(QFile::encodeName(options.tlsCertificate).constData(),
                                                      QFile::encodeName(options.tlsKey).constData());
        if (!server->is_valid()) {
            logLine(QStringLiteral("The certificate %1 or the key %2 is not a PEM certificate and its "
                                   "unencrypted private key: check both files.")
                        .arg(options.tlsCertificate, options.tlsKey));
            return 1;
        }
    } else {
        server = std::make_unique<httplib::Server>();
    }

    // Each connection holds a file descriptor: a burst of connections may use
    // as many as the system allows this process.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        setrlimit(RLIMIT_NOFILE, &files);
    }

    // The server owns and deletes the pool it is handed.
    server->new_task_queue = [] {
        return new httplib::ThreadPool(kThreads);
    };
    server->set_read_timeout(kReadTimeoutSeconds, 0);
    server->set_write_timeout(kReadTimeoutSeconds, 0);
    server->set_keep_alive_max_count(kKeepAliveRequests);
    server->set_keep_alive_timeout(kKeepAliveSeconds);
    server->set_payload_max_length(kUploadBodyLimit);
    // An answer goes out as soon as it is written: without this, a page
    // sent in two pieces waits for the browser's delayed acknowledgement,
    // some 40 ms, before its second piece leaves.
    server->set_tcp_nodelay(true);
    int listening = -1;
    server->set_socket_options([&listening](int socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = socket;
    });

    server->set_pre_routing_handler([&app](const httplib::Request& request, httplib::Response& reply) {
        requestStart = std::chrono::steady_clock::now();
        if (request.target.size() > kTargetLimit) {
            plainReply(reply, 414, "The address is too long.\n");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (request.method == "POST") {
            if (!request.has_header("Content-Length")) {
                plainReply(reply, 411, "Send the form with its length (Content-Length).\n");
                return httplib::Server::HandlerResponse::Handled;
            }
            const auto length = request.get_header_value<std::uint64_t>("Content-Length");
            if (length > app.bodyLimit(bytesOf(request.method), bytesOf(request.target))) {
                plainReply(reply, 413, "What was sent is larger than this address takes.\n");
                return httplib::Server::HandlerResponse::Handled;
            }
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    const auto handle = [&app, &options](const httplib::Request& request, httplib::Response& reply) {
        const WebResponse response = app.answer(incomingOf(request));
        reply.status = response.status;
        for (const auto& [name, value] : response.headers)
            reply.set_header(name.toStdString(), value.toStdString());
        addSafetyHeaders(reply, options.tilesOrigin);
        reply.set_content(response.body.toStdString(), response.contentType.toStdString());
    };
    // Every path reaches the one handler, also those whose decoding holds a
    // line break (which "." would not match): the handler refuses them.
    server->Get("[\\s\\S]*", handle);
    server->Post("[\\s\\S]*", handle);
    server->set_exception_handler([](const httplib::Request&, httplib::Response& reply, std::exception_ptr) {
        plainReply(reply, 500, "internal error\n");
    });
    server->set_logger([](const httplib::Request& request, const httplib::Response& reply) {
        const auto elapsed = std::chrono::steady_clock::now() - requestStart;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
        logLine(QStringLiteral("%1 %2 %3 %4 ms")
                    .arg(QString::fromLatin1(printablePath(bytesOf(request.method))), loggedTarget(request),
                         QString::number(reply.status), QString::number(ms)));
    });

    if (!server->bind_to_port(options.address.toStdString(), options.port)) {
        logLine(QStringLiteral("Cannot listen on %1:%2: another program uses the port, or the address is not "
                               "one of this computer's. Give another with --listen ADDRESS:PORT.")
                    .arg(options.address, QString::number(options.port)));
        return 1;
    }
    // Listening again on a listening socket only changes its queue's length.
    if (listening >= 0)
        ::listen(listening, kListenBacklog);

    // SIGINT and SIGTERM are taken by one thread, which stops the server;
    // every other thread, started after this, has them blocked.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGINT);
    sigaddset(&stopping, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::atomic<bool> signalled{false};
    std::thread stopper([&server, &signalled, stopping] {
        int signal = 0;
        sigwait(&stopping, &signal);
        signalled = true;
        server->stop();
    });

    logLine(QStringLiteral("pelmor-web serves %1 at %2://%3:%4/")
                .arg(options.databaseName, tls ? QStringLiteral("https") : QStringLiteral("http"),
                     options.address.contains(QLatin1Char(':'))
                         ? QLatin1Char('[') + options.address + QLatin1Char(']')
                         : options.address,
                     QString::number(options.port)));
    const bool served = server->listen_after_bind();
    // Wakes the stopper when the server ended on its own.
    if (!signalled)
        pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
    return served ? 0 : 1;
}

} // namespace pelmor::web::server
