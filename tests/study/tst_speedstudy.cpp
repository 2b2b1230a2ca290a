// The measured figures of the speed study against the same figures worked
// out the plain way, on generated surveys and on a real radar log.
#include "RealWorldLog.h"
#include "Reference.h"
#include "StudyFixture.h"
#include "study/Distributions.h"

#include <QDateTime>
#include <QTest>

#include <cmath>
#include <numeric>

using namespace pelmor;
using study::Direction;

namespace {

const QString kBatch = QStringLiteral("030226-A");

// Directions cycling through the given pattern, one per speed.
QByteArray cycle(const QByteArray& pattern, qsizetype count)
{
    QByteArray directions;
    for (qsizetype i = 0; i < count; ++i)
        directions.append(pattern[i % pattern.size()]);
    return directions;
}

QList<int> repeated(const std::vector<std::pair<int, int>>& counts)
{
    QList<int> speeds;
    for (const auto& [speed, count] : counts)
        for (int i = 0; i < count; ++i)
            speeds << speed;
    return speeds;
}

// What differs between the study's figures of a direction and the plain
// computation; empty when nothing does.
QString compare(const study::DirectionFigures& f, const test::Reference& r, const study::SpeedStudy& s)
{
    QStringList wrong;
    const auto check = [&wrong](const char* what, double got, double want, double tolerance = 1e-9) {
        if (!(std::abs(got - want) <= tolerance * std::max(1.0, std::abs(want))))
            wrong << QStringLiteral("%1 %2 (want %3)")
                         .arg(QLatin1String(what))
                         .arg(got, 0, 'g', 12)
                         .arg(want, 0, 'g', 12);
    };
    check("n", double(f.vehicles), double(r.n));
    if (r.n == 0)
        return wrong.join(QStringLiteral(", "));
    check("mean", f.mean, r.mean);
    check("min", f.minimum, r.min);
    check("max", f.maximum, r.max);
    if (r.n > 1) {
        check("sd", f.standardDeviation, r.sd, 1e-9);
        check("se", f.standardError, r.sd / std::sqrt(double(r.n)), 1e-9);
        const double margin = study::studentT95(r.n - 1) * r.sd / std::sqrt(double(r.n));
        check("ci low", f.confidenceLow, r.mean - margin, 1e-9);
        check("ci high", f.confidenceHigh, r.mean + margin, 1e-9);
    }
    for (const study::PercentileFigure& p : f.percentiles) {
        check(qPrintable(QStringLiteral("p%1").arg(p.percent)), p.ranked, r.ranked.at(p.percent));
        check(qPrintable(QStringLiteral("p%1 interpolated").arg(p.percent)), p.interpolated,
              r.interpolated.at(p.percent));
    }
    check("pace low", f.paceLow, r.paceLow);
    check("pace high", f.paceHigh, r.paceLow + s.paceWidth);
    check("pace vehicles", double(f.paceVehicles), double(r.paceCount));
    for (size_t i = 0; i < study::kLimitMargins.size(); ++i)
        check(qPrintable(QStringLiteral("over limit + %1").arg(study::kLimitMargins[i])),
              double(f.overLimit[i]), double(r.over.at(study::kLimitMargins[i])));
    check("over threshold", double(f.overThreshold), double(r.overThreshold));
    qint64 binned = 0;
    for (const study::SpeedBin& bin : f.bins) {
        const auto found = r.bins.find(bin.low);
        const qint64 want = found == r.bins.end() ? 0 : found->second;
        check(qPrintable(QStringLiteral("bin %1").arg(bin.low)), double(bin.vehicles), double(want));
        binned += bin.vehicles;
        check(qPrintable(QStringLiteral("bin %1 cumulative").arg(bin.low)), bin.cumulativePercent,
              100.0 * double(binned) / double(r.n));
    }
    check("vehicles in bins", double(binned), double(r.n));
    if (f.bins.empty() || f.bins.front().low != r.bins.begin()->first ||
        f.bins.back().low != r.bins.rbegin()->first)
        wrong << QStringLiteral("bins do not run from the slowest to the fastest bin");
    return wrong.join(QStringLiteral(", "));
}

} // namespace

class TstSpeedStudy : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_folder = std::make_unique<test::TempProgramFolder>(); }
    void cleanup() { m_folder.reset(); }

    void figuresMatchThePlainComputation_data()
    {
        QTest::addColumn<QList<int>>("speeds");
        QTest::addColumn<QByteArray>("directions");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<int>("threshold");    // 0: the default, the limit + 10
        QTest::addColumn<double>("knownMean"); // the mean the speeds were drawn around; 0: none
        const QList<int> normal = test::normalSpeeds(4000, 40.0, 5.0, 2026);
        test::row("normal around 40 mph", normal, cycle("+-+-?", normal.size()), QStringLiteral("MPH"),
                  QStringLiteral("035"), 0, 40.0);
        const QList<int> metric = test::normalSpeeds(3000, 55.0, 9.0, 7);
        test::row("normal around 55 km/h", metric, cycle("+--", metric.size()), QStringLiteral("KPH"),
                  QStringLiteral("050"), 65, 55.0);
        // Twenty speeds: the 85th percentile lies between the 17th and the 18th.
        QList<int> twenty;
        for (int speed = 21; speed <= 40; ++speed)
            twenty << speed;
        test::row("85th percentile between two speeds", twenty, cycle("+-", 20), QStringLiteral("MPH"),
                  QStringLiteral("30"), 33, 0.0);
        test::row("ties at the pace's edge", repeated({{20, 4}, {25, 2}, {30, 4}, {40, 4}}), QByteArray("+"),
                  QStringLiteral("MPH"), QStringLiteral("25"), 0, 0.0);
        test::row("one direction empty", repeated({{31, 40}, {33, 70}, {38, 50}, {47, 9}}),
                  QByteArray(169, '+'), QStringLiteral("MPH"), QStringLiteral("35"), 0, 0.0);
        test::row("one vehicle", QList<int>{42}, QByteArray("-"), QStringLiteral("KPH"), QStringLiteral("30"),
                  0, 0.0);
    }
    void figuresMatchThePlainComputation()
    {
        QFETCH(QList<int>, speeds);
        QFETCH(QByteArray, directions);
        QFETCH(QString, unit);
        QFETCH(QString, limit);
        QFETCH(int, threshold);
        QFETCH(double, knownMean);
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.unit = unit;
        survey.postedSpeed = limit;
        survey.speeds = std::vector<int>(speeds.begin(), speeds.end());
        survey.directions = directions;
        test::storeSurvey(m_folder->databasePath(), survey);

        const auto found =
            test::studyOf(*m_folder, kBatch, threshold > 0 ? std::optional<int>(threshold) : std::nullopt);
        QVERIFY(found);
        const study::SpeedStudy& s = *found;
        const int posted = limit.toInt();
        const int expectedThreshold = threshold > 0 ? threshold : posted + 10;
        QCOMPARE(s.limit, posted);
        QCOMPARE(s.threshold, expectedThreshold);
        QCOMPARE(s.paceWidth, unit == QLatin1String("KPH") ? 16 : 10);
        const std::pair<Direction, char> ways[] = {
            {Direction::Both, 0}, {Direction::Approaching, '+'}, {Direction::Receding, '-'}};
        for (const auto& [direction, way] : ways) {
            const test::Reference reference = test::referenceOf(test::speedsOf(speeds, directions, way),
                                                                posted, expectedThreshold, s.paceWidth);
            const QString wrong = compare(s.figures(direction), reference, s);
            QVERIFY2(wrong.isEmpty(),
                     qPrintable(study::directionName(direction) + QStringLiteral(": ") + wrong));
        }
        if (knownMean > 0) {
            // The sample mean lies within four standard errors of the mean drawn around.
            const study::DirectionFigures& all = s.figures(Direction::Both);
            QVERIFY2(std::abs(all.mean - knownMean) < 4 * all.standardError,
                     qPrintable(QStringLiteral("mean %1").arg(all.mean)));
            QVERIFY(all.confidenceLow < knownMean + 4 * all.standardError);
        }
        // Another threshold counts again in every direction.
        study::SpeedStudy changed = s;
        study::setThreshold(changed, posted + 3);
        for (const auto& [direction, way] : ways) {
            const std::vector<int> chosen = test::speedsOf(speeds, directions, way);
            QCOMPARE(
                changed.figures(direction).overThreshold,
                qint64(std::count_if(chosen.begin(), chosen.end(), [&](int v) { return v > posted + 3; })));
        }
    }

    // The definitions on cases small enough to work by hand.
    void handWorkedFigures_data()
    {
        QTest::addColumn<QList<int>>("speeds");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<double>("p85");
        QTest::addColumn<double>("p85Interpolated");
        QTest::addColumn<int>("paceLow");
        QTest::addColumn<qint64>("paceVehicles");
        QList<int> twenty;
        for (int speed = 21; speed <= 40; ++speed)
            twenty << speed;
        // Rank ceil(0.85 * 20) = 17; position 0.85 * 19 = 16.15, between 37 and 38.
        test::row("twenty speeds", twenty, QStringLiteral("MPH"), 37.0, 37.15, 21, qint64(10));
        // 100 vehicles: rank 85 exactly, though 0.85 * 100 is not exact in binary.
        QList<int> hundred;
        for (int i = 1; i <= 100; ++i)
            hundred << (i <= 85 ? 30 : 31);
        test::row("rank 85 of 100", hundred, QStringLiteral("MPH"), 30.0, 30.15, 22, qint64(100));
        // Windows 16-25 and 21-30 both hold six; the lower one is the pace.
        test::row("tie", repeated({{20, 4}, {25, 2}, {30, 4}}), QStringLiteral("MPH"), 30.0, 30.0, 16,
                  qint64(6));
        // A speed at low + 16 is outside a km/h pace window.
        test::row("edge excluded", repeated({{50, 3}, {66, 2}}), QStringLiteral("KPH"), 66.0, 66.0, 35,
                  qint64(3));
    }
    void handWorkedFigures()
    {
        QFETCH(QList<int>, speeds);
        QFETCH(QString, unit);
        QFETCH(double, p85);
        QFETCH(double, p85Interpolated);
        QFETCH(int, paceLow);
        QFETCH(qint64, paceVehicles);
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.unit = unit;
        survey.speeds = std::vector<int>(speeds.begin(), speeds.end());
        test::storeSurvey(m_folder->databasePath(), survey);
        const auto s = test::studyOf(*m_folder, kBatch);
        QVERIFY(s);
        const study::DirectionFigures& all = s->figures(Direction::Both);
        QCOMPARE(all.percentile(85).ranked, p85);
        QVERIFY(std::abs(all.percentile(85).interpolated - p85Interpolated) < 1e-9);
        QCOMPARE(all.paceLow, paceLow);
        QCOMPARE(all.paceVehicles, paceVehicles);
    }

    void studentCriticalValues_data()
    {
        QTest::addColumn<qint64>("degrees");
        QTest::addColumn<double>("published"); // two-sided 95 %, from the usual tables
        test::row("1", qint64(1), 12.7062);
        test::row("2", qint64(2), 4.3027);
        test::row("3", qint64(3), 3.1824);
        test::row("5", qint64(5), 2.5706);
        test::row("10", qint64(10), 2.2281);
        test::row("29", qint64(29), 2.0452);
        test::row("99", qint64(99), 1.9842);
        test::row("1000", qint64(1000), 1.9623);
        test::row("1001", qint64(1001), 1.9623);
        test::row("a million", qint64(1000000), 1.9600);
    }
    void studentCriticalValues()
    {
        QFETCH(qint64, degrees);
        QFETCH(double, published);
        QVERIFY2(std::abs(study::studentT95(degrees) - published) < 6e-5,
                 qPrintable(QString::number(study::studentT95(degrees), 'f', 6)));
    }

    // Three days from Wednesday 08:30 to Friday 10:20, a vehicle every ten
    // minutes at a speed that follows the clock.
    void hourlyAndWeeklyProfiles()
    {
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.postedSpeed = QStringLiteral("35");
        survey.start = test::at(QStringLiteral("03/04/26 08:30"));
        QList<QDateTime> times;
        for (QDateTime when = survey.start; when <= test::at(QStringLiteral("03/06/26 10:20"));
             when = when.addSecs(600))
            times << when;
        for (const QDateTime& when : times) {
            survey.offsets.push_back(survey.start.secsTo(when));
            survey.speeds.push_back(25 + when.time().hour() % 7 + when.time().minute() / 10 * 2);
        }
        survey.durationSeconds = survey.offsets.back();
        test::storeSurvey(m_folder->databasePath(), survey);
        const auto s = test::studyOf(*m_folder, kBatch);
        QVERIFY(s);

        // The vehicles of each hour of the day, and of each hour of the week.
        std::map<int, std::vector<int>> byHour;
        std::map<std::pair<int, int>, std::vector<int>> byWeekHour;
        for (size_t i = 0; i < survey.offsets.size(); ++i) {
            const QDateTime when = survey.start.addSecs(survey.offsets[i]);
            byHour[when.time().hour()].push_back(survey.speeds[i]);
            byWeekHour[{when.date().dayOfWeek() - 1, when.time().hour()}].push_back(survey.speeds[i]);
        }
        // Whole hours: Wednesday 09:00 to Friday 09:59, so 08:00 counts on
        // Thursday and Friday, 10:00 on Wednesday and Thursday, 09:00 on all three.
        const std::map<int, int> fullDays = {{8, 2}, {9, 3}, {10, 2}};
        for (const study::HourFigures& hour : s->hourly) {
            const std::vector<int>& speeds = byHour[hour.hour];
            const test::Reference r = test::referenceOf(speeds, 35, 45, 10);
            const int days = fullDays.count(hour.hour) ? fullDays.at(hour.hour) : 2;
            QCOMPARE(hour.vehicles, r.n);
            QCOMPARE(hour.fullDays, days);
            // Every whole hour holds six vehicles.
            QCOMPARE(hour.vehiclesPerDay, 6.0);
            QCOMPARE(hour.mean, r.mean);
            QCOMPARE(hour.median, r.ranked.at(50));
            QCOMPARE(hour.percentile85, r.ranked.at(85));
            QCOMPARE(hour.overLimit, r.over.at(0));
        }
        for (int day = 0; day < 7; ++day) {
            for (int hour = 0; hour < 24; ++hour) {
                const study::WeekCell& cell = s->weekly[size_t(day)][size_t(hour)];
                const std::vector<int>& speeds = byWeekHour[{day, hour}];
                QCOMPARE(cell.vehicles, qint64(speeds.size()));
                QCOMPARE(cell.overLimit,
                         qint64(std::count_if(speeds.begin(), speeds.end(), [](int v) { return v > 35; })));
                // Wednesday from 08:00, Thursday, Friday to 10:00 (Monday is 0).
                const bool observed = (day == 2 && hour >= 8) || day == 3 || (day == 4 && hour <= 10);
                QCOMPARE(cell.hoursObserved, observed ? 1 : 0);
            }
        }
        QCOMPARE(s->start, test::at(QStringLiteral("03/04/26 08:30")));
        QCOMPARE(s->lastVehicle, test::at(QStringLiteral("03/06/26 10:20")));
    }

    // The real log of a street in Moers (km/h, limit 30): the mean and the
    // 85th percentile straight from the file.
    void realWorldLog()
    {
        QList<QDateTime> times;
        QList<int> speeds;
        QByteArray lanes;
        for (const test::RealWorldRecord& record : test::readRealWorldLog()) {
            times << record.when;
            speeds << record.speed;
            lanes.append(record.lane == 0 ? '+' : '-');
        }
        QCOMPARE(speeds.size(), 14152);
        test::Survey survey;
        survey.batchNumber = QStringLiteral("102416-A");
        survey.unit = QStringLiteral("KPH");
        survey.postedSpeed = QStringLiteral("030");
        survey.start = times.first();
        for (const QDateTime& when : times)
            survey.offsets.push_back(times.first().secsTo(when));
        survey.speeds = std::vector<int>(speeds.begin(), speeds.end());
        survey.directions = lanes;
        test::storeSurvey(m_folder->databasePath(), survey);
        const auto s = test::studyOf(*m_folder, survey.batchNumber);
        QVERIFY(s);

        std::vector<int> sorted(speeds.begin(), speeds.end());
        std::sort(sorted.begin(), sorted.end());
        const double mean = std::accumulate(sorted.begin(), sorted.end(), 0.0) / double(sorted.size());
        const int p85 = sorted[size_t(std::ceil(0.85 * 14152) - 1)]; // rank 12,030
        const study::DirectionFigures& all = s->figures(Direction::Both);
        QCOMPARE(all.vehicles, qint64(14152));
        QVERIFY(std::abs(all.mean - mean) < 1e-9);
        QCOMPARE(all.percentile(85).ranked, double(p85));
        // The provenance's own figures: mean 28.0, median 28, 85th percentile 33.
        QCOMPARE(QString::number(all.mean, 'f', 1), QStringLiteral("28.0"));
        QCOMPARE(all.percentile(50).ranked, 28.0);
        QCOMPARE(p85, 33);
        QCOMPARE(s->figures(Direction::Approaching).vehicles, qint64(5803));
        QCOMPARE(s->figures(Direction::Receding).vehicles, qint64(8349));
        // It starts at 08:37 and ends at 07:31; a few readings lie above 60 km/h.
        QStringList codes;
        for (const study::Warning& warning : s->warnings)
            codes << warning.code;
        QStringList expected;
        if (sorted.back() > 60)
            expected << QStringLiteral("speeds_above_twice_limit");
        expected << QStringLiteral("partial_first_hour") << QStringLiteral("partial_last_hour");
        QCOMPARE(codes, expected);
        // Every clock hour from 24 Oct 09:00 to 26 Oct 06:00 is whole: 46 hours.
        int wholeHours = 0;
        for (const study::HourFigures& hour : s->hourly)
            wholeHours += hour.fullDays;
        QCOMPARE(wholeHours, 46);
    }

    void noStudy_data()
    {
        QTest::addColumn<QString>("batch"); // the survey asked for
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("message");
        const QString noSurvey = survey::noSurveyMessage();
        test::row("nothing chosen", QString(), QStringLiteral("035"), noSurvey);
        test::row("no vehicles", QStringLiteral("030226-B"), QStringLiteral("035"), noSurvey);
        test::row(
            "limit not a number", kBatch, QStringLiteral("abc"),
            QStringLiteral("The posted limit of survey 030226-A (\"abc\") is not a speed, so its vehicles "
                           "cannot be measured against it."));
    }
    void noStudy()
    {
        QFETCH(QString, batch);
        QFETCH(QString, limit);
        QFETCH(QString, message);
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.speeds = {30, 31};
        test::storeSurvey(m_folder->databasePath(), survey);
        study::StudyInputs inputs = study::StudyInputs::of(survey::loadSurvey(m_folder->database(), kBatch));
        inputs.batchNumber = batch;
        inputs.postedLimit = limit;
        const study::StudyResult result = study::runStudy(m_folder->database(), inputs);
        QVERIFY(!result.ok());
        QCOMPARE(result.message, message);
    }

    // The study reads the vehicles itself; none of its reading is among the
    // statements the program's procedures issue.
    void readsWithoutLoggedStatements()
    {
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.speeds = {30, 31, 45};
        test::storeSurvey(m_folder->databasePath(), survey);
        const survey::SurveyRecord record = survey::loadSurvey(m_folder->database(), kBatch);
        m_folder->statements().clear();
        QVERIFY(study::runStudy(m_folder->database(), study::StudyInputs::of(record)).ok());
        QCOMPARE(m_folder->statements().entries(), QStringList());
    }

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstSpeedStudy)
#include "tst_speedstudy.moc"
