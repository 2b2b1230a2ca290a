// Compares two week-long surveys of a million vehicles each, the second
// with every speed 3 mph lower, the way "Compare with..." and pelmor-cli
// compare do (both speed studies worked out from the database, then the
// comparison), and prints the time it takes; then the time of the
// comparison alone, from the two studies. First, the time of the exact
// Kolmogorov-Smirnov p-value where the comparison still counts it, at
// 10,000,000 for the product of the two surveys' vehicles, for surveys of
// alike and of very different sizes, and the memory it takes.
//
//   bench_compare [VEHICLES]
#include "BenchUtil.h"
#include "GeneratedSurvey.h"
#include "TestSupport.h"
#include "compare/Comparison.h"
#include "compare/ComparisonExport.h"
#include "store/SurveyStore.h"
#include "study/Distributions.h"
#include "study/SpeedStudy.h"
#include "survey/SurveyRecord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTextStream>

#include <algorithm>
#include <cmath>

using namespace pelmor;

namespace {

const QString kBefore = QStringLiteral("030226-A");
const QString kAfter = QStringLiteral("030926-A");

// The exact p-value at the distance of the 5 % point, for n and m vehicles
// whose speeds fall on 60 whole speeds, as a survey's do.
void measureExactTest(QTextStream& out, qint64 n, qint64 m)
{
    std::vector<qint64> ties(60, (n + m) / 60);
    ties.back() += (n + m) % 60;
    const double d = std::min(0.95, 1.36 * std::sqrt(double(n + m) / (double(n) * double(m))));
    bench::resetPeakMemory();
    const double before = bench::memoryMiB("VmRSS");
    double p = 0;
    const auto [best, worst] = bench::measure(3, [&] { p = study::kolmogorovSmirnovExact(n, m, d, ties); });
    out << "exact Kolmogorov-Smirnov p-value, " << n << " x " << m << " vehicles: p " << p << ", best "
        << best << " ms, worst " << worst << " ms, " << bench::memoryMiB("VmHWM") - before
        << " MiB more at the peak\n";
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 vehicleCount = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const int rounds = 5;
    QTextStream out(stdout);
    for (const auto& [n, m] :
         {std::pair<qint64, qint64>{3162, 3162}, {2000, 5000}, {100, 100000}, {1, 10000000}})
        measureExactTest(out, n, m);
    out.flush();

    const test::TempProgramFolder folder;
    const QString path = folder.databasePath();
    const QDateTime start(QDate(2026, 3, 2), QTime(6, 15), Qt::UTC);
    const test::Survey before = bench::generatedSurvey(kBefore, start, 7, vehicleCount);
    test::Survey after = bench::generatedSurvey(kAfter, start.addDays(7), 7, vehicleCount);
    for (int& speed : after.speeds)
        speed = std::max(1, speed - 3);
    QElapsedTimer timer;
    timer.start();
    test::storeSurvey(path, before);
    test::storeSurvey(path, after);
    out << "surveys: 2 x " << vehicleCount << " vehicles over 7 days, stored in " << timer.elapsed()
        << " ms\n";

    const db::Database database{path};
    compare::ComparisonResult result;
    const auto [best, worst] =
        bench::measure(rounds, [&] { result = compare::compareSurveys(database, kBefore, kAfter); });
    if (!result.ok()) {
        out << result.message << "\n";
        return 1;
    }
    const compare::Comparison& c = *result.comparison;
    out << "comparison: mean " << c.a.figures.mean << " -> " << c.b.figures.mean << ", t "
        << c.meanTest.statistic << ", D " << c.distributionTest.statistic << ", z "
        << c.overLimitTest.statistic << ", " << c.warnings.size() << " warnings\n  " << c.headline << "\n";
    out << "both studies and the comparison: best " << best << " ms, worst " << worst << " ms (best of "
        << rounds << " rounds)\n";

    std::optional<compare::SurveyInput> inputs[2];
    for (int i = 0; i < 2; ++i) {
        const survey::SurveyRecord record = store::openStore(database)->loadSurvey(i == 0 ? kBefore : kAfter);
        inputs[i] = compare::SurveyInput{*study::runStudy(database, study::StudyInputs::of(record)).study,
                                         record.header};
    }
    const auto [aloneBest, aloneWorst] =
        bench::measure(rounds, [&] { compare::compareStudies(*inputs[0], *inputs[1]); });
    out << "the comparison alone, from the two studies: best " << aloneBest << " ms, worst " << aloneWorst
        << " ms\n";
    const auto [jsonBest, jsonWorst] = bench::measure(
        rounds, [&] { QJsonDocument(compare::comparisonJson(c)).toJson(QJsonDocument::Indented); });
    out << "comparison as JSON: best " << jsonBest << " ms, worst " << jsonWorst << " ms\n";
    out << "process peak memory " << bench::memoryMiB("VmHWM") << " MiB\n";
    return c.a.figures.vehicles == vehicleCount && c.b.figures.vehicles == vehicleCount ? 0 : 2;
}
