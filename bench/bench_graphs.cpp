// Draws both speed graphs of a week-long survey of a million vehicles, the
// way the graph buttons do: the grouping query and the graph model, then
// the image at print size. Prints the time each part takes, with the
// database's own indexes and once more with an index that covers the query.
//
//   bench_graphs [VEHICLES] [--png DIR]   (DIR receives the four graphs)
#include "BenchUtil.h"
#include "GeneratedSurvey.h"
#include "TestSupport.h"
#include "charts/BarGraphRenderer.h"
#include "db/Connection.h"
#include "flow/TrafficVolumeGraph.h"
#include "stats/Pace.h"
#include "stats/SpeedDistributionGraph.h"
#include "store/SurveyStore.h"
#include "text/Formats.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <numeric>

using namespace pelmor;

namespace {

struct Timing {
    double model = 1e9;  // query and graph model, ms
    double render = 1e9; // image, ms
    double total() const { return model + render; }
};

// Best of `rounds`: the procedure, then the image of its graph.
Timing measure(const std::function<charts::GraphResult()>& draw, int rounds, QImage* image)
{
    Timing best;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const charts::GraphResult result = draw();
        const double model = timer.nsecsElapsed() / 1e6;
        if (!result.drawn())
            qFatal("nothing drawn: %s", qPrintable(result.message));
        timer.restart();
        *image = charts::BarGraphRenderer(*result.graph).render();
        const double render = timer.nsecsElapsed() / 1e6;
        if (model + render < best.total())
            best = {model, render};
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    const QString pngFolder = bench::takeOption(arguments, QStringLiteral("--png"));
    const qint64 vehicleCount = arguments.size() > 1 ? arguments.at(1).toLongLong() : 1000000;
    const int rounds = 5;
    QTextStream out(stdout);

    const test::TempProgramFolder folder;
    const QString path = folder.databasePath();

    test::Survey survey = bench::generatedSurvey(
        QStringLiteral("030226-A"), QDateTime(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC), 7, vehicleCount);
    // The statistics as the import computes them from the average speed.
    const double average =
        std::accumulate(survey.speeds.begin(), survey.speeds.end(), 0.0) / double(survey.speeds.size());
    const stats::PaceWindow pace = stats::paceWindow(average, survey.unit);
    survey.paceLow = pace.low;
    survey.paceHigh = pace.high;
    survey.percentile85 = stats::percentile85(text::formatOneDecimal(average));

    QElapsedTimer timer;
    timer.start();
    test::storeSurvey(path, survey);
    out << "survey: " << vehicleCount << " vehicles over 7 days, stored in " << timer.elapsed()
        << " ms; pace " << pace.low << " - " << pace.high << ", 85th percentile " << survey.percentile85
        << "\n";

    const db::Database database{path};
    const survey::SurveyRecord record = store::openStore(database)->loadSurvey(survey.batchNumber);
    using Draw = std::function<charts::GraphResult(bool blackAndWhite)>;
    const std::vector<std::pair<QString, Draw>> graphs = {
        {QStringLiteral("percent85"),
         [&](bool blackAndWhite) {
             return stats::speedDistributionGraph(database, record, blackAndWhite);
         }},
        {QStringLiteral("volume"),
         [&](bool blackAndWhite) {
             return flow::trafficVolumeGraph(database, record, blackAndWhite);
         }},
    };

    for (const bool coveringIndex : {false, true}) {
        if (coveringIndex) {
            db::Connection connection(database);
            connection.executeUnlogged(QStringLiteral(
                "CREATE INDEX IF NOT EXISTS Bench_Batch_Speed ON Veh_Data (Batch_Number, Speed)"));
            out << "\nwith an index on Veh_Data (Batch_Number, Speed):\n";
        } else {
            out << "\nwith the schema's indexes:\n";
        }
        for (const bool blackAndWhite : {false, true}) {
            const QString mode = blackAndWhite ? QStringLiteral("laser") : QStringLiteral("colour");
            for (const auto& [name, draw] : graphs) {
                QImage image;
                const Draw& drawGraph = draw;
                const Timing timing = measure([&] { return drawGraph(blackAndWhite); }, rounds, &image);
                if (!pngFolder.isEmpty() && !coveringIndex)
                    image.save(QDir(pngFolder).filePath(QStringLiteral("%1-%2.png").arg(name, mode)));
                out << "  " << qSetFieldWidth(11) << Qt::left << name << qSetFieldWidth(7) << mode
                    << qSetFieldWidth(0) << ": query and model " << timing.model << " ms, image "
                    << timing.render << " ms, total " << timing.total() << " ms\n";
            }
        }
    }
    out << "(best of " << rounds << " rounds; image " << charts::BarGraphRenderer::imageSize().width()
        << " x " << charts::BarGraphRenderer::imageSize().height() << ")\n";
    return 0;
}
