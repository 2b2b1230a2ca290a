#include "db/DbError.h"
#include "db/Files.h"
#include "db/HiddenPasswords.h"
#include "queries/Queries.h"
#include "store/DatabaseFolder.h"
#include "store/SurveyStore.h"
#include "web/pages/Pages.h"
#include "web/pages/SurveyFigures.h"
#include "web/server/AccessLog.h"
#include "web/server/HttpServer.h"
#include "web/server/WebApp.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QUrl>

#include <memory>

using namespace pelmor;

namespace {

// How long the sites read from the database are used again.
constexpr int kSitesKeptMs = 5000;
// How long a survey's figures worked out for its page are used again.
constexpr int kSurveyFiguresKeptMs = 5 * 60 * 1000;

// ADDRESS:PORT, or [IPv6]:PORT, into `options`; false when it is neither.
bool readListen(const QString& text, web::server::ListenOptions& options)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString address = text.left(colon);
    if (address.startsWith(QLatin1Char('[')) && address.endsWith(QLatin1Char(']')))
        address = address.mid(1, address.size() - 2);
    bool number = false;
    const int port = text.mid(colon + 1).toInt(&number);
    if (!number || port < 1 || port > 65535 || address.isEmpty())
        return false;
    options.address = address;
    options.port = port;
    return true;
}

// The scheme, host and port of a tile address ("https://tile.example.org/{z}/{x}/{y}.png").
QString originOf(const QString& tiles)
{
    const QUrl url(tiles);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return QString();
    return url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
        .toString(QUrl::FullyEncoded);
}

int refuse(const QString& message)
{
    web::server::logLine(message);
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    // The pages draw their graphs with Qt's painter, which needs the GUI
    // side for its fonts, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    store::setProgramNames();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "pelmor-web serves the survey database to web browsers and other programs: the surveys, sites and "
        "ranking as pages, the headless tool's JSON and CSV under /api/, and the forms that send and delete "
        "surveys."));
    parser.addHelpOption();
    const QCommandLineOption dbOption = store::databaseFolderOption();
    const QCommandLineOption serverOption(
        QStringLiteral("server"),
        QStringLiteral(
            "The agency's PostgreSQL server (a libpq connection string or URI) instead of the file; "
            "people sign in with their own login. PELMOR_SERVER gives the default."),
        QStringLiteral("URL"));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("The address and port to serve on (default 127.0.0.1:8080)."),
        QStringLiteral("ADDRESS:PORT"));
    const QCommandLineOption publicOption(
        QStringLiteral("public"),
        QStringLiteral("On a server: show the sites, their histories and the ranking to anyone not signed in "
                       "(read with the connection --server gives)."));
    const QCommandLineOption certOption(QStringLiteral("tls-cert"),
                                        QStringLiteral("Serve HTTPS with this certificate (PEM)."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption keyOption(QStringLiteral("tls-key"),
                                       QStringLiteral("The certificate's private key (PEM, unencrypted)."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption tilesOption(
        QStringLiteral("tiles"),
        QStringLiteral("The map tiles' address, with {z}, {x} and {y} (default "
                       "https://tile.openstreetmap.org/{z}/{x}/{y}.png)."),
        QStringLiteral("URL"), QStringLiteral("https://tile.openstreetmap.org/{z}/{x}/{y}.png"));
    parser.addOptions(
        {dbOption, serverOption, listenOption, publicOption, certOption, keyOption, tilesOption});
    parser.process(application);
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("pelmor-web takes options only, not %1: see pelmor-web --help.")
                          .arg(parser.positionalArguments().join(QLatin1Char(' '))));
    if (const QString refusal = store::databaseFolderRefusal(parser); !refusal.isEmpty())
        return refuse(refusal);
    if (parser.isSet(dbOption) && parser.isSet(serverOption))
        return refuse(QStringLiteral("Give either --db DIR (the file on this computer) or --server URL (the "
                                     "agency server), not both: drop one of them."));
    if (parser.isSet(serverOption) && parser.value(serverOption).trimmed().isEmpty())
        return refuse(QStringLiteral("--server needs the server's connection string, e.g. "
                                     "postgresql://db.example.org/traffic."));

    web::server::ListenOptions listen;
    if (parser.isSet(listenOption) && !readListen(parser.value(listenOption), listen))
        return refuse(QStringLiteral("--listen takes ADDRESS:PORT, such as 127.0.0.1:8080 or [::1]:8080, not "
                                     "'%1'.")
                          .arg(parser.value(listenOption)));
    if (parser.isSet(certOption) != parser.isSet(keyOption))
        return refuse(QStringLiteral("HTTPS needs both --tls-cert FILE and --tls-key FILE."));
    listen.tlsCertificate = parser.value(certOption);
    listen.tlsKey = parser.value(keyOption);
    listen.tilesOrigin = originOf(parser.value(tilesOption));
    if (listen.tilesOrigin.isEmpty() || !parser.value(tilesOption).contains(QLatin1String("{z}")))
        return refuse(QStringLiteral("--tiles takes an http or https address with {z}, {x} and {y}, such as "
                                     "https://tile.openstreetmap.org/{z}/{x}/{y}.png."));
    web::pages::setTileSource(parser.value(tilesOption));
    // The sites and the ranking are asked for many times a second; read
    // from the database at most every few seconds, they show a change made
    // by another program within that time (a change made here at once).
    queries::keepSitesFor(kSitesKeptMs);
    // A survey's page and its graphs, asked for one after the other, read
    // its vehicles once; stored surveys do not change, and one deleted and
    // stored anew has other statistics, so they are kept for minutes.
    web::pages::keepSurveyFiguresFor(kSurveyFiguresKeptMs);

    web::server::WebOptions options;
    options.publicView = parser.isSet(publicOption);
    options.tls = !listen.tlsCertificate.isEmpty();
    const QString server = parser.isSet(dbOption)       ? QString()
                           : parser.isSet(serverOption) ? parser.value(serverOption).trimmed()
                                                        : qEnvironmentVariable("PELMOR_SERVER").trimmed();
    if (!server.isEmpty()) {
        options.database = db::Database::ofServer(server);
        listen.databaseName = QStringLiteral("the agency server %1").arg(db::hidePasswords(server, server));
    } else {
        if (options.publicView)
            return refuse(QStringLiteral("--public is for an agency server (--server URL): on a file on this "
                                         "computer there is no one to sign in."));
        try {
            const store::DatabaseFolder folder = store::openDatabaseFolder(parser);
            options.database = {db::databasePath(folder.path)};
            // Opened once now, so that a missing or damaged file is told at
            // the start rather than on every page.
            store::openStore(options.database);
        } catch (const db::DbError& error) {
            web::server::logLine(error.message());
            return 1;
        }
        listen.databaseName = options.database.path;
    }
    web::server::WebApp app(options);
    return web::server::serve(app, listen);
}
