#include "SurveyFixture.h"
#include "TestSupport.h"
#include "db/Connection.h"
#include "db/DbError.h"
#include "db/Files.h"
#include "store/SurveyStore.h"

#include <QRandomGenerator>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

Q_DECLARE_METATYPE(pelmor::store::NameList)

using namespace pelmor;
using store::NameList;
using store::VehicleOrder;

namespace {

// One kind of store the reads must behave alike on: how to open one on a
// test's folder, and how to put surveys into it.
struct Backend {
    const char* name;
    std::function<std::unique_ptr<store::SurveyStore>(test::TempProgramFolder&)> open;
    std::function<void(test::TempProgramFolder&, const std::vector<test::Survey>&)> seed;
};

const std::vector<Backend>& backends()
{
    static const std::vector<Backend> all{
        {"sqlite file", [](test::TempProgramFolder& folder) { return store::openStore(folder.database()); },
         [](test::TempProgramFolder& folder, const std::vector<test::Survey>& surveys) {
             test::storeSurveys(folder.databasePath(), surveys);
         }},
    };
    return all;
}

const Backend& backendNamed(const QString& name)
{
    for (const Backend& backend : backends()) {
        if (name == QLatin1String(backend.name))
            return backend;
    }
    throw std::runtime_error("no such backend");
}

// A vehicle as the test expects to read it back.
struct Expected {
    QDate date;
    int secondOfDay;
    QChar direction;
    qint64 speed;
    qint64 offset;
};

// A survey of a few days with vehicles stored out of clock order, of random
// speeds and directions, and what each vehicle reads back as (the stored
// clock keeps whole minutes).
test::Survey randomSurvey(QRandomGenerator& random, const QString& batch, std::vector<Expected>& expected)
{
    test::Survey survey;
    survey.batchNumber = batch;
    survey.start = QDateTime(QDate(2026, 3, 1).addDays(random.bounded(300)),
                             QTime(0, 0).addSecs(60 * random.bounded(24 * 60)), Qt::UTC);
    survey.durationSeconds = 3 * 86400;
    const char directions[] = {'+', '-', '?'};
    for (int v = 0; v < 2000; ++v) {
        const qint64 offset = random.bounded(int(survey.durationSeconds));
        const int speed = 5 + random.bounded(80);
        const char direction = directions[random.bounded(3)];
        survey.offsets.push_back(offset);
        survey.speeds.push_back(speed);
        survey.directions.append(direction);
        const QDateTime when = survey.start.addSecs(offset);
        expected.push_back({when.date(), when.time().hour() * 3600 + when.time().minute() * 60,
                            QLatin1Char(direction), speed, offset});
    }
    return survey;
}

QString describe(const store::VehicleRow& row)
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(row.date.toString(Qt::ISODate))
        .arg(row.secondOfDay)
        .arg(row.direction)
        .arg(row.speed)
        .arg(row.offset);
}

QString describe(const Expected& row)
{
    return describe(store::VehicleRow{row.offset, row.direction, row.speed, row.secondOfDay, row.date});
}

QStringList namesOf(const std::vector<store::NamedEntry>& entries)
{
    QStringList names;
    for (const store::NamedEntry& entry : entries)
        names << entry.name;
    return names;
}

} // namespace

// The vehicle reads and the name lists of every store, each case run on
// each backend.
class TstVehicleReads : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_folder = std::make_unique<test::TempProgramFolder>(); }

    void scanVehicles_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("clockOrder");
        QTest::addColumn<int>("stopAfter"); // 0: the whole survey
        for (const Backend& backend : backends()) {
            for (const bool clock : {false, true}) {
                for (const int stop : {0, 1, 750}) {
                    QTest::addRow("%s, %s order, %s", backend.name, clock ? "clock" : "stored",
                                  stop ? qPrintable(QStringLiteral("stop after %1").arg(stop)) : "whole")
                        << QString::fromLatin1(backend.name) << clock << stop;
                }
            }
        }
    }
    void scanVehicles()
    {
        QFETCH(QString, backend);
        QFETCH(bool, clockOrder);
        QFETCH(int, stopAfter);
        QRandomGenerator random(20260301);
        std::vector<Expected> expected, other;
        const test::Survey survey = randomSurvey(random, QStringLiteral("O'NEIL-A"), expected);
        // Another survey of the same days, and one whose number differs by case only.
        const test::Survey neighbour = randomSurvey(random, QStringLiteral("O'NEIL-B"), other);
        test::Survey byCase = neighbour;
        byCase.batchNumber = QStringLiteral("o'neil-a");
        backendNamed(backend).seed(*m_folder, {survey, neighbour, byCase});

        QStringList read;
        std::vector<store::VehicleRow> rows;
        backendNamed(backend).open(*m_folder)->scanVehicles(
            survey.batchNumber, clockOrder ? VehicleOrder::Clock : VehicleOrder::Stored,
            [&](const store::VehicleRow& row) {
                rows.push_back(row);
                read << describe(row);
                return stopAfter == 0 || int(rows.size()) < stopAfter;
            });
        QCOMPARE(read.size(), stopAfter ? stopAfter : int(expected.size()));

        QStringList stored;
        for (const Expected& row : expected)
            stored << describe(row);
        if (!clockOrder) {
            QCOMPARE(read, stored.mid(0, read.size()));
            return;
        }
        // By date and clock; vehicles of one minute in any order among themselves.
        for (size_t i = 1; i < rows.size(); ++i)
            QVERIFY2(std::make_pair(rows[i - 1].date, rows[i - 1].secondOfDay) <=
                         std::make_pair(rows[i].date, rows[i].secondOfDay),
                     qPrintable(read[int(i)]));
        if (stopAfter == 0) {
            stored.sort();
            read.sort();
            QCOMPARE(read, stored);
        }
    }

    void counts_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<QString>("batch");
        for (const Backend& backend : backends()) {
            QTest::addRow("%s, stored survey", backend.name)
                << QString::fromLatin1(backend.name) << "O'NEIL-A";
            QTest::addRow("%s, no such survey", backend.name)
                << QString::fromLatin1(backend.name) << "O'NEIL-C";
        }
    }
    // The speed and time counts are the vehicles of the survey counted
    // here, from what was stored.
    void counts()
    {
        QFETCH(QString, backend);
        QFETCH(QString, batch);
        QRandomGenerator random(20261231);
        std::vector<Expected> expected, other;
        const test::Survey survey = randomSurvey(random, QStringLiteral("O'NEIL-A"), expected);
        backendNamed(backend).seed(*m_folder,
                                   {survey, randomSurvey(random, QStringLiteral("O'NEIL-B"), other)});
        if (batch != survey.batchNumber)
            expected.clear();

        std::map<qint64, qint64> bySpeed;
        std::map<std::pair<QDate, int>, qint64> byTime;
        for (const Expected& row : expected) {
            ++bySpeed[row.speed];
            ++byTime[{row.date, row.secondOfDay}];
        }
        const std::unique_ptr<store::SurveyStore> store = backendNamed(backend).open(*m_folder);
        QStringList speeds, wantedSpeeds, times, wantedTimes;
        for (const store::SpeedCount& count : store->speedCounts(batch))
            speeds << QStringLiteral("%1=%2").arg(count.speed).arg(count.count);
        for (const auto& [speed, count] : bySpeed)
            wantedSpeeds << QStringLiteral("%1=%2").arg(speed).arg(count);
        for (const store::TimeCount& count : store->timeCounts(batch))
            times << QStringLiteral("%1 %2=%3")
                         .arg(count.date.toString(Qt::ISODate))
                         .arg(count.secondOfDay)
                         .arg(count.count);
        for (const auto& [when, count] : byTime)
            wantedTimes << QStringLiteral("%1 %2=%3")
                               .arg(when.first.toString(Qt::ISODate))
                               .arg(when.second)
                               .arg(count);
        QCOMPARE(speeds, wantedSpeeds);
        QCOMPARE(times, wantedTimes);
    }

    // A vehicle whose stored clock time or date was damaged ends a read with
    // a message that names the database and quotes the text; the counts by
    // speed do not read the clock.
    void damagedClockIsTold_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("text");
        test::row("time", "Time", "25:00:00");
        test::row("time without minutes", "Time", "noon");
        test::row("date", "Date", "2026-02-30");
    }
    void damagedClockIsTold()
    {
        QFETCH(QString, field);
        QFETCH(QString, text);
        test::Survey survey;
        survey.addSpeeds({{30, 3}});
        test::storeSurvey(m_folder->databasePath(), survey);
        db::Connection(m_folder->database())
            .executeUnlogged(QStringLiteral("UPDATE Veh_Data SET \"%1\" = '%2' WHERE rowid = "
                                            "(SELECT max(rowid) FROM Veh_Data)")
                                 .arg(field, text));
        const std::unique_ptr<store::SurveyStore> store = store::openStore(m_folder->database());
        const std::function<void()> reads[] = {
            [&] {
                store->scanVehicles(survey.batchNumber, VehicleOrder::Stored,
                                    [](const auto&) { return true; });
            },
            [&] {
                store->scanVehicles(survey.batchNumber, VehicleOrder::Clock,
                                    [](const auto&) { return true; });
            },
            [&] { store->timeCounts(survey.batchNumber); },
        };
        for (const auto& read : reads) {
            try {
                read();
                QFAIL("the damaged row was read");
            } catch (const db::DbError& error) {
                QVERIFY2(error.message().contains(db::displayPath(m_folder->databasePath())) &&
                             error.message().contains(QLatin1Char('"') + text + QLatin1Char('"')),
                         qPrintable(error.message()));
            }
        }
        QCOMPARE(store->speedCounts(survey.batchNumber).front().count, 3);
    }

    void nameLists_data()
    {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<NameList>("list");
        for (const Backend& backend : backends()) {
            QTest::addRow("%s, agencies", backend.name)
                << QString::fromLatin1(backend.name) << NameList::Agencies;
            QTest::addRow("%s, officers", backend.name)
                << QString::fromLatin1(backend.name) << NameList::Officers;
        }
    }
    // Entries keep the ids the database gave them through renames and the
    // deletion of others; a second store on the same database sees every
    // committed change at once; the other list is left alone.
    void nameLists()
    {
        QFETCH(QString, backend);
        QFETCH(NameList, list);
        const NameList otherList = list == NameList::Agencies ? NameList::Officers : NameList::Agencies;
        const std::unique_ptr<store::SurveyStore> one = backendNamed(backend).open(*m_folder);
        const std::unique_ptr<store::SurveyStore> two = backendNamed(backend).open(*m_folder);
        QCOMPARE(one->names(list).size(), size_t(0));

        const store::NamedEntry county = one->addName(list, QStringLiteral("O'Brien's County"));
        const store::NamedEntry town = two->addName(list, QStringLiteral("Town Police"));
        const store::NamedEntry third = one->addName(list, QStringLiteral("Königsbrück"));
        QVERIFY(county.id != town.id && town.id != third.id && county.id != third.id);
        QCOMPARE(namesOf(two->names(list)),
                 (QStringList{"O'Brien's County", "Town Police", QStringLiteral("Königsbrück")}));

        QVERIFY(two->renameName(list, county.id, QStringLiteral("County Sheriff")));
        QVERIFY(one->deleteName(list, town.id));
        const std::vector<store::NamedEntry> left = two->names(list);
        QCOMPARE(namesOf(left), (QStringList{"County Sheriff", QStringLiteral("Königsbrück")}));
        QCOMPARE(left[0].id, county.id);
        QCOMPARE(left[1].id, third.id);
        // What is gone cannot be renamed or deleted again.
        QVERIFY(!two->renameName(list, town.id, QStringLiteral("Ghost")));
        QVERIFY(!two->deleteName(list, town.id));
        QCOMPARE(namesOf(one->names(list)), namesOf(left));
        QCOMPARE(one->names(otherList).size(), size_t(0));
    }

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstVehicleReads)
#include "tst_vehiclereads.moc"
