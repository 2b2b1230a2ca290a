#include "PgTestServer.h"
#include "TestSupport.h"
#include "import/SurveyImport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>

using pelmor::test::row;
using pelmor::test::testServer;
using Run = pelmor::test::ProgramRun;

namespace {

const QString kTemplate = QStringLiteral("integrity_template");
const QString kSample = QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx");
const QString kBatch = QStringLiteral("050326-A");
const QStringList kHeader = {"--trailer", "A",      "--location", "Elm Street", "--direction",
                             "North",     "--zone", "School",     "--unit",     "MPH"};

// A psql session of one login, kept open: what is sent runs at once, then
// the session sits (in its transaction, when one is open) until it is sent
// more or closed.
class Session {
public:
    Session(const QString& database, const QString& user)
    {
        m_psql.start(testServer().program(QStringLiteral("psql")),
                     {"-X", "-q", "-d", testServer().connectionString(database, user)});
    }
    ~Session()
    {
        m_psql.closeWriteChannel();
        if (!m_psql.waitForFinished(5000))
            m_psql.kill();
        m_psql.waitForFinished(5000);
    }
    // Sends statements and waits until they have run; what the session
    // printed, errors included.
    QString send(const QString& statements)
    {
        m_psql.write((statements + QStringLiteral("\n\\echo done.\n")).toUtf8());
        QByteArray printed;
        QElapsedTimer waited;
        waited.start();
        while (!printed.contains("done.") && waited.elapsed() < 30000) {
            m_psql.waitForReadyRead(100);
            printed += m_psql.readAllStandardOutput() + m_psql.readAllStandardError();
        }
        return QString::fromUtf8(printed);
    }

private:
    QProcess m_psql;
};

// A relay between the headless tool and the test server that passes
// everything on until the server has answered a COMMIT, and then cuts both
// links without passing that answer back: the tool loses the server at the
// moment its change was made.
class CommitCutter {
public:
    explicit CommitCutter(int serverPort)
        : m_serverPort(serverPort)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_listener, 4) == 0 &&
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { acceptAll(); });
    }
    ~CommitCutter()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    int port() const { return m_port; }

private:
    void acceptAll()
    {
        std::vector<std::thread> relays;
        pollfd listening{m_listener, POLLIN, 0};
        while (!m_stop) {
            if (::poll(&listening, 1, 100) <= 0)
                continue;
            const int client = ::accept(m_listener, nullptr, nullptr);
            const int server = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(quint16(m_serverPort));
            if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            relays.emplace_back([this, client, server] { relay(client, server); });
        }
        for (std::thread& relay : relays)
            relay.join();
    }
    void relay(int client, int server)
    {
        static const QByteArray kCommit("COMMIT", 7); // with its closing NUL
        QByteArray lastClient, lastServer;
        bool commitSent = false;
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        char buffer[65536];
        while (!m_stop) {
            if (::poll(ends, 2, 100) <= 0)
                continue;
            if (ends[0].revents) {
                const ssize_t read = ::read(client, buffer, sizeof buffer);
                if (read <= 0)
                    break;
                lastClient = lastClient.right(8) + QByteArray(buffer, int(read));
                commitSent = commitSent || lastClient.contains(kCommit);
                if (::write(server, buffer, size_t(read)) != read)
                    break;
            }
            if (ends[1].revents) {
                const ssize_t read = ::read(server, buffer, sizeof buffer);
                if (read <= 0)
                    break;
                lastServer = lastServer.right(8) + QByteArray(buffer, int(read));
                if (commitSent && lastServer.contains(kCommit))
                    break; // the server has committed: the tool never hears it
                if (!commitSent && ::write(client, buffer, size_t(read)) != read)
                    break;
            }
        }
        ::close(client);
        ::close(server);
    }

    int m_serverPort;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A survey finished by hand through the server's own functions, as an
// officer's raw SQL may: two vehicles of batch 090926-Z, with the header,
// statistics and figures given.
QString finishByHand(const QString& location, const QString& totalVehicles, const QString& figures = "NULL",
                     const QString& source = "NULL", const QString& length = "NULL")
{
    return QStringLiteral(
               "BEGIN; SELECT \"Begin_Survey\"('090926-Z'); INSERT INTO \"Veh_Data\" (\"Batch_Number\", "
               "\"Offset\", \"Veh_Direction\", \"Speed\", \"Time\", \"Date\", \"Length\") VALUES "
               "('090926-Z', 1, "
               "'+', 30, 28800, '2026-09-09', %5), ('090926-Z', 2, '-', 40, 28800, '2026-09-09', NULL); "
               "SELECT "
               "\"Finish_Survey\"(jsonb_build_object('Batch_Number', '090926-Z', 'Location', %1, 'Date', "
               "'09/09/2026', 'Time', '08:00', 'Violation_Alert', '035', 'Radar_Mode', 'MPH', 'Direction', "
               "'North', 'Zone', 'School'), jsonb_build_object('Batch_Number', '090926-Z', 'Total_Vehicles', "
               "'%2', 'Total_Approach', '1', 'Total_Receeding', '1', 'Total_Unknown', '0', 'Min_Speed', "
               "'30', "
               "'Max_Speed', '40', 'Start_Date', '09/09/26'), NULL, %3, %4, %6); COMMIT;")
        .arg(location, totalVehicles, figures == QLatin1String("NULL") ? "NULL" : "'hand|north'", figures,
             length, source);
}

} // namespace

// The agency server keeps every stored survey whole against its own users:
// the attacks that were found on it, made for real with the officers' own
// logins, in raw SQL and through the headless tool.
class TstServerIntegrity : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        QCOMPARE(testServer().setUpTemplate(
                     kTemplate, QStringLiteral("CREATE ROLE officer_a LOGIN IN ROLE pelmor_officer; "
                                               "CREATE ROLE officer_b LOGIN IN ROLE pelmor_officer; "
                                               "CREATE ROLE admin1 LOGIN IN ROLE pelmor_admin; "
                                               "CREATE ROLE stranger LOGIN")),
                 QString());
    }
    void init()
    {
        m_database = testServer().createDatabase(kTemplate);
        QVERIFY2(!m_database.isEmpty(), qPrintable(testServer().error()));
    }
    void cleanup() { testServer().dropDatabase(m_database); }

    // What an officer or administrator tries in raw SQL against a survey
    // another officer stored: every change is refused, the survey reads
    // back as it was, and the sites and the priority list work for all.
    void storedSurveyCannotBeChanged_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("statements");
        QTest::addColumn<QString>("refusal"); // what the server says; empty: nothing is refused
        const QString vehicle = QStringLiteral(
            "INSERT INTO \"Veh_Data\" (\"Batch_Number\", \"Offset\", \"Veh_Direction\", \"Speed\", \"Time\", "
            "\"Date\") VALUES ('050326-A', 1, '+', 30, 0, '2026-03-05')");
        row("vehicles appended", "officer_b",
            QStringLiteral("INSERT INTO \"Veh_Data\" (\"Batch_Number\", \"Offset\", \"Veh_Direction\", "
                           "\"Speed\", \"Time\", \"Date\") SELECT \"Batch_Number\", \"Offset\", "
                           "\"Veh_Direction\", \"Speed\", \"Time\", \"Date\" FROM \"Veh_Data\""),
            "not being stored in this transaction");
        row("vehicles appended past stand-in tables", "officer_b",
            QStringLiteral("CREATE TEMP TABLE \"Header\" (\"Batch_Number\" text); CREATE TEMP TABLE "
                           "\"Survey_Vehicles\" (\"Batch_Number\" text PRIMARY KEY, \"Vehicles\" bigint); "
                           "CREATE TEMP TABLE \"Open_Survey\" (\"Xact\" xid8, \"Batch_Number\" text); INSERT "
                           "INTO pg_temp.\"Header\" VALUES ('050326-A'); INSERT INTO pg_temp.\"Open_Survey\" "
                           "VALUES (pg_current_xact_id(), '050326-A'); SET search_path = pg_temp, public; ") +
                vehicle,
            "not being stored in this transaction");
        row("vehicles appended under a survey of its own", "officer_b",
            QStringLiteral("SELECT \"Begin_Survey\"('090926-Y'); ") + vehicle,
            "not being stored in this transaction");
        row("the stored survey opened again", "officer_b",
            QStringLiteral("SELECT \"Begin_Survey\"('050326-A')"), "is held already");
        row("figures rewritten", "officer_b", QStringLiteral("UPDATE \"Site_Survey\" SET \"Figures\" = '{}'"),
            "permission denied");
        row("figures placed again", "officer_b",
            QStringLiteral("SELECT \"Place_Survey\"('050326-A', 'x|y', '{\"method\": 1}')"), QString());
        row("a site renamed", "officer_b", QStringLiteral("UPDATE \"Site\" SET \"Name\" = 'Hidden'"),
            "permission denied");
        row("a site made through the function the server keeps for itself", "officer_b",
            QStringLiteral("SELECT \"Site_Of_Key\"('elm street|north', 'Hidden', 'North')"),
            "permission denied");
        row("a header of empty fields", "officer_b",
            QStringLiteral("INSERT INTO \"Header\" (\"Batch_Number\") VALUES ('X')"), "permission denied");
        row("a header of empty fields by the owner", "postgres",
            QStringLiteral("INSERT INTO \"Header\" (\"Batch_Number\") VALUES ('X')"), "\"Header_Fields\"");
        row("a source given by an officer", "officer_b",
            QStringLiteral("INSERT INTO \"Survey_Source\" VALUES ('050326-A', 'Hidden')"),
            "permission denied");
        row("statistics rewritten", "officer_b",
            QStringLiteral("UPDATE \"Summary\" SET \"Number_Over\" = '0'"), "permission denied");
        row("a survey deleted by an officer", "officer_b",
            QStringLiteral("SELECT \"Delete_Survey\"('050326-A')"), "permission denied");
        row("some vehicles deleted by an administrator", "admin1",
            QStringLiteral("DELETE FROM \"Veh_Data\" WHERE \"Speed\" > 30"), "permission denied");
        row("the vehicles emptied by an administrator", "admin1", QStringLiteral("TRUNCATE \"Veh_Data\""),
            "permission denied");
    }
    void storedSurveyCannotBeChanged()
    {
        QFETCH(QString, user);
        QFETCH(QString, statements);
        QFETCH(QString, refusal);
        QVERIFY(officer("officer_a", QStringList{"import", kSample} + kHeader).exitCode == 0);
        const QString before = whatOfficersSee();
        const QString said = testServer().execute(statements, m_database, user);
        QVERIFY2(refusal.isEmpty() ? said.isEmpty() : said.contains(refusal), qPrintable(said));
        QCOMPARE(whatOfficersSee(), before);
    }

    // A survey finished by hand is refused when any part of it is not
    // whole or not its own, and nothing of it stays; finished whole, it is
    // stored like any other.
    void handMadeSurveyIsChecked_data()
    {
        QTest::addColumn<QString>("statements");
        QTest::addColumn<QString>("refusal"); // empty: stored
        const QString figures = QStringLiteral("'{\"method\": 1, \"unit\": \"MPH\", \"limit\": 35, "
                                               "\"start_date\": \"09/09/26\", \"start_time\": "
                                               "\"\", \"stop_date\": \"\", \"stop_time\": \"\", \"seconds\": "
                                               "\"2\", \"vehicles\": \"2\", \"speeds\": "
                                               "[[\"30\", \"1\"], [\"%1\", \"1\"]]}'");
        row("whole, with its site", finishByHand("'Hand Street'", "2", figures.arg(40)), QString());
        row("statistics counting other vehicles", finishByHand("'Hand Street'", "1"),
            "do not count the vehicles");
        row("figures not its own", finishByHand("'Hand Street'", "2", figures.arg(99)), "are not its own");
        row("a location of 201 characters", finishByHand("repeat('x', 201)", "2"), "\"Header_Fields\"");
        row("a turned-around location", finishByHand("'Hand ' || chr(8238) || 'Street'", "2"),
            "\"Header_Fields\"");
        row("a control character", finishByHand("'Hand' || chr(7)", "2"), "\"Header_Fields\"");
        row("whole, with a length and a source",
            finishByHand("'Hand Street'", "2", figures.arg(40), "'Hand counter'", "4.5"), QString());
        row("a source with a control character",
            finishByHand("'Hand Street'", "2", "NULL", "'Hand' || chr(7)"), "\"Survey_Source_Text\"");
        row("a length below zero", finishByHand("'Hand Street'", "2", "NULL", "NULL", "-4.5"),
            "\"Veh_Data_Length\"");
        row("begun and never finished",
            QStringLiteral("BEGIN; SELECT \"Begin_Survey\"('090926-Z'); INSERT INTO \"Veh_Data\" "
                           "(\"Batch_Number\", \"Offset\", \"Veh_Direction\", \"Speed\", \"Time\", \"Date\") "
                           "VALUES ('090926-Z', 1, '+', 30, 0, '2026-09-09'); COMMIT;"),
            "begun but not finished");
    }
    void handMadeSurveyIsChecked()
    {
        QFETCH(QString, statements);
        QFETCH(QString, refusal);
        const QString said = testServer().execute(statements, m_database, QStringLiteral("officer_b"));
        QVERIFY2(refusal.isEmpty() ? said.isEmpty() : said.contains(refusal), qPrintable(said));
        QCOMPARE(testServer().query(QStringLiteral("SELECT (SELECT count(*) FROM \"Header\") || ' ' || "
                                                   "(SELECT count(*) FROM \"Veh_Data\") || ' ' || (SELECT "
                                                   "count(*) FROM \"Site_Survey\")"),
                                    m_database),
                 refusal.isEmpty() ? QStringLiteral("1 2 1") : QStringLiteral("0 0 0"));
    }

    // No lock that a login without rights can take decides who writes: a
    // stranger holding the numbers the program once took turns under keeps
    // nobody from storing or from setting the server up.
    void strangerHoldsNoLock()
    {
        Session stranger(m_database, QStringLiteral("stranger"));
        QVERIFY(!stranger.send(QStringLiteral("SELECT pg_advisory_lock(7041969), pg_advisory_lock(7041968);"))
                     .contains(QStringLiteral("ERROR")));
        QElapsedTimer took;
        took.start();
        const Run imported = officer("officer_a", QStringList{"import", kSample} + kHeader);
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        QVERIFY2(took.elapsed() < 20000, "the import waited for the stranger's lock");
        QCOMPARE(cli({"--server", testServer().connectionString(m_database), "server", "init"}).exitCode, 0);
    }

    // An officer's session that claimed a batch number and then stopped (a
    // laptop suspended before its commit) holds it a bounded time: the
    // server ends it, and the survey of another officer lands; or the other
    // officer is told, in time, who holds it, never that a right is
    // lacking. Nothing of either survey is half-stored.
    void heldBatchNumberIsWaitedForBoundedly_data()
    {
        QTest::addColumn<QString>("limits"); // the database's session limits of the case
        QTest::addColumn<bool>("lands");
        row("the stopped session is ended", QStringLiteral("idle_in_transaction_session_timeout = '2s'"),
            true);
        row("the waiter gives up first", QStringLiteral("lock_timeout = '2s'"), false);
    }
    void heldBatchNumberIsWaitedForBoundedly()
    {
        QFETCH(QString, limits);
        QFETCH(bool, lands);
        QCOMPARE(testServer().execute(QStringLiteral("ALTER DATABASE %1 SET %2").arg(m_database, limits)),
                 QString());
        Session stopped(m_database, QStringLiteral("officer_a"));
        const QString claimed = stopped.send(finishByHand("'Hand Street'", "2")
                                                 .replace(QStringLiteral("090926-Z"), kBatch)
                                                 .remove(QStringLiteral(" COMMIT;")));
        QVERIFY2(!claimed.contains(QStringLiteral("ERROR")), qPrintable(claimed));
        QElapsedTimer took;
        took.start();
        const Run imported = officer("officer_b", QStringList{"import", kSample} + kHeader);
        qInfo("the second import ended after %lld ms", took.elapsed());
        QVERIFY(took.elapsed() < 20000);
        if (lands) {
            QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
            QCOMPARE(listedCounts(), QStringLiteral("050326-A 2947"));
        } else {
            QCOMPARE(imported.exitCode, 1);
            QVERIFY2(imported.err.contains(QStringLiteral("another session (of officer_a)")) &&
                         !imported.err.contains(QStringLiteral("lacks the right")),
                     qPrintable(imported.err));
            QCOMPARE(listedCounts(), QString());
        }
    }

    // An upload stopped in the middle of sending its vehicles holds nothing
    // another officer waits for: the same survey is stored at once by
    // someone else, and the stopped one, killed, leaves nothing of its own.
    void stoppedUploadHoldsNothing()
    {
        const QString folder = localFileWith(
            {"--start-date", "06/01/2026", "--days", "10", "--vehicles", "600000", "--seed", "7"});
        QProcess upload;
        upload.setProcessEnvironment(environment());
        upload.start(QStringLiteral(PELMOR_CLI),
                     {"--db", folder, "upload", "--server", connection("officer_a")});
        QVERIFY(upload.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (!testServer()
                    .query(QStringLiteral("SELECT 1 FROM pg_stat_activity WHERE usename = 'officer_a' AND "
                                          "query LIKE 'COPY%' AND state = 'active'"),
                           m_database)
                    .startsWith(QLatin1Char('1'))) {
            QVERIFY2(waited.elapsed() < 60000 && upload.state() == QProcess::Running,
                     "the upload never sent its vehicles");
        }
        ::kill(pid_t(upload.processId()), SIGSTOP);
        QElapsedTimer took;
        took.start();
        const Run other = pelmor::test::runProgram(
            QStringLiteral(PELMOR_CLI), {"--db", folder, "upload", "--server", connection("officer_b")},
            environment());
        QVERIFY2(other.exitCode == 0 && other.out.contains(QStringLiteral("sent, 600,000 vehicles")),
                 qPrintable(other.out + other.err));
        qInfo("stored beside the stopped upload in %lld ms", took.elapsed());
        upload.kill();
        upload.waitForFinished();
        QCOMPARE(listedCounts(), QStringLiteral("060126-A 600000"));
        QCOMPARE(testServer().query(QStringLiteral("SELECT count(*) FROM \"Veh_Data\""), m_database),
                 QStringLiteral("600000"));
    }

    // The server is lost at the moment it commits: the officer is told the
    // survey may have been stored and how to find out, the tool ends with a
    // code of its own, and trying again tells what became of it.
    void lostAtTheCommit_data()
    {
        QTest::addColumn<bool>("upload");
        row("import", false);
        row("upload", true);
    }
    void lostAtTheCommit()
    {
        QFETCH(bool, upload);
        const CommitCutter cutter(testServer().port());
        QVERIFY(cutter.port() != 0);
        const QString cut =
            QStringLiteral("host=127.0.0.1 port=%1 dbname=%2 user=officer_a connect_timeout=10")
                .arg(cutter.port())
                .arg(m_database);
        const QString folder = upload ? localFileWith({}) : QString();
        const QStringList arguments = upload ? QStringList{"--db", folder, "upload", "--server", cut}
                                             : QStringList{"--server", cut, "import", kSample} + kHeader;
        const Run lost = cli(arguments);
        QCOMPARE(lost.exitCode, 3);
        QVERIFY2((lost.out + lost.err)
                     .contains(upload ? QStringLiteral("may have been sent")
                                      : QStringLiteral("it may have been stored or not")),
                 qPrintable(lost.out + lost.err));
        QCOMPARE(listedCounts(), QStringLiteral("050326-A 2947"));
        const Run again = upload ? cli({"--db", folder, "upload", "--server", connection("officer_a")})
                                 : officer("officer_a", QStringList{"import", kSample} + kHeader);
        QVERIFY2(again.out.contains(upload ? QStringLiteral("already there") : QString()) &&
                     again.err.contains(upload ? QString() : pelmor::import::messages::alreadyStored(kBatch)),
                 qPrintable(again.out + again.err));
    }

    // While an officer merges the site of a street, another stores a
    // survey of that street: it lands at the merged site once the merge is
    // done, or is told the site is being changed, never that a right is
    // lacking.
    void importMeetsAMerge_data()
    {
        QTest::addColumn<bool>("mergeEnds");
        row("the merge ends", true);
        row("the merge is held", false);
    }
    void importMeetsAMerge()
    {
        QFETCH(bool, mergeEnds);
        QCOMPARE(
            testServer().execute(QStringLiteral("ALTER DATABASE %1 SET lock_timeout = '2s'").arg(m_database)),
            QString());
        QVERIFY(officer("officer_a", QStringList{"import", kSample} + kHeader).exitCode == 0);
        QVERIFY(testServer()
                    .execute(finishByHand("'Oak Avenue'", "2"), m_database, QStringLiteral("officer_a"))
                    .isEmpty());
        QVERIFY(officer("officer_a", {"sites"}).exitCode == 0); // places the survey finished by hand
        Session merging(m_database, QStringLiteral("officer_a"));
        const QString merged = merging.send(QStringLiteral(
            "BEGIN; SELECT \"Merge_Sites\"((SELECT \"Site_Id\" FROM \"Site_Survey\" WHERE \"Batch_Number\" = "
            "'050326-A'), (SELECT \"Site_Id\" FROM \"Site_Survey\" WHERE \"Batch_Number\" = '090926-Z'));"));
        QVERIFY2(merged.contains(QStringLiteral(" t")), qPrintable(merged));
        const QString elm = localFileWith({"--start-date", "05/10/2026", "--vehicles", "500"});
        QProcess importing;
        importing.setProcessEnvironment(environment());
        importing.start(QStringLiteral(PELMOR_CLI),
                        QStringList{"--server", connection("officer_b"), "import", elm + "/survey.rsx"} +
                            kHeader);
        if (mergeEnds) {
            QTest::qWait(500);
            merging.send(QStringLiteral("COMMIT;"));
        }
        QVERIFY(importing.waitForFinished(30000));
        const QString said = QString::fromUtf8(importing.readAllStandardError());
        QCOMPARE(importing.exitCode(), mergeEnds ? 0 : 1);
        QVERIFY2(!said.contains(QStringLiteral("lacks the right")), qPrintable(said));
        if (mergeEnds)
            QCOMPARE(
                testServer().query(QStringLiteral("SELECT count(DISTINCT \"Site_Id\") FROM \"Site_Survey\""),
                                   m_database),
                QStringLiteral("1"));
        else
            QVERIFY2(said.contains(QStringLiteral("storing or changing the same survey, download or site")),
                     qPrintable(said));
    }

    // A download is stored once, whoever sends it and whatever its header
    // says: imported on the server or sent from a laptop under another
    // batch number or start, it is refused, naming the survey that holds it
    // (and, sent, what differs); another download of the same start is
    // stored.
    void sameDownloadIsStoredOnce_data()
    {
        QTest::addColumn<QStringList>("changes"); // to the header of the second
        QTest::addColumn<bool>("upload");         // stored on a laptop's file, then sent
        QTest::addColumn<QString>("told");        // empty: stored
        const QString sent = QStringLiteral("holds its download (the same vehicles) as survey 050326-A. ");
        row("sent under another batch number", QStringList{"--batch", "050326-B"}, true,
            sent + "Its batch number is \"050326-A\" on the server and \"050326-B\" here.");
        row("sent with another start time", QStringList{"--trailer", "B", "--start-time", "9:15"}, true,
            sent + "Its batch number is \"050326-A\" on the server and \"050326-B\" here; its start time "
                   "is \"07:00\" on the server and \"09:15\" here.");
        const QString imported = pelmor::import::messages::alreadyStored(kBatch);
        row("imported with another start date", QStringList{"--trailer", "B", "--start-date", "05/04/2026"},
            false, imported);
        row("imported with another start time", QStringList{"--trailer", "B", "--start-time", "9:15"}, false,
            imported);
        row("another download of the same start", QStringList{"--trailer", "B", "OTHER"}, false, QString());
    }
    void sameDownloadIsStoredOnce()
    {
        QFETCH(QStringList, changes);
        QFETCH(bool, upload);
        QFETCH(QString, told);
        QVERIFY(officer("officer_a", QStringList{"import", kSample} + kHeader).exitCode == 0);
        QString download = kSample;
        if (changes.removeAll(QStringLiteral("OTHER")) > 0) {
            download = m_work.filePath(QStringLiteral("other.rsx"));
            QVERIFY(pelmor::test::writeFile(
                download, pelmor::test::fileBytes(kSample).replace("14,+,40,", "14,+,41,")));
        }
        const QString folder = m_work.filePath(QLatin1String(QTest::currentDataTag()));
        QCOMPARE(cli({"--db", folder, "init"}).exitCode, 0);
        const QStringList import = QStringList{"import", download} + kHeader + changes;
        const Run second = upload
                               ? (cli(QStringList{"--db", folder} + import).exitCode == 0
                                      ? cli({"--db", folder, "upload", "--server", connection("officer_b")})
                                      : Run{-1, {}, {}})
                               : officer("officer_b", import);
        QCOMPARE(second.exitCode, told.isEmpty() ? 0 : 1);
        QVERIFY2((second.out + second.err).contains(told), qPrintable(second.out + second.err));
        QCOMPARE(listedCounts(), told.isEmpty() ? QStringLiteral("050326-A 2947, 050326-B 2947")
                                                : QStringLiteral("050326-A 2947"));
    }

    // A speed beyond 32 bits (a false reading) is stored on the server as
    // on the file, by an import and by an upload.
    void speedsBeyondThirtyTwoBits()
    {
        const QByteArray original = pelmor::test::fileBytes(kSample);
        const QString folder = m_work.filePath(QStringLiteral("large-speed"));
        QCOMPARE(cli({"--db", folder, "init"}).exitCode, 0);
        const QString download = folder + QStringLiteral("/survey.rsx");
        QVERIFY(
            pelmor::test::writeFile(download, QByteArray(original).replace("14,+,40,", "14,+,3000000000,")));
        QCOMPARE(cli(QStringList{"--db", folder, "import", download} + kHeader).exitCode, 0);
        const Run uploaded = cli({"--db", folder, "upload", "--server", connection("officer_a")});
        QVERIFY2(uploaded.exitCode == 0, qPrintable(uploaded.out + uploaded.err));
        // Another download with a false reading, imported on the server.
        QVERIFY(
            pelmor::test::writeFile(download, QByteArray(original).replace("30,+,38,", "30,+,3000000000,")));
        const Run imported =
            officer("officer_a", QStringList{"import", download, "--batch", "050326-L"} + kHeader);
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        QCOMPARE(testServer().query(QStringLiteral("SELECT string_agg(\"Max_Speed\", ',' ORDER BY "
                                                   "\"Batch_Number\") FROM \"Summary\""),
                                    m_database),
                 QStringLiteral("3000000000,3000000000"));
    }

private:
    QString connection(const char* user) const
    {
        return testServer().connectionString(m_database, QLatin1String(user));
    }
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("PELMOR_SERVER"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_work.filePath(QStringLiteral("settings")));
        return environment;
    }
    Run cli(const QStringList& arguments) const
    {
        return pelmor::test::runProgram(QStringLiteral(PELMOR_CLI), arguments, environment());
    }
    Run officer(const char* user, const QStringList& arguments) const
    {
        return cli(QStringList{"--server", connection(user)} + arguments);
    }
    // A database folder of this computer with one survey imported: the
    // sample, or a log made with the generator's options.
    QString localFileWith(const QStringList& generated) const
    {
        static int made = 0;
        const QString folder = m_work.filePath(QStringLiteral("local-%1").arg(++made));
        cli({"--db", folder, "init"});
        QString download = kSample;
        if (!generated.isEmpty()) {
            download = folder + QStringLiteral("/survey.rsx");
            pelmor::test::runProgram(QStringLiteral(PELMOR_LOGGEN),
                                     generated + QStringList{"--rsx", "-o", download});
        }
        const Run imported = cli(QStringList{"--db", folder, "import", download} + kHeader);
        if (imported.exitCode != 0)
            qWarning("%s", qPrintable(imported.err));
        return folder;
    }
    // Each stored survey with its vehicle count as an officer's list has it.
    QString listedCounts() const
    {
        return testServer().query(QStringLiteral("SELECT string_agg(h.\"Batch_Number\" || ' ' || "
                                                 "coalesce(c.\"Vehicles\", 0), ', ' ORDER BY h.\"Id\") FROM "
                                                 "\"Header\" h LEFT JOIN \"Survey_Vehicles\" c USING "
                                                 "(\"Batch_Number\")"),
                                  m_database);
    }
    // The stored survey as officers read it (its statistics, its vehicles,
    // its site), and whether the sites, a site's history and the priority
    // list can be read.
    QString whatOfficersSee() const
    {
        QString seen;
        for (const QStringList& arguments :
             {QStringList{"summary", kBatch, "--json"}, QStringList{"export", "vehicles", kBatch},
              QStringList{"sites", "--json"}, QStringList{"site", "1", "--json"},
              QStringList{"priorities"}}) {
            const Run run = officer("officer_a", arguments);
            seen += QStringLiteral("%1 %2 %3\n").arg(run.exitCode).arg(run.out, run.err);
        }
        return seen + listedCounts();
    }

    QTemporaryDir m_work;
    QString m_database;
};

QTEST_GUILESS_MAIN(TstServerIntegrity)
#include "tst_serverintegrity.moc"
