// Two surveys compared: the distribution functions against their closed
// forms and published values, every statistic against the plain formula,
// the verdicts over many seeded trials, across units, and each warning
// raised by a pair crafted to deserve it and absent from its near miss.
#include "CompareFixture.h"
#include "compare/ComparisonTables.h"
#include "study/Distributions.h"

#include <QTest>

#include <random>

using namespace pelmor;
using compare::Comparison;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Whole speeds of a normal distribution, drawn at `scale` times the speed
// (1.609344 to record them in km/h).
QList<int> drawnSpeeds(int count, double mean, double sd, unsigned seed, double scale = 1.0)
{
    std::mt19937 generator(seed);
    std::normal_distribution<double> speeds(mean, sd);
    QList<int> drawn;
    for (int i = 0; i < count; ++i)
        drawn << int(std::lround(speeds(generator) * scale));
    return drawn;
}

// Student's t density integrated from 0 to t by Simpson's rule.
double studentCentral(double t, double degrees)
{
    const double norm =
        std::exp(std::lgamma((degrees + 1) / 2) - std::lgamma(degrees / 2)) / std::sqrt(degrees * kPi);
    const auto density = [&](double x) {
        return norm * std::pow(1 + x * x / degrees, -(degrees + 1) / 2);
    };
    const int steps = 20000;
    const double h = t / steps;
    double sum = density(0) + density(t);
    for (int i = 1; i < steps; ++i)
        sum += density(i * h) * (i % 2 ? 4 : 2);
    return sum * h / 3;
}

// The Kolmogorov series summed term by term, far beyond need.
double kolmogorovSeries(double lambda)
{
    double sum = 0;
    for (int j = 1; j <= 2000; ++j)
        sum += (j % 2 ? 1 : -1) * std::exp(-2.0 * j * j * lambda * lambda);
    return 2 * sum;
}

// A week of 2,000 vehicles at 38 mph on average, sd 6, then a week of
// 2,000 at `meanAfter`, stored as survey `trial` (A and B) and compared.
std::optional<Comparison> weekBesideWeek(test::TempProgramFolder& folder, int trial, double meanAfter,
                                         unsigned seedBefore, unsigned seedAfter)
{
    const QString a = QStringLiteral("T%1-A").arg(trial, 3, 10, QLatin1Char('0'));
    const QString b = QStringLiteral("T%1-B").arg(trial, 3, 10, QLatin1Char('0'));
    test::storeSurvey(folder.databasePath(),
                      test::streetSurvey(a, drawnSpeeds(2000, 38, 6, seedBefore), test::firstMonday(), 7));
    test::storeSurvey(folder.databasePath(), test::streetSurvey(b, drawnSpeeds(2000, meanAfter, 6, seedAfter),
                                                                test::firstMonday().addDays(7), 7));
    return test::comparisonOf(folder, a, b);
}

using Fields = QHash<QString, QString>;

QStringList codesOf(const Comparison& comparison)
{
    QStringList codes;
    for (const study::Warning& warning : comparison.warnings)
        codes << warning.code;
    return codes;
}

} // namespace

class TstComparison : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void distributions_data()
    {
        QTest::addColumn<double>("got");
        QTest::addColumn<double>("want");
        QTest::addColumn<double>("tolerance");
        using namespace study;
        // One degree of freedom is the Cauchy distribution, two have a closed form too.
        test::row("t, 1 degree", studentTTwoSided(0.5, 1), 1 - 2 / kPi * std::atan(0.5), 1e-12);
        test::row("t, 1 degree, far", studentTTwoSided(-30.0, 1), 1 - 2 / kPi * std::atan(30.0), 1e-12);
        test::row("t, 2 degrees", studentTTwoSided(1.5, 2), 1 - 1.5 / std::sqrt(2 + 1.5 * 1.5), 1e-12);
        test::row("t, 5.5 degrees", studentTTwoSided(2.0, 5.5), 1 - 2 * studentCentral(2.0, 5.5), 1e-10);
        test::row("t, 37.25 degrees", studentTTwoSided(-0.7, 37.25), 1 - 2 * studentCentral(0.7, 37.25),
                  1e-10);
        test::row("t, 10 degrees, table", studentTTwoSided(2.228139, 10), 0.05, 1e-6);
        test::row("t, 2 million degrees", studentTTwoSided(1.959964, 2e6), 0.05, 1e-5);
        test::row("t = 0", studentTTwoSided(0, 12), 1.0, 1e-15);
        test::row("t critical, 7 degrees", studentT95(7), 2.364624, 1e-6);
        test::row("normal, 95 %", normalTwoSided(1.959963984540054), 0.05, 1e-12);
        test::row("normal below 1", normalCdf(1), 0.8413447460685429, 1e-12);
        test::row("normal below -3", normalCdf(-3), 0.0013498980316301, 1e-14);
        test::row("normal two-sided, -2.5", normalTwoSided(-2.5), 0.0124193306515523, 1e-13);
        test::row("Kolmogorov 0.3", kolmogorovSurvival(0.3), kolmogorovSeries(0.3), 1e-12);
        test::row("Kolmogorov 0.6", kolmogorovSurvival(0.6), kolmogorovSeries(0.6), 1e-12);
        test::row("Kolmogorov 1.17", kolmogorovSurvival(1.17), kolmogorovSeries(1.17), 1e-12);
        test::row("Kolmogorov 1.19", kolmogorovSurvival(1.19), kolmogorovSeries(1.19), 1e-12);
        test::row("Kolmogorov 2.5", kolmogorovSurvival(2.5), kolmogorovSeries(2.5), 1e-14);
        test::row("Kolmogorov 5 % point", kolmogorovSurvival(1.3581), 0.05, 1e-4);
        test::row("Kolmogorov 1 % point", kolmogorovSurvival(1.6276), 0.01, 1e-4);
        test::row("Kolmogorov at 0", kolmogorovSurvival(0), 1.0, 0.0);
        test::row("beta, b = 1", regularizedIncompleteBeta(2.5, 1, 0.3), std::pow(0.3, 2.5), 1e-13);
        test::row("beta, a = 1", regularizedIncompleteBeta(1, 3.5, 0.3), 1 - std::pow(0.7, 3.5), 1e-13);
        test::row("beta, a = b = 2", regularizedIncompleteBeta(2, 2, 0.9), 3 * 0.81 - 2 * 0.729, 1e-13);
        test::row("beta, symmetric", regularizedIncompleteBeta(7.5, 7.5, 0.5), 0.5, 1e-13);
    }
    void distributions()
    {
        QFETCH(double, got);
        QFETCH(double, want);
        QFETCH(double, tolerance);
        QVERIFY2(std::abs(got - want) <= tolerance,
                 qPrintable(QStringLiteral("%1, want %2").arg(got, 0, 'g', 17).arg(want, 0, 'g', 17)));
    }

    // Welch's t and its degrees of freedom, the Kolmogorov-Smirnov
    // distance, the z statistic and the changes against the plain formulas.
    void statisticsAgreeWithPlainFormulas_data()
    {
        QTest::addColumn<int>("countA");
        QTest::addColumn<int>("countB");
        QTest::addColumn<double>("meanB");
        QTest::addColumn<double>("sdA");
        QTest::addColumn<double>("sdB");
        test::row("equal sizes, 3 lower", 2000, 2000, 35.0, 6.0, 6.0);
        test::row("unequal sizes and spreads", 150, 3000, 39.0, 9.0, 4.0);
        test::row("small samples", 5, 8, 41.0, 5.0, 7.0);
        test::row("many ties", 800, 900, 37.6, 0.8, 0.6);
        test::row("no change", 1200, 1100, 38.0, 6.0, 6.0);
    }
    void statisticsAgreeWithPlainFormulas()
    {
        QFETCH(int, countA);
        QFETCH(int, countB);
        QFETCH(double, meanB);
        QFETCH(double, sdA);
        QFETCH(double, sdB);
        test::TempProgramFolder folder;
        const QList<int> speedsA = drawnSpeeds(countA, 38.0, sdA, 7);
        const QList<int> speedsB = drawnSpeeds(countB, meanB, sdB, 8);
        test::storeSurvey(folder.databasePath(),
                          test::streetSurvey(QStringLiteral("030226-A"), speedsA, test::firstMonday(), 7));
        test::storeSurvey(folder.databasePath(), test::streetSurvey(QStringLiteral("030926-A"), speedsB,
                                                                    test::firstMonday().addDays(7), 7));
        const std::optional<Comparison> c =
            test::comparisonOf(folder, QStringLiteral("030226-A"), QStringLiteral("030926-A"));
        QVERIFY(c);
        const std::vector<double> a = test::asDoubles(speedsA);
        const std::vector<double> b = test::asDoubles(speedsB);
        const test::PlainWelch welch = test::plainWelch(a, b);
        QVERIFY(c->meanTest.computed && c->distributionTest.computed && c->overLimitTest.computed);
        QVERIFY2(std::abs(c->meanTest.statistic - welch.t) < 1e-9, qPrintable(QString::number(welch.t)));
        QVERIFY(std::abs(c->meanTest.degreesOfFreedom - welch.degrees) < 1e-9 * welch.degrees);
        QVERIFY(std::abs(c->meanTest.pValue - study::studentTTwoSided(welch.t, welch.degrees)) < 1e-12);
        const double distance = test::plainKolmogorovDistance(a, b);
        QVERIFY2(std::abs(c->distributionTest.statistic - distance) < 1e-9,
                 qPrintable(QString::number(distance)));
        QVERIFY(std::abs(c->overLimitTest.statistic - test::plainProportionZ(a, b, 35)) < 1e-9);
        const double meanA = std::accumulate(a.begin(), a.end(), 0.0) / a.size();
        const double meanBPlain = std::accumulate(b.begin(), b.end(), 0.0) / b.size();
        QVERIFY(std::abs(c->changes.mean - (meanBPlain - meanA)) < 1e-9);
        // The p85 by rank ceil(0.85 n) of each sorted list.
        const auto p85 = [](std::vector<double> values) {
            std::sort(values.begin(), values.end());
            return values[size_t((85 * values.size() + 99) / 100 - 1)];
        };
        QCOMPARE(c->changes.percentile85, p85(b) - p85(a));
    }

    // Two surveys of one distribution seldom differ significantly: at 95 %
    // about 5 of 100 may by chance.
    void sameDistributionRarelyChanges()
    {
        test::TempProgramFolder folder;
        int quietMeans = 0, quietDistributions = 0, quietShares = 0;
        const int trials = 100;
        for (int trial = 0; trial < trials; ++trial) {
            const std::optional<Comparison> c = weekBesideWeek(folder, trial, 38, 1000 + trial, 5000 + trial);
            QVERIFY(c);
            quietMeans += !c->meanTest.significant();
            quietDistributions += !c->distributionTest.significant();
            quietShares += !c->overLimitTest.significant();
        }
        qInfo("no significant change in %d (mean), %d (distribution), %d (share over the limit) of %d trials",
              quietMeans, quietDistributions, quietShares, trials);
        // The verdict on the mean is the one the change is told by. Each test
        // errs in 5 of 100 trials on average, so a set of 100 may hold a few
        // more; a test whose p-values were wrong would err far more often.
        QVERIFY(quietMeans >= 95);
        QVERIFY(quietDistributions >= 90);
        QVERIFY(quietShares >= 90);
    }

    // A mean 3 mph lower over 2,000 vehicles each is never taken for chance.
    void shiftIsAlwaysDetected()
    {
        test::TempProgramFolder folder;
        for (int trial = 0; trial < 100; ++trial) {
            const std::optional<Comparison> c = weekBesideWeek(folder, trial, 35, 9000 + trial, 7000 + trial);
            QVERIFY(c);
            QVERIFY2(c->meanTest.significant() && c->distributionTest.significant() &&
                         c->overLimitTest.significant(),
                     qPrintable(QStringLiteral("trial %1: %2").arg(trial).arg(c->headline)));
            QVERIFY(c->changes.mean < -2.2 && c->changes.mean > -3.8);
            QVERIFY(c->headline.endsWith(QStringLiteral("; the drop of the mean is significant at 95 %.")));
        }
    }

    // A survey in km/h set beside one in mph reads as the mph survey of
    // the same traffic does.
    void unitsGiveTheSameVerdicts_data()
    {
        QTest::addColumn<QString>("unitA");
        QTest::addColumn<QString>("unitB");
        QTest::addColumn<double>("shift"); // mph added to the mean of B
        test::row("mph, then km/h, no change", QStringLiteral("MPH"), QStringLiteral("KPH"), 0.0);
        test::row("mph, then km/h, 3 lower", QStringLiteral("MPH"), QStringLiteral("KPH"), -3.0);
        test::row("mph, then km/h, 2 higher", QStringLiteral("MPH"), QStringLiteral("KPH"), 2.0);
        test::row("km/h, then mph, no change", QStringLiteral("KPH"), QStringLiteral("MPH"), 0.0);
        test::row("km/h, then mph, 3 lower", QStringLiteral("KPH"), QStringLiteral("MPH"), -3.0);
    }
    void unitsGiveTheSameVerdicts()
    {
        QFETCH(QString, unitA);
        QFETCH(QString, unitB);
        QFETCH(double, shift);
        test::TempProgramFolder folder;
        const double kph = compare::kKilometresPerMile;
        // The same traffic in each unit: A as measured, B both as measured
        // and as it would read in A's unit.
        const auto scaleOf = [kph](const QString& unit) {
            return unit == QLatin1String("KPH") ? kph : 1.0;
        };
        const auto store = [&](const QString& batch, const QString& unit, unsigned seed, double mean,
                               int week) {
            test::Survey survey = test::streetSurvey(batch, drawnSpeeds(3000, mean, 6, seed, scaleOf(unit)),
                                                     test::firstMonday().addDays(7 * week), 7);
            survey.unit = unit;
            // 35 mph, or 56 km/h (34.8 mph): the same limit.
            survey.postedSpeed = unit == QLatin1String("KPH") ? QStringLiteral("056") : QStringLiteral("035");
            test::storeSurvey(folder.databasePath(), survey);
        };
        store(QStringLiteral("A"), unitA, 21, 38.0, 0);
        store(QStringLiteral("B"), unitB, 22, 38.0 + shift, 1);
        store(QStringLiteral("B-SAME-UNIT"), unitA, 22, 38.0 + shift, 1);
        const std::optional<Comparison> mixed =
            test::comparisonOf(folder, QStringLiteral("A"), QStringLiteral("B"));
        const std::optional<Comparison> alike =
            test::comparisonOf(folder, QStringLiteral("A"), QStringLiteral("B-SAME-UNIT"));
        QVERIFY(mixed && alike);
        QCOMPARE(mixed->unit, unitA);
        QVERIFY(mixed->b.converted() && !alike->b.converted());
        QVERIFY(mixed->conversionNote.contains(QStringLiteral("1.609344")));
        QVERIFY(alike->conversionNote.isEmpty());
        QCOMPARE(mixed->meanTest.significant(), alike->meanTest.significant());
        QCOMPARE(mixed->distributionTest.significant(), alike->distributionTest.significant());
        QCOMPARE(mixed->overLimitTest.significant(), alike->overLimitTest.significant());
        QCOMPARE(mixed->meanTest.significant(), shift != 0.0);
        QCOMPARE(mixed->distributionTest.significant(), shift != 0.0);
        // The figures in A's unit, up to the rounding of whole speeds.
        const double unitOfA = scaleOf(unitA);
        QVERIFY2(std::abs(mixed->changes.mean - alike->changes.mean) < 0.15 * unitOfA,
                 qPrintable(QStringLiteral("%1 and %2").arg(mixed->changes.mean).arg(alike->changes.mean)));
        QVERIFY(std::abs(mixed->b.figures.percentile85 - alike->b.figures.percentile85) < 1.0 * unitOfA);
        QVERIFY(std::abs(mixed->distributionTest.statistic - alike->distributionTest.statistic) < 0.03);
        QVERIFY(std::abs(mixed->b.figures.percentOverLimit - alike->b.figures.percentOverLimit) < 3.0);
        QVERIFY2(codesOf(*mixed).isEmpty(), qPrintable(codesOf(*mixed).join(QLatin1Char(' '))));
    }

    // Each reason why two surveys may not compare fairly, raised by a pair
    // crafted to have it and absent from its near miss.
    void warnings_data()
    {
        QTest::addColumn<Fields>("headerB"); // Header fields of B
        QTest::addColumn<QString>("unitB");
        QTest::addColumn<double>("daysA");
        QTest::addColumn<double>("daysB");
        QTest::addColumn<int>("startDayB"); // days after A's Monday
        QTest::addColumn<QStringList>("codes");
        const Fields none;
        test::row("a fair pair", none, QStringLiteral("MPH"), 7.0, 7.0, 14, QStringList());
        test::row("another limit", Fields{{QStringLiteral("Violation_Alert"), QStringLiteral("030")}},
                  QStringLiteral("MPH"), 7.0, 7.0, 14, QStringList{QStringLiteral("different_limit")});
        test::row("50 km/h beside 35 mph", Fields{{QStringLiteral("Violation_Alert"), QStringLiteral("050")}},
                  QStringLiteral("KPH"), 7.0, 7.0, 14, QStringList{QStringLiteral("different_limit")});
        test::row("56 km/h beside 35 mph is the same limit",
                  Fields{{QStringLiteral("Violation_Alert"), QStringLiteral("056")}}, QStringLiteral("KPH"),
                  7.0, 7.0, 14, QStringList());
        test::row("another place", Fields{{QStringLiteral("Location"), QStringLiteral("Oak Avenue")}},
                  QStringLiteral("MPH"), 7.0, 7.0, 14, QStringList{QStringLiteral("different_location")});
        test::row("the place typed otherwise",
                  Fields{{QStringLiteral("Location"), QStringLiteral(" elm  STREET")}}, QStringLiteral("MPH"),
                  7.0, 7.0, 14, QStringList());
        // Survey A's location code is 00415.
        test::row("another location code", Fields{{QStringLiteral("Location_Code"), QStringLiteral("00416")}},
                  QStringLiteral("MPH"), 7.0, 7.0, 14, QStringList{QStringLiteral("different_location")});
        test::row("no location code", Fields{{QStringLiteral("Location_Code"), QString()}},
                  QStringLiteral("MPH"), 7.0, 7.0, 14, QStringList());
        test::row("another direction", Fields{{QStringLiteral("Direction"), QStringLiteral("South")}},
                  QStringLiteral("MPH"), 7.0, 7.0, 14, QStringList{QStringLiteral("different_direction")});
        // 15 and 7 days hold as much weekend: 4 of 15 days, 2 of 7.
        test::row("less than half as long", none, QStringLiteral("MPH"), 15.0, 7.0, 21,
                  QStringList{QStringLiteral("different_duration")});
        test::row("a little over half as long", none, QStringLiteral("MPH"), 13.0, 7.0, 21, QStringList());
        test::row("weekdays beside a whole week", none, QStringLiteral("MPH"), 5.0, 7.0, 14,
                  QStringList{QStringLiteral("different_days")});
        // Tuesday to Sunday: a third of the time at the weekend, beside 2 of 7 days.
        test::row("a day short of a week", none, QStringLiteral("MPH"), 7.0, 6.0, 15, QStringList());
        test::row("everything differs",
                  Fields{{QStringLiteral("Violation_Alert"), QStringLiteral("025")},
                         {QStringLiteral("Location"), QStringLiteral("Oak Avenue")},
                         {QStringLiteral("Direction"), QStringLiteral("East")}},
                  QStringLiteral("MPH"), 14.0, 2.0, 19,
                  QStringList{QStringLiteral("different_limit"), QStringLiteral("different_location"),
                              QStringLiteral("different_direction"), QStringLiteral("different_duration"),
                              QStringLiteral("different_days")});
    }
    void warnings()
    {
        QFETCH(Fields, headerB);
        QFETCH(QString, unitB);
        QFETCH(double, daysA);
        QFETCH(double, daysB);
        QFETCH(int, startDayB);
        QFETCH(QStringList, codes);
        test::TempProgramFolder folder;
        test::Survey a =
            test::streetSurvey(QStringLiteral("A"), drawnSpeeds(3000, 38, 6, 3), test::firstMonday(), daysA);
        a.headerFields.insert(QStringLiteral("Location_Code"), QStringLiteral("00415"));
        test::storeSurvey(folder.databasePath(), a);
        const double scale = unitB == QLatin1String("KPH") ? compare::kKilometresPerMile : 1.0;
        test::Survey b = test::streetSurvey(QStringLiteral("B"), drawnSpeeds(3000, 38, 6, 4, scale),
                                            test::firstMonday().addDays(startDayB), daysB);
        b.unit = unitB;
        b.headerFields = a.headerFields;
        b.headerFields.insert(headerB);
        if (headerB.contains(QStringLiteral("Violation_Alert")))
            b.postedSpeed = headerB.value(QStringLiteral("Violation_Alert"));
        test::storeSurvey(folder.databasePath(), b);
        const std::optional<Comparison> c =
            test::comparisonOf(folder, QStringLiteral("A"), QStringLiteral("B"));
        QVERIFY(c);
        QCOMPARE(codesOf(*c), codes);
        for (const study::Warning& warning : c->warnings)
            QVERIFY2(warning.text.contains(QStringLiteral(" before")) &&
                         warning.text.contains(QStringLiteral(" after")),
                     qPrintable(warning.text));
    }

    // The change told in words, with the figures it rests on.
    void verdictTexts_data()
    {
        QTest::addColumn<int>("shift");     // added to every speed of A for B
        QTest::addColumn<int>("countB");    // vehicles of B: all of A's, or the first few
        QTest::addColumn<bool>("bEarlier"); // B surveyed the week before A
        QTest::addColumn<QString>("headline");
        QTest::addColumn<QString>("meanVerdict");
        // A: 100 vehicles at each speed from 30 to 49; the 85th percentile
        // is 46, the mean 39.5.
        test::row(
            "3 lower", -3, 2000, false,
            QStringLiteral("85th percentile down 3.0 mph; the drop of the mean is significant at 95 %."),
            QStringLiteral("Mean speed: 39.5 mph before, 36.5 mph after, down 3.0 mph. This drop is "
                           "significant at 95 %: chance alone would rarely make one so large (Welch's "
                           "t-test: t = -16.45, p < 0.001)."));
        test::row("2 higher", 2, 2000, false,
                  QStringLiteral("85th percentile up 2.0 mph; the rise of the mean is significant at 95 %."),
                  QStringLiteral("Mean speed: 39.5 mph before, 41.5 mph after, up 2.0 mph. This rise is "
                                 "significant at 95 %: chance alone would rarely make one so large (Welch's "
                                 "t-test: t = 10.97, p < 0.001)."));
        test::row("the same", 0, 2000, false,
                  QStringLiteral("85th percentile unchanged at 46.0 mph; the change of the mean is not "
                                 "significant at 95 %."),
                  QStringLiteral("Mean speed: 39.5 mph before, 39.5 mph after, unchanged. This change is not "
                                 "significant at 95 %: chance alone could make one so large (Welch's t-test: "
                                 "t = 0.00, p = 1.000)."));
        test::row(
            "not in order", -3, 2000, true,
            QStringLiteral("85th percentile down 3.0 mph; the drop of the mean is significant at 95 %."),
            QStringLiteral("Mean speed: 39.5 mph in survey A, 36.5 mph in survey B, down 3.0 mph. This "
                           "drop is significant at 95 %: chance alone would rarely make one so large "
                           "(Welch's t-test: t = -16.45, p < 0.001)."));
        test::row(
            "one vehicle", -2, 1, false,
            QStringLiteral("85th percentile down 18.0 mph; too few vehicles to test the change of the mean."),
            QStringLiteral("Mean speed: 39.5 mph before, 28.0 mph after, down 11.5 mph. Too few vehicles, "
                           "or speeds that do not vary, to test whether the mean changed."));
    }
    void verdictTexts()
    {
        QFETCH(int, shift);
        QFETCH(int, countB);
        QFETCH(bool, bEarlier);
        QFETCH(QString, headline);
        QFETCH(QString, meanVerdict);
        QList<int> speedsA, speedsB;
        for (int speed = 30; speed < 50; ++speed)
            for (int i = 0; i < 100; ++i)
                speedsA << speed;
        for (int i = 0; i < countB; ++i)
            speedsB << speedsA[i] + shift;
        test::TempProgramFolder folder;
        test::storeSurvey(folder.databasePath(), test::streetSurvey(QStringLiteral("A"), speedsA,
                                                                    test::firstMonday().addDays(7), 7));
        test::storeSurvey(folder.databasePath(),
                          test::streetSurvey(QStringLiteral("B"), speedsB,
                                             test::firstMonday().addDays(bEarlier ? 0 : 14),
                                             countB > 1 ? 7 : 0));
        const std::optional<Comparison> c =
            test::comparisonOf(folder, QStringLiteral("A"), QStringLiteral("B"));
        QVERIFY(c);
        QCOMPARE(c->headline, headline);
        QCOMPARE(c->meanTest.verdict, meanVerdict);
        QCOMPARE(c->inOrder(), !bEarlier);
    }

    // No share over the limit to test, and surveys there is nothing to compare with.
    void whatCannotBeCompared_data()
    {
        QTest::addColumn<QString>("batchB");
        QTest::addColumn<QString>("message"); // none: a comparison, without the share test
        test::row("nobody over the limit", QStringLiteral("SLOW"), QString());
        test::row("no such survey", QStringLiteral("NONE"),
                  QStringLiteral("The database holds no survey NONE."));
        test::row("no vehicles", QStringLiteral("EMPTY"),
                  QStringLiteral("Survey EMPTY: ") + survey::noSurveyMessage());
    }
    void whatCannotBeCompared()
    {
        QFETCH(QString, batchB);
        QFETCH(QString, message);
        test::TempProgramFolder folder;
        test::storeSurvey(
            folder.databasePath(),
            test::streetSurvey(QStringLiteral("A"), QList<int>{30, 31, 32, 33}, test::firstMonday(), 1));
        test::storeSurvey(folder.databasePath(),
                          test::streetSurvey(QStringLiteral("SLOW"), QList<int>{25, 28, 35},
                                             test::firstMonday().addDays(7), 1));
        test::storeSurvey(folder.databasePath(),
                          test::streetSurvey(QStringLiteral("EMPTY"), QList<int>{}, test::firstMonday(), 1));
        const compare::ComparisonResult result =
            compare::compareSurveys(folder.database(), QStringLiteral("A"), batchB);
        QCOMPARE(result.message, message);
        QCOMPARE(result.ok(), message.isEmpty());
        if (!result.ok())
            return;
        const compare::TestOutcome& share = result.comparison->overLimitTest;
        QVERIFY(!share.computed && !share.significant());
        QCOMPARE(share.verdict,
                 QStringLiteral("Vehicles over the posted limit: 0.0 % before, 0.0 % after, "
                                "unchanged. No vehicle of either survey was over the limit, so "
                                "there is no change to test."));
        QVERIFY(result.comparison->meanTest.computed);
    }

    // The table of figures: each survey's figures in A's unit and the changes.
    void tableRows()
    {
        test::TempProgramFolder folder;
        QList<int> speedsA, speedsB;
        for (int i = 0; i < 200; ++i) {
            speedsA << 30 + i % 20;                                                   // 30 to 49 mph
            speedsB << int(std::lround((27 + i % 20) * compare::kKilometresPerMile)); // 27 to 46 mph in km/h
        }
        test::storeSurvey(folder.databasePath(),
                          test::streetSurvey(QStringLiteral("030226-A"), speedsA, test::firstMonday(), 2));
        test::Survey b =
            test::streetSurvey(QStringLiteral("030926-A"), speedsB, test::firstMonday().addDays(7), 4);
        b.unit = QStringLiteral("KPH");
        b.postedSpeed = QStringLiteral("050");
        test::storeSurvey(folder.databasePath(), b);
        const std::optional<Comparison> c =
            test::comparisonOf(folder, QStringLiteral("030226-A"), QStringLiteral("030926-A"));
        QVERIFY(c);
        QCOMPARE(compare::comparisonColumns(*c),
                 (QStringList{QString(), QStringLiteral("Before (030226-A)"),
                              QStringLiteral("After (030926-A)"), QStringLiteral("Change")}));
        QStringList rows;
        for (const compare::ComparisonRow& row : compare::comparisonRows(*c))
            rows << QStringList{row.caption, row.a, row.b, row.change}.join(QStringLiteral(" | "));
        // B: km/h speeds from 43 to 74, 27.0 to 46.0 mph give or take a
        // rounding; over 50 km/h are those from 51 km/h (31.7 mph), over the
        // limit + 10 mph those over 66.09 km/h. Each change is the difference
        // of the figures as they read.
        QCOMPARE(
            rows,
            (QStringList{
                QStringLiteral("Posted limit | 35 mph | 50 km/h (31.1 mph) | "),
                QStringLiteral("Vehicles | 200 | 200 | "),
                QStringLiteral("Vehicles per day | 101 | 50 | -51"),
                QStringLiteral("Mean speed | 39.5 mph | 36.5 mph | -3.0 mph"),
                QStringLiteral("Median speed (50th percentile) | 39.0 mph | 36.0 mph | -3.0 mph"),
                QStringLiteral("85th percentile speed | 46.0 mph | 42.9 mph | -3.1 mph"),
                QStringLiteral("95th percentile speed | 48.0 mph | 44.7 mph | -3.3 mph"),
                QStringLiteral(
                    "Over the posted limit | 140 (70.0 %) | 150 (75.0 %) | +5.0 percentage points"),
                QStringLiteral(
                    "More than 10 mph over the limit | 40 (20.0 %) | 50 (25.0 %) | +5.0 percentage points"),
            }));
        QCOMPARE(c->conversionNote,
                 QStringLiteral("Survey 030926-A was measured in km/h: its speeds are shown in "
                                "mph, converted at 1 mile = 1.609344 kilometres."));
    }
};

QTEST_GUILESS_MAIN(TstComparison)
#include "tst_comparison.moc"
