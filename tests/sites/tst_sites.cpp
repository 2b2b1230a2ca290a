// Sites: which surveys belong together, the figures kept with each survey,
// each site's history and the ranking of sites by their speeders, checked
// against the speed study and the comparison of the same surveys worked
// out from their vehicles.
#include "ImportFixture.h"
#include "SurveyFixture.h"
#include "TestSupport.h"
#include "compare/Comparison.h"
#include "db/Connection.h"
#include "import/SurveyImport.h"
#include "sites/SitePlacement.h"
#include "sites/SiteTrends.h"
#include "store/SurveyStore.h"
#include "study/SpeedStudy.h"
#include "study/StudyExport.h"
#include "survey/SiteKey.h"

#include <QRandomGenerator>
#include <QTest>

#include <map>

using namespace pelmor;
using test::row;

Q_DECLARE_METATYPE(sites::PriorityFilter)

namespace {

struct SurveyPlan {
    const char* batch;
    const char* location;
    const char* direction;
    const char* zone;
    const char* unit;
    const char* limit;
    const char* start; // "05/03/26 08:00"
    int hours;
    int meanSpeed;
};

// Three streets, one of them measured once in each unit, one with a
// location written three ways.
const SurveyPlan kPlans[] = {
    {"030126-A", "Elm Street", "North", "School", "MPH", "025", "03/01/26 07:00", 48, 31},
    {"060126-A", "ELM  STREET.", "north", "School", "MPH", "025", "06/01/26 07:00", 72, 28},
    {"090126-A", "elm street", "North", "School", "KPH", "040", "09/01/26 07:00", 24, 45},
    {"030226-A", "Ring Road", "East", "Residential", "KPH", "050", "03/02/26 06:00", 36, 58},
    {"070226-A", "Ring Road", "East", "Residential", "KPH", "050", "07/02/26 06:00", 36, 61},
    {"030326-A", "Oak Avenue", "South", "Residential", "MPH", "035", "03/03/26 12:00", 30, 33},
    {"030326-B", "Oak Avenue", "North", "Residential", "MPH", "035", "03/03/26 12:00", 30, 41},
};

test::Survey surveyOf(const SurveyPlan& plan, quint32 seed)
{
    test::Survey survey;
    survey.batchNumber = QLatin1String(plan.batch);
    survey.location = QLatin1String(plan.location);
    survey.unit = QLatin1String(plan.unit);
    survey.postedSpeed = QLatin1String(plan.limit);
    survey.start = test::at(QLatin1String(plan.start));
    survey.durationSeconds = qint64(plan.hours) * 3600;
    survey.headerFields.insert(QStringLiteral("Direction"), QLatin1String(plan.direction));
    survey.headerFields.insert(QStringLiteral("Zone"), QLatin1String(plan.zone));
    QRandomGenerator random(seed);
    const int vehicles = 400 + int(random.bounded(600));
    for (int i = 0; i < vehicles; ++i)
        survey.speeds.push_back(plan.meanSpeed - 12 + int(random.bounded(25)));
    return survey;
}

study::SpeedStudy studyOf(store::SurveyStore& store, const QString& batch)
{
    const study::StudyResult result = study::runStudy(store, study::StudyInputs::of(store.loadSurvey(batch)));
    if (!result.ok())
        qFatal("no study of %s: %s", qPrintable(batch), qPrintable(result.message));
    return *result.study;
}

// A figure of the study by the key its export gives it.
double studyValue(const study::DirectionFigures& figures, const char* key)
{
    for (const auto& [name, value] : study::directionValues(figures)) {
        if (name == QLatin1String(key) && value)
            return *value;
    }
    qFatal("the study has no figure %s", key);
}

} // namespace

class TstSites : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        m_folder = std::make_unique<test::TempProgramFolder>();
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("surveys drawn with seed %u", seed);
        std::vector<test::Survey> surveys;
        for (size_t i = 0; i < std::size(kPlans); ++i)
            surveys.push_back(surveyOf(kPlans[i], seed + quint32(i)));
        test::storeSurveys(m_folder->databasePath(), surveys);
        m_store = store::openStore({m_folder->databasePath()});
        QCOMPARE(sites::placeSurveysWithoutSiteFigures(*m_store), int(std::size(kPlans)));
    }
    void cleanup()
    {
        m_store.reset();
        m_folder.reset();
    }

    void keysReadLocationsAlike_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        row("case and blanks", QStringLiteral("Elm St.|North"), QStringLiteral("ELM  ST|north"), true);
        row("punctuation between words", QStringLiteral("St.John's Rd|N"), QStringLiteral("St John s Rd|N"),
            true);
        row("blanks at the ends", QStringLiteral("  Elm St |  North "), QStringLiteral("Elm St|North"), true);
        row("another spelling", QStringLiteral("Elm St|North"), QStringLiteral("Elm Street|North"), false);
        row("another direction", QStringLiteral("Elm St|North"), QStringLiteral("Elm St|South"), false);
        row("words run together", QStringLiteral("Elm St|North"), QStringLiteral("ElmSt|North"), false);
        row("letters beyond ASCII", QStringLiteral("Straße|Nord"), QStringLiteral("STRASSE|nord"), false);
        row("same letters beyond ASCII", QStringLiteral("Grünweg|Nord"), QStringLiteral("GRÜNWEG|NORD"),
            true);
    }
    void keysReadLocationsAlike()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        const auto key = [](const QString& text) {
            const QStringList parts = text.split(QLatin1Char('|'));
            return survey::siteKey(parts[0], parts[1]);
        };
        QCOMPARE(key(a) == key(b), same);
    }

    // The surveys of one location and direction are one site, whatever
    // way the location is written; each site's surveys are in time order.
    void surveysFormSites()
    {
        const std::vector<sites::SiteSurveys> all = sites::readSites(*m_store);
        QStringList found;
        for (const sites::SiteSurveys& site : all) {
            QStringList batches;
            for (const sites::SurveyAtSite& survey : site.surveys)
                batches << survey.header.batchNumber;
            found << site.site.name + QLatin1Char('/') + site.site.direction + QLatin1Char(' ') +
                         batches.join(QLatin1Char(','));
        }
        QCOMPARE(found, QStringList({"Elm Street/North 030126-A,060126-A,090126-A",
                                     "Ring Road/East 030226-A,070226-A", "Oak Avenue/South 030326-A",
                                     "Oak Avenue/North 030326-B"}));
    }

    // Every figure of the history equals the speed study's of the same
    // survey, or, for a survey in the other unit, the comparison's of it
    // with the site's first survey.
    void historyEqualsTheStudies()
    {
        for (const sites::SiteSurveys& site : sites::readSites(*m_store)) {
            const sites::SiteHistory history = sites::historyOf(site);
            const study::SpeedStudy first = studyOf(*m_store, site.surveys.front().header.batchNumber);
            QCOMPARE(history.unit, first.unit);
            QCOMPARE(history.rows.size(), site.surveys.size());
            for (size_t i = 0; i < history.rows.size(); ++i) {
                const sites::HistoryRow& row = history.rows[i];
                const study::SpeedStudy own = studyOf(*m_store, row.batchNumber);
                const study::DirectionFigures& all = own.directionFigures(study::Direction::Both);
                const compare::Comparison c =
                    compare::compareStudies({first, m_store->loadSurvey(first.batchNumber).header},
                                            {own, m_store->loadSurvey(row.batchNumber).header});
                QCOMPARE(row.converted, own.unit != first.unit);
                QCOMPARE(row.vehicles, all.vehicles);
                QCOMPARE(row.mean, c.b.figures.mean);
                QCOMPARE(row.percentile85, c.b.figures.percentile85);
                QCOMPARE(row.vehiclesPerDay, c.b.figures.vehiclesPerDay);
                QCOMPARE(row.percentOverLimit, c.b.figures.percentOverLimit);
                // "pct_over_limit_10" means what the comparison and the study mean by it.
                QCOMPARE(row.percentSpeeders, c.b.figures.percentOverLimitPlus10);
                if (!row.converted) {
                    // In its own unit a survey reads as its study.
                    QCOMPARE(row.mean, all.mean);
                    QCOMPARE(row.percentile85, all.percentile(85).ranked);
                    QCOMPARE(row.percentOverLimit, all.percentOf(all.overLimit[0]));
                    QCOMPARE(row.percentSpeeders, studyValue(all, "pct_over_limit_10"));
                }
                QCOMPARE(row.change.has_value(), i > 0);
                if (i == 0)
                    continue;
                const study::SpeedStudy previous = studyOf(*m_store, history.rows[i - 1].batchNumber);
                const compare::TestOutcome test =
                    compare::compareStudies({previous, m_store->loadSurvey(previous.batchNumber).header},
                                            {own, m_store->loadSurvey(own.batchNumber).header})
                        .meanTest;
                QCOMPARE(row.change->significant, test.significant());
                QVERIFY2(row.change->verdict.contains(compare::pValueText(test.pValue)),
                         qPrintable(row.change->verdict));
                QCOMPARE(row.change->mean, row.mean - history.rows[i - 1].mean);
            }
            QCOMPARE(history.conversionNote.isEmpty(),
                     std::none_of(history.rows.begin(), history.rows.end(),
                                  [](const sites::HistoryRow& row) { return row.converted; }));
        }
    }

    // The ranking takes each site's latest survey and counts its drivers
    // more than 10 over the limit (10 mph, or 10 km/h) per day, as its
    // study counts them.
    void prioritiesEqualTheStudies()
    {
        const std::vector<sites::Priority> list = sites::priorities(sites::readSites(*m_store), {});
        QCOMPARE(list.size(), size_t(4));
        QStringList latest;
        for (size_t i = 0; i < list.size(); ++i) {
            const sites::Priority& priority = list[i];
            latest << priority.latestBatch;
            const study::SpeedStudy study = studyOf(*m_store, priority.latestBatch);
            const study::DirectionFigures& all = study.directionFigures(study::Direction::Both);
            const double days = double(study.durationSeconds) / 86400.0;
            const double speeders = studyValue(all, "over_limit_10");
            QCOMPARE(priority.postedLimit, study.limit);
            QCOMPARE(priority.percentile85, all.percentile(85).ranked);
            QCOMPARE(priority.percentile85OverLimit, all.percentile(85).ranked - study.limit);
            QCOMPARE(priority.percentSpeeders, studyValue(all, "pct_over_limit_10"));
            QCOMPARE(*priority.vehiclesPerDay, double(all.vehicles) / days);
            QCOMPARE(*priority.speedersPerDay, speeders / days);
            if (i > 0)
                QVERIFY(*list[i - 1].speedersPerDay >= *priority.speedersPerDay);
        }
        latest.sort();
        QCOMPARE(latest, QStringList({"030326-A", "030326-B", "070226-A", "090126-A"}));
    }

    void prioritiesFilter_data()
    {
        QTest::addColumn<sites::PriorityFilter>("filter");
        QTest::addColumn<QStringList>("latest"); // sorted
        row("zone", sites::PriorityFilter{QStringLiteral("school"), {}, {}, {}}, QStringList{"090126-A"});
        row("direction", sites::PriorityFilter{{}, QStringLiteral("NORTH."), {}, {}},
            QStringList{"030326-B", "090126-A"});
        row("since", sites::PriorityFilter{{}, {}, QDate(2026, 6, 1), {}},
            QStringList{"070226-A", "090126-A"});
        row("until: an earlier latest survey", sites::PriorityFilter{{}, {}, {}, QDate(2026, 6, 30)},
            QStringList{"030226-A", "030326-A", "030326-B", "060126-A"});
        row("nothing matches", sites::PriorityFilter{QStringLiteral("Industrial"), {}, {}, {}},
            QStringList());
    }
    void prioritiesFilter()
    {
        QFETCH(sites::PriorityFilter, filter);
        QFETCH(QStringList, latest);
        QStringList found;
        for (const sites::Priority& priority : sites::priorities(sites::readSites(*m_store), filter))
            found << priority.latestBatch;
        found.sort();
        QCOMPARE(found, latest);
    }

    // Sites with as many speeders a day come by the higher 85th percentile
    // over the limit, then by name and direction, whatever their numbers.
    void prioritiesBreakTies()
    {
        // A day of 100 vehicles at a limit of 30: 75 at 25, 15 at the 85th
        // percentile, the speeders at 45.
        const auto siteOf = [](qint64 id, const char* name, const char* direction, int p85, int speeders) {
            study::SpeedHistogram speeds;
            speeds.add(25, 75);
            speeds.add(p85, 15);
            speeds.add(45, speeders);
            sites::SurveyAtSite survey;
            survey.header.batchNumber = QString::number(id);
            survey.header.location = QLatin1String(name);
            survey.header.direction = QLatin1String(direction);
            survey.figures = sites::siteFiguresOf(speeds, 86400, QStringLiteral("MPH"), 30,
                                                  QStringLiteral("03/02/26"), QStringLiteral("08:00 AM"),
                                                  QStringLiteral("03/03/26"), QStringLiteral("08:00 AM"));
            return sites::SiteSurveys{{id, QLatin1String(name), QLatin1String(direction), {}, {}}, {survey}};
        };
        const std::vector<sites::SiteSurveys> all{
            siteOf(1, "Oak Avenue", "North", 35, 10), siteOf(2, "elm street", "South", 35, 10),
            siteOf(3, "Elm Street", "North", 35, 10), siteOf(4, "Ash Lane", "North", 38, 10),
            siteOf(5, "Zed Street", "North", 35, 20)};
        QStringList order;
        for (const sites::Priority& priority : sites::priorities(all, {}))
            order << priority.latestBatch;
        QCOMPARE(order, (QStringList{"5", "4", "3", "2", "1"}));
    }

    // Figures kept by an earlier method, or that cannot be read, are worked
    // out again; the survey keeps the site it was merged into.
    void outdatedFiguresAreWorkedOutAgain()
    {
        const std::vector<sites::SiteSurveys> before = sites::readSites(*m_store);
        const qint64 oak = before[2].site.id;
        const qint64 oakNorth = before[3].site.id;
        QVERIFY(m_store->mergeSites(oakNorth, oak));
        std::map<QString, QString> kept;
        for (const store::SiteSurvey& entry : m_store->siteSurveys())
            kept[entry.batchNumber] = entry.figuresText;
        // As an earlier program left them, and as damage left them.
        db::Connection file(m_folder->database());
        file.executeUnlogged(QStringLiteral("UPDATE \"Site_Survey\" SET \"Method\" = %1 WHERE "
                                            "\"Batch_Number\" = '030326-B'")
                                 .arg(sites::kSiteFiguresMethod - 1));
        file.executeUnlogged(
            QStringLiteral("UPDATE \"Site_Survey\" SET \"Figures\" = '{\"method\": 1, "
                           "\"speeds\": [[\"x\", \"1\"]]}' WHERE \"Batch_Number\" = '070226-A'"));
        QCOMPARE(sites::readSites(*m_store)[2].surveys.size(), size_t(1));
        QCOMPARE(sites::placeSurveysWithoutSiteFigures(*m_store), 1);
        // Unreadable figures of the current method are not worked out again
        // by themselves: the site leaves that survey out.
        QCOMPARE(sites::readSites(*m_store)[1].surveys.size(), size_t(1));
        for (const store::SiteSurvey& entry : m_store->siteSurveys()) {
            if (entry.batchNumber == QLatin1String("030326-B")) {
                QCOMPARE(entry.siteId, oak);
                QCOMPARE(entry.figuresText, kept["030326-B"]);
            }
        }
        QCOMPARE(sites::readSites(*m_store)[2].surveys.size(), size_t(2));
    }

    // A survey stored by the import is placed with the figures that its
    // vehicles, read back from the database, give.
    void importPlacesTheSurvey()
    {
        test::TempProgramFolder folder;
        const QByteArray buffer = test::largeDownload(QDate(2026, 5, 3), 30000);
        test::ImportMessages report;
        report.answer = true;
        const import::ImportResult result =
            import::importSurvey({folder.databasePath()},
                                 test::completeHeader(buffer, QStringLiteral("unit=MPH")), buffer, report);
        QCOMPARE(result.outcome, import::ImportResult::Outcome::Imported);
        const auto store = store::openStore({folder.databasePath()});
        const std::vector<store::SiteSurvey> placed = store->siteSurveys();
        QCOMPARE(placed.size(), size_t(1));
        QCOMPARE(placed[0].method, sites::kSiteFiguresMethod);
        const QString atImport = placed[0].figuresText;
        db::Connection(folder.database())
            .executeUnlogged(QStringLiteral("UPDATE \"Site_Survey\" SET \"Method\" = 0, \"Figures\" = ''"));
        QCOMPARE(sites::placeSurveysWithoutSiteFigures(*store), 1);
        QCOMPARE(store->siteSurveys()[0].figuresText, atImport);
        const std::vector<sites::SiteSurveys> all = sites::readSites(*store);
        QCOMPARE(all.size(), size_t(1));
        QCOMPARE(all[0].surveys[0].figures.vehicles, qint64(30000));
    }

private:
    std::unique_ptr<test::TempProgramFolder> m_folder;
    std::unique_ptr<store::SurveyStore> m_store;
};

QTEST_GUILESS_MAIN(TstSites)
#include "tst_sites.moc"
