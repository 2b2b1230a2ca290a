// pelmor-cli compare, run as a user runs it: the JSON object with every key
// a reader relies on and the figures the comparison holds, the text form,
// and its refusals.
#include "CompareFixture.h"
#include "Reference.h"
#include "compare/ComparisonExport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

using namespace pelmor;

class TstCompareCli : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        m_before = test::normalSpeeds(2500, 38.0, 6.0, 31);
        m_after = test::normalSpeeds(2400, 35.0 * compare::kKilometresPerMile,
                                     6.0 * compare::kKilometresPerMile, 32);
        test::storeSurvey(m_folder->databasePath(),
                          test::streetSurvey(QStringLiteral("030226-A"), m_before, test::firstMonday(), 7));
        // A week later, in km/h, at 50 km/h: another limit, so a warning.
        test::Survey after =
            test::streetSurvey(QStringLiteral("030926-A"), m_after, test::firstMonday().addDays(7), 7);
        after.unit = QStringLiteral("KPH");
        after.postedSpeed = QStringLiteral("050");
        test::storeSurvey(m_folder->databasePath(), after);
    }
    void cleanup() { m_folder.reset(); }

    void json()
    {
        const test::ProgramRun run = cli({"compare", "030226-A", "030926-A", "--json"});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        for (const char* key :
             {"a", "b", "mean_diff", "p85_diff", "welch_t", "welch_p", "ks_d", "ks_p", "prop_z", "prop_p",
              "mean_change_significant", "warnings", "unit", "conversion"})
            QVERIFY2(json.contains(QLatin1String(key)), key);
        QCOMPARE(json.value(QStringLiteral("unit")).toString(), QStringLiteral("MPH"));
        QVERIFY(json.value(QStringLiteral("conversion")).toString().contains(QStringLiteral("1.609344")));

        // Each side's figures in mph, from the plain computation of its speeds.
        const QJsonObject a = json.value(QStringLiteral("a")).toObject();
        const QJsonObject b = json.value(QStringLiteral("b")).toObject();
        const test::Reference before =
            test::referenceOf(std::vector<int>(m_before.begin(), m_before.end()), 35, 45, 10);
        const test::Reference after =
            test::referenceOf(std::vector<int>(m_after.begin(), m_after.end()), 50, 60, 16);
        const double kph = compare::kKilometresPerMile;
        const std::pair<QJsonValue, double> figures[] = {
            {a.value(QStringLiteral("n")), double(before.n)},
            {a.value(QStringLiteral("mean")), before.mean},
            {a.value(QStringLiteral("sd")), before.sd},
            {a.value(QStringLiteral("p85")), before.ranked.at(85)},
            {a.value(QStringLiteral("pct_over_limit")), 100.0 * before.over.at(0) / before.n},
            {a.value(QStringLiteral("pct_over_limit_10")), 100.0 * before.over.at(10) / before.n},
            {b.value(QStringLiteral("n")), double(after.n)},
            {b.value(QStringLiteral("mean")), after.mean / kph},
            {b.value(QStringLiteral("sd")), after.sd / kph},
            {b.value(QStringLiteral("p85")), after.ranked.at(85) / kph},
            {b.value(QStringLiteral("min")), after.min / kph},
            {b.value(QStringLiteral("limit")), 50 / kph},
            // Its own limit: over 50 km/h.
            {b.value(QStringLiteral("pct_over_limit")), 100.0 * after.over.at(0) / after.n},
            {json.value(QStringLiteral("mean_diff")), after.mean / kph - before.mean},
            {json.value(QStringLiteral("p85_diff")), after.ranked.at(85) / kph - before.ranked.at(85)},
        };
        for (const auto& [shown, want] : figures)
            QVERIFY2(shown.isDouble() &&
                         std::abs(shown.toDouble() - want) < 1e-9 * std::max(1.0, std::abs(want)),
                     qPrintable(QStringLiteral("%1, not %2").arg(shown.toDouble()).arg(want)));
        QCOMPARE(a.value(QStringLiteral("batch")).toString(), QStringLiteral("030226-A"));
        QCOMPARE(b.value(QStringLiteral("measured_unit")).toString(), QStringLiteral("KPH"));

        // The tests' figures as the comparison holds them; a 3 mph drop is significant.
        const std::optional<compare::Comparison> c =
            test::comparisonOf(*m_folder, QStringLiteral("030226-A"), QStringLiteral("030926-A"));
        QVERIFY(c);
        QCOMPARE(json.value(QStringLiteral("welch_t")).toDouble(), c->meanTest.statistic);
        QCOMPARE(json.value(QStringLiteral("welch_p")).toDouble(), c->meanTest.pValue);
        QCOMPARE(json.value(QStringLiteral("ks_d")).toDouble(), c->distributionTest.statistic);
        QCOMPARE(json.value(QStringLiteral("prop_z")).toDouble(), c->overLimitTest.statistic);
        QVERIFY(json.value(QStringLiteral("welch_t")).toDouble() < -10);
        QCOMPARE(json.value(QStringLiteral("mean_change_significant")), QJsonValue(true));
        QCOMPARE(json.value(QStringLiteral("distribution_change_significant")), QJsonValue(true));
        const QJsonArray warnings = json.value(QStringLiteral("warnings")).toArray();
        QCOMPARE(warnings.size(), 1);
        QCOMPARE(warnings[0].toObject().value(QStringLiteral("code")).toString(),
                 QStringLiteral("different_limit"));
        QCOMPARE(warnings[0].toObject().value(QStringLiteral("text")).toString(), c->warnings.front().text);
    }

    // A survey in km/h beside one in mph: every count of vehicles is a
    // count of whole readings, over the bound in the survey's own unit, and
    // the count over its enforcement threshold is the one its own study
    // gives, that threshold converted beside it.
    void countsOfTheOtherUnit_data()
    {
        QTest::addColumn<QString>("limit"); // of the km/h survey
        QTest::addColumn<double>("over");   // km/h above which it is over the limit
        const double kph = compare::kKilometresPerMile;
        test::row("its own limit, 50 km/h", QStringLiteral("050"), 50.5);
        // 56 km/h is 35 mph, so the bound is 35.5 mph.
        test::row("the same limit, 56 km/h", QStringLiteral("056"), 35.5 * kph);
    }
    void countsOfTheOtherUnit()
    {
        QFETCH(QString, limit);
        QFETCH(double, over);
        const double kph = compare::kKilometresPerMile;
        test::Survey after =
            test::streetSurvey(QStringLiteral("031626-A"), m_after, test::firstMonday().addDays(14), 7);
        after.unit = QStringLiteral("KPH");
        after.postedSpeed = limit;
        test::storeSurvey(m_folder->databasePath(), after);
        const test::ProgramRun run = cli({"compare", "030226-A", "031626-A", "--json"});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        const QJsonObject b = json.value(QStringLiteral("b")).toObject();
        const test::ProgramRun own = cli({"study", "031626-A", "--json"});
        const QJsonObject ownFigures = QJsonDocument::fromJson(own.out.toUtf8())
                                           .object()[QStringLiteral("directions")]
                                           .toObject()[QStringLiteral("both")]
                                           .toObject();
        const auto readingsOver = [this](double bound) {
            return double(
                std::count_if(m_after.begin(), m_after.end(), [bound](int v) { return v > bound; }));
        };
        const double n = double(m_after.size());
        const std::pair<const char*, double> counts[] = {
            {"over_limit", readingsOver(over)},
            {"over_limit_10", readingsOver(over + 10 * kph)},
            {"pct_over_limit_10", 100.0 * readingsOver(over + 10 * kph) / n},
            {"over_threshold", ownFigures[QStringLiteral("over_threshold")].toDouble()},
            {"pct_over_threshold", ownFigures[QStringLiteral("pct_over_threshold")].toDouble()},
            {"threshold", (limit.toInt() + 10) / kph},
        };
        for (const auto& [key, want] : counts)
            QVERIFY2(std::abs(b.value(QLatin1String(key)).toDouble() - want) < 1e-9 * std::max(1.0, want),
                     qPrintable(QStringLiteral("%1 %2, not %3")
                                    .arg(key)
                                    .arg(b.value(QLatin1String(key)).toDouble())
                                    .arg(want)));
        QVERIFY(ownFigures[QStringLiteral("over_threshold")].toDouble() > 0);
        // Whole vehicles, whatever the unit.
        for (const QJsonObject& side : {b, json.value(QStringLiteral("a")).toObject()}) {
            for (const QString& key : side.keys()) {
                if (key.startsWith(QLatin1String("over_")) || key == QLatin1String("n") ||
                    key == QLatin1String("pace_count"))
                    QVERIFY2(std::floor(side.value(key).toDouble()) == side.value(key).toDouble(),
                             qPrintable(key));
            }
        }
        // 2,500 by 2,400 vehicles, under 10,000,000: the p-value is counted.
        QCOMPARE(json.value(QStringLiteral("ks_exact")), QJsonValue(true));
    }

    // Two surveys too small to test: the statistics are null, the verdict false.
    void jsonOfWhatCannotBeTested()
    {
        test::storeSurvey(m_folder->databasePath(),
                          test::streetSurvey(QStringLiteral("ONE"), QList<int>{30}, test::firstMonday(), 0));
        const test::ProgramRun run = cli({"compare", "ONE", "ONE", "--json"});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        for (const char* key : {"welch_t", "welch_p", "prop_z", "prop_p"})
            QVERIFY2(json.value(QLatin1String(key)).isNull(), key);
        QCOMPARE(json.value(QStringLiteral("mean_change_significant")), QJsonValue(false));
        QCOMPARE(json.value(QStringLiteral("ks_d")).toDouble(), 0.0);
        QCOMPARE(json.value(QStringLiteral("ks_p")).toDouble(), 1.0);
    }

    void text()
    {
        const test::ProgramRun run = cli({"compare", "030226-A", "030926-A"});
        QCOMPARE(run.exitCode, 0);
        const std::optional<compare::Comparison> c =
            test::comparisonOf(*m_folder, QStringLiteral("030226-A"), QStringLiteral("030926-A"));
        QVERIFY(c);
        const QStringList lines = run.out.split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("Elm Street: before and after"));
        for (const QString& expected :
             {c->headline, c->meanTest.verdict, c->overLimitTest.verdict, c->distributionTest.verdict,
              c->conversionNote, QStringLiteral("Warning: ") + c->warnings.front().text})
            QVERIFY2(lines.contains(expected), qPrintable(expected));
        // The table in columns: each survey's limit in its own unit.
        const auto limits = std::find_if(lines.begin(), lines.end(), [](const QString& line) {
            return line.startsWith(QStringLiteral("Posted limit "));
        });
        QVERIFY(limits != lines.end());
        QCOMPARE(limits->split(QRegularExpression(QStringLiteral("\\s{2,}"))),
                 (QStringList{"Posted limit", "35 mph", "50 km/h (31.1 mph)"}));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        test::row("one survey", QStringList{"compare", "030226-A"},
                  "Name two surveys: pelmor-cli compare BATCH_A BATCH_B [--json]");
        test::row("no such survey", QStringList{"compare", "030226-A", "999999-Z"},
                  "The database holds no survey 999999-Z.");
    }
    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const test::ProgramRun run = cli(arguments);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, message);
        QCOMPARE(run.out, QString());
    }

private:
    test::ProgramRun cli(const QStringList& arguments) const
    {
        return test::runProgram(PELMOR_CLI, QStringList{"--db", m_folder->path()} + arguments);
    }

    std::unique_ptr<test::TempProgramFolder> m_folder;
    QList<int> m_before;
    QList<int> m_after;
};

QTEST_GUILESS_MAIN(TstCompareCli)
#include "tst_comparecli.moc"
