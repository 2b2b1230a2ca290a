// Works out the speed study of a week-long survey of a million vehicles,
// the way the Speed Study tab does (one pass over the survey's vehicles),
// and prints the time it takes, then the time of its exports.
//
//   bench_study [VEHICLES]
#include "BenchUtil.h"
#include "GeneratedSurvey.h"
#include "TestSupport.h"
#include "csv/TableExport.h"
#include "store/SurveyStore.h"
#include "study/SpeedStudy.h"
#include "study/StudyExport.h"
#include "survey/SurveyRecord.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTextStream>

#include <algorithm>

using namespace pelmor;

namespace {

const QString kBatch = QStringLiteral("030226-A");

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const qint64 vehicleCount = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1000000;
    const int rounds = 5;
    QTextStream out(stdout);

    const test::TempProgramFolder folder;
    const QString path = folder.databasePath();

    const test::Survey survey =
        bench::generatedSurvey(kBatch, QDateTime(QDate(2026, 3, 2), QTime(6, 15), Qt::UTC), 7, vehicleCount);
    QElapsedTimer timer;
    timer.start();
    test::storeSurvey(path, survey);
    out << "survey: " << vehicleCount << " vehicles over 7 days, stored in " << timer.elapsed() << " ms\n";

    const db::Database database{path};
    const study::StudyInputs inputs = study::StudyInputs::of(store::openStore(database)->loadSurvey(kBatch));
    study::StudyResult result;
    const auto [best, worst] = bench::measure(rounds, [&] { result = study::runStudy(database, inputs); });
    if (!result.ok()) {
        out << result.message << "\n";
        return 1;
    }
    const study::SpeedStudy& s = *result.study;
    const study::DirectionFigures& all = s.directionFigures(study::Direction::Both);
    out << "speed study: " << all.vehicles << " vehicles, mean " << all.mean << ", p85 "
        << all.percentile(85).ranked << ", " << s.warnings.size() << " warnings\n";
    out << "  best " << best << " ms, worst " << worst << " ms (best of " << rounds << " rounds), "
        << best * 1e6 / double(all.vehicles) << " ns per vehicle\n";

    const auto [jsonBest, jsonWorst] =
        bench::measure(rounds, [&] { QJsonDocument(study::studyJson(s)).toJson(QJsonDocument::Indented); });
    out << "study as JSON: best " << jsonBest << " ms, worst " << jsonWorst << " ms\n";
    qint64 csvBytes = 0;
    const auto [csvBest, csvWorst] = bench::measure(rounds, [&] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        study::writeStudyCsv(s, buffer);
        csvBytes = buffer.size();
    });
    out << "study as CSV (" << csvBytes << " bytes): best " << csvBest << " ms, worst " << csvWorst
        << " ms\n";
    qint64 vehicleBytes = 0;
    const auto [vehiclesBest, vehiclesWorst] = bench::measure(3, [&] {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        csv::writeTable(database, csv::Table::Vehicles, kBatch, buffer);
        vehicleBytes = buffer.size();
    });
    out << "vehicles as CSV (" << vehicleBytes / (1024 * 1024) << " MiB): best " << vehiclesBest
        << " ms, worst " << vehiclesWorst << " ms (best of 3)\n";
    out << "process peak memory " << bench::memoryMiB("VmHWM") << " MiB\n";
    return all.vehicles == vehicleCount ? 0 : 2;
}
