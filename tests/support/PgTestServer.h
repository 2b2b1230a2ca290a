#pragma once

#include <QString>
#include <QTemporaryDir>

namespace pelmor::test {

// A PostgreSQL server of the test's own: a cluster made with initdb in a
// temporary folder, listening on a free port of 127.0.0.1 only (its socket
// in the same folder), with trust for that address alone, run as the
// postgres user when the test runs as root, and stopped and removed when
// the object goes. error() says what went wrong (a missing package, a
// server that would not start); a test fails on it.
class PgTestServer {
public:
    // `durable`: the server syncs to disk as an installed one does (for
    // measurements); otherwise it skips fsync, which tests do not need.
    explicit PgTestServer(bool durable = false);
    ~PgTestServer();
    PgTestServer(const PgTestServer&) = delete;
    PgTestServer& operator=(const PgTestServer&) = delete;

    const QString& error() const { return m_error; }
    int port() const { return m_port; }
    // The libpq connection string of a database as a user.
    QString connectionString(const QString& database, const QString& user = QStringLiteral("postgres")) const;
    // Runs SQL on a database as a user (the superuser by default), in one
    // transaction; the error text, empty when it worked.
    QString execute(const QString& sql, const QString& database = QStringLiteral("postgres"),
                    const QString& user = QStringLiteral("postgres")) const;
    // Runs a query as the superuser; its rows, one a line, fields joined by
    // "|". On failure the error text, starting "psql: ".
    QString query(const QString& sql, const QString& database = QStringLiteral("postgres")) const;
    // The path of one of the server's programs ("psql").
    QString program(const QString& name) const { return m_binaries + QLatin1Char('/') + name; }
    // A new database, copied from `templateName` when given; its name, or
    // empty on failure (then error() says why).
    QString createDatabase(const QString& templateName = QString());
    void dropDatabase(const QString& database) const;
    // Makes database `name` and sets it up as an agency database of the
    // program (the template of each test's database), then runs `roles`
    // (the logins the test needs); what went wrong, or empty.
    QString setUpTemplate(const QString& name, const QString& roles);

private:
    bool start(bool durable);
    // Runs one of the server's programs, as the postgres user under root.
    bool runServerProgram(const QString& program, const QStringList& arguments, QString* output = nullptr);

    QTemporaryDir m_folder;
    QString m_binaries;
    QString m_error;
    int m_port = 0;
    bool m_running = false;
    int m_databases = 0;
};

// The server of this test program, started on first use and stopped when
// the program ends.
PgTestServer& testServer();

// A TCP port of 127.0.0.1 that nothing listened on a moment ago.
int freeLocalPort();

} // namespace pelmor::test
