#include "TestSupport.h"
#include "UploadFixture.h"
#include "upload/SurveyUpload.h"

#include <QFile>
#include <QTest>

#include <functional>
#include <thread>

using namespace pelmor;
using Kind = upload::SurveyOutcome::Kind;
using Kinds = QList<Kind>;
Q_DECLARE_METATYPE(Kind)

namespace {

// Follows an upload; `onProgress` and `stopAfter` cause what a test needs
// at a given moment.
class FollowedUpload : public upload::UploadReport {
public:
    // Told from the upload's thread, so checked afterwards by the test.
    void progress(qint64 done, qint64 total) override
    {
        if (done > total || done < m_lastDone)
            disorderly = true;
        m_lastDone = done;
        if (onProgress)
            onProgress(done);
    }
    bool cancelled() const override { return stopAfter >= 0 && qsizetype(stopAfter) <= m_told.size(); }
    void surveyDone(const upload::SurveyOutcome& outcome) override { m_told << outcome.batchNumber; }

    std::function<void(qint64)> onProgress;
    int stopAfter = -1;      // surveys told before the user cancels
    bool disorderly = false; // progress went back, or beyond the total
    const QStringList& told() const { return m_told; }

private:
    qint64 m_lastDone = 0;
    QStringList m_told;
};

Kinds kindsOf(const upload::UploadResult& result)
{
    Kinds kinds;
    for (const upload::SurveyOutcome& outcome : result.surveys)
        kinds << outcome.kind;
    return kinds;
}

// The vehicles of a survey as written: offset, direction and speed each.
QStringList writtenVehicles(store::SurveyStore& store, const QString& batchNumber)
{
    QStringList vehicles;
    const auto rows = store.readWrittenVehicles(batchNumber);
    qint64 offset = 0, speed = 0;
    QByteArrayView direction;
    while (rows->next(offset, direction, speed))
        vehicles << QStringLiteral("%1 %2 %3").arg(offset).arg(QLatin1String(direction)).arg(speed);
    return vehicles;
}

// A survey as a store holds it: its header fields and its vehicles.
QString heldAs(store::SurveyStore& store, const QString& batchNumber)
{
    QStringList texts;
    for (const auto& field : store.loadSurvey(batchNumber).header.storedFields())
        texts << field.second;
    return (texts + writtenVehicles(store, batchNumber)).join('|');
}

} // namespace

class TstSurveyUpload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QCOMPARE(test::prepareUploadServer(), QString()); }
    void init()
    {
        m_database = test::testServer().createDatabase(test::kUploadTemplate);
        QVERIFY(!m_database.isEmpty());
        m_local = std::make_unique<test::TempProgramFolder>();
        test::storeSurveys(m_local->databasePath(),
                           {test::localSurvey("A", 5000, 1), test::localSurvey("B", 9000, 2),
                            test::localSurvey("C", 3000, 3)});
    }
    void cleanup()
    {
        m_local.reset();
        test::testServer().dropDatabase(m_database);
    }

    // Another survey under a number the server holds (survey A: its
    // vehicles, its directions alone or its header differ) is refused,
    // saying what differs; the server's survey and the file stay as they
    // were, and the other surveys go whole.
    void anotherSurveyUnderTheNumber_data()
    {
        QTest::addColumn<QString>("otherA");
        QTest::addColumn<QString>("differences");
        test::row("vehicles", QString("vehicles"),
                  QString("Its header is the same, but its vehicles are not: 4,000 vehicles on the server, "
                          "5,000 vehicles here."));
        test::row("only the directions", QString("directions"),
                  QString("Its header is the same, but its vehicles are not: 5,000 vehicles on the server, "
                          "5,000 vehicles here."));
        test::row("the same vehicles under another header", QString("header"),
                  QString("Its survey location is \"Oak Avenue between the railway bridge an...\" on the "
                          "server and \"Main St\" here; its posted limit is \"025\" on the server and "
                          "\"035\" here."));
    }
    void anotherSurveyUnderTheNumber()
    {
        QFETCH(QString, otherA);
        QFETCH(QString, differences);
        const auto local = store::openStore(m_local->database());
        // What the server holds first comes from another laptop's file.
        test::TempProgramFolder other;
        test::Survey survey =
            test::localSurvey("A", otherA == "vehicles" ? 4000 : 5000, otherA == "vehicles" ? 7 : 1);
        if (otherA == "directions")
            survey.directions.replace('?', '+');
        if (otherA == "header") {
            survey.location = "Oak Avenue between the railway bridge and the school";
            survey.postedSpeed = "025";
        }
        test::storeSurvey(other.databasePath(), survey);
        FollowedUpload first;
        QVERIFY(upload::uploadSurveys(other.database(), server(), {}, first).complete());
        const auto before = test::vehicleCounts(*local);
        const QStringList localA = writtenVehicles(*local, "A");
        const QString serverA = heldAs(*store::openStore(server()), "A");

        FollowedUpload report;
        const upload::UploadResult result = upload::uploadSurveys(m_local->database(), server(), {}, report);
        QCOMPARE(kindsOf(result), (Kinds{Kind::Refused, Kind::Sent, Kind::Sent}));
        QVERIFY(!result.complete());
        QCOMPARE(report.told().size(), 3);
        QVERIFY(!report.disorderly);
        QVERIFY2(
            result.surveys[0].reason.startsWith("Survey A is not sent: the agency server holds a different "
                                                "survey under that number. " +
                                                differences + " The survey stays"),
            qPrintable(result.surveys[0].reason));
        const auto onServer = store::openStore(server());
        QCOMPARE(heldAs(*onServer, "A"), serverA);
        for (const QString batch : {"B", "C"})
            QCOMPARE(writtenVehicles(*onServer, batch), writtenVehicles(*local, batch));
        QCOMPARE(test::vehicleCounts(*onServer).size(), size_t(3));
        QCOMPARE(test::partialSurvey(*onServer), QString());
        QCOMPARE(test::vehicleCounts(*local), before);
        QCOMPARE(writtenVehicles(*local, "A"), localA);
    }

    // A survey the file holds as no import stores one is refused, naming
    // it and what is wrong, and nothing of it reaches the server; the
    // others go. Vehicles lost once the checks are done fail the survey.
    void refusedAsStored_data()
    {
        QTest::addColumn<bool>("older");        // a file of the older layout holding A twice, and B
        QTest::addColumn<QString>("change");    // made to the file behind the program's back
        QTest::addColumn<bool>("whileSending"); // once the surveys are checked, not before
        QTest::addColumn<QString>("line");      // the start of A's line
        const QString lost("DELETE FROM Veh_Data WHERE rowid IN (SELECT rowid FROM Veh_Data WHERE "
                           "Batch_Number = 'A' LIMIT 1000)");
        test::row(
            "an older file holding a number twice", true,
            QString("UPDATE Header SET Direction = 'North', Zone = 'School', Violation_Alert = '035'"), false,
            QString("A  refused: Survey A is not sent: the database on this computer holds more than one "
                    "survey under that number, so they cannot be told apart. Delete the surveys stored "
                    "under A"));
        test::row("vehicles lost", false, lost, false,
                  QString("A  refused: Survey A is not sent: its statistics count 5,000 vehicles, but 4,000 "
                          "vehicles are stored under it on this computer, so the survey is not whole. Repair "
                          "the database first if it is damaged (\"Repair Database\""));
        test::row(
            "vehicles lost once the surveys are checked", false, lost, true,
            QString("A  failed: The vehicles of survey A changed on this computer while they were sent; "
                    "send it again."));
        test::row(
            "statistics lost", false, QString("DELETE FROM Summary WHERE Batch_Number = 'A'"), false,
            QString("A  refused: Survey A is not sent: it has no statistics row, but 5,000 vehicles are "
                    "stored"));
        test::row("a control character in the location", false,
                  QString("UPDATE Header SET Location = 'Main' || char(7) || ' St' WHERE Batch_Number = 'A'"),
                  false,
                  QString("A  refused: Survey A is not sent: its header fails the checks of an import. The "
                          "survey location holds a control character (U+0007)."));
        test::row(
            "a NUL in the batch number", false,
            QString("UPDATE Header SET Batch_Number = 'A' || char(0) || 'B' WHERE Batch_Number = 'A';"
                    "UPDATE Summary SET Batch_Number = 'A' || char(0) || 'B' WHERE Batch_Number = 'A';"
                    "UPDATE Veh_Data SET Batch_Number = 'A' || char(0) || 'B' WHERE Batch_Number = 'A'"),
            false,
            QString("A<U+0000>B  refused: Survey A<U+0000>B is not sent: its header fails the checks of "
                    "an import. The batch number holds a control character (U+0000)."));
    }
    void refusedAsStored()
    {
        QFETCH(bool, older);
        QFETCH(QString, change);
        QFETCH(bool, whileSending);
        QFETCH(QString, line);
        const QString path = m_local->databasePath();
        if (older) {
            QVERIFY(QFile::remove(path));
            test::writeOlderDatabase(path, {"A", "B", "A"});
        }
        FollowedUpload report;
        if (whileSending)
            report.onProgress = [&](qint64 done) {
                if (done == 0) // the surveys are checked, none is sent yet
                    test::executeOnFile(path, change);
            };
        else
            test::executeOnFile(path, change);
        const upload::UploadResult result = upload::uploadSurveys(m_local->database(), server(), {}, report);
        QVERIFY(!result.complete());
        const QString told = upload::outcomeText(result.surveys.front());
        QVERIFY2(told.startsWith(line), qPrintable(told));
        QStringList sent;
        for (size_t i = 1; i < result.surveys.size(); ++i) {
            QCOMPARE(result.surveys[i].kind, Kind::Sent);
            sent << result.surveys[i].batchNumber;
        }
        QCOMPARE(sent, (older ? QStringList{"B"} : QStringList{"B", "C"}));
        // Nothing of A reached the server: no header, statistics or vehicle.
        QCOMPARE(
            test::testServer().query("SELECT string_agg(\"Batch_Number\", ',' ORDER BY \"Batch_Number\") "
                                     "FROM (SELECT \"Batch_Number\" FROM \"Header\" UNION SELECT "
                                     "\"Batch_Number\" FROM \"Summary\" UNION SELECT \"Batch_Number\" "
                                     "FROM \"Veh_Data\") AS stored",
                                     m_database),
            sent.join(','));
    }

    // The upload stops after the first survey, cancelled between surveys or
    // the server ending the session while the second survey's vehicles go:
    // the first is there whole, the others are told as not sent, and sent
    // again the rest goes.
    void stopsAfterTheFirstSurvey_data()
    {
        QTest::addColumn<bool>("lost"); // the connection, rather than a cancel
        test::row("cancelled", false);
        test::row("connection lost", true);
    }
    void stopsAfterTheFirstSurvey()
    {
        QFETCH(bool, lost);
        FollowedUpload report;
        bool terminated = false;
        report.stopAfter = lost ? -1 : 1;
        report.onProgress = [&](qint64 done) {
            if (!lost || terminated || done <= 5000)
                return;
            terminated = true;
            QCOMPARE(test::testServer().execute(
                         QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                        "WHERE datname = '%1' AND pid <> pg_backend_pid()")
                             .arg(m_database)),
                     QString());
        };
        const upload::UploadResult result = upload::uploadSurveys(m_local->database(), server(), {}, report);
        QCOMPARE(terminated, lost);
        QCOMPARE(kindsOf(result), (Kinds{Kind::Sent, Kind::NotSent, Kind::NotSent}));
        QVERIFY(!result.complete());
        if (lost)
            QVERIFY2(result.stopped.contains("connection to the survey database"),
                     qPrintable(result.stopped));
        else
            QVERIFY(result.cancelled);
        QCOMPARE(result.countsText(),
                 QStringLiteral("1 sent, 0 already there, 0 refused, 0 failed, 2 not sent"));
        const auto onServer = store::openStore(server());
        QCOMPARE(test::vehicleCounts(*onServer), (std::map<QString, qint64>{{"A", 5000}}));
        QCOMPARE(test::partialSurvey(*onServer), QString());
        FollowedUpload again;
        QCOMPARE(kindsOf(upload::uploadSurveys(m_local->database(), server(), {}, again)),
                 (Kinds{Kind::AlreadyThere, Kind::Sent, Kind::Sent}));
    }

    // Two officers send the same survey at once: the server's key lets one
    // store it, the other finds it there.
    void twoUploadsRace()
    {
        upload::UploadResult results[2];
        {
            std::thread racers[2];
            for (int i = 0; i < 2; ++i)
                racers[i] = std::thread([this, &results, i]() {
                    FollowedUpload report;
                    results[i] = upload::uploadSurveys(m_local->database(), server(), {"B"}, report);
                });
            for (std::thread& racer : racers)
                racer.join();
        }
        QCOMPARE(results[0].surveys.size(), size_t(1));
        QCOMPARE(results[1].surveys.size(), size_t(1));
        const Kinds both{results[0].surveys[0].kind, results[1].surveys[0].kind};
        QVERIFY2(both.contains(Kind::Sent) && both.contains(Kind::AlreadyThere),
                 qPrintable(results[0].countsText() + " / " + results[1].countsText()));
        const auto onServer = store::openStore(server());
        QCOMPARE(test::vehicleCounts(*onServer), (std::map<QString, qint64>{{"B", 9000}}));
    }

private:
    db::Database server() const
    {
        db::Database database;
        database.server = test::testServer().connectionString(m_database, QStringLiteral("officer1"));
        return database;
    }

    QString m_database;
    std::unique_ptr<test::TempProgramFolder> m_local;
};

QTEST_GUILESS_MAIN(TstSurveyUpload)
#include "tst_surveyupload.moc"
