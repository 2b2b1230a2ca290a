#include "TestSupport.h"
#include "UploadFixture.h"
#include "upload/SurveyUpload.h"

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

} // namespace

class TstSurveyUpload : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        const QString failed = test::prepareUploadServer();
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
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

    // What each chosen survey comes to, with the server holding some
    // numbers already: the same survey, or another one under that number.
    void outcomes_data()
    {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QStringList>("sameOnServer");
        QTest::addColumn<QStringList>("otherOnServer");
        QTest::addColumn<Kinds>("kinds");
        QTest::addColumn<bool>("directionsOnly"); // the other survey differs only in its directions
        test::row("all to an empty server", QStringList{}, QStringList{}, QStringList{},
                  Kinds{Kind::Sent, Kind::Sent, Kind::Sent}, false);
        test::row("the chosen ones only", QStringList{"C", "A"}, QStringList{}, QStringList{},
                  Kinds{Kind::Sent, Kind::Sent}, false);
        test::row("one there already", QStringList{}, QStringList{"B"}, QStringList{},
                  Kinds{Kind::Sent, Kind::AlreadyThere, Kind::Sent}, false);
        test::row("another survey under a number", QStringList{}, QStringList{}, QStringList{"A"},
                  Kinds{Kind::Refused, Kind::Sent, Kind::Sent}, false);
        test::row("another survey, only the directions differ", QStringList{"A"}, QStringList{},
                  QStringList{"A"}, Kinds{Kind::Refused}, true);
        test::row("a number not on this computer", QStringList{"B", "Z"}, QStringList{}, QStringList{},
                  Kinds{Kind::Sent, Kind::Refused}, false);
    }
    void outcomes()
    {
        QFETCH(QStringList, chosen);
        QFETCH(QStringList, sameOnServer);
        QFETCH(QStringList, otherOnServer);
        QFETCH(Kinds, kinds);
        QFETCH(bool, directionsOnly);
        const auto local = store::openStore(m_local->database());
        // What the server holds first comes from another laptop's file.
        test::TempProgramFolder other;
        for (const QString& batch : sameOnServer)
            test::storeSurvey(other.databasePath(), test::localSurvey(batch, batch == "B" ? 9000 : 5000, 2));
        for (const QString& batch : otherOnServer) {
            test::Survey survey = test::localSurvey(batch, 5000, directionsOnly ? 1 : 7);
            if (directionsOnly)
                survey.directions.replace('?', '+');
            test::storeSurvey(other.databasePath(), survey);
        }
        FollowedUpload first;
        if (!sameOnServer.isEmpty() || !otherOnServer.isEmpty())
            QVERIFY(upload::uploadSurveys(other.database(), server(), {}, first).complete());
        const auto before = test::vehicleCounts(*local);
        const QStringList localA = writtenVehicles(*local, "A");

        FollowedUpload report;
        const upload::UploadResult result =
            upload::uploadSurveys(m_local->database(), server(), chosen, report);
        QCOMPARE(kindsOf(result), kinds);
        QCOMPARE(result.complete(), !kinds.contains(Kind::Refused));
        QCOMPARE(report.told().size(), kinds.size());
        QVERIFY(!report.disorderly);

        const auto onServer = store::openStore(server());
        const auto held = test::vehicleCounts(*onServer);
        for (const upload::SurveyOutcome& outcome : result.surveys) {
            if (outcome.kind == Kind::Sent || outcome.kind == Kind::AlreadyThere) {
                QCOMPARE(writtenVehicles(*onServer, outcome.batchNumber),
                         writtenVehicles(*local, outcome.batchNumber));
            } else if (outcome.batchNumber == "A") {
                QVERIFY(outcome.reason.startsWith(
                    "Survey A is not sent: the agency server holds a different survey under that number."));
                QVERIFY(writtenVehicles(*onServer, "A") != localA);
            } else {
                QVERIFY(!held.count(outcome.batchNumber));
            }
        }
        // Nothing else reached the server, and the file is as it was.
        QStringList expected = otherOnServer;
        for (const upload::SurveyOutcome& outcome : result.surveys)
            if (outcome.kind == Kind::Sent || outcome.kind == Kind::AlreadyThere)
                expected << outcome.batchNumber;
        expected.sort();
        QStringList stored;
        for (const auto& entry : held)
            stored << entry.first;
        QCOMPARE(stored, expected);
        QCOMPARE(test::partialSurvey(*onServer), QString());
        QCOMPARE(test::vehicleCounts(*local), before);
        QCOMPARE(writtenVehicles(*local, "A"), localA);
    }

    // A cancel between surveys: those done stay, the others are not sent.
    void cancelBetweenSurveys()
    {
        FollowedUpload report;
        report.stopAfter = 1;
        const upload::UploadResult result = upload::uploadSurveys(m_local->database(), server(), {}, report);
        QVERIFY(result.cancelled);
        QVERIFY(!result.complete());
        QCOMPARE(kindsOf(result), (Kinds{Kind::Sent, Kind::NotSent, Kind::NotSent}));
        QCOMPARE(result.countsText(),
                 QStringLiteral("1 sent, 0 already there, 0 refused, 0 failed, 2 not sent"));
        const auto onServer = store::openStore(server());
        QCOMPARE(test::vehicleCounts(*onServer), (std::map<QString, qint64>{{"A", 5000}}));
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

    // The server ends the session while the second survey's vehicles go:
    // the first is there whole, the second and third are told as not sent.
    void lostConnection()
    {
        FollowedUpload report;
        bool terminated = false;
        report.onProgress = [&](qint64 done) {
            if (terminated || done <= 5000)
                return;
            terminated = true;
            QCOMPARE(test::testServer().execute(
                         QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                        "WHERE datname = '%1' AND pid <> pg_backend_pid()")
                             .arg(m_database)),
                     QString());
        };
        const upload::UploadResult result = upload::uploadSurveys(m_local->database(), server(), {}, report);
        QVERIFY(terminated);
        QCOMPARE(kindsOf(result), (Kinds{Kind::Sent, Kind::NotSent, Kind::NotSent}));
        QVERIFY2(result.stopped.contains("connection to the survey database"), qPrintable(result.stopped));
        QVERIFY(!result.complete());
        const auto onServer = store::openStore(server());
        QCOMPARE(test::vehicleCounts(*onServer), (std::map<QString, qint64>{{"A", 5000}}));
        QCOMPARE(test::partialSurvey(*onServer), QString());
        // Sent again, the rest goes.
        FollowedUpload again;
        QCOMPARE(kindsOf(upload::uploadSurveys(m_local->database(), server(), {}, again)),
                 (Kinds{Kind::AlreadyThere, Kind::Sent, Kind::Sent}));
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
