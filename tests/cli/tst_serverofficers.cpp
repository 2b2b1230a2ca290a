#include "PgTestServer.h"
#include "TestSupport.h"
#include "import/SurveyImport.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <memory>

using pelmor::test::row;
using pelmor::test::testServer;
using Run = pelmor::test::ProgramRun;

namespace {

// Two officers of one agency, each a login role in the officers' group,
// each with settings of their own as on their own computers.
const QString kNorth = QStringLiteral("officer_north");
const QString kRing = QStringLiteral("officer_ring");
const QString kTemplate = QStringLiteral("officers_template");

// A generated log: the generator's options, and how an officer stores it.
struct Log {
    const char* options;
    const char* batch; // the batch number its start date and trailer give
    const char* trailer;
    const char* unit;
    const char* location;
};

const std::map<QString, Log> kLogs = {
    {QStringLiteral("elm"),
     {"--start-date 05/04/2026 --days 2 --vehicles 30000 --seed 31", "050426-A", "A", "MPH", "Elm Street"}},
    {QStringLiteral("ring"),
     {"--start-date 05/04/2026 --days 1 --vehicles 20000 --unit KPH --limit 050 --cutoff 130 --alarm 070 "
      "--seed 32",
      "050426-B", "B", "KPH", "Ring Road"}},
    {QStringLiteral("oak"),
     {"--start-date 05/11/2026 --days 3 --vehicles 25000 --seed 33", "051126-A", "A", "MPH", "Oak Avenue"}},
    {QStringLiteral("pine"),
     {"--start-date 05/18/2026 --days 1 --vehicles 5000 --seed 35", "051826-A", "A", "MPH", "Pine Lane"}},
    {QStringLiteral("large"),
     {"--start-date 06/01/2026 --days 14 --vehicles 400000 --seed 34", "060126-A", "A", "MPH",
      "Main Street"}},
};

// The tables of a database of the server, by name.
QString tablesOf(const QString& database)
{
    return testServer().query(
        QStringLiteral("SELECT string_agg(relname, ',' ORDER BY relname) FROM pg_class WHERE "
                       "relkind = 'r' AND relnamespace NOT IN ('pg_catalog'::regnamespace, "
                       "'information_schema'::regnamespace)"),
        database);
}

} // namespace

// Several officers using one agency server at the same moment, each
// through a headless tool process of their own, under login roles of the
// officers' group: what each stores lands whole, a batch number is taken
// once, readers see whole surveys only, and nobody sees another's work.
class TstServerOfficers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        QCOMPARE(testServer().setUpTemplate(kTemplate,
                                            QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE pelmor_officer; "
                                                           "CREATE ROLE %2 LOGIN IN ROLE pelmor_officer")
                                                .arg(kNorth, kRing)),
                 QString());
        for (const auto& [name, log] : kLogs) {
            const Run generated = pelmor::test::runProgram(
                QStringLiteral(PELMOR_LOGGEN), QString::fromLatin1(log.options).split(QLatin1Char(' ')) +
                                                   QStringList{"--rsx", "-o", logPath(name)});
            QVERIFY2(generated.exitCode == 0, qPrintable(generated.err));
        }
        m_tables = tablesOf(kTemplate);
        QVERIFY2(m_tables.contains(QStringLiteral("Veh_Data")), qPrintable(m_tables));
    }
    void init()
    {
        m_database = testServer().createDatabase(kTemplate);
        QVERIFY2(!m_database.isEmpty(), qPrintable(testServer().error()));
    }
    void cleanup() { testServer().dropDatabase(m_database); }

    // Two officers store different surveys at once: both land, each exactly
    // as it lands when stored alone.
    void differentSurveysAtOnce_data()
    {
        QTest::addColumn<QString>("northLog");
        QTest::addColumn<QString>("ringLog");
        row("MPH and KPH survey of one day", QStringLiteral("elm"), QStringLiteral("ring"));
        row("two MPH surveys of different weeks", QStringLiteral("oak"), QStringLiteral("elm"));
    }
    void differentSurveysAtOnce()
    {
        QFETCH(QString, northLog);
        QFETCH(QString, ringLog);
        const Stored northAlone = storedAlone(northLog);
        const Stored ringAlone = storedAlone(ringLog);
        for (const QString& failure : {northAlone.failure, ringAlone.failure})
            QVERIFY2(failure.isEmpty(), qPrintable(failure));

        const auto north = start(kNorth, importArguments(northLog));
        const auto ring = start(kRing, importArguments(ringLog));
        const Run northRun = finish(*north);
        const Run ringRun = finish(*ring);
        QVERIFY2(northRun.exitCode == 0, qPrintable(northRun.err));
        QVERIFY2(ringRun.exitCode == 0, qPrintable(ringRun.err));
        QCOMPARE(northRun.out, northAlone.imported);
        QCOMPARE(ringRun.out, ringAlone.imported);

        // Each officer reads the other's survey as it was stored alone.
        const Stored northSeen = read(kRing, batchOf(northLog));
        const Stored ringSeen = read(kNorth, batchOf(ringLog));
        QVERIFY2(northSeen.failure.isEmpty(), qPrintable(northSeen.failure));
        QVERIFY2(ringSeen.failure.isEmpty(), qPrintable(ringSeen.failure));
        QCOMPARE(northSeen.summary, northAlone.summary);
        QCOMPARE(ringSeen.summary, ringAlone.summary);
        QVERIFY(northSeen.vehicles == northAlone.vehicles);
        QVERIFY(ringSeen.vehicles == ringAlone.vehicles);
        QCOMPARE(cli(kNorth, {"surveys"}).out.split(QLatin1Char('\n')).size(), 2);
    }

    // Two officers store different downloads under the same batch number at
    // the same moment, ten times, the one or the other started first: the
    // server keeps one survey, the winner's, whole, and the other officer
    // is told the number is taken.
    void sameBatchAtOnce()
    {
        const QString batch = QStringLiteral("070126-D");
        const QString logs[2] = {QStringLiteral("elm"), QStringLiteral("oak")};
        const Stored alone[2] = {storedAlone(logs[0], batch), storedAlone(logs[1], batch)};
        for (const Stored& stored : alone)
            QVERIFY2(stored.failure.isEmpty(), qPrintable(stored.failure));
        QVERIFY(alone[0].vehicles != alone[1].vehicles);

        int wins[2] = {0, 0};
        for (int round = 0; round < 10; ++round) {
            const QString context = QStringLiteral("round %1: ").arg(round);
            const QString database = testServer().createDatabase(kTemplate);
            QVERIFY2(!database.isEmpty(), qPrintable(testServer().error()));
            std::unique_ptr<QProcess> imports[2];
            for (int i = 0; i < 2; ++i) {
                const int log = (round + i) % 2;
                imports[log] = start(log == 0 ? kNorth : kRing,
                                     importArguments(logs[log]) + QStringList{"--batch", batch}, database);
            }
            int landed = -1;
            for (int log = 0; log < 2; ++log) {
                const Run run = finish(*imports[log]);
                if (run.exitCode == 0) {
                    QVERIFY2(landed < 0, qPrintable(context + "both surveys were stored"));
                    landed = log;
                } else {
                    QVERIFY2(run.exitCode == 1 && run.err.contains(pelmor::import::messages::kDuplicate),
                             qPrintable(context + run.err));
                }
            }
            QVERIFY2(landed >= 0, qPrintable(context + "neither survey was stored"));
            ++wins[landed];
            const Stored kept = read(kNorth, batch, database);
            QCOMPARE(cli(kRing, {"surveys"}, database).out, batch);
            testServer().dropDatabase(database);
            QVERIFY2(kept.failure.isEmpty(), qPrintable(context + kept.failure));
            QCOMPARE(kept.summary, alone[landed].summary);
            QVERIFY2(kept.vehicles == alone[landed].vehicles,
                     qPrintable(context + "not the winner's vehicles"));
        }
        qInfo("the first download was stored %d times, the second %d times", wins[0], wins[1]);
    }

    // While one officer stores a large survey, another lists the surveys and
    // reads each listed one over and over: every survey listed is whole
    // (its statistics count its vehicles), and the reader is never kept
    // waiting for the writer.
    void readerSeesWholeSurveysOnly()
    {
        QCOMPARE(cli(kNorth, importArguments(QStringLiteral("elm"))).exitCode, 0);
        const QString large = batchOf(QStringLiteral("large"));
        const auto importing = start(kNorth, importArguments(QStringLiteral("large")));
        QVERIFY(importing->waitForStarted());
        int roundsWithout = 0, roundsWith = 0;
        for (bool last = false; !last;) {
            // One round more once the import has ended, which must show it.
            // (QProcess learns that its child ended only when asked.)
            last = importing->waitForFinished(0) || importing->state() == QProcess::NotRunning;
            const Run listed = cli(kRing, {"surveys"});
            QVERIFY2(listed.exitCode == 0, qPrintable(listed.err));
            const QStringList batches = listed.out.split(QLatin1Char('\n'));
            QCOMPARE(batches.first(), batchOf(QStringLiteral("elm")));
            for (const QString& batch : batches) {
                const Stored seen = read(kRing, batch);
                QVERIFY2(seen.failure.isEmpty(), qPrintable(seen.failure));
            }
            ++(batches.contains(large) ? roundsWith : roundsWithout);
            QVERIFY2(!last || batches.contains(large), "the finished import is not listed");
        }
        const Run imported = finish(*importing);
        QVERIFY2(imported.exitCode == 0, qPrintable(imported.err));
        QCOMPARE(imported.out, pelmor::import::messages::recordsAdded(400000));
        qInfo("%d rounds read while the survey was being stored, %d after", roundsWithout, roundsWith);
        QVERIFY2(roundsWithout >= 2, "the reader waited for the writer");
    }

    // Two officers look at breakdowns of different surveys (different units,
    // different bins) at the same moment, five times: each gets exactly what
    // they get alone, and nothing is left on the server for the other to
    // see (no table is added, none of the survey tables changes).
    void breakdownsKeptApart_data()
    {
        QTest::addColumn<QString>("northBins");
        QTest::addColumn<QString>("ringBins");
        row("quarter hours and hours", QStringLiteral("15"), QStringLiteral("60"));
        row("quarter hours both", QStringLiteral("15"), QStringLiteral("15"));
    }
    void breakdownsKeptApart()
    {
        QFETCH(QString, northBins);
        QFETCH(QString, ringBins);
        QCOMPARE(cli(kNorth, importArguments(QStringLiteral("elm"))).exitCode, 0);
        QCOMPARE(cli(kRing, importArguments(QStringLiteral("ring"))).exitCode, 0);
        const QStringList northAsks = {"breakdown", batchOf(QStringLiteral("elm")), "--bins", northBins,
                                       "--csv"};
        const QStringList ringAsks = {"breakdown", batchOf(QStringLiteral("ring")), "--bins", ringBins,
                                      "--csv"};
        const Run northAlone = cli(kNorth, northAsks);
        const Run ringAlone = cli(kRing, ringAsks);
        QCOMPARE(northAlone.exitCode, 0);
        QCOMPARE(ringAlone.exitCode, 0);
        QVERIFY(northAlone.out != ringAlone.out);
        const QString rowsBefore = rowCounts();

        for (int round = 0; round < 5; ++round) {
            const auto north = start(kNorth, northAsks);
            const auto ring = start(kRing, ringAsks);
            const Run northRun = finish(*north);
            const Run ringRun = finish(*ring);
            QVERIFY2(northRun.exitCode == 0, qPrintable(northRun.err));
            QVERIFY2(ringRun.exitCode == 0, qPrintable(ringRun.err));
            QVERIFY2(northRun.out == northAlone.out,
                     qPrintable(QStringLiteral("round %1: north").arg(round)));
            QVERIFY2(ringRun.out == ringAlone.out, qPrintable(QStringLiteral("round %1: ring").arg(round)));
        }
        QCOMPARE(rowCounts(), rowsBefore);
        QCOMPARE(tablesOf(m_database), m_tables);
    }

    // Each officer's last unit stays their own: both store a survey at once,
    // one in KPH and one in MPH, then each stores the next without naming a
    // unit and gets their own unit, not the other's.
    void lastUnitKeptApart()
    {
        const auto north = start(kNorth, importArguments(QStringLiteral("elm")));
        const auto ring = start(kRing, importArguments(QStringLiteral("ring")));
        QCOMPARE(finish(*north).exitCode, 0);
        QCOMPARE(finish(*ring).exitCode, 0);
        // The next downloads, without --unit and stating no unit: the north
        // officer's after the ring officer's last import, and the other way round.
        for (const char* log : {"oak", "pine"}) {
            QFile file(logPath(QLatin1String(log)));
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray none = file.readAll().replace("Speed Units: MPH\r\n", "");
            QVERIFY(file.resize(0) && file.seek(0) && file.write(none) == none.size());
        }
        QStringList northNext = importArguments(QStringLiteral("oak"));
        QStringList ringNext = importArguments(QStringLiteral("pine"));
        for (QStringList* arguments : {&northNext, &ringNext})
            arguments->remove(arguments->indexOf(QStringLiteral("--unit")), 2);
        ringNext << "--yes"; // MPH speeds stored as KPH look slow: the question is answered
        const auto ringLater = start(kRing, ringNext);
        const auto northLater = start(kNorth, northNext);
        const Run ringRun = finish(*ringLater);
        const Run northRun = finish(*northLater);
        QVERIFY2(ringRun.exitCode == 0, qPrintable(ringRun.err));
        QVERIFY2(northRun.exitCode == 0, qPrintable(northRun.err));
        QCOMPARE(testServer().query(QStringLiteral("SELECT string_agg(\"Batch_Number\" || ' ' || "
                                                   "\"Radar_Mode\", ',' ORDER BY \"Batch_Number\") "
                                                   "FROM \"Header\""),
                                    m_database),
                 QStringLiteral("050426-A MPH,050426-B KPH,051126-A MPH,051826-A KPH"));
    }

private:
    // What a survey holds as an officer reads it: the import's words, its
    // statistics as JSON and its vehicles exported; `failure` says why it
    // could not be read whole.
    struct Stored {
        QString imported;
        QString summary;
        QString vehicles;
        QString failure;
    };

    static QString batchOf(const QString& log) { return QLatin1String(kLogs.at(log).batch); }
    QString logPath(const QString& log) const { return m_work.filePath(log + QStringLiteral(".rsx")); }
    QStringList importArguments(const QString& log) const
    {
        const Log& stored = kLogs.at(log);
        return {"import",      logPath(log),
                "--trailer",   QLatin1String(stored.trailer),
                "--location",  QLatin1String(stored.location),
                "--direction", "North",
                "--zone",      "Residential",
                "--unit",      QLatin1String(stored.unit)};
    }

    // The environment of an officer's process: their own settings folder.
    QProcessEnvironment environmentOf(const QString& officer) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("PELMOR_SERVER"));
        const QString settings = m_work.filePath(QStringLiteral("settings-") + officer);
        QDir().mkpath(settings);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), settings);
        return environment;
    }
    // The headless tool as an officer on a database of the server (the
    // test's own when none is given); without an officer, as given.
    QStringList asOfficer(const QString& officer, const QStringList& arguments, const QString& database) const
    {
        if (officer.isEmpty())
            return arguments;
        return QStringList{"--server", testServer().connectionString(
                                           database.isEmpty() ? m_database : database, officer)} +
               arguments;
    }
    Run cli(const QString& officer, const QStringList& arguments, const QString& database = QString()) const
    {
        return pelmor::test::runProgram(QStringLiteral(PELMOR_CLI), asOfficer(officer, arguments, database),
                                        environmentOf(officer), 180000);
    }
    std::unique_ptr<QProcess> start(const QString& officer, const QStringList& arguments,
                                    const QString& database = QString()) const
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environmentOf(officer));
        process->start(QStringLiteral(PELMOR_CLI), asOfficer(officer, arguments, database));
        return process;
    }
    static Run finish(QProcess& process)
    {
        if (process.state() != QProcess::NotRunning && !process.waitForFinished(180000))
            return {-1, {}, QStringLiteral("timed out")};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed(),
                QString::fromUtf8(process.readAllStandardError()).trimmed()};
    }

    // A survey as an officer reads it: its statistics and its vehicles, and
    // whether the statistics count as many vehicles as are stored.
    Stored read(const QString& officer, const QString& batch, const QString& database = QString()) const
    {
        Stored stored;
        const Run summary = cli(officer, {"summary", batch, "--json"}, database);
        const Run exported = cli(officer, {"export", "vehicles", batch}, database);
        stored.vehicles = exported.out;
        if (summary.exitCode != 0 || exported.exitCode != 0) {
            stored.failure = QStringLiteral("%1 cannot be read: %2 %3").arg(batch, summary.err, exported.err);
            return stored;
        }
        stored.summary = summary.out;
        const QString total = QJsonDocument::fromJson(summary.out.toUtf8())
                                  .object()
                                  .value(QStringLiteral("Total_Vehicles"))
                                  .toString();
        // The export's first line names the fields (the last line break is trimmed).
        const qsizetype vehicles = stored.vehicles.count(QLatin1Char('\n'));
        if (total.trimmed() != QString::number(vehicles))
            stored.failure = QStringLiteral("%1: its statistics count %2 vehicles, %3 are stored")
                                 .arg(batch, total)
                                 .arg(vehicles);
        return stored;
    }
    // A survey stored by an officer alone on a database of its own, and
    // read back.
    Stored storedAlone(const QString& log, const QString& batch = QString()) const
    {
        const QString database = testServer().createDatabase(kTemplate);
        if (database.isEmpty())
            return {{}, {}, {}, testServer().error()};
        QStringList arguments = importArguments(log);
        if (!batch.isEmpty())
            arguments << "--batch" << batch;
        const Run imported = cli(kNorth, arguments, database);
        Stored stored = read(kNorth, batch.isEmpty() ? batchOf(log) : batch, database);
        testServer().dropDatabase(database);
        if (imported.exitCode != 0)
            stored.failure = imported.err;
        stored.imported = imported.out;
        return stored;
    }
    // The rows of every table of the test's database, counted.
    QString rowCounts() const
    {
        return testServer().query(
            QStringLiteral("SELECT (SELECT count(*) FROM \"Header\"), (SELECT count(*) FROM \"Summary\"), "
                           "(SELECT count(*) FROM \"Veh_Data\"), (SELECT count(*) FROM \"Agency\"), "
                           "(SELECT count(*) FROM \"Officer\")"),
            m_database);
    }

    QTemporaryDir m_work;
    QString m_database;
    QString m_tables; // the tables a database that is set up holds
};

QTEST_GUILESS_MAIN(TstServerOfficers)
#include "tst_serverofficers.moc"
