// Each data-quality warning of the speed study raised by a survey crafted
// to deserve it, and absent from a clean week and from its near misses.
#include "StudyFixture.h"
#include "study/StudyTables.h"

#include <QTest>

#include <functional>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

struct Vehicle {
    qint64 minute; // from Monday 03/02/26 00:00
    int speed;
    char direction;
};

// A clean week from Monday 00:00 to Sunday 23:59 at a limit of 35 mph: a
// vehicle every six minutes and one at 23:59 on Sunday, at 25 to 45 mph,
// both ways in turn. The nights are quiet for hours (no vehicle from 00:00
// to 05:00 on Tuesday, from 18:00 Thursday to 08:00 Friday), which is no
// warning: the daytime is 07:00 to 19:00.
std::vector<Vehicle> cleanWeek()
{
    std::vector<Vehicle> week;
    const auto quiet = [](qint64 minute) {
        return (minute > 1440 && minute < 1440 + 300) ||
               (minute > 3 * 1440 + 1080 && minute < 4 * 1440 + 480);
    };
    for (qint64 minute = 0; minute < 7 * 1440; minute += 6) {
        if (!quiet(minute))
            week.push_back({minute, int(25 + week.size() % 21), week.size() % 2 ? '-' : '+'});
    }
    week.push_back({7 * 1440 - 1, 33, '-'});
    return week;
}

// Leaves out the vehicles strictly between two minutes.
void dropBetween(std::vector<Vehicle>& vehicles, qint64 from, qint64 to)
{
    vehicles.erase(std::remove_if(vehicles.begin(), vehicles.end(),
                                  [&](const Vehicle& v) { return v.minute > from && v.minute < to; }),
                   vehicles.end());
}

qint64 at(int day, int hour, int minute)
{
    return day * 1440 + hour * 60 + minute;
}

// What a test does to the clean week: its vehicles, and the minute it starts at.
using Change = std::function<void(std::vector<Vehicle>&, qint64&)>;

} // namespace

Q_DECLARE_METATYPE(Change)

std::optional<study::SpeedStudy> studyOf(test::TempProgramFolder& folder,
                                         const std::vector<Vehicle>& vehicles, qint64 start)
{
    test::Survey survey;
    survey.batchNumber = kBatch;
    survey.postedSpeed = QStringLiteral("035");
    survey.start = test::at(QStringLiteral("03/02/26 00:00")).addSecs(start * 60);
    for (const Vehicle& v : vehicles) {
        survey.offsets.push_back((v.minute - start) * 60);
        survey.speeds.push_back(v.speed);
        survey.directions.append(v.direction);
    }
    survey.durationSeconds = survey.offsets.back();
    test::storeSurvey(folder.databasePath(), survey);
    return test::studyOf(folder, kBatch);
}

class TstStudyWarnings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void warnings_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("figure"); // a text the warnings must hold
        const auto gap = [](qint64 from, qint64 to) {
            return Change([=](std::vector<Vehicle>& vehicles, qint64&) { dropBetween(vehicles, from, to); });
        };
        const auto speed = [](int value) {
            return Change([=](std::vector<Vehicle>& vehicles, qint64&) { vehicles[500].speed = value; });
        };
        // A tenth of the vehicles (rounded down) of unknown direction, or one more.
        const auto unknown = [](size_t more) {
            return Change([=](std::vector<Vehicle>& vehicles, qint64&) {
                for (size_t i = 0; i < vehicles.size() / 10 + more; ++i)
                    vehicles[i * 9].direction = '?';
            });
        };
        const auto receding = [](size_t count) {
            return Change([=](std::vector<Vehicle>& vehicles, qint64&) {
                for (size_t i = 0; i < vehicles.size(); ++i)
                    vehicles[i].direction = i < count ? '-' : '+';
            });
        };
        // Vehicles at the second and speed of the 500th (and the 900th),
        // each going the same way as it or the other way, one speed faster.
        const auto twins = [](std::vector<std::pair<bool, int>> added) {
            return Change([=](std::vector<Vehicle>& vehicles, qint64&) {
                for (const size_t of : {size_t(900), size_t(500)}) {
                    const Vehicle seen = vehicles[of];
                    for (const auto& [opposite, faster] : added)
                        vehicles.insert(vehicles.begin() + qsizetype(of) + 1,
                                        {seen.minute, seen.speed + faster,
                                         opposite ? (seen.direction == '+' ? '-' : '+') : seen.direction});
                }
            });
        };
        using test::row;
        row("clean week", gap(0, 0), QStringList{}, QString());
        row("seen both ways", twins({{true, 0}}), QStringList{"double_detections"},
            "Possible double detections: 2 pairs of vehicles at the same second and speed");
        row("seen three times", twins({{true, 0}, {true, 0}, {false, 0}}), QStringList{"double_detections"},
            "4 pairs of");
        row("same second, other speed", twins({{true, 1}}), QStringList{}, QString());
        row("same second and speed, same way", twins({{false, 0}}), QStringList{}, QString());
        row("start at 00:20", Change([](std::vector<Vehicle>& vehicles, qint64& start) {
                start = 20;
                dropBetween(vehicles, -1, 20);
            }),
            QStringList{"partial_first_hour"}, "the survey starts at 00:20 on Mon 03/02/26");
        row("last vehicle at 23:36", gap(at(6, 23, 36), at(7, 0, 0)), QStringList{"partial_last_hour"},
            "the last vehicle passed at 23:36 on Sun 03/08/26");
        row("daytime gap", gap(at(2, 8, 54), at(2, 11, 30)), QStringList{"daytime_gap"},
            "No vehicle for 2 h 36 min on Wed 03/04/26, from 08:54 to 11:30");
        row("gap of exactly two hours", gap(at(2, 10, 0), at(2, 12, 0)), QStringList{}, QString());
        // Quiet since Thursday 18:00.
        row("night gap into the morning", gap(at(4, 7, 0), at(4, 9, 6)), QStringList{"daytime_gap"},
            "No vehicle for 2 h 06 min on Fri 03/06/26, from 07:00 to 09:06");
        row("evening gap into the night", gap(at(5, 17, 30), at(5, 22, 0)), QStringList{}, QString());
        // 1,493 vehicles.
        row("unknown direction over 10 %", unknown(1), QStringList{"unknown_direction"},
            "Unknown direction: 150 vehicles (10.0 %)");
        row("unknown direction at 10 %", unknown(0), QStringList{}, QString());
        row("a speed of 4", speed(4), QStringList{"speeds_below_5"},
            "Speeds below 5 mph: 1 vehicle (0.1 %) at 4 mph:");
        row("a speed of 5", speed(5), QStringList{}, QString());
        row("a speed of 71", speed(71), QStringList{"speeds_above_twice_limit"},
            "Speeds above 70 mph, twice the limit: 1 vehicle (0.1 %) at 71 mph:");
        row("a speed of 70", speed(70), QStringList{}, QString());
        row("five speeds over 70", Change([](std::vector<Vehicle>& vehicles, qint64&) {
                for (int i = 0; i < 5; ++i)
                    vehicles[size_t(100 + i)].speed = 71 + i;
            }),
            QStringList{"speeds_above_twice_limit"},
            "Speeds above 70 mph, twice the limit: 5 vehicles (0.3 %), the fastest at 75, 74 and 73 mph:");
        row("23 hours", Change([](std::vector<Vehicle>& vehicles, qint64&) {
                dropBetween(vehicles, at(0, 22, 54), at(7, 0, 0));
                vehicles.push_back({at(0, 22, 59), 30, '-'});
            }),
            QStringList{"short_survey"}, "The survey lasted 22 h 59 min");
        row("99 receding", receding(99), QStringList{"small_sample"},
            "Receding: 99 vehicles, fewer than the 100");
        row("100 receding", receding(100), QStringList{}, QString());
        row("none receding", receding(0), QStringList{"small_sample"}, "Receding: no vehicles");
    }
    void warnings()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, codes);
        QFETCH(QString, figure);
        std::vector<Vehicle> vehicles = cleanWeek();
        qint64 start = 0;
        change(vehicles, start);
        test::TempProgramFolder folder;
        const auto study = studyOf(folder, vehicles, start);
        QVERIFY(study);
        QStringList shownCodes, texts;
        for (const study::Warning& warning : study->warnings) {
            shownCodes << warning.code;
            texts << warning.text;
        }
        QCOMPARE(shownCodes, codes);
        QVERIFY2(texts.join(QLatin1Char('\n')).contains(figure), qPrintable(texts.join(QLatin1Char('\n'))));
        // The warnings show as they are while no more than two gaps need telling.
        QCOMPARE(study::warningLines(*study), texts);
    }

    // Three daytime gaps or more read as one line, where the first stood,
    // with their number and the longest; the warnings keep each one.
    void manyGapsReadAsOneLine()
    {
        std::vector<Vehicle> vehicles = cleanWeek();
        dropBetween(vehicles, at(1, 9, 0), at(1, 12, 0));
        dropBetween(vehicles, at(2, 9, 0), at(2, 15, 0));
        dropBetween(vehicles, at(3, 9, 0), at(3, 11, 30));
        vehicles[100].speed = 80;
        test::TempProgramFolder folder;
        const auto study = studyOf(folder, vehicles, 0);
        QVERIFY(study);
        QStringList codes;
        for (const study::Warning& warning : study->warnings)
            codes << warning.code;
        QCOMPARE(codes,
                 (QStringList{"daytime_gap", "daytime_gap", "daytime_gap", "speeds_above_twice_limit"}));
        QCOMPARE(study->daytimeGaps.size(), size_t(3));
        QCOMPARE(study->daytimeGaps[1].minutes(), qint64(6 * 60));
        const QStringList lines = study::warningLines(*study);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0],
                 QStringLiteral("No vehicle for more than 2 hours in the daytime (07:00 to 19:00) 3 times, "
                                "the longest 6 h 00 min on Wed 03/04/26 from 09:00 to 15:00: the sign may "
                                "have been off or blocked. The exports list each one."));
        QCOMPARE(lines[1], study->warnings.back().text);
    }
};

QTEST_GUILESS_MAIN(TstStudyWarnings)
#include "tst_studywarnings.moc"
