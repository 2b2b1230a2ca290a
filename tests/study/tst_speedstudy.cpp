// The measured figures of the speed study against the same figures worked
// out the plain way, on generated surveys and on a real radar log.
#include "RealWorldLog.h"
#include "Reference.h"
#include "StudyFixture.h"
#include "db/Connection.h"
#include "store/SurveyStore.h"
#include "study/Distributions.h"
#include "study/StudyExport.h"
#include "study/StudyGraphs.h"
#include "study/StudyText.h"

#include <QDateTime>
#include <QJsonObject>
#include <QTest>

#include <cmath>
#include <limits>
#include <numeric>

using namespace pelmor;
using study::Direction;

namespace {

const QString kBatch = QStringLiteral("030226-A");

// Speeds each as often as it is paired with, as the survey fixture adds them.
QList<int> repeated(const std::vector<std::pair<int, int>>& counts)
{
    test::Survey survey;
    survey.addSpeeds(counts);
    return QList<int>(survey.speeds.begin(), survey.speeds.end());
}

// What differs between the study's figures of a direction and the plain
// computation; empty when nothing does.
QString compare(const study::DirectionFigures& f, const test::Reference& r, int paceWidth)
{
    QStringList wrong;
    const auto check = [&wrong](const QString& what, double got, double want) {
        if (!(std::abs(got - want) <= 1e-9 * std::max(1.0, std::abs(want))))
            wrong << QStringLiteral("%1 %2 (want %3)").arg(what).arg(got, 0, 'g', 12).arg(want, 0, 'g', 12);
    };
    std::map<QString, double> expected = test::namedFigures(r, paceWidth, study::studentT95(r.n - 1));
    for (const auto& [name, value] : study::directionValues(f)) {
        const auto want = expected.find(name);
        if (value.has_value() != (want != expected.end()))
            wrong << name + (value ? QStringLiteral(" shown") : QStringLiteral(" missing"));
        else if (value)
            check(name, *value, want->second);
        if (want != expected.end())
            expected.erase(want);
    }
    for (const auto& [name, value] : expected)
        wrong << name + QStringLiteral(" not among the figures");
    // Every percentile has its keys, also where there is nothing to rank.
    QStringList keys;
    for (const auto& [name, value] : study::directionValues(f))
        keys << name;
    for (const int p : {15, 50, 85, 95, 98}) {
        if (!keys.contains(QStringLiteral("p%1").arg(p)) ||
            !keys.contains(QStringLiteral("p%1_interpolated").arg(p)))
            wrong << QStringLiteral("no key for the %1th percentile").arg(p);
    }
    if (keys.contains(QStringLiteral("p0")))
        wrong << QStringLiteral("a 0th percentile");
    qint64 binned = 0;
    for (const study::SpeedBin& bin : f.bins) {
        const auto found = r.bins.find(bin.low);
        check(QStringLiteral("bin %1").arg(bin.low), double(bin.vehicles),
              found == r.bins.end() ? 0.0 : double(found->second));
        binned += bin.vehicles;
        check(QStringLiteral("bin %1 cumulative").arg(bin.low), bin.cumulativePercent,
              100.0 * double(binned) / double(r.n));
    }
    if (r.n > 0 && (f.bins.empty() || f.bins.front().low != r.bins.begin()->first ||
                    f.bins.back().low != r.bins.rbegin()->first || binned != r.n))
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
        QTest::addColumn<QByteArray>("directions"); // repeated over the speeds; '?' unknown
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("limit");
        QTest::addColumn<int>("threshold");    // 0: the default, the limit + 10
        QTest::addColumn<double>("knownMean"); // the mean the speeds were drawn around; 0: none
        using test::row;
        row("normal around 40 mph", test::normalSpeeds(4000, 40.0, 5.0, 2026), QByteArray("+-+-?"),
            QStringLiteral("MPH"), QStringLiteral("035"), 0, 40.0);
        row("normal around 55 km/h", test::normalSpeeds(3000, 55.0, 9.0, 7), QByteArray("+--"),
            QStringLiteral("KPH"), QStringLiteral("050"), 65, 55.0);
        // Rank ceil(0.85 * 20) = 17; position 0.85 * 19 = 16.15 lies between 37 and 38.
        QList<int> twenty(20);
        std::iota(twenty.begin(), twenty.end(), 21);
        row("85th percentile between two speeds", twenty, QByteArray("+-"), QStringLiteral("MPH"),
            QStringLiteral("30"), 33, 0.0);
        // Rank 85 exactly, though 0.85 * 100 is not exact in binary.
        row("rank 85 of 100", repeated({{30, 85}, {31, 15}}), QByteArray("+"), QStringLiteral("MPH"),
            QStringLiteral("30"), 0, 0.0);
        // Windows 16-25 and 21-30 both hold six; a speed at low + 16 is outside a km/h window.
        row("ties at the pace's edge", repeated({{20, 4}, {25, 2}, {30, 4}, {40, 4}}), QByteArray("+"),
            QStringLiteral("MPH"), QStringLiteral("25"), 0, 0.0);
        row("km/h pace's edge", repeated({{50, 3}, {66, 2}}), QByteArray("+"), QStringLiteral("KPH"),
            QStringLiteral("50"), 0, 0.0);
        row("one direction empty", repeated({{31, 40}, {33, 70}, {38, 50}, {47, 9}}), QByteArray("+"),
            QStringLiteral("MPH"), QStringLiteral("35"), 0, 0.0);
        row("one vehicle", QList<int>{42}, QByteArray("-"), QStringLiteral("KPH"), QStringLiteral("30"), 0,
            0.0);
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
        for (qsizetype i = 0; i < speeds.size(); ++i)
            survey.directions.append(directions[i % directions.size()]);
        test::storeSurvey(m_folder->databasePath(), survey);

        const auto s =
            test::studyOf(*m_folder, kBatch, threshold > 0 ? std::optional<int>(threshold) : std::nullopt);
        QVERIFY(s);
        const int posted = limit.toInt();
        QCOMPARE(s->threshold, threshold > 0 ? threshold : posted + 10);
        QCOMPARE(s->paceWidth, unit == QLatin1String("KPH") ? 16 : 10);
        const std::pair<Direction, char> ways[] = {
            {Direction::Both, 0}, {Direction::Approaching, '+'}, {Direction::Receding, '-'}};
        for (const auto& [direction, way] : ways) {
            const std::vector<int> chosen = test::speedsOf(speeds, survey.directions, way);
            const QString wrong =
                compare(s->directionFigures(direction),
                        test::referenceOf(chosen, posted, s->threshold, s->paceWidth), s->paceWidth);
            QVERIFY2(wrong.isEmpty(),
                     qPrintable(study::directionName(direction) + QStringLiteral(": ") + wrong));
        }
        if (knownMean > 0) {
            // The sample mean lies within four standard errors of the mean drawn around.
            const study::DirectionFigures& all = s->directionFigures(Direction::Both);
            QVERIFY2(std::abs(all.mean - knownMean) < 4 * all.standardError,
                     qPrintable(QStringLiteral("mean %1").arg(all.mean)));
        }
        // Another threshold counts again in every direction.
        study::SpeedStudy changed = *s;
        study::setThreshold(changed, posted + 3);
        for (const auto& [direction, way] : ways) {
            const std::vector<int> chosen = test::speedsOf(speeds, survey.directions, way);
            QCOMPARE(
                changed.directionFigures(direction).overThreshold,
                qint64(std::count_if(chosen.begin(), chosen.end(), [&](int v) { return v > posted + 3; })));
        }
    }

    // The percentiles read from the grouped speeds, worked out by hand:
    // the ranked speed's span starts half a unit below it, and the share of
    // its vehicles still to pass tells how far into the span the percentile
    // lies.
    void groupedPercentiles_data()
    {
        QTest::addColumn<QList<int>>("speeds");
        QTest::addColumn<int>("percent");
        QTest::addColumn<double>("ranked");
        QTest::addColumn<double>("grouped");
        // 78 below 44, 9 at 44: 43.5 + (85 - 78) / 9.
        test::row("7 of 9 into 44", repeated({{40, 78}, {44, 9}, {50, 13}}), 85, 44.0, 43.5 + 7.0 / 9.0);
        // All at one speed: 85 % of the way through its span.
        test::row("one speed", repeated({{30, 20}}), 85, 30.0, 30.35);
        // Half pass exactly at the end of 30's span.
        test::row("the median at a span's end", repeated({{30, 50}, {40, 50}}), 50, 30.0, 30.5);
        test::row("one vehicle", QList<int>{42}, 15, 42.0, 41.65);
        // 98 % of 3 vehicles: 2.94, of the third vehicle's span 0.94.
        test::row("a gap before the fastest", QList<int>{20, 21, 90}, 98, 90.0, 90.44);
    }
    void groupedPercentiles()
    {
        QFETCH(QList<int>, speeds);
        QFETCH(int, percent);
        QFETCH(double, ranked);
        QFETCH(double, grouped);
        study::SpeedHistogram histogram;
        for (const int speed : speeds)
            histogram.add(speed);
        QCOMPARE(histogram.rankedPercentile(percent), ranked);
        QVERIFY2(std::abs(histogram.groupedPercentile(percent) - grouped) < 1e-12,
                 qPrintable(QString::number(histogram.groupedPercentile(percent), 'g', 17)));
    }

    // Speeds beyond 32 bits, up to the largest 64-bit number, written into
    // the database as any program could have left them: the study counts
    // each one as it is, names it in the warnings, and keeps its bins and
    // its curve to the speeds present.
    void implausibleSpeeds_data()
    {
        QTest::addColumn<qint64>("speed");
        test::row("2^31", qint64(2147483648LL));
        test::row("2^32 + 40", qint64(4294967336LL));
        test::row("10^12", qint64(1000000000000LL));
        test::row("the largest 64-bit number", std::numeric_limits<qint64>::max());
        test::row("the smallest 64-bit number", std::numeric_limits<qint64>::min());
    }
    void implausibleSpeeds()
    {
        QFETCH(qint64, speed);
        test::Survey survey;
        survey.batchNumber = kBatch;
        const QList<int> normal = test::normalSpeeds(300, 38.0, 5.0, 5);
        survey.speeds = std::vector<int>(normal.begin(), normal.end());
        survey.speeds.push_back(0); // the vehicle whose reading is replaced
        test::storeSurvey(m_folder->databasePath(), survey);
        {
            // The smallest number is written as a sum: its digits alone
            // would be read as a fraction.
            const QString value = speed == std::numeric_limits<qint64>::min()
                                      ? QStringLiteral("(-9223372036854775807 - 1)")
                                      : QString::number(speed);
            db::Connection connection(m_folder->database());
            connection.execute(
                QStringLiteral("update Veh_Data set Speed = %1 where rowid = (select max(rowid) "
                               "from Veh_Data)")
                    .arg(value));
        }
        const auto s = test::studyOf(*m_folder, kBatch);
        QVERIFY(s);
        const study::DirectionFigures& all = s->directionFigures(Direction::Both);
        QCOMPARE(all.vehicles, qint64(301));
        QCOMPARE(speed > 0 ? all.maximum : all.minimum, speed);

        std::vector<qint64> sorted(normal.begin(), normal.end());
        sorted.push_back(speed);
        std::sort(sorted.begin(), sorted.end());
        long double sum = 0;
        for (const qint64 value : sorted)
            sum += value;
        QVERIFY(std::abs(all.mean - double(sum / 301)) <= 1e-12 * std::abs(double(sum / 301)));
        for (const study::PercentileFigure& figure : all.percentiles)
            QCOMPARE(figure.ranked, double(sorted[size_t((figure.percent * 301 + 99) / 100 - 1)]));
        // The pace of the traffic, which the one reading cannot join.
        const test::Reference traffic =
            test::referenceOf(std::vector<int>(normal.begin(), normal.end()), 35, 45, 10);
        QCOMPARE(all.paceLow, qint64(traffic.paceLow));
        QCOMPARE(all.paceVehicles, traffic.paceCount);
        // One bin more than the traffic's, holding the one reading.
        QCOMPARE(all.bins.size(),
                 size_t(traffic.bins.rbegin()->first / 5 - traffic.bins.begin()->first / 5 + 2));
        const study::SpeedBin& outlying = speed > 0 ? all.bins.back() : all.bins.front();
        QVERIFY(outlying.low <= speed && speed - outlying.low < study::kBinWidth);
        QCOMPARE(outlying.vehicles, qint64(1));
        // Named in its warning, with its digits grouped.
        const QString named = study::formatCount(speed);
        QVERIFY(std::any_of(s->warnings.begin(), s->warnings.end(),
                            [&](const study::Warning& w) { return w.text.contains(named); }));
        // The curve keeps a point a speed of the traffic, the scale to road speeds.
        const std::vector<charts::LinePoint> points = study::cumulativePoints(all);
        QVERIFY(points.size() < 100);
        const charts::LineGraph curve = study::speedCurve(*s);
        QVERIFY(curve.xMinimum >= 0 && curve.xMaximum <= 100);
        const QJsonObject both =
            study::studyJson(*s)[QStringLiteral("directions")].toObject()[QStringLiteral("both")].toObject();
        QCOMPARE(both[speed > 0 ? QStringLiteral("max") : QStringLiteral("min")].toDouble(), double(speed));
    }

    void studentCriticalValues_data()
    {
        QTest::addColumn<qint64>("degrees");
        QTest::addColumn<double>("published"); // two-sided 95 %, from the usual tables
        test::row("1", qint64(1), 12.7062);
        test::row("2", qint64(2), 4.3027);
        test::row("10", qint64(10), 2.2281);
        test::row("1000", qint64(1000), 1.9623);
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
    void hourlyProfile()
    {
        test::Survey survey;
        survey.batchNumber = kBatch;
        survey.start = test::at(QStringLiteral("03/04/26 08:30"));
        const QDateTime last = test::at(QStringLiteral("03/06/26 10:20"));
        std::map<int, std::vector<int>> byHour;
        for (QDateTime when = survey.start; when <= last; when = when.addSecs(600)) {
            const int speed = 25 + when.time().hour() % 7 + when.time().minute() / 10 * 2;
            survey.offsets.push_back(survey.start.secsTo(when));
            survey.speeds.push_back(speed);
            byHour[when.time().hour()].push_back(speed);
        }
        survey.durationSeconds = survey.offsets.back();
        test::storeSurvey(m_folder->databasePath(), survey);
        const auto s = test::studyOf(*m_folder, kBatch);
        QVERIFY(s);
        QCOMPARE(s->start, survey.start);
        QCOMPARE(s->lastVehicle, last);

        // Whole hours: Wednesday 09:00 to Friday 09:59, so 08:00 counts on
        // Thursday and Friday, 10:00 on Wednesday and Thursday, 09:00 on all
        // three; every whole hour holds six vehicles.
        for (const study::HourFigures& hour : s->hourly) {
            const test::Reference r = test::referenceOf(byHour[hour.hour], 35, 45, 10);
            QCOMPARE(hour.vehicles, r.n);
            QCOMPARE(hour.fullDays, hour.hour == 9 ? 3 : 2);
            QCOMPARE(hour.vehiclesPerDay, 6.0);
            QCOMPARE(hour.mean, r.mean);
            QCOMPARE(hour.median, r.ranked.at(50));
            QCOMPARE(hour.percentile85, r.ranked.at(85));
            QCOMPARE(hour.overLimit, r.over.at(0));
        }
    }

    // The real log of a street in Moers (km/h, limit 30): the mean and the
    // 85th percentile straight from the file.
    void realWorldLog()
    {
        test::Survey survey;
        survey.batchNumber = QStringLiteral("102416-A");
        survey.unit = QStringLiteral("KPH");
        survey.postedSpeed = QStringLiteral("030");
        const QList<test::RealWorldRecord> records = test::readRealWorldLog();
        QCOMPARE(records.size(), 14152);
        survey.start = records.first().when;
        for (const test::RealWorldRecord& record : records) {
            survey.offsets.push_back(survey.start.secsTo(record.when));
            survey.speeds.push_back(record.speed);
            survey.directions.append(record.lane == 0 ? '+' : '-');
        }
        test::storeSurvey(m_folder->databasePath(), survey);
        const auto s = test::studyOf(*m_folder, survey.batchNumber);
        QVERIFY(s);

        std::vector<int> sorted = survey.speeds;
        std::sort(sorted.begin(), sorted.end());
        const study::DirectionFigures& all = s->directionFigures(Direction::Both);
        QCOMPARE(all.vehicles, qint64(sorted.size()));
        QVERIFY(std::abs(all.mean - std::accumulate(sorted.begin(), sorted.end(), 0.0) / 14152.0) < 1e-9);
        QCOMPARE(all.percentile(85).ranked, double(sorted[12029])); // rank ceil(0.85 * 14,152) = 12,030
        // The provenance's own figures: mean 28.0, 85th percentile 33.
        QCOMPARE(QString::number(all.mean, 'f', 1), QStringLiteral("28.0"));
        QCOMPARE(all.percentile(85).ranked, 33.0);
        QCOMPARE(s->directionFigures(Direction::Approaching).vehicles,
                 qint64(std::count(survey.directions.begin(), survey.directions.end(), '+')));
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
        study::StudyInputs inputs =
            study::StudyInputs::of(store::openStore(m_folder->database())->loadSurvey(kBatch));
        QVERIFY(study::runStudy(m_folder->database(), inputs).ok());
        inputs.batchNumber = batch;
        inputs.postedLimit = limit;
        const study::StudyResult result = study::runStudy(m_folder->database(), inputs);
        QVERIFY(!result.ok());
        QCOMPARE(result.message, message);
    }

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
};

QTEST_GUILESS_MAIN(TstSpeedStudy)
#include "tst_speedstudy.moc"
