#include "PgTestServer.h"
#include "TestSupport.h"
#include "db/DbError.h"
#include "maintenance/SurveyDeletion.h"
#include "store/PgServerSchema.h"
#include "store/SurveyStore.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

using pelmor::test::row;
using pelmor::test::testServer;
using Run = pelmor::test::ProgramRun;

namespace {

const QString kTemplate = QStringLiteral("pelmor_template");
const QString kSample = QStringLiteral(PELMOR_SAMPLES "/elm-street-2days.rsx");
const QString kBatch = QStringLiteral("050326-A");
const QStringList kHeaderOptions = {"--location", "Elm Street", "--direction", "North",
                                    "--zone",     "School",     "--unit",      "MPH"};

} // namespace

// The headless tool on an agency server: which commands it runs there, the
// server's set-up and its upgrade, and who may delete.
class TstServerCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(
            testServer().setUpTemplate(
                kTemplate, QStringLiteral("CREATE ROLE officer1 LOGIN IN ROLE pelmor_officer; "
                                          "CREATE ROLE admin1 LOGIN IN ROLE pelmor_admin; "
                                          "CREATE ROLE clerk LOGIN; CREATE ROLE rolemaker LOGIN CREATEROLE")),
            QString());
    }
    void init()
    {
        m_database = testServer().createDatabase(kTemplate);
        QVERIFY2(!m_database.isEmpty(), qPrintable(testServer().error()));
    }
    void cleanup() { testServer().dropDatabase(m_database); }

    // The file's own maintenance refuses to run on a server and leaves its
    // surveys alone.
    void fileCommandsRefused_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString keptByIt = QStringLiteral("is for the database file on this computer. On the agency "
                                                "server the agency's IT backs the surveys up");
        row("backup", QStringList{"backup"}, keptByIt);
        row("repair", QStringList{"repair"}, keptByIt);
        row("replace", QStringList{"replace", "--yes"}, keptByIt);
        row("restore", QStringList{"restore", "--yes"}, keptByIt);
        row("delete every survey", QStringList{"delete", "--all", "--yes"}, keptByIt);
        row("init", QStringList{"init"}, QStringLiteral("works on the database folder of this computer"));
        row("folder", QStringList{"folder", "--set", "/tmp"},
            QStringLiteral("works on the database folder of this computer"));
    }
    void fileCommandsRefused()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        importSample(QStringLiteral("officer1"));
        const Run run = server(QStringLiteral("admin1"), arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(server(QStringLiteral("officer1"), {"surveys"}).out, kBatch);
    }

    // --db, --server and PELMOR_SERVER: which database a command reads.
    void chooseDatabase_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("serverInEnvironment");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // the error stream when the command fails
        row("--server", QStringList{"--server", "SERVER", "surveys"}, false, 0, kBatch);
        row("PELMOR_SERVER", QStringList{"surveys"}, true, 0, kBatch);
        row("--db wins over PELMOR_SERVER", QStringList{"--db", "FOLDER", "surveys"}, true, 0, QString());
        row("--db and --server", QStringList{"--db", "FOLDER", "--server", "SERVER", "surveys"}, false, 2,
            QStringLiteral("Give either --db DIR (the file on this computer) or --server URL (the agency "
                           "server), not both: drop one of them."));
        row("--server without a server", QStringList{"--server", " ", "surveys"}, false, 2,
            QStringLiteral("--server needs the server's connection string"));
    }
    void chooseDatabase()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, serverInEnvironment);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        importSample(QStringLiteral("officer1"));
        QTemporaryDir folder;
        QCOMPARE(cli({"--db", folder.path(), "init"}).exitCode, 0);
        const QString url = connection(QStringLiteral("officer1"));
        arguments.replaceInStrings(QStringLiteral("SERVER"), url);
        arguments.replaceInStrings(QStringLiteral("FOLDER"), folder.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("PELMOR_SERVER"));
        if (serverInEnvironment)
            environment.insert(QStringLiteral("PELMOR_SERVER"), url);
        const Run run = pelmor::test::runProgram(QStringLiteral(PELMOR_CLI), arguments, environment);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2((exitCode == 0 ? run.out : run.err).startsWith(output), qPrintable(run.out + run.err));
        if (exitCode == 0)
            QCOMPARE(run.out.size(), output.size());
    }

    // Set up once, a second run changes nothing and says so; the store
    // reads the server afterwards.
    void initTwice()
    {
        const QString fresh = testServer().createDatabase();
        QVERIFY(!fresh.isEmpty());
        const QString url = testServer().connectionString(fresh);
        const Run first = cli({"--server", url, "server", "init"});
        QCOMPARE(first.exitCode, 0);
        QVERIFY2(first.out.contains(QStringLiteral("Set the survey database up (version %1).")
                                        .arg(pelmor::store::kServerSchemaVersion)),
                 qPrintable(first.out + first.err));
        const Run second = cli({"--server", url, "server", "init"});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(second.out, QStringLiteral("The server is set up for this program already (version %1); "
                                            "nothing was changed.")
                                 .arg(pelmor::store::kServerSchemaVersion));
        const Run listed = cli({"--server", url, "surveys"});
        testServer().dropDatabase(fresh);
        QCOMPARE(listed.exitCode, 0);
        QCOMPARE(listed.out, QString());
    }

    // A role without the rights the set-up needs is told which right it
    // lacks, and the database stays as it was.
    void initRefused_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("missingRight");
        row("role that may not create roles", QStringLiteral("clerk"),
            QStringLiteral("it needs the right to create roles (CREATEROLE)"));
        row("role that may not create tables", QStringLiteral("rolemaker"),
            QStringLiteral("it needs the right to create tables in the database's schema"));
    }
    void initRefused()
    {
        QFETCH(QString, user);
        QFETCH(QString, missingRight);
        const QString fresh = testServer().createDatabase();
        QVERIFY(!fresh.isEmpty());
        const Run run = cli({"--server", testServer().connectionString(fresh, user), "server", "init"});
        const QString tables =
            testServer().execute(QStringLiteral("SELECT 1 FROM \"Schema_Version\""), fresh);
        testServer().dropDatabase(fresh);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(missingRight), qPrintable(run.err));
        QVERIFY2(tables.contains(QStringLiteral("does not exist")), qPrintable(tables));
    }

    // The server decides who deletes: an officer is refused in the
    // program's words and the survey stays; an administrator deletes it.
    void deletion_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // the error stream when refused
        QTest::addColumn<QString>("surveysLeft");
        row("officer", QStringLiteral("officer1"), 1,
            QStringLiteral("Only an administrator of the agency database can delete surveys."), kBatch);
        row("administrator", QStringLiteral("admin1"), 0,
            QStringLiteral("The survey 050326-A and its 2,947 vehicles were deleted."), QString());
    }
    void deletion()
    {
        QFETCH(QString, user);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        QFETCH(QString, surveysLeft);
        importSample(QStringLiteral("officer1"));
        const Run run = server(user, {"delete", kBatch});
        QCOMPARE(run.exitCode, exitCode);
        QCOMPARE(exitCode == 0 ? run.out : run.err, output);
        QCOMPARE(server(QStringLiteral("officer1"), {"surveys"}).out, surveysLeft);
    }

    // A user outside the officers' group is told which right to ask the
    // agency's IT for, and nothing is stored.
    void importNeedsTheOfficersRight()
    {
        const Run run = server(QStringLiteral("clerk"), QStringList{"import", kSample} + kHeaderOptions);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(QStringLiteral("lacks the right to add surveys (the rights of the "
                                                 "pelmor_officer role)")),
                 qPrintable(run.err));
        QCOMPARE(server(QStringLiteral("officer1"), {"surveys"}).out, QString());
    }

    // The window's question before a deletion reads the same on the server
    // as on the file.
    void deletionQuestionAsOnFile_data()
    {
        QTest::addColumn<QString>("batch");
        row("stored survey", kBatch);
        row("no such survey", QStringLiteral("010101-Z"));
    }
    void deletionQuestionAsOnFile()
    {
        QFETCH(QString, batch);
        importSample(QStringLiteral("officer1"));
        QTemporaryDir folder;
        QCOMPARE(cli({"--db", folder.path(), "init"}).exitCode, 0);
        QCOMPARE(cli(QStringList{"--db", folder.path(), "import", kSample} + kHeaderOptions).exitCode, 0);
        const QString onFile =
            pelmor::maintenance::deleteSurveyQuestion({folder.filePath("pelmor.mdb")}, batch);
        const QString onServer =
            pelmor::maintenance::deleteSurveyQuestion({{}, connection(QStringLiteral("officer1"))}, batch);
        QVERIFY(onFile.startsWith(QStringLiteral("Delete the ")));
        QCOMPARE(onServer, onFile);
    }

    // A server of an earlier version is not read until it is brought up to
    // date; the upgrade keeps every survey, adds the deletion check and
    // counts each survey's vehicles for the survey list.
    void earlierVersionUpgraded_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<QString>("rollBack"); // what makes a database of that version
        // Version 5 added vehicles by the officers' own INSERT rights, with
        // no checked functions, and kept speeds in 32 bits.
        // Version 7 kept no lengths and no sources.
        const QString toSeven = QStringLiteral("DROP TABLE \"Survey_Source\"; ALTER TABLE \"Veh_Data\" DROP "
                                               "COLUMN \"Length\"; DROP FUNCTION \"Finish_Survey\"; ");
        const QString toFive =
            toSeven +
            QStringLiteral(
                "DROP TRIGGER \"Tally_Added_Vehicles\" ON \"Veh_Data\"; DROP FUNCTION "
                "\"Tally_Added_Vehicles\", "
                "\"Begin_Survey\", \"Place_Survey\", \"Figures_Agree\", \"Site_Of_Key\", "
                "\"Delete_Survey\", \"Merge_Sites\", \"Split_Survey\", \"Set_Site_Coordinates\"; DROP TABLE "
                "\"Open_Survey\", \"Open_Tally\", \"Survey_Download\"; DROP FUNCTION "
                "\"Survey_Must_Be_Finished\"; "
                "ALTER TABLE \"Header\" DROP CONSTRAINT \"Header_Fields\"; ALTER TABLE \"Agency\" DROP "
                "CONSTRAINT \"Agency_Name\"; ALTER TABLE \"Officer\" DROP CONSTRAINT \"Officer_Name\"; ALTER "
                "TABLE "
                "\"Site\" DROP CONSTRAINT \"Site_Name_Direction\"; ALTER TABLE \"Veh_Data\" ALTER COLUMN "
                "\"Speed\" TYPE integer; GRANT INSERT ON \"Header\", \"Summary\" TO pelmor_officer; ");
        const QString toFour =
            toFive + QStringLiteral("DROP TABLE \"Site_Survey\"; DROP TABLE \"Site_Name\"; "
                                    "DROP TABLE \"Site\"; ");
        const QString toThree =
            toFour + QStringLiteral("ALTER TABLE \"Veh_Data\" ALTER COLUMN \"Id\" SET CACHE 1; ");
        const QString toTwo =
            toThree + QStringLiteral("DROP TRIGGER \"Count_Removed_Vehicles\" ON \"Veh_Data\"; DROP FUNCTION "
                                     "\"Count_Removed_Vehicles\"(); DROP TABLE \"Survey_Vehicles\"; DROP "
                                     "TRIGGER \"Forget_Vehicle_Counts\" ON \"Veh_Data\"; DROP FUNCTION "
                                     "\"Forget_Vehicle_Counts\"(); ");
        row("version 1", 1,
            toTwo + QStringLiteral("DROP TRIGGER \"Header_Keeps_Vehicles\" ON \"Header\"; "
                                   "DROP FUNCTION \"Header_Keeps_Vehicles\"(); "
                                   "UPDATE \"Schema_Version\" SET \"Version\" = 1"));
        row("version 2", 2, toTwo + QStringLiteral("UPDATE \"Schema_Version\" SET \"Version\" = 2"));
        row("version 3", 3, toThree + QStringLiteral("UPDATE \"Schema_Version\" SET \"Version\" = 3"));
        row("version 4", 4, toFour + QStringLiteral("UPDATE \"Schema_Version\" SET \"Version\" = 4"));
        row("version 5", 5, toFive + QStringLiteral("UPDATE \"Schema_Version\" SET \"Version\" = 5"));
    }
    void earlierVersionUpgraded()
    {
        QFETCH(int, version);
        QFETCH(QString, rollBack);
        importSample(QStringLiteral("officer1"));
        const Run before = server(QStringLiteral("officer1"), {"summary", kBatch, "--json"});
        QCOMPARE(before.exitCode, 0);
        QCOMPARE(testServer().execute(rollBack, m_database), QString());
        const Run refused = server(QStringLiteral("officer1"), {"surveys"});
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("is of version %1").arg(version)) &&
                     refused.err.contains(QStringLiteral("server init")),
                 qPrintable(refused.err));
        // A header of empty fields, which an earlier server let an officer
        // store: kept, named, and no hindrance to the sites.
        QCOMPARE(testServer().execute(QStringLiteral("INSERT INTO \"Header\" (\"Batch_Number\") VALUES "
                                                     "('BROKEN-1')"),
                                      m_database),
                 QString());
        const Run upgrade = cli({"--server", testServer().connectionString(m_database), "server", "init"});
        QCOMPARE(upgrade.exitCode, 0);
        QVERIFY2(
            upgrade.out.startsWith(QStringLiteral("Brought the survey database from version %1 to "
                                                  "version %2; every survey is kept.\nRows stored before "
                                                  "the server checked them")
                                       .arg(version)
                                       .arg(pelmor::store::kServerSchemaVersion)) &&
                upgrade.out.contains(QStringLiteral("\"BROKEN-1\"")),
            qPrintable(upgrade.out));
        for (const QStringList& reading : {QStringList{"sites"}, QStringList{"priorities"}})
            QCOMPARE(server(QStringLiteral("officer1"), reading).exitCode, 0);
        QCOMPARE(server(QStringLiteral("admin1"), {"delete", "BROKEN-1"}).exitCode, 0);
        QCOMPARE(server(QStringLiteral("officer1"), {"summary", kBatch, "--json"}).out, before.out);
        const QString failure = testServer().execute(
            QStringLiteral("DELETE FROM \"Summary\"; DELETE FROM \"Header\""), m_database);
        QVERIFY2(failure.contains(QStringLiteral("vehicle rows of its batch number")), qPrintable(failure));
        // The surveys stored before are counted for the list.
        QCOMPARE(listedCounts(), QStringLiteral("050326-A 2947"));
        // After the upgrade no vehicle is added but with its survey, neither
        // to a stored survey nor without one, not even by the owner; a
        // survey is still stored whole, its speeds now of 64 bits.
        for (const QString& batch : {QStringLiteral("050326-Z"), kBatch}) {
            const QString refused = testServer().execute(
                QStringLiteral("INSERT INTO \"Veh_Data\" (\"Batch_Number\", \"Offset\", \"Veh_Direction\", "
                               "\"Speed\", \"Time\", \"Date\") VALUES ('%1', 1, '+', 30, 0, '2026-03-05')")
                    .arg(batch),
                m_database);
            QVERIFY2(refused.contains(QStringLiteral("is not being stored in this transaction")),
                     qPrintable(refused));
        }
        QCOMPARE(listedCounts(), QStringLiteral("050326-A 2947"));
        QCOMPARE(testServer().query(QStringLiteral("SELECT data_type FROM information_schema.columns WHERE "
                                                   "table_name = 'Veh_Data' AND column_name = 'Speed'"),
                                    m_database),
                 QStringLiteral("bigint"));
        QCOMPARE(testServer().query(QStringLiteral("SELECT data_type FROM information_schema.columns WHERE "
                                                   "table_name = 'Veh_Data' AND column_name = 'Length'"),
                                    m_database),
                 QStringLiteral("double precision"));
        QCOMPARE(server(QStringLiteral("admin1"), {"delete", kBatch}).exitCode, 0);
        importSample(QStringLiteral("officer1"));
        QCOMPARE(server(QStringLiteral("officer1"), {"summary", kBatch, "--json"}).out, before.out);
    }

    // A server that told downloads apart by their start as well is brought
    // up to date keeping every survey: the surveys that hold one download
    // under different starts are named, and that download is not stored
    // again under any start.
    void sharedDownloadsNamedByTheUpgrade()
    {
        importSample(QStringLiteral("officer1"));
        QCOMPARE(testServer().execute(
                     QStringLiteral(
                         "DROP TABLE \"Survey_Source\"; ALTER TABLE \"Veh_Data\" DROP COLUMN \"Length\"; "
                         "DROP FUNCTION \"Finish_Survey\"; ALTER TABLE \"Survey_Download\" DROP CONSTRAINT "
                         "\"Survey_Download_Once\"; ALTER TABLE "
                         "\"Survey_Download\" DROP COLUMN \"Copy\"; ALTER TABLE \"Survey_Download\" ADD "
                         "CONSTRAINT "
                         "\"Survey_Download_Once\" UNIQUE (\"Fingerprint\", \"Date\", \"Time\"); UPDATE "
                         "\"Schema_Version\" SET \"Version\" = 6; "
                         // The download stored again under another start, as that server let an officer.
                         "INSERT INTO \"Header\" (\"Batch_Number\", \"Location\", \"Date\", \"Time\", "
                         "\"Violation_Alert\", \"Radar_Mode\", \"Direction\", \"Zone\") SELECT '050326-B', "
                         "\"Location\", '05/04/2026', \"Time\", \"Violation_Alert\", \"Radar_Mode\", "
                         "\"Direction\", \"Zone\" FROM \"Header\"; INSERT INTO \"Survey_Download\" "
                         "(\"Batch_Number\", \"Fingerprint\", \"Date\", \"Time\") SELECT '050326-B', "
                         "\"Fingerprint\", '05/04/2026', \"Time\" FROM \"Survey_Download\""),
                     m_database),
                 QString());
        const Run upgrade = cli({"--server", testServer().connectionString(m_database), "server", "init"});
        QCOMPARE(upgrade.exitCode, 0);
        QVERIFY2(
            upgrade.out.contains(
                QStringLiteral("from version 6 to version %1").arg(pelmor::store::kServerSchemaVersion)) &&
                upgrade.out.contains(QStringLiteral("one download between them under different starts: "
                                                    "\"050326-A\" and \"050326-B\".")),
            qPrintable(upgrade.out));
        const Run again = server(
            QStringLiteral("officer1"),
            QStringList{"import", kSample, "--trailer", "C", "--start-date", "05/05/2026"} + kHeaderOptions);
        QCOMPARE(again.exitCode, 1);
        QCOMPARE(again.err, QStringLiteral("This download is already stored as survey 050326-A."));
        QCOMPARE(server(QStringLiteral("officer1"), {"surveys"}).out, QStringLiteral("050326-A\n050326-B"));
    }

    // The survey list's vehicle counts follow every deletion, the schema
    // owner's by hand too; the server itself keeps a survey's Header row
    // while its vehicle rows remain, whoever deletes.
    void listedCountsFollowChanges_data()
    {
        QTest::addColumn<QString>("statements");
        QTest::addColumn<QString>("refusal"); // what the server says; empty: done
        QTest::addColumn<QString>("counts");  // FEWER: 2,947 less those over 30
        row("nothing changed", QString(), QString(), QStringLiteral("050326-A 2947"));
        row("vehicles deleted", QStringLiteral("DELETE FROM \"Veh_Data\" WHERE \"Speed\" > 30"), QString(),
            QStringLiteral("050326-A FEWER"));
        row("header deleted before its vehicles",
            QStringLiteral("DELETE FROM \"Summary\"; DELETE FROM \"Header\""),
            QStringLiteral("vehicle rows of its batch number"), QStringLiteral("050326-A 2947"));
        row("survey deleted whole",
            QStringLiteral("DELETE FROM \"Summary\"; DELETE FROM \"Veh_Data\"; "
                           "DELETE FROM \"Header\""),
            QString(), QString());
        row("every survey emptied at once",
            QStringLiteral("TRUNCATE \"Site_Survey\", \"Survey_Download\", \"Survey_Source\", \"Summary\", "
                           "\"Veh_Data\", "
                           "\"Header\""),
            QString(), QString());
    }
    void listedCountsFollowChanges()
    {
        QFETCH(QString, statements);
        QFETCH(QString, refusal);
        QFETCH(QString, counts);
        importSample(QStringLiteral("officer1"));
        const QString over = testServer().query(
            QStringLiteral("SELECT count(*) FROM \"Veh_Data\" WHERE \"Speed\" > 30"), m_database);
        QVERIFY(over.toInt() > 0);
        const QString said = statements.isEmpty() ? QString() : testServer().execute(statements, m_database);
        QVERIFY2(refusal.isEmpty() ? said.isEmpty() : said.contains(refusal), qPrintable(said));
        counts.replace(QStringLiteral("FEWER"), QString::number(2947 - over.toInt()));
        QCOMPARE(listedCounts(), counts);
        QCOMPARE(server(QStringLiteral("officer1"), {"surveys"}).out, counts.section(QLatin1Char(' '), 0, 0));
    }

private:
    // The survey list as an officer's program reads it: each batch number
    // with its vehicle count.
    QString listedCounts() const
    {
        QStringList listed;
        const QString failed = pelmor::test::dbErrorOf([&] {
            for (const pelmor::survey::ListedSurvey& survey :
                 pelmor::store::openStore({{}, connection(QStringLiteral("officer1"))})->listSurveys())
                listed << QStringLiteral("%1 %2").arg(survey.header.batchNumber).arg(survey.vehicles);
        });
        return failed.isNull() ? listed.join(QStringLiteral(", ")) : failed;
    }
    QString connection(const QString& user) const { return testServer().connectionString(m_database, user); }
    Run cli(const QStringList& arguments) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("PELMOR_SERVER"));
        return pelmor::test::runProgram(QStringLiteral(PELMOR_CLI), arguments, environment);
    }
    Run server(const QString& user, const QStringList& arguments) const
    {
        return cli(QStringList{"--server", connection(user)} + arguments);
    }
    void importSample(const QString& user) const
    {
        const Run run = server(user, QStringList{"import", kSample} + kHeaderOptions);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    }

    QString m_database;
};

QTEST_GUILESS_MAIN(TstServerCli)
#include "tst_servercli.moc"
