#include "TestSupport.h"
#include "UploadFixture.h"

#include <QDir>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using namespace pelmor;
using Run = test::ProgramRun;

namespace {

// Two generated surveys, one in miles and one in kilometres an hour that
// runs over midnight: the log generator's options and the header given.
struct GeneratedSurvey {
    const char* name;
    const char* batch;
    const char* unit;
    const char* options;
};
const GeneratedSurvey kSurveys[] = {
    {"elm", "050326-A", "MPH", "--start-date 05/03/2026 --start-time 08:00 --days 2 --seed 21"},
    {"ring", "123126-B", "KPH",
     "--start-date 12/31/2026 --start-time 18:00 --duration-hours 14 --unit KPH --limit 050 --cutoff 130 "
     "--alarm 070 --seed 22"},
};

} // namespace

// pelmor-cli upload: what it prints and returns, and surveys sent by it
// read back as the same surveys imported into the server directly.
class TstUploadCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(test::prepareUploadServer(), QString());
        QVERIFY(QDir(m_work.path()).mkpath("db"));
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.remove("PELMOR_SERVER");
        m_environment.insert("TZ", "America/Chicago");
        for (QString* url : {&m_direct, &m_uploaded}) {
            const QString database = test::testServer().createDatabase(test::kUploadTemplate);
            QVERIFY(!database.isEmpty());
            *url = test::testServer().connectionString(database, "officer1");
        }
        QCOMPARE(run({"--db", m_work.filePath("db"), "init"}).exitCode, 0);
        for (const GeneratedSurvey& survey : kSurveys) {
            const QString log = m_work.filePath(QLatin1String(survey.name) + ".rsx");
            const Run generated =
                test::runProgram(PELMOR_LOGGEN, QString::fromLatin1(survey.options).split(' ') +
                                                    QStringList{"--rsx", "-o", log});
            QVERIFY2(generated.exitCode == 0, qPrintable(generated.err));
            const QStringList import = {
                "import",     log,           "--trailer",   QString(survey.batch).right(1),
                "--location", "Elm Street",  "--direction", "North",
                "--zone",     "Residential", "--unit",      survey.unit,
                "--yes"};
            const Run onFile = run(QStringList{"--db", m_work.filePath("db")} + import);
            QVERIFY2(onFile.exitCode == 0, qPrintable(onFile.err));
            const Run onServer = run(QStringList{"--server", m_direct} + import);
            QVERIFY2(onServer.exitCode == 0, qPrintable(onServer.err));
        }
        const Run sent = upload({});
        QVERIFY2(sent.exitCode == 0, qPrintable(sent.err));
        const QStringList lines = sent.out.split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("050326-A  sent, ") && lines[1].startsWith("123126-B  sent, "),
                 qPrintable(sent.out));
        QCOMPARE(lines[2], QStringLiteral("2 sent, 0 already there, 0 refused, 0 failed, 0 not sent"));
    }

    // An uploaded survey reads back as the same log imported on the server.
    void sameAsImportedOnServer()
    {
        for (const GeneratedSurvey& survey : kSurveys) {
            const QString batch = QLatin1String(survey.batch);
            for (const QStringList& arguments :
                 {QStringList{"summary", batch, "--json"},
                  QStringList{"breakdown", batch, "--bins", "15", "--csv"},
                  QStringList{"breakdown", batch, "--bins", "60", "--csv"},
                  QStringList{"study", batch, "--json"}, QStringList{"export", "vehicles", batch}}) {
                const Run direct = run(QStringList{"--server", m_direct} + arguments);
                const Run uploaded = run(QStringList{"--server", m_uploaded} + arguments);
                QVERIFY2(direct.exitCode == 0 && uploaded.exitCode == 0 && direct.out.size() > 100,
                         qPrintable(arguments.join(' ') + direct.err + uploaded.err));
                QCOMPARE(uploaded.out, direct.out);
            }
        }
    }

    // What the command prints and returns in the other cases.
    void outcomes_data()
    {
        QTest::addColumn<QStringList>("batches");
        QTest::addColumn<QString>("server"); // "" for none, "down" for a port nothing listens on
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("lastLine");
        QTest::addColumn<QString>("error");
        test::row("sent again: there already", QStringList{}, QString("uploaded"), 0,
                  QString("0 sent, 2 already there, 0 refused, 0 failed, 0 not sent"), QString());
        test::row("imported there from the same log", QStringList{"123126-B"}, QString("direct"), 0,
                  QString("0 sent, 1 already there, 0 refused, 0 failed, 0 not sent"), QString());
        test::row("a number not on this computer", QStringList{"050326-A", "999999-Z"}, QString("uploaded"),
                  1, QString("0 sent, 1 already there, 1 refused, 0 failed, 0 not sent"), QString());
        test::row("no server named", QStringList{}, QString(), 1, QString(),
                  QString("Name the agency server to send the surveys to"));
        test::row("server not running", QStringList{}, QString("down"), 1,
                  QString("0 sent, 0 already there, 0 refused, 0 failed, 2 not sent"),
                  QString("Cannot connect to the survey database"));
    }
    void outcomes()
    {
        QFETCH(QStringList, batches);
        QFETCH(QString, server);
        QFETCH(int, exitCode);
        QFETCH(QString, lastLine);
        QFETCH(QString, error);
        QString url;
        if (server == "uploaded")
            url = m_uploaded;
        else if (server == "direct")
            url = m_direct;
        else if (server == "down")
            url = QStringLiteral("host=127.0.0.1 port=%1 dbname=x connect_timeout=5")
                      .arg(test::freeLocalPort());
        const Run ran = url.isEmpty() ? run(QStringList{"--db", m_work.filePath("db"), "upload"} + batches)
                                      : upload(batches, url);
        QCOMPARE(ran.exitCode, exitCode);
        if (!lastLine.isEmpty())
            QCOMPARE(ran.out.split('\n').last(), lastLine);
        QVERIFY2(ran.err.contains(error), qPrintable(ran.err));
        if (!batches.contains("999999-Z"))
            return;
        QVERIFY2(
            ran.out.contains("999999-Z  refused: Survey 999999-Z is not in the database on this computer"),
            qPrintable(ran.out));
    }

private:
    Run run(const QStringList& arguments) const
    {
        return test::runProgram(PELMOR_CLI, arguments, m_environment);
    }
    Run upload(const QStringList& batches, const QString& url = QString()) const
    {
        return run(QStringList{"--db", m_work.filePath("db"), "upload", "--server",
                               url.isEmpty() ? m_uploaded : url} +
                   batches);
    }

    QTemporaryDir m_work;
    QString m_direct;
    QString m_uploaded;
    QProcessEnvironment m_environment;
};

QTEST_GUILESS_MAIN(TstUploadCli)
#include "tst_uploadcli.moc"
