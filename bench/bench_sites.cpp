// The sites of 500 surveys of 20,000 vehicles each at 200 sites, on the file
// and on a throwaway local server: how long the ranking of the sites, one
// site's history and the opening of the Sites tab take, once every survey's
// figures are kept (and how long working them out for all took).
//
//   bench_sites [SURVEYS [VEHICLES [SITES]]]
#include "BenchUtil.h"
#include "PgTestServer.h"
#include "SurveyFixture.h"
#include "TestSupport.h"
#include "app/SitesTab.h"
#include "sites/SitePlacement.h"
#include "sites/SiteTrends.h"
#include "stats/Summary.h"
#include "store/PgServerSchema.h"
#include "store/SurveyStore.h"
#include "worker/BackgroundTask.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTextStream>

using namespace pelmor;

namespace {

survey::HeaderRow headerOf(int survey, int sites)
{
    const int site = survey % sites;
    survey::HeaderRow header;
    header.batchNumber = QStringLiteral("S%1").arg(survey, 5, 10, QLatin1Char('0'));
    header.location = QStringLiteral("Street %1").arg(site / 2);
    header.direction = site % 2 ? QStringLiteral("North") : QStringLiteral("South");
    header.zone = site % 3 ? QStringLiteral("Residential") : QStringLiteral("School");
    header.radarMode = survey % 5 == 4 ? QStringLiteral("KPH") : QStringLiteral("MPH");
    header.violationAlert =
        header.radarMode == QLatin1String("KPH") ? QStringLiteral("050") : QStringLiteral("030");
    const QDate day = QDate(2020, 1, 1).addDays(survey * 3);
    header.date = day.toString(QStringLiteral("MM/dd/yyyy"));
    header.time = QStringLiteral("08:00");
    return header;
}

// Writes every survey through the store's own writer, a transaction each.
void storeAll(store::SurveyStore& store, int surveys, int vehicles, int sites)
{
    for (int survey = 0; survey < surveys; ++survey) {
        const survey::HeaderRow header = headerOf(survey, sites);
        QRandomGenerator random{quint32(survey)};
        const auto writer = store.beginSurvey(header, QString());
        const QDate day = QDate::fromString(header.date, QStringLiteral("MM/dd/yyyy"));
        const int base = header.radarMode == QLatin1String("KPH") ? 48 : 30;
        for (int i = 0; i < vehicles; ++i) {
            const qint64 offset = qint64(i) * 2 * 86400 / vehicles;
            writer->addVehicle(offset, QByteArrayView(i % 2 ? "+" : "-"), base - 10 + random.bounded(24),
                               int((8 * 3600 + offset) % 86400) / 60 * 60,
                               day.addDays((8 * 3600 + offset) / 86400), std::nullopt);
        }
        // Stored without a site: the figures of all are worked out below.
        const stats::SummaryInputs inputs{header.batchNumber, header.violationAlert, header.radarMode,
                                          header.time, header.date};
        writer->commit(stats::computeSummary(writer->tally(), inputs), std::nullopt);
    }
}

void measureBackend(QTextStream& out, const QString& name, const db::Database& database, int surveys,
                    int vehicles, int sites)
{
    const auto store = store::openStore(database);
    QElapsedTimer timer;
    timer.start();
    storeAll(*store, surveys, vehicles, sites);
    out << name << ": stored " << surveys << " surveys of " << vehicles << " vehicles in " << timer.elapsed()
        << " ms\n";
    timer.restart();
    const int placed = sites::placeSurveysWithoutSiteFigures(*store);
    out << name << ": figures of " << placed << " surveys worked out in " << timer.elapsed() << " ms\n";

    std::vector<sites::SiteSurveys> all;
    const auto [rankBest, rankWorst] = bench::measure(5, [&] {
        all = sites::readSites(*store);
        sites::priorities(all, {});
    });
    out << name << ": priority list of " << all.size() << " sites: best " << rankBest << " ms, worst "
        << rankWorst << " ms (goal < 500)\n";
    const auto [historyBest, historyWorst] = bench::measure(5, [&] {
        const std::vector<sites::SiteSurveys> read = sites::readSites(*store);
        sites::historyOf(read[read.size() / 2]);
    });
    out << name << ": one site's history: best " << historyBest << " ms, worst " << historyWorst
        << " ms (goal < 300)\n";

    // The tab as the window shows it: the sites read on its worker, then
    // its tables and graphs filled.
    app::SitesTab tab;
    tab.setDatabase(database);
    tab.resize(1024, 700);
    const auto [tabBest, tabWorst] = bench::measure(3, [&] {
        tab.refresh();
        tab.task()->waitForFinished();
        QCoreApplication::processEvents();
        tab.grab();
    });
    out << name << ": Sites tab opens: best " << tabBest << " ms, worst " << tabWorst
        << " ms (goal < 1000)\n";
    out.flush();
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int surveys = argc > 1 ? QByteArray(argv[1]).toInt() : 500;
    const int vehicles = argc > 2 ? QByteArray(argv[2]).toInt() : 20000;
    const int sites = argc > 3 ? QByteArray(argv[3]).toInt() : 200;
    QTextStream out(stdout);

    {
        test::TempProgramFolder folder;
        measureBackend(out, QStringLiteral("file"), {folder.databasePath()}, surveys, vehicles, sites);
    }
    test::PgTestServer server(true);
    if (!server.error().isEmpty()) {
        out << server.error() << "\n";
        return 1;
    }
    const QString name = server.createDatabase();
    store::initServer({{}, server.connectionString(name)});
    measureBackend(out, QStringLiteral("server"), {{}, server.connectionString(name)}, surveys, vehicles,
                   sites);
    server.dropDatabase(name);
    return 0;
}
