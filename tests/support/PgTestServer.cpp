#include "PgTestServer.h"

#include "TestSupport.h"
#include "store/PgServerSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace pelmor::test {
namespace {

const char* const kMissing = "PostgreSQL's server programs were not found (pg_config --bindir, "
                             "/usr/lib/postgresql/15/bin): install the package postgresql-15.";

QString serverBinaries()
{
    const ProgramRun config = runProgram(QStringLiteral("pg_config"), {QStringLiteral("--bindir")}, 20000);
    QStringList candidates;
    if (config.exitCode == 0)
        candidates << config.out;
    candidates << QStringLiteral("/usr/lib/postgresql/15/bin");
    for (const QString& folder : candidates)
        if (QFileInfo(folder + QStringLiteral("/initdb")).isExecutable() &&
            QFileInfo(folder + QStringLiteral("/pg_ctl")).isExecutable())
            return folder;
    return QString();
}

} // namespace

PgTestServer& testServer()
{
    static PgTestServer server;
    return server;
}

int freeLocalPort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socket < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(socket);
    return port;
}

PgTestServer::PgTestServer(bool durable)
{
    m_binaries = serverBinaries();
    if (m_binaries.isEmpty()) {
        m_error = QString::fromLatin1(kMissing);
        return;
    }
    if (!m_folder.isValid()) {
        m_error = QStringLiteral("No temporary folder for the test server: ") + m_folder.errorString();
        return;
    }
    // initdb refuses root: the cluster belongs to the postgres user then.
    if (::geteuid() == 0) {
        const passwd* postgres = ::getpwnam("postgres");
        if (!postgres || ::chown(QFile::encodeName(m_folder.path()).constData(), postgres->pw_uid,
                                 postgres->pw_gid) != 0) {
            m_error = QStringLiteral("The tests run as root and there is no postgres user to run the test "
                                     "server as: install the package postgresql-15.");
            return;
        }
    }
    const QString data = m_folder.filePath(QStringLiteral("data"));
    if (!runServerProgram(QStringLiteral("initdb"),
                          {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"),
                           QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
                           QStringLiteral("UTF8"), QStringLiteral("--locale=C"),
                           QStringLiteral("--no-sync")}))
        return;
    // Trust for 127.0.0.1 alone: no socket logins, no other address.
    QFile rules(data + QStringLiteral("/pg_hba.conf"));
    if (!rules.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        rules.write("host all all 127.0.0.1/32 trust\n") < 0) {
        m_error = QStringLiteral("Cannot write %1.").arg(rules.fileName());
        return;
    }
    rules.close();
    // A port taken between the probe and the start is tried again.
    for (int attempt = 0; attempt < 3 && !m_running; ++attempt)
        m_running = start(durable);
}

bool PgTestServer::start(bool durable)
{
    m_port = freeLocalPort();
    QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c max_connections=60")
                          .arg(m_port)
                          .arg(m_folder.path());
    if (!durable)
        options += QStringLiteral(" -c fsync=off -c full_page_writes=off -c synchronous_commit=off");
    return runServerProgram(QStringLiteral("pg_ctl"),
                            {QStringLiteral("-D"), m_folder.filePath(QStringLiteral("data")),
                             QStringLiteral("-l"), m_folder.filePath(QStringLiteral("server.log")),
                             QStringLiteral("-o"), options, QStringLiteral("-w"), QStringLiteral("-t"),
                             QStringLiteral("60"), QStringLiteral("start")});
}

PgTestServer::~PgTestServer()
{
    if (m_running)
        runServerProgram(QStringLiteral("pg_ctl"),
                         {QStringLiteral("-D"), m_folder.filePath(QStringLiteral("data")),
                          QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
                          QStringLiteral("stop")});
}

bool PgTestServer::runServerProgram(const QString& program, const QStringList& arguments, QString* output)
{
    const QString path = m_binaries + QLatin1Char('/') + program;
    const ProgramRun run = ::geteuid() == 0
                               ? runProgram(QStringLiteral("runuser"),
                                            QStringList{QStringLiteral("-u"), QStringLiteral("postgres"),
                                                        QStringLiteral("--"), path} +
                                                arguments)
                               : runProgram(path, arguments);
    if (output)
        *output = run.out;
    if (run.exitCode == 0)
        return true;
    m_error = QStringLiteral("%1 failed: %2 %3").arg(program, run.err, run.out);
    return false;
}

QString PgTestServer::connectionString(const QString& database, const QString& user) const
{
    return QStringLiteral("host=127.0.0.1 port=%1 dbname=%2 user=%3 connect_timeout=10")
        .arg(m_port)
        .arg(database, user);
}

QString PgTestServer::execute(const QString& sql, const QString& database, const QString& user) const
{
    const ProgramRun run = runProgram(program(QStringLiteral("psql")),
                                      {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                                       QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"),
                                       connectionString(database, user), QStringLiteral("-c"), sql});
    return run.exitCode == 0 ? QString() : QStringLiteral("psql: %1 %2").arg(run.err, run.out);
}

QString PgTestServer::query(const QString& sql, const QString& database) const
{
    const ProgramRun run =
        runProgram(program(QStringLiteral("psql")),
                   {QStringLiteral("-X"), QStringLiteral("-A"), QStringLiteral("-t"), QStringLiteral("-v"),
                    QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), connectionString(database),
                    QStringLiteral("-c"), sql});
    return run.exitCode == 0 ? run.out : QStringLiteral("psql: %1 %2").arg(run.err, run.out);
}

QString PgTestServer::createDatabase(const QString& templateName)
{
    const QString name = QStringLiteral("test_%1").arg(++m_databases);
    const QString failed = execute(
        QStringLiteral("CREATE DATABASE %1%2")
            .arg(name, templateName.isEmpty() ? QString() : QStringLiteral(" TEMPLATE ") + templateName));
    if (!failed.isEmpty()) {
        m_error = failed;
        return QString();
    }
    return name;
}

void PgTestServer::dropDatabase(const QString& database) const
{
    execute(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
}

QString PgTestServer::setUpTemplate(const QString& name, const QString& roles)
{
    if (!m_error.isEmpty())
        return m_error;
    if (const QString failed = execute(QStringLiteral("CREATE DATABASE ") + name); !failed.isEmpty())
        return failed;
    if (const QString failed = dbErrorOf([&] {
            store::initServer({{}, connectionString(name)});
        });
        !failed.isNull())
        return failed;
    return execute(roles);
}

} // namespace pelmor::test
